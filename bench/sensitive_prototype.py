#!/usr/bin/env python3
"""PROTOTYPE of the sensitive mode to come in the C++ tool (bench only).

    python3 bench/sensitive_prototype.py [tool arguments...] [prototype options]

A whole run, like `mirsight --sensitive` is meant to do: the same legacy
command line (-s, -p, -i, -m, -t, -ss, -r; -l, -sb, -se, -b and -h are read
but the search does not use them), the same seven result files in the same
formats and the same log. It is built on e2e/reference_model.py: the
reading, grouping, aggregation and table writing are the model's; only the
search, the order of a tag's alignments and the choice among them are
replaced. The algorithm, step by step, is in bench/sensitive_mode.md.

Prototype options (the names proposed for the C++ command line):
  --sensitive-seed PATTERN       the letters that must match for a miRNA and
                                 a tag to meet: 1 a letter that must, 0 any
                                 letter (111010011101)
  --sensitive-window N           the seed is N letters in a row
  --sensitive-max-shift N        5' shift allowed either way (3)
  --sensitive-max-mismatches N   mismatches inside an alignment (2)
  --sensitive-min-matched N      an alignment matches at least N letters (14)
  --sensitive-max-unmatched N    at most N letters of the tag and the miRNA
                                 together are not matched: T + L - 2M (5)
  --sensitive-same-sequence-tie first|unassigned   what a tie between
                                 miRNAs of one sequence gets (first)
  --sensitive-stats 1            print the work done per tag to standard error

Standard library only; slow (10 to 30 seconds per 100,000 tags here).
"""

import copy
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import reference_model as rm  # noqa: E402

PARAMS = {"seed": "111010011101", "max_shift": 3, "max_mismatches": 2, "min_matched": 14, "max_unmatched": 5,
          "same_sequence_tie": "first", "stats": 0}
STATS = {"tags": 0, "lookups": 0, "entries": 0, "on_diagonal": 0, "extended": 0, "accepted": 0}


def split_prototype_options(argv):
    """Removes the --sensitive-* options (each with a value) from argv."""
    rest, i = [], 0
    while i < len(argv):
        a = argv[i]
        if a.startswith(b"--sensitive-") and i + 1 < len(argv):
            name = a[len(b"--sensitive-"):].decode().replace("-", "_")
            if name not in PARAMS and name != "window":
                sys.exit("sensitive_prototype: unknown option %s" % a.decode())
            value = argv[i + 1].decode()
            if name == "window":
                PARAMS["seed"] = "1" * int(value)
            else:
                PARAMS[name] = value if name in ("same_sequence_tie", "seed") else int(value)
            i += 2
            continue
        rest.append(a)
        i += 1
    return rest


# ---------------------------------------------------------------------------
# Search
# ---------------------------------------------------------------------------

def seed_key(sequence, start, pattern):
    """The letters of `sequence` under the 1s of the seed pattern placed at `start`."""
    return bytes(sequence[start + k] for k, c in enumerate(pattern) if c == "1")


def build_window_index(pattern):
    """Every placement of the seed in every selected miRNA: its letters under
    the 1s -> [(miRNA, position)].
    A miRNA is (seed_index, specie_index, mirna_vet_index, sequence)."""
    k = len(pattern)
    index, mirnas = {}, []
    for i, seed in enumerate(rm.G.seed_vet):
        for j, species in enumerate(seed.specie_vet):
            if species.specie_code not in rm.G.species_to_check_vet:
                continue
            for v, m in enumerate(species.mirna_vet):
                n = len(mirnas)
                mirnas.append((i, j, v, m.mirna_seq))
                for q in range(len(m.mirna_seq) - k + 1):
                    index.setdefault(seed_key(m.mirna_seq, q, pattern), []).append((n, q))
    return index, mirnas


def extend_on_diagonal(tag, mir, d, max_mm):
    """The ungapped alignment of miRNA letter j with tag letter j + d.

    From the first miRNA letter facing a tag letter, leading mismatches are
    skipped; then letters are taken up to the (max_mm + 1)-th mismatch or
    the end of either sequence, and trailing mismatches are dropped.
    Returns (a0, a1, mismatches, first_mismatches, led) with [a0, a1) on the
    miRNA, `first_mismatches` the miRNA positions of the mismatches inside,
    `led` whether a leading mismatch was skipped."""
    T, L = len(tag), len(mir)
    j, end = max(0, -d), min(L, T - d)
    led = False
    while j < end and tag[j + d] != mir[j]:
        j += 1
        led = True
    a0, mm, last_match_end = j, [], j
    while j < end:
        if tag[j + d] == mir[j]:
            last_match_end = j + 1
        else:
            if len(mm) == max_mm:
                break
            mm.append(j)
        j += 1
    inside = [p for p in mm if p < last_match_end]
    return a0, last_match_end, inside, led


def sensitive_finder(min_tag_length, tag_begin, begin_seed, end_seed, seed_size):
    P = PARAMS
    seed = P["seed"]
    w = len(seed)
    index, mirnas = build_window_index(seed)
    for tag in rm.G.tag_vet:
        seq = tag.tag_sequence
        T = len(seq)
        candidates = set()
        STATS["tags"] += 1
        for p in range(T - w + 1):
            entries = index.get(seed_key(seq, p, seed), ())
            STATS["lookups"] += 1
            STATS["entries"] += len(entries)
            for n, q in entries:
                if -P["max_shift"] <= p - q <= P["max_shift"]:
                    candidates.add((n, p - q))
                    STATS["on_diagonal"] += 1
        STATS["extended"] += len(candidates)
        best_per_mirna = {}
        for n, d in sorted(candidates):
            mir = mirnas[n][3]
            a0, a1, mm, led = extend_on_diagonal(seq, mir, d, P["max_mismatches"])
            k = len(mm)
            matched = a1 - a0 - k
            if matched < P["min_matched"] or T + len(mir) - 2 * matched > P["max_unmatched"]:
                continue
            STATS["accepted"] += 1
            cost = T + len(mir) - 2 * matched
            key = (cost, k, abs(len(mir) - T), abs(d), d)
            if n not in best_per_mirna or key < best_per_mirna[n][0]:
                best_per_mirna[n] = (key, d, a0, a1, mm, led)
        # Appended in rank order (step 5), as the tool's search does: the
        # per-miRNA tables list the miRNAs in the order they are first met.
        for n in sorted(best_per_mirna, key=lambda n: (best_per_mirna[n][0][:3], n)):
            key, d, a0, a1, mm, led = best_per_mirna[n]
            tag.mirna_matched_vet.append(make_alignment(mirnas[n], seq, d, a0, a1, mm, led,
                                                        key, end_seed))
    # The log is the default mode's, with the same counts, and one line of
    # the sensitive parameters (as the tool prints it).
    for seed in rm.G.seed_vet:
        if seed.seed_seq:
            for species in seed.specie_vet:
                for code in rm.G.species_to_check_vet:
                    if species.specie_code == code:
                        rm.G.mirna_elaborated = rm.u32(rm.G.mirna_elaborated + 1)
    for label, value in ((b"min_tag_length = ", min_tag_length), (b"tag_begin = ", tag_begin),
                         (b"begin_seed = ", begin_seed), (b"end_seed = ", end_seed),
                         (b"seed_size = ", seed_size), (b"seed_vet.size() = ", len(rm.G.seed_vet)),
                         (b"tag_vet.size() = ", len(rm.G.tag_vet)),
                         (b"tot_total_tag_count = ", rm.G.tot_total_tag_count),
                         (b"discarded_tag = ", rm.G.discarded_tag),
                         (b"mirna_elaborated = ", rm.G.mirna_elaborated)):
        rm.log_line(label + b"%d;" % rm.u32(value))
    rm.log_line(b"sensitive = seed %s, max_shift %d, max_mismatches %d, min_matched %d, max_unmatched %d;"
                % (P["seed"].encode(), P["max_shift"], P["max_mismatches"], P["min_matched"], P["max_unmatched"]))


def make_alignment(mirna, tag_seq, d, a0, a1, mm, led, key, end_seed):
    """The alignment in the tool's record, columns filled as in
    bench/sensitive_mode.md ("Output columns")."""
    i, j, v, mir = mirna
    L, T = len(mir), len(tag_seq)
    k = len(mm)
    sizes = [(mm[0] if k > 0 else a1) - a0, (mm[1] if k > 1 else a1) - a0, a1 - a0]
    a = rm.mirna_matched_vet_t(
        seed_index=i, specie_index=j, mirna_vet_index=v,
        size_ungapped=sizes[0], begin_ungapped_mirna=a0, begin_ungapped_tag=a0 + d,
        size_ungapped_1=sizes[1], begin_ungapped_mirna_1=a0, begin_ungapped_tag_1=a0 + d,
        size_ungapped_2=sizes[2], begin_ungapped_mirna_2=a0, begin_ungapped_tag_2=a0 + d,
        mir_tag_size_diff=L - T)
    a.align_score = (L - (a1 - a0 - k)) * 100 // L
    substitutions = k + (1 if led and d == 0 else 0)
    a.iso_snp = substitutions == 1
    a.iso_multi_snp = substitutions >= 2
    a.iso_5p = d != 0
    a.iso_3p = not (a1 == L and a1 + d == T)
    e0, e1, e2 = a0 + sizes[0], a0 + sizes[1], a0 + sizes[2]
    a.offset_site = e0 != end_seed
    a.central_site = e0 > end_seed + 8
    a.suppl_compens_site = not any(end_seed + 5 <= e <= end_seed + 8 for e in (e0, e1, e2))
    a.sensitive_key = key[:3]
    return a


# ---------------------------------------------------------------------------
# Choice among the alignments of an ambiguous tag
# ---------------------------------------------------------------------------

def sensitive_order(alignment):
    """Best first: lower cost (letters of tag and miRNA left unmatched,
    T + L - 2M), fewer mismatches, smaller length difference."""
    return alignment.sensitive_key


_model_select = rm.select_ambiguous_tag


def sensitive_select(tag, threshold, out, result_mirna_selected_vet):
    a0, a1 = tag.mirna_matched_vet[0], tag.mirna_matched_vet[1]
    if a0.sensitive_key == a1.sensitive_key:
        if PARAMS["same_sequence_tie"] != "first":
            return
        seq0 = rm.mirna_of(a0).mirna_seq
        tied = [a for a in tag.mirna_matched_vet if a.sensitive_key == a0.sensitive_key]
        if any(rm.mirna_of(a).mirna_seq != seq0 for a in tied):
            return
    _model_select(tag, a0.align_score + 1, out, result_mirna_selected_vet)


def fill_mirna_result_vector(p, ambiguous):
    """The model's, with the rows found through a dictionary (same result)."""
    rows = rm.G.__dict__.setdefault("row_of_mirna", {})
    if len(rows) != len(rm.G.result_mirna_uniq_ambig_vet):
        rows.clear()
        rows.update({r.mirna_index: r for r in rm.G.result_mirna_uniq_ambig_vet})
    tag = rm.G.tag_vet[p]
    c = tag.tag_count
    for a in tag.mirna_matched_vet:
        mirna = rm.mirna_of(a)
        row = rows.get(mirna.mirna_index)
        if row is None:
            row = rm.result_mirna_uniq_ambig_vet_t(
                mirna_seq=mirna.mirna_seq, mirna_info=mirna.mirna_info,
                mirna_index=mirna.mirna_index, seed_index=a.seed_index)
            rm.G.result_mirna_uniq_ambig_vet.append(row)
            rows[mirna.mirna_index] = row
        group = row.ambig if ambiguous else row.uniq
        group.different_tags = rm.u32(group.different_tags + 1)
        group.count_tags = rm.u64(group.count_tags + c)
        name = a.alignment_class() + "_tags"
        setattr(group, name, rm.u64(getattr(group, name) + c))
        for site in rm.SITE_NAMES:
            if getattr(a, site):
                setattr(group, site + "_tags", rm.u64(getattr(group, site + "_tags") + c))
    return 0


class TagsShared:
    """Stands for the copy module in the model: a tag is not copied (nothing
    reads tag_vet after the split), anything else is."""

    @staticmethod
    def deepcopy(x):
        return x if isinstance(x, rm.tag_vet_t) else copy.deepcopy(x)


def main():
    argv = [os.fsencode(a) for a in sys.argv]
    argv = argv[:1] + split_prototype_options(argv[1:])
    rm.mirna_finder = sensitive_finder
    rm.sortBy_align_score = sensitive_order
    rm.select_ambiguous_tag = sensitive_select
    rm.fill_mirna_result_vector = fill_mirna_result_vector
    rm.copy = TagsShared()
    status = rm.run(argv)
    if PARAMS["stats"]:
        n = max(1, STATS["tags"])
        sys.stderr.write("per tag: %s\n" % ", ".join(
            "%s %.2f" % (k, v / n) for k, v in STATS.items() if k != "tags"))
    return status


if __name__ == "__main__":
    sys.exit(main())
