#!/usr/bin/env python3
"""Independent reference model of one mirsight run, for golden end-to-end tests.

Written from the tool's behaviour as README.md and docs/ describe it (options, input
formats, output files and their columns) and as e2e/README.md checks it by
hand, not from the C++ sources, so that the expected files it produces can
catch faults in the C++ program.

    python3 e2e/reference_model.py [tool arguments...]
        Runs from the current working directory exactly as the tool would:
        reads the same input paths, writes the grouped file, its sorted copy
        and the seven result files, and prints the same standard-output log.
        Warnings and errors go to standard error; exit statuses follow the
        tool's (1: unreadable input or uncreatable output, 2: bad option).

    python3 e2e/reference_model.py --self-test
        Checks the model against small examples worked by hand (the
        SelfTest functions at the end of this file: GROUPED_EXAMPLE_FASTA,
        MIRNA_42 and their expected files) and edge cases, and prints how
        many checks passed.

Standard library only. All text is handled as bytes: the tool never decodes
anything, and the quality text is the two UTF-8 bytes of "è".

Stages are free functions over the module-level run state `G`, named as the
tool names them, in run order:
    mirbase_file_formatter -> sort_singlelinefile -> read_mirbase
    -> load_reads_db_buffer -> check_specie_code -> mirna_finder
    (-> ungapped_extension) -> output_structures_generation
    (-> fill_mirna_result_vector) -> output_structures_updating
    -> output_file_print (-> tag tables, ambiguous tag selection,
    family_comparator) -> free_all_structures -> the three totals.
"""

import copy
import io
import os
import struct
import sys
from dataclasses import dataclass, field
from types import SimpleNamespace

U32 = (1 << 32) - 1
U64 = (1 << 64) - 1
TAG_QUALITY = "è".encode("utf-8")          # b"\xc3\xa8"
WHITE_SPACE = b" \t\n\v\f\r"                # C isspace() in the "C" locale


def u32(x):
    """Value as an unsigned 32-bit integer (two's complement wrap)."""
    return x & U32


def s32(x):
    """Value as a signed 32-bit integer (two's complement wrap)."""
    x &= U32
    return x - (1 << 32) if x & 0x80000000 else x


def u64(x):
    return x & U64


# ---------------------------------------------------------------------------
# Single-precision arithmetic
# ---------------------------------------------------------------------------

def f32(x):
    """Round a Python float (double) to the nearest single-precision value."""
    return struct.unpack("f", struct.pack("f", x))[0]


def f32_from_int(n):
    """Unsigned integer to float, rounded once, to nearest, ties to even.

    float(n) would round to double first; for n above 2**53 that double
    rounding can differ from a direct conversion, so round by hand there."""
    if n < (1 << 53):
        return f32(float(n))
    shift = n.bit_length() - 24
    mantissa, rest = n >> shift, n & ((1 << shift) - 1)
    half = 1 << (shift - 1)
    if rest > half or (rest == half and mantissa & 1):
        mantissa += 1
    return f32(float(mantissa << shift))


def percentage(count, total):
    """count / total * 100 the way the tool computes it: both converted to
    float, divided in float, then multiplied by 100 in float.

    Each step is rounded to single precision; a double holds the exact
    result of one float operation closely enough that rounding it to float
    gives the correctly rounded float result."""
    q = f32(f32_from_int(count) / f32_from_int(total))
    return f32(q * f32(100.0))


def format_float(x):
    """A percentage as written in the per-miRNA tables: the float widened to
    double, 10 significant digits, general notation, right-aligned in 10."""
    return ("%10.10g" % x).encode("ascii")


# ---------------------------------------------------------------------------
# Text helpers
# ---------------------------------------------------------------------------

_RNA5_TABLE = bytearray(b"N" * 256)
for _letter in b"ACGU":
    _RNA5_TABLE[_letter] = _letter
    _RNA5_TABLE[_letter + 32] = _letter       # lower case keeps its letter
_RNA5_TABLE = bytes(_RNA5_TABLE)


def text_to_rna5(text):
    """Bytes to nucleotide letters: A/a, C/c, G/g, U/u keep their letter,
    every other byte (T and t included) becomes N."""
    return text.translate(_RNA5_TABLE)


def split_lines(data):
    """Lines as a line reader yields them: split at line feeds, the line feed
    removed; a last line without a line feed still counts, and the empty
    text after a final line feed is not a line."""
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return lines


def strip_one_cr(line):
    """A carriage return at the end of a line is removed (one only)."""
    return line[:-1] if line.endswith(b"\r") else line


def is_blank(line):
    return line.strip(WHITE_SPACE) == b""


def atoi(text):
    """glibc's atoi: (int) strtol(text, NULL, 10).

    White space skipped, optional sign, decimal digits up to the first other
    byte, 0 without digits; strtol saturates at the 64-bit long range and
    the cast to int keeps the low 32 bits."""
    i, n = 0, len(text)
    while i < n and text[i] in WHITE_SPACE:
        i += 1
    negative = False
    if i < n and text[i] in b"+-":
        negative = text[i] == ord("-")
        i += 1
    start = i
    while i < n and 0x30 <= text[i] <= 0x39:
        i += 1
    if i == start:
        return 0
    value = int(text[start:i])
    if negative:
        value = -value
    value = max(-(1 << 63), min((1 << 63) - 1, value))
    return s32(value)


class RunError(Exception):
    """An error the tool reports on standard error before exiting."""

    def __init__(self, message, status):
        super().__init__(message)
        self.status = status


class NotModelled(Exception):
    """An input whose outcome the documentation leaves open."""


def warn(message):
    sys.stderr.write("mirsight: warning: " + message + "\n")


# ---------------------------------------------------------------------------
# Records and run state
# ---------------------------------------------------------------------------

@dataclass
class mirna_vet_t:
    mirna_seq: bytes = b""
    mirna_info: bytes = b""
    mirna_index: int = 0


@dataclass
class specie_vet_t:
    specie_code: bytes = b""
    mirna_vet: list = field(default_factory=list)


@dataclass
class seed_vet_t:
    seed_seq: bytes = b""
    specie_vet: list = field(default_factory=list)


@dataclass
class mirna_matched_vet_t:
    seed_index: int = 0
    specie_index: int = 0
    mirna_vet_index: int = 0
    size_ungapped: int = 0
    begin_ungapped_mirna: int = 0
    begin_ungapped_tag: int = 0
    size_ungapped_1: int = 0
    begin_ungapped_mirna_1: int = 0
    begin_ungapped_tag_1: int = 0
    size_ungapped_2: int = 0
    begin_ungapped_mirna_2: int = 0
    begin_ungapped_tag_2: int = 0
    align_score: int = 0
    mir_tag_size_diff: int = 0
    iso_5p: bool = False
    iso_snp: bool = False
    iso_multi_snp: bool = False
    iso_3p: bool = False
    offset_site: bool = False
    suppl_compens_site: bool = False
    central_site: bool = False

    def mirna_exact(self):
        return not (self.iso_5p or self.iso_snp or self.iso_multi_snp or self.iso_3p)

    def alignment_class(self):
        """The first isoform flag that is set, otherwise "mirna_exact"."""
        for name in ("iso_5p", "iso_snp", "iso_multi_snp", "iso_3p"):
            if getattr(self, name):
                return name
        return "mirna_exact"


@dataclass
class tag_vet_t:
    tag_sequence: bytes = b""
    tag_quality: bytes = TAG_QUALITY
    tag_count: int = 0          # 64-bit: read counts never wrap
    tag_index: int = 0
    mirna_matched_vet: list = field(default_factory=list)


@dataclass
class seed_in_tag_vet_t:
    seed_begin: int = 0
    seed_end: int = 0


CLASS_NAMES = ("mirna_exact", "iso_5p", "iso_snp", "iso_multi_snp", "iso_3p")
SITE_NAMES = ("offset_site", "suppl_compens_site", "central_site")


@dataclass
class result_group:
    """One of the two counter groups of a per-miRNA row (unique or ambiguous).
    Counters of reads are 64-bit; the different-tags counter is 32-bit."""
    different_tags: int = 0
    count_tags: int = 0
    expressed_all: float = 0.0
    expressed_mapped: float = 0.0
    mirna_exact_tags: int = 0
    iso_5p_tags: int = 0
    iso_snp_tags: int = 0
    iso_multi_snp_tags: int = 0
    iso_3p_tags: int = 0
    offset_site_tags: int = 0
    suppl_compens_site_tags: int = 0
    central_site_tags: int = 0


@dataclass
class result_mirna_uniq_ambig_vet_t:
    mirna_seq: bytes = b""
    mirna_info: bytes = b""
    mirna_index: int = 0
    seed_index: int = 0
    uniq: result_group = field(default_factory=result_group)
    ambig: result_group = field(default_factory=result_group)


G = SimpleNamespace()


def reset_run_state():
    """Every table empty and every counter 0, as at program start."""
    G.seed_vet = []
    G.specie_code_vet = []
    G.species_to_check_vet = []
    G.tag_vet = []
    G.result_mirna_uniq_ambig_vet = []
    G.result_tag_uniq_vet = []
    G.result_tag_ambig_vet = []
    G.tot_total_tag_count = 0
    G.discarded_tag = 0
    G.mirna_elaborated = 0
    G.numb_of_mirna = 0
    G.read_count_experiment = 0
    G.unique_reads_mapped_on_library = 0
    G.ambigue_reads_mapped_on_library = 0
    G.uniq_mapped_total_tags_count = 0
    G.ambigue_mapped_total_tag_count = 0
    G.ambigue_selected_mapped_total_tag_count = 0
    G.stdout = None             # None: the process's standard output


def log_line(text):
    """One line of the standard-output log, flushed."""
    out = G.stdout if G.stdout is not None else sys.stdout.buffer
    out.write(text + b"\n")
    out.flush()


def free_all_structures():
    """Empties the seven tables; counters keep their values."""
    G.seed_vet = []
    G.specie_code_vet = []
    G.species_to_check_vet = []
    G.tag_vet = []
    G.result_mirna_uniq_ambig_vet = []
    G.result_tag_uniq_vet = []
    G.result_tag_ambig_vet = []
    return 0


def mirna_of(alignment):
    """The miRNA an alignment points to, through its three indices."""
    species = G.seed_vet[alignment.seed_index].specie_vet[alignment.specie_index]
    return species.mirna_vet[alignment.mirna_vet_index]


# ---------------------------------------------------------------------------
# Command line
# ---------------------------------------------------------------------------

OPTIONS_WITH_VALUE = (b"-s", b"-l", b"-ss", b"-sb", b"-se", b"-b", b"-p", b"-i",
                      b"-m", b"-t", b"-h")


def BuildParameterList(argv):
    """The arguments after the program name, in order."""
    return list(argv[1:])


def read_command_line(args):
    """Run parameters from the argument list.

    A value is examined again as an argument in the next step, so a value
    that equals an option also acts as that option. "-m" and "-t" compose
    their names from the directories as they stand at that moment."""
    p = SimpleNamespace(
        specie_codes=b"chsa", min_tag_length=10, seed_size=6, begin_seed=1,
        end_seed=7, tag_begin=4, align_score_threshold=14, rna_conversion=True,
        output_dir=b"", input_dir=b"",
        mature_file=b"Tests/mirna_example.txt",
        grouped_file=b"Tests/mirna_example_grouped.txt",
        sorted_grouped_file=b"Tests/mirna_example_grouped_sorted.txt",
        tag_file=b"Tests/tag_count_iso_exampl.txt",
        output_prefix=b"Tests/out_mature")
    position = 0
    while position < len(args):
        option = args[position]
        position += 1
        if option == b"-r":
            p.rna_conversion = False
            continue
        if option not in OPTIONS_WITH_VALUE:
            continue
        if position >= len(args):
            raise RunError("option %s needs a value" % option.decode("utf-8", "replace"), 2)
        value = args[position]
        if option == b"-s":
            p.specie_codes = value
        elif option == b"-l":
            p.min_tag_length = atoi(value)
        elif option == b"-ss":
            p.seed_size = atoi(value)
        elif option == b"-sb":
            p.begin_seed = atoi(value)
        elif option == b"-se":
            p.end_seed = atoi(value)
        elif option == b"-b":
            p.tag_begin = atoi(value)
        elif option == b"-h":
            p.align_score_threshold = atoi(value)
        elif option == b"-p":
            p.output_dir = value + b"/"
        elif option == b"-i":
            p.input_dir = value + b"/"
        elif option == b"-m":
            p.output_prefix = p.output_dir + b"out_result_" + value
            p.mature_file = p.input_dir + value + b".txt"
            p.grouped_file = p.output_dir + value + b"_db_group.txt"
            p.sorted_grouped_file = p.output_dir + value + b"_db_group_sorted.txt"
        elif option == b"-t":
            p.tag_file = p.input_dir + value + b".txt"
    if p.seed_size == 0:
        raise RunError("seed size (-ss) must not be 0", 2)
    return p


# ---------------------------------------------------------------------------
# miRNA database
# ---------------------------------------------------------------------------

def read_mature_fasta(path, begin_seed, seed_size, warnings=True):
    """The records of the mature-miRNA FASTA file as (header, sequence text).

    A line starting with ">" opens a record; the following lines up to the
    next header are its sequence, joined; blank lines are ignored; one
    carriage return is removed from every line end; a tab in a header
    becomes a blank. A header without sequence, and a record too short to
    hold its seed at `begin_seed`, are skipped with a warning."""
    name = path.decode("utf-8", "replace")
    data = read_input_file(path)
    records = []
    header, header_line, parts = None, 0, []

    def close_record():
        if header is None:
            return
        sequence = b"".join(parts)
        if not sequence:
            if warnings:
                warn("%s:%d: header without sequence skipped: %s"
                     % (name, header_line, header.decode("utf-8", "replace")))
        elif len(sequence) < begin_seed + seed_size:
            if warnings:
                warn("%s:%d: sequence too short to hold its seed, skipped: %s"
                     % (name, header_line, header.decode("utf-8", "replace")))
        else:
            records.append((header, sequence))

    for number, line in enumerate(split_lines(data), start=1):
        line = strip_one_cr(line)
        if line.startswith(b">"):
            close_record()
            header, header_line, parts = line.replace(b"\t", b" "), number, []
        elif is_blank(line):
            continue
        elif header is None:
            raise RunError("%s:%d: text before the first FASTA header" % (name, number), 1)
        else:
            parts.append(line)
    close_record()
    if warnings:
        with_dna = sum(1 for _, sequence in records if b"T" in sequence or b"t" in sequence)
        if with_dna:
            warn("%s: %d sequences hold T letters (read as N); miRNA sequences "
                 "are expected with U" % (name, with_dna))
    return records


def mirbase_file_formatter(mature_file, grouped_file, sorted_grouped_file,
                           begin_seed, end_seed, seed_size):
    """Writes the grouped file (species line, then one line per seed and
    species, members in input order) and has it sorted into its copy."""
    records = read_mature_fasta(mature_file, begin_seed, seed_size)
    species_list = []
    groups = {}                 # (seed, species code) -> members, first-occurrence order
    for header, sequence in records:
        G.numb_of_mirna = u32(G.numb_of_mirna + 1)
        converted = text_to_rna5(sequence)
        code = header[1:4]
        if code not in species_list:
            species_list.append(code)
        seed = converted[begin_seed:begin_seed + seed_size]
        groups.setdefault((seed, code), []).append((converted, header))

    lines = [b"\t".join([b"$"] + species_list)]
    for (seed, code), members in groups.items():
        fields = [seed, code]
        for converted, header in members:
            fields += [converted, header]
        lines.append(b"\t".join(fields))
    write_output_file(grouped_file, b"".join(line + b"\n" for line in lines))
    sort_singlelinefile(grouped_file, sorted_grouped_file)
    return 0


def sort_singlelinefile(input_path, output_path):
    """Copies a file with its lines in ascending byte order."""
    with open(input_path, "rb") as f:
        lines = split_lines(f.read())
    lines.sort()
    write_output_file(output_path, b"".join(line + b"\n" for line in lines))
    return 0


def read_mirbase(sorted_grouped_file):
    """Loads the sorted grouped file into seed_vet and specie_code_vet;
    mirna_index counts the miRNAs over the whole file from 1."""
    with open(sorted_grouped_file, "rb") as f:
        lines = split_lines(f.read())
    if lines:
        # Species line: "$", then the codes. An empty code can never be
        # selected, so dropping empty fields here changes no result.
        G.specie_code_vet += [code for code in lines[0].split(b"\t")[1:] if code]
    working_seed = seed_vet_t()
    previous_seed_text = b"000"
    first_group_line = True
    running = 0
    for line in lines[1:]:
        fields = line.split(b"\t")
        seed_text = fields[0]
        if seed_text != previous_seed_text:
            if not first_group_line:
                G.seed_vet.append(working_seed)
                working_seed = seed_vet_t()
            working_seed.seed_seq = text_to_rna5(seed_text)
            previous_seed_text = seed_text
        first_group_line = False
        species = specie_vet_t(specie_code=fields[1] if len(fields) > 1 else b"")
        rest = fields[2:]
        for k in range(0, len(rest), 2):
            running = u32(running + 1)
            species.mirna_vet.append(mirna_vet_t(
                mirna_seq=text_to_rna5(rest[k]),
                mirna_info=rest[k + 1] if k + 1 < len(rest) else b"",
                mirna_index=running))
        working_seed.specie_vet.append(species)
    G.seed_vet.append(working_seed)
    return 0


def check_specie_code(specie_codes):
    """Selects every database species code that occurs anywhere in "--"
    followed by the species string, in the order of specie_code_vet."""
    log_line(b"specie_codes = " + specie_codes)
    search_text = b"--" + specie_codes
    found = False
    for code in G.specie_code_vet:
        if code and code in search_text:
            G.species_to_check_vet.append(code)
            found = True
    if not found:
        log_line(b"warning inserted codes are not present in the miRNA DB")
    return 0


# ---------------------------------------------------------------------------
# Tag input
# ---------------------------------------------------------------------------

def read_tag_count(line, line_number, name):
    """The read count of a tag line: the digits that follow the first tab,
    after optional white space; 0 with a warning when there are none."""
    tab = line.find(b"\t")
    i = tab + 1
    if tab >= 0:
        while i < len(line) and line[i] in WHITE_SPACE:
            i += 1
    start = i
    while tab >= 0 and i < len(line) and 0x30 <= line[i] <= 0x39:
        i += 1
    if tab < 0 or i == start:
        warn("%s:%d: no read count, counted as 0" % (name, line_number))
        return 0
    count = int(line[start:i])
    if count > U64:
        raise NotModelled("%s:%d: read count does not fit 64 bits" % (name, line_number))
    return count


def load_reads_db_buffer(tag_file, rna_conversion, seed_size):
    """Fills tag_vet with every tag longer than the seed, in file order, and
    sets tot_total_tag_count and discarded_tag."""
    name = tag_file.decode("utf-8", "replace")
    line_counter = 0
    for line in split_lines(read_input_file(tag_file)):
        line_counter = u32(line_counter + 1)
        line = strip_one_cr(line)
        column_1 = line.split(b"\t", 1)[0]
        if len(column_1) <= seed_size:
            G.discarded_tag = u32(G.discarded_tag + 1)
            continue
        if rna_conversion:
            column_1 = column_1.replace(b"T", b"U")
        G.tag_vet.append(tag_vet_t(
            tag_sequence=text_to_rna5(column_1),
            tag_quality=TAG_QUALITY,
            tag_count=read_tag_count(line, line_counter, name),
            tag_index=line_counter))
    G.tot_total_tag_count = line_counter
    return 0


# ---------------------------------------------------------------------------
# Matching
# ---------------------------------------------------------------------------

def find_seed_occurrences(seed, tag):
    """Every occurrence of the seed in the tag, left to right, overlapping
    ones included (exact symbol match: N matches only N)."""
    occurrences = []
    start = tag.find(seed)
    while start >= 0:
        occurrences.append(seed_in_tag_vet_t(seed_begin=start, seed_end=start + len(seed)))
        start = tag.find(seed, start + 1)
    return occurrences


def mirna_finder(min_tag_length, tag_begin, begin_seed, end_seed, seed_size):
    """Searches every selected seed and species in every tag and extends the
    leftmost occurrence; prints the ten parameter and count lines."""
    for i, seed in enumerate(G.seed_vet):
        if not seed.seed_seq:
            continue            # an empty seed has no species and matches nothing
        for j, species in enumerate(seed.specie_vet):
            for code in G.species_to_check_vet:
                if species.specie_code != code:
                    continue
                for t, tag in enumerate(G.tag_vet):
                    seed_in_tag_vet = find_seed_occurrences(seed.seed_seq, tag.tag_sequence)
                    if seed_in_tag_vet:
                        first = seed_in_tag_vet[0]
                        ungapped_extension(min_tag_length, tag_begin, first.seed_begin,
                                           first.seed_end, i, j, t, begin_seed,
                                           end_seed, seed_size)
                G.mirna_elaborated = u32(G.mirna_elaborated + 1)
    for label, value in ((b"min_tag_length = ", min_tag_length),
                         (b"tag_begin = ", tag_begin),
                         (b"begin_seed = ", begin_seed),
                         (b"end_seed = ", end_seed),
                         (b"seed_size = ", seed_size),
                         (b"seed_vet.size() = ", len(G.seed_vet)),
                         (b"tag_vet.size() = ", len(G.tag_vet)),
                         (b"tot_total_tag_count = ", G.tot_total_tag_count),
                         (b"discarded_tag = ", G.discarded_tag),
                         (b"mirna_elaborated = ", G.mirna_elaborated)):
        log_line(label + b"%d;" % u32(value))
    return 0


def extend_across_mismatch(tag, mirna, v, h):
    """Mismatch-tolerant extension to the right from tag position v and
    miRNA position h: walk until a sequence end or the second mismatch, then
    drop the trailing run of mismatches. Returns the new ends (v, h)."""
    if v >= len(tag) or h >= len(mirna):
        return v, h
    mismatches = trailing = 0
    while True:
        if tag[v] == mirna[h]:
            trailing = 0
        else:
            mismatches += 1
            trailing += 1
        v += 1
        h += 1
        if h >= len(mirna) or v >= len(tag) or mismatches >= 2:
            break
    return v - trailing, h - trailing


def ungapped_extension(min_tag_length, tag_begin, seed_begin, seed_end, seed_index,
                       specie_index, tag_vet_index, begin_seed, end_seed, seed_size):
    """Tries every miRNA of one seed and species on one seed occurrence in a
    tag and appends each accepted, scored and classified alignment."""
    tag = G.tag_vet[tag_vet_index]
    tag_seq = tag.tag_sequence
    T = len(tag_seq)
    species = G.seed_vet[seed_index].specie_vet[specie_index]
    for mirna_vet_index, mirna in enumerate(species.mirna_vet):
        mir = mirna.mirna_seq
        L = len(mir)
        # Seed placement; the seed symbols are not compared again.
        bm, bt = begin_seed, seed_begin
        e0, te = begin_seed + seed_size, seed_begin + seed_size
        # Exact extension to the left, then to the right.
        while bm > 0 and bt > 0 and tag_seq[bt - 1] == mir[bm - 1]:
            bm -= 1
            bt -= 1
        while te < T and e0 < L and tag_seq[te] == mir[e0]:
            te += 1
            e0 += 1
        size_ungapped = e0 - bm
        # The exact part must start within the first `tag_begin` tag positions.
        if bt >= tag_begin:
            continue
        f1t, e1 = extend_across_mismatch(tag_seq, mir, te, e0)
        size_ungapped_1 = f1t - bt
        if size_ungapped_1 <= min_tag_length:
            continue
        f2t, e2 = extend_across_mismatch(tag_seq, mir, f1t, e1)
        size_ungapped_2 = f2t - bt

        a = mirna_matched_vet_t(
            seed_index=seed_index, specie_index=specie_index,
            mirna_vet_index=mirna_vet_index,
            size_ungapped=size_ungapped, begin_ungapped_mirna=bm, begin_ungapped_tag=bt,
            size_ungapped_1=size_ungapped_1, begin_ungapped_mirna_1=bm, begin_ungapped_tag_1=bt,
            size_ungapped_2=size_ungapped_2, begin_ungapped_mirna_2=bm, begin_ungapped_tag_2=bt,
            mir_tag_size_diff=s32(L - T))
        n = 0
        if size_ungapped_1 != size_ungapped:
            a.iso_snp = True
            n = 1
        if size_ungapped_2 != size_ungapped_1:
            n += 1
            a.iso_snp = False
            a.iso_multi_snp = True
        # 5' substitution: same diagonal, and the left extension stopped on a
        # mismatch before position 0. It is not added to n.
        if bt == bm and bt != 0:
            if not a.iso_snp and not a.iso_multi_snp:
                a.iso_snp = True
            elif a.iso_snp:
                a.iso_snp = False
                a.iso_multi_snp = True
        # Computed without 32-bit wrap-around (the same for any real length).
        a.align_score = s32((L - (size_ungapped_2 - n)) * 100 // L)
        a.iso_5p = seed_begin != begin_seed
        a.iso_3p = not (e2 == L and bt + size_ungapped_2 == T)
        a.offset_site = e0 != end_seed
        # The site bounds are taken without 32-bit wrap-around: a huge
        # end_seed puts them out of reach rather than near 0.
        a.central_site = e0 > end_seed + 8
        low, high = end_seed + 5, end_seed + 8
        a.suppl_compens_site = not any(low <= e <= high for e in (e0, e1, e2))
        tag.mirna_matched_vet.append(a)
    return 0


def sortBy_align_score(alignment):
    """Sort key: ascending align_score, best first (used with a stable sort)."""
    return alignment.align_score


def output_structures_generation():
    """Splits the tags into unique and ambiguous ones, sums their reads and
    adds their alignments to the per-miRNA rows."""
    for p, tag in enumerate(G.tag_vet):
        G.read_count_experiment = u64(G.read_count_experiment + tag.tag_count)
        n = len(tag.mirna_matched_vet)
        if n >= 2:
            G.ambigue_reads_mapped_on_library = u64(G.ambigue_reads_mapped_on_library + tag.tag_count)
            G.result_tag_ambig_vet.append(copy.deepcopy(tag))
            fill_mirna_result_vector(p, True)
        elif n == 1:
            G.unique_reads_mapped_on_library = u64(G.unique_reads_mapped_on_library + tag.tag_count)
            G.result_tag_uniq_vet.append(copy.deepcopy(tag))
            fill_mirna_result_vector(p, False)
    return 0


def fill_mirna_result_vector(p, ambiguous):
    """Adds the alignments of tag p to the rows of their miRNAs (a new row
    for a miRNA met for the first time), in the chosen counter group."""
    tag = G.tag_vet[p]
    c = tag.tag_count
    for a in tag.mirna_matched_vet:
        mirna = mirna_of(a)
        row = next((r for r in G.result_mirna_uniq_ambig_vet
                    if r.mirna_index == mirna.mirna_index), None)
        if row is None:
            row = result_mirna_uniq_ambig_vet_t(
                mirna_seq=mirna.mirna_seq, mirna_info=mirna.mirna_info,
                mirna_index=mirna.mirna_index, seed_index=a.seed_index)
            G.result_mirna_uniq_ambig_vet.append(row)
        group = row.ambig if ambiguous else row.uniq
        group.different_tags = u32(group.different_tags + 1)
        group.count_tags = u64(group.count_tags + c)
        class_counter = a.alignment_class() + "_tags"
        setattr(group, class_counter, u64(getattr(group, class_counter) + c))
        for site in SITE_NAMES:
            if getattr(a, site):
                setattr(group, site + "_tags", u64(getattr(group, site + "_tags") + c))
    return 0


def output_structures_updating():
    """Fills the four single-precision percentages of every row."""
    mapped = u64(G.unique_reads_mapped_on_library + G.ambigue_reads_mapped_on_library)
    for row in G.result_mirna_uniq_ambig_vet:
        for group in (row.ambig, row.uniq):
            if group.count_tags != 0:
                group.expressed_mapped = percentage(group.count_tags, mapped)
                group.expressed_all = percentage(group.count_tags, G.read_count_experiment)
    return 0


# ---------------------------------------------------------------------------
# Reporting
# ---------------------------------------------------------------------------

FAMILY_BUFFER = 30


def family_name_parts(text):
    """The three name parts of a header text: species code (after ">" up to
    the first "-"), kind of name (up to the next "-") and family number
    (up to the next "-" or blank). The end of the text ends a part. Texts
    not starting with ">" have three empty parts."""
    parts = [b"", b"", b""]
    if not text.startswith(b">"):
        return parts
    part, start = 0, 1
    for i in range(1, len(text) + 1):
        at_end = i == len(text)
        ch = text[i:i + 1]
        ends = at_end or ch == b"-" or (part == 2 and ch == b" ")
        if ends:
            parts[part] = text[start:i]
            part += 1
            start = i + 1
            if at_end or part == 3:
                break
    return parts


def family_comparator(a, b):
    """0 when the two header texts name miRNAs of one family, 1 otherwise.

    Each part is compared as if in a buffer of at least 30 characters
    filled with "$" (longer parts are compared whole). Species code and
    kind of name must be equal; in the family number only positions where
    at least one side holds a digit must be equal, so letter suffixes are
    ignored."""
    pa, pb = family_name_parts(a), family_name_parts(b)
    for k in range(3):
        width = max(FAMILY_BUFFER, len(pa[k]), len(pb[k]))
        x, y = pa[k].ljust(width, b"$"), pb[k].ljust(width, b"$")
        if k < 2:
            if x != y:
                return 1
        else:
            for cx, cy in zip(x, y):
                if not (0x30 <= cx <= 0x39) and not (0x30 <= cy <= 0x39):
                    continue
                if cx != cy:
                    return 1
    return 0


RESULT_SUFFIXES = (b"_unique.txt", b"_ambigue.txt", b"_tag_unique.txt",
                   b"_tag_ambigue.txt", b"_tag_ambigue_selected.txt",
                   b"_unique_ambigue_selected.txt", b"_ambigue_ambigue_selected.txt")


def tsv(values):
    """One tab-separated line: integers in decimal, flags as 1/0, bytes as is."""
    out = []
    for v in values:
        if isinstance(v, bool):
            out.append(b"1" if v else b"0")
        elif isinstance(v, int):
            out.append(b"%d" % v)
        else:
            out.append(v)
    return b"\t".join(out) + b"\n"


def per_mirna_header(normalised):
    prefix = b"" if normalised else b"NO-"
    return tsv([b"mirna_index", b"#different_tags", b"#count_tags",
                prefix + b"norm_expressed_all", prefix + b"norm_expressed_mapped",
                b"#mirna_exact_tags", b"#iso_5p_tags", b"#iso_snp_tags",
                b"#iso_multi_snp_tags", b"#iso_3p_tags", b"#offset_site_tags",
                b"#suppl_compens_site_tags", b"#central_site_tags",
                b"seed_index", b"mirna_seq", b"mirna_info"])


def per_mirna_line(row, group):
    return tsv([row.mirna_index, group.different_tags, group.count_tags,
                format_float(group.expressed_all), format_float(group.expressed_mapped),
                group.mirna_exact_tags, group.iso_5p_tags, group.iso_snp_tags,
                group.iso_multi_snp_tags, group.iso_3p_tags, group.offset_site_tags,
                group.suppl_compens_site_tags, group.central_site_tags,
                row.seed_index, row.mirna_seq, row.mirna_info])


TAG_UNIQUE_HEADER = tsv([b"tag_index", b"tag_sequence", b"tag_quality", b"#count_tags",
                         b"mirna_id", b"mirna_name", b"mirna_seq", b"seed_index",
                         b"begin_ungapped_mirna", b"begin_ungapped_tag", b"size_ungapped",
                         b"size_ungapped_1", b"size_ungapped_2", b"align_score",
                         b"mir_tag_size_diff", b"mirna_exact", b"iso_5p", b"iso_snp",
                         b"iso_multi_snp", b"iso_3p", b"offset_site",
                         b"suppl_compens_site", b"central_site"])

TAG_AMBIGUE_HEADER = tsv([b"tag_index", b"tag_sequence", b"tag_quality", b"#count_tags",
                          b"mirna_id", b"mirna_name", b"mirna_seq", b"begin_ungapped_mirna",
                          b"begin_ungapped_tag", b"size_ungapped", b"size_ungapped_1",
                          b"size_ungapped_2", b"align_score", b"mir_tag_size_diff"])

TAG_SELECTED_HEADER = tsv([b"tag_index", b"tag_sequence", b"tag_quality", b"#count_tags",
                           b"mirna_id", b"mirna_name", b"mirna_seq", b"seed_index",
                           b"begin_ungapped_mirna", b"begin_ungapped_tag", b"size_ungapped",
                           b"size_ungapped_1", b"size_ungapped_2", b"align_score",
                           b"mir_tag_size_diff", b"mir2-mir1_align_score", b"num_mir_family",
                           b"num_of_mapped_miRNAs", b"mirna_exact", b"iso_5p", b"iso_snp",
                           b"iso_multi_snp", b"iso_3p", b"offset_site",
                           b"suppl_compens_site", b"central_site"])


def alignment_flags(a):
    return [a.mirna_exact(), a.iso_5p, a.iso_snp, a.iso_multi_snp, a.iso_3p,
            a.offset_site, a.suppl_compens_site, a.central_site]


def write_tag_unique_table(out):
    """One line per unique tag with its alignment; sums their reads."""
    out.append(TAG_UNIQUE_HEADER)
    for tag in G.result_tag_uniq_vet:
        a = tag.mirna_matched_vet[0]
        m = mirna_of(a)
        out.append(tsv([tag.tag_index, tag.tag_sequence, tag.tag_quality, tag.tag_count,
                        m.mirna_index, m.mirna_info, m.mirna_seq, a.seed_index,
                        a.begin_ungapped_mirna, a.begin_ungapped_tag, a.size_ungapped,
                        a.size_ungapped_1, a.size_ungapped_2, a.align_score,
                        a.mir_tag_size_diff] + alignment_flags(a)))
        G.uniq_mapped_total_tags_count = u64(G.uniq_mapped_total_tags_count + tag.tag_count)


def write_tag_ambigue_table(out, selected_out, threshold, result_mirna_selected_vet):
    """One line per ambiguous tag with all its alignments, best first; the
    selection runs for each tag right after its first alignment group."""
    for tag in G.result_tag_ambig_vet:
        line = tsv([tag.tag_index, tag.tag_sequence, tag.tag_quality, tag.tag_count])[:-1]
        G.ambigue_mapped_total_tag_count = u64(G.ambigue_mapped_total_tag_count + tag.tag_count)
        tag.mirna_matched_vet.sort(key=sortBy_align_score)      # stable
        for k, a in enumerate(tag.mirna_matched_vet):
            if k == 1:
                select_ambiguous_tag(tag, threshold, selected_out, result_mirna_selected_vet)
            m = mirna_of(a)
            line += b"\t" + tsv([m.mirna_index, m.mirna_info, m.mirna_seq,
                                 a.begin_ungapped_mirna, a.begin_ungapped_tag,
                                 a.size_ungapped, a.size_ungapped_1, a.size_ungapped_2,
                                 a.align_score, a.mir_tag_size_diff, b"|"])[:-1]
        out.append(line + b"\n")


def select_ambiguous_tag(tag, threshold, out, result_mirna_selected_vet):
    """Assigns an ambiguous tag to its best alignment when that alignment's
    score is below the threshold: one line in the selected table, and its
    reads move from the ambiguous to the unique counters of that miRNA in
    the working copy."""
    alignments = tag.mirna_matched_vet
    a0, a1 = alignments[0], alignments[1]
    if not a0.align_score < threshold:
        return
    m0 = mirna_of(a0)
    num_mir_family = 1
    for a in alignments[1:]:
        num_mir_family += family_comparator(m0.mirna_info, mirna_of(a).mirna_info)
    c = tag.tag_count
    out.append(tsv([tag.tag_index, tag.tag_sequence, tag.tag_quality, c,
                    m0.mirna_index, m0.mirna_info, m0.mirna_seq, a0.seed_index,
                    a0.begin_ungapped_mirna, a0.begin_ungapped_tag, a0.size_ungapped,
                    a0.size_ungapped_1, a0.size_ungapped_2, a0.align_score,
                    a0.mir_tag_size_diff, s32(a1.align_score - a0.align_score),
                    num_mir_family, len(alignments)] + alignment_flags(a0)))
    G.ambigue_selected_mapped_total_tag_count = u64(G.ambigue_selected_mapped_total_tag_count + c)
    for row in result_mirna_selected_vet:
        if row.mirna_index != m0.mirna_index:
            continue
        uniq, ambig = row.uniq, row.ambig
        uniq.different_tags = u32(uniq.different_tags + 1)
        ambig.different_tags = u32(ambig.different_tags - 1)
        uniq.count_tags = u64(uniq.count_tags + c)
        ambig.count_tags = u64(ambig.count_tags - c)
        uniq.expressed_all = uniq.expressed_mapped = 0.0
        ambig.expressed_all = ambig.expressed_mapped = 0.0
        counters = [a0.alignment_class()] + [s for s in SITE_NAMES if getattr(a0, s)]
        for name in counters:
            name += "_tags"
            setattr(uniq, name, u64(getattr(uniq, name) + c))
            setattr(ambig, name, u64(getattr(ambig, name) - c))


def render_result_files(threshold):
    """The contents of the seven result files, by suffix, and the totals."""
    files = {suffix: [] for suffix in RESULT_SUFFIXES}
    unique, ambigue, tag_unique, tag_ambigue, tag_selected, unique_sel, ambigue_sel = (
        files[s] for s in RESULT_SUFFIXES)
    result_mirna_selected_vet = []
    unique.append(per_mirna_header(True))
    ambigue.append(per_mirna_header(True))
    for row in G.result_mirna_uniq_ambig_vet:
        if row.uniq.different_tags != 0:
            unique.append(per_mirna_line(row, row.uniq))
        if row.ambig.different_tags != 0:
            ambigue.append(per_mirna_line(row, row.ambig))
        result_mirna_selected_vet.append(copy.deepcopy(row))
    write_tag_unique_table(tag_unique)
    tag_ambigue.append(TAG_AMBIGUE_HEADER)
    tag_selected.append(TAG_SELECTED_HEADER)
    write_tag_ambigue_table(tag_ambigue, tag_selected, threshold, result_mirna_selected_vet)
    unique_sel.append(per_mirna_header(False))
    ambigue_sel.append(per_mirna_header(False))
    for row in result_mirna_selected_vet:
        if row.uniq.different_tags != 0:
            unique_sel.append(per_mirna_line(row, row.uniq))
        if row.ambig.different_tags != 0:
            ambigue_sel.append(per_mirna_line(row, row.ambig))
    return {suffix: b"".join(lines) for suffix, lines in files.items()}


def output_file_print(output_prefix, align_score_threshold):
    """Writes the seven result files named output_prefix + suffix."""
    paths = [output_prefix + suffix for suffix in RESULT_SUFFIXES]
    for path in paths:                  # every file can be created, or the run fails
        check_creatable(path)
    contents = render_result_files(align_score_threshold)
    for path, suffix in zip(paths, RESULT_SUFFIXES):
        write_output_file(path, contents[suffix])
    return 0


# ---------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------

def read_input_file(path):
    name = path.decode("utf-8", "replace")
    if os.path.isdir(path):
        raise RunError("cannot read %s: Is a directory" % name, 1)
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        raise RunError("cannot read %s: %s" % (name, e.strerror), 1)


def check_creatable(path):
    try:
        with open(path, "ab"):
            pass
    except OSError as e:
        raise RunError("cannot create %s: %s" % (path.decode("utf-8", "replace"), e.strerror), 1)


def write_output_file(path, data):
    try:
        with open(path, "wb") as f:
            f.write(data)
    except OSError as e:
        raise RunError("cannot write %s: %s" % (path.decode("utf-8", "replace"), e.strerror), 1)


# ---------------------------------------------------------------------------
# The run
# ---------------------------------------------------------------------------

def run(argv):
    """One whole run; returns the exit status."""
    reset_run_state()
    try:
        p = read_command_line(BuildParameterList(argv))
        min_tag_length, seed_size = u32(p.min_tag_length), u32(p.seed_size)
        begin_seed, end_seed, tag_begin = u32(p.begin_seed), u32(p.end_seed), u32(p.tag_begin)
        # Both inputs and the FASTA content are checked before any file is written.
        read_input_file(p.mature_file)
        read_input_file(p.tag_file)
        read_mature_fasta(p.mature_file, begin_seed, seed_size, warnings=False)
        for path in (p.grouped_file, p.sorted_grouped_file):
            check_creatable(path)

        mirbase_file_formatter(p.mature_file, p.grouped_file, p.sorted_grouped_file,
                               begin_seed, end_seed, seed_size)
        read_mirbase(p.sorted_grouped_file)
        load_reads_db_buffer(p.tag_file, p.rna_conversion, seed_size)
        check_specie_code(p.specie_codes)
        mirna_finder(min_tag_length, tag_begin, begin_seed, end_seed, seed_size)
        output_structures_generation()
        output_structures_updating()
        output_file_print(p.output_prefix, p.align_score_threshold)
        free_all_structures()
    except RunError as e:
        sys.stderr.write("mirsight: %s\n" % e)
        return e.status
    except NotModelled as e:
        sys.stderr.write("reference model: outcome not decided for this input: %s\n" % e)
        return 3
    log_line(b"uniq_mapped_total_tags_count = %d;" % G.uniq_mapped_total_tags_count)
    log_line(b"ambigue_mapped_total_tag_count = %d;" % G.ambigue_mapped_total_tag_count)
    log_line(b"ambigue_selected_mapped_total_tag_count = %d;"
             % G.ambigue_selected_mapped_total_tag_count)
    return 0


# ---------------------------------------------------------------------------
# Self-test: small examples worked by hand, and edge cases
# ---------------------------------------------------------------------------

class SelfTest:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, actual, expected):
        if actual == expected:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL %s\n  expected: %r\n  actual:   %r" % (name, expected, actual))


_SCRATCH_DIRS = []


def _scratch_dir():
    import tempfile
    _SCRATCH_DIRS.append(tempfile.mkdtemp(prefix="mirsight_model_"))
    return _SCRATCH_DIRS[-1]


def _build_index(mirnas):
    """A seed index with one seed and one species holding the given
    (sequence, header) miRNAs, numbered from 1."""
    reset_run_state()
    species = specie_vet_t(specie_code=b"abc")
    for k, (seq, info) in enumerate(mirnas, start=1):
        species.mirna_vet.append(mirna_vet_t(mirna_seq=seq, mirna_info=info, mirna_index=k))
    G.seed_vet = [seed_vet_t(seed_seq=mirnas[0][0][1:7], specie_vet=[species])]


def _alignment(mirna_vet_index, score, **flags):
    return mirna_matched_vet_t(mirna_vet_index=mirna_vet_index, align_score=score, **flags)


def _fields(file_bytes):
    return [line.split(b"\t") for line in file_bytes.split(b"\n")[:-1]]


def self_test_command_line(t):
    a = atoi
    for text, expected in ((b"12", 12), (b"  -7x", -7), (b"abc", 0), (b"", 0), (b"+5", 5),
                           (b"99999999999999999999", -1), (b"-99999999999999999999", 0),
                           (b"4294967297", 1), (b"\t\n 3", 3), (b"- 3", 0)):
        t.check("atoi %r" % text, a(text), expected)

    def cl(*args):
        return read_command_line([x.encode() for x in args])

    p = cl()
    t.check("defaults", (p.mature_file, p.tag_file, p.grouped_file, p.sorted_grouped_file,
                         p.output_prefix, p.specie_codes, p.min_tag_length, p.tag_begin,
                         p.begin_seed, p.end_seed, p.seed_size, p.align_score_threshold,
                         p.rna_conversion),
            (b"Tests/mirna_example.txt", b"Tests/tag_count_iso_exampl.txt",
             b"Tests/mirna_example_grouped.txt", b"Tests/mirna_example_grouped_sorted.txt",
             b"Tests/out_mature", b"chsa", 10, 4, 1, 7, 6, 14, True))
    p = cl("-p", "out", "-i", "in", "-m", "db", "-t", "reads")
    t.check("-p -i -m -t", (p.output_prefix, p.mature_file, p.grouped_file,
                            p.sorted_grouped_file, p.tag_file),
            (b"out/out_result_db", b"in/db.txt", b"out/db_db_group.txt",
             b"out/db_db_group_sorted.txt", b"in/reads.txt"))
    p = cl("-m", "db", "-p", "out")
    t.check("later -p has no effect", (p.output_prefix, p.mature_file, p.grouped_file,
                                       p.sorted_grouped_file),
            (b"out_result_db", b"db.txt", b"db_db_group.txt", b"db_db_group_sorted.txt"))
    t.check("-p out/", cl("-p", "out/").output_dir, b"out//")
    p = cl("-s", "-r")
    t.check("-s -r", (p.specie_codes, p.rna_conversion), (b"-r", False))
    t.check("-l abc", cl("-l", "abc").min_tag_length, 0)
    t.check("-l 12 -l 15", cl("-l", "12", "-l", "15").min_tag_length, 15)
    t.check("-l -1 reaches the search unsigned", u32(cl("-l", "-1").min_tag_length), 4294967295)
    t.check("-h stays signed", cl("-h", "-5").align_score_threshold, -5)
    for args, status in ((["-l"], 2), (["-ss", "0"], 2), (["-ss", "0", "-ss", "3"], None)):
        try:
            cl(*args)
            got = None
        except RunError as e:
            got = e.status
        t.check("exit status for %s" % " ".join(args), got, status)


GROUPED_EXAMPLE_FASTA = (b">abc-miR-10-5p\nAGCUAGCUAGCUAGCUAGCUAG\n"
                         b">abc-miR-20-3p\nUGCUAGCAAAAAAAAAAAAAAA\n"
                         b">xyz-miR-30\nCGCUAGCUUUUUUUUUUUUUUU\n"
                         b">abc-let-5\naaccggttaaccggttaaccgg\n")


def self_test_mirna_db(t):
    d = _scratch_dir().encode()
    mature, grouped, sorted_ = d + b"/m.txt", d + b"/g.txt", d + b"/s.txt"

    def formatted(fasta, begin_seed=1, seed_size=6):
        reset_run_state()
        with open(mature, "wb") as f:
            f.write(fasta)
        mirbase_file_formatter(mature, grouped, sorted_, begin_seed, 7, seed_size)
        with open(grouped, "rb") as f, open(sorted_, "rb") as g:
            return f.read(), g.read()

    expected_grouped = (b"$\tabc\txyz\n"
                        b"GCUAGC\tabc\tAGCUAGCUAGCUAGCUAGCUAG\t>abc-miR-10-5p"
                        b"\tUGCUAGCAAAAAAAAAAAAAAA\t>abc-miR-20-3p\n"
                        b"GCUAGC\txyz\tCGCUAGCUUUUUUUUUUUUUUU\t>xyz-miR-30\n"
                        b"ACCGGN\tabc\tAACCGGNNAACCGGNNAACCGG\t>abc-let-5\n")
    g, s = formatted(GROUPED_EXAMPLE_FASTA)
    t.check("grouped file of GROUPED_EXAMPLE_FASTA", g, expected_grouped)
    t.check("sorted grouped file", s, b"".join(sorted(expected_grouped.splitlines(True))))
    read_mirbase(sorted_)
    loaded = [(seed.seed_seq, [(sp.specie_code, [(m.mirna_index, m.mirna_info)
                                                for m in sp.mirna_vet])
                               for sp in seed.specie_vet]) for seed in G.seed_vet]
    t.check("seed index of GROUPED_EXAMPLE_FASTA", loaded,
            [(b"ACCGGN", [(b"abc", [(1, b">abc-let-5")])]),
             (b"GCUAGC", [(b"abc", [(2, b">abc-miR-10-5p"), (3, b">abc-miR-20-3p")]),
                          (b"xyz", [(4, b">xyz-miR-30")])])])
    t.check("species codes", G.specie_code_vet, [b"abc", b"xyz"])

    crlf = GROUPED_EXAMPLE_FASTA.replace(b"\n", b"\r\n")
    t.check("CRLF FASTA gives the same grouped file", formatted(crlf)[0], expected_grouped)
    wrapped = (b"\n>abc-miR-10-5p\nAGCUAGCUAG\nCUAGCUAGCUAG\n\n>abc-miR-20-3p\n"
               b"UGCUAGCAAAAAAAAAAAAAAA\n>xyz-miR-30\nCGCUAGCUUUUUUUUUUUUUUU\n"
               b">abc-let-5\naaccggttaaccggttaaccgg")
    t.check("multi-line FASTA with blank lines", formatted(wrapped)[0], expected_grouped)
    g, _ = formatted(b">abc-x\ttab\nAGCUAGCU\n>abc-short\nAGCUAG\n>abc-empty\n")
    t.check("tab in header becomes blank; short and empty records skipped", g,
            b"$\tabc\nGCUAGC\tabc\tAGCUAGCU\t>abc-x tab\n")
    t.check("empty FASTA gives only the species line", formatted(b"")[0], b"$\n")
    read_mirbase(sorted_)
    t.check("empty database loads one empty seed",
            [(s.seed_seq, s.specie_vet) for s in G.seed_vet], [(b"", [])])
    g, _ = formatted(GROUPED_EXAMPLE_FASTA, begin_seed=0, seed_size=7)
    t.check("-ss 7 -sb 0 takes the first seven letters", [l.split(b"\t")[0] for l in
                                                          g.splitlines()[1:]],
            [b"AGCUAGC", b"UGCUAGC", b"CGCUAGC", b"AACCGGN"])
    try:
        formatted(b"junk\n>abc\nAGCUAGCU\n")
        status = 0
    except RunError as e:
        status = e.status
    t.check("text before the first header is an error", status, 1)

    with open(grouped, "wb") as f:
        f.write(b"b\n\nA\r\na\nB")
    sort_singlelinefile(grouped, sorted_)
    with open(sorted_, "rb") as f:
        t.check("byte-wise line sort", f.read(), b"\nA\r\nB\na\nb\n")

    for species_string, codes, selected, warned in (
            (b"chsa", [b"hsa", b"mmu"], [b"hsa"], False),
            (b"hsa mmu", [b"hsa", b"mmu"], [b"hsa", b"mmu"], False),
            (b"mmu hsa", [b"hsa", b"mmu"], [b"hsa", b"mmu"], False),
            (b"hsa hsa", [b"hsa"], [b"hsa"], False),
            (b"", [b"hsa"], [], True),
            (b"xyz", [b"hsa", b"mmu"], [], True)):
        reset_run_state()
        G.stdout = io.BytesIO()
        G.specie_code_vet = codes
        check_specie_code(species_string)
        expected_log = b"specie_codes = " + species_string + b"\n"
        if warned:
            expected_log += b"warning inserted codes are not present in the miRNA DB\n"
        t.check("species selection %r in %r" % (species_string, codes),
                (G.species_to_check_vet, G.stdout.getvalue()), (selected, expected_log))


def self_test_tags(t):
    d = _scratch_dir().encode()
    path = d + b"/tags.txt"

    def loaded(data, rna_conversion=True, seed_size=6):
        reset_run_state()
        with open(path, "wb") as f:
            f.write(data)
        load_reads_db_buffer(path, rna_conversion, seed_size)
        return [(x.tag_sequence, x.tag_count, x.tag_index) for x in G.tag_vet]

    t.check("six letters discarded, seven kept", loaded(b"ACGUAC\t5\nACGUACG\t5\n"),
            [(b"ACGUACG", 5, 2)])
    t.check("T becomes U", loaded(b"ACGTACGT\t10\n"), [(b"ACGUACGU", 10, 1)])
    t.check("T becomes N with -r", loaded(b"ACGTACGT\t10\n", False), [(b"ACGNACGN", 10, 1)])
    t.check("lower-case t becomes N", loaded(b"acgtacgt\t10\n"), [(b"ACGNACGN", 10, 1)])
    t.check("empty line counted and discarded",
            (loaded(b"ACGUACGU\t1\n\nACGUACGU\t3"), G.discarded_tag, G.tot_total_tag_count),
            ([(b"ACGUACGU", 1, 1), (b"ACGUACGU", 3, 3)], 1, 3))
    t.check("third column ignored; CR removed; white space before the count",
            loaded(b"ACGUACGU\t7\textra\nACGUACGU\t 8\r\nACGUACGU\t9\r\n"),
            [(b"ACGUACGU", 7, 1), (b"ACGUACGU", 8, 2), (b"ACGUACGU", 9, 3)])
    t.check("missing or unreadable count is 0",
            loaded(b"ACGUACGU\nACGUACGU\t+5\nACGUACGU\tx\n"),
            [(b"ACGUACGU", 0, 1), (b"ACGUACGU", 0, 2), (b"ACGUACGU", 0, 3)])
    t.check("counts beyond 32 bits kept whole", loaded(b"ACGUACGU\t4294967296\n"),
            [(b"ACGUACGU", 4294967296, 1)])
    t.check("quality text", G.tag_vet[0].tag_quality, b"\xc3\xa8")


MIRNA_42 = b"UCAGGACGUAACGGAUCCAGUA"


def _mutate(seq, changes):
    s = bytearray(seq)
    for position, letter in changes:
        s[position] = ord(letter)
    return bytes(s)


# tag, hit, Bm/Bt, sizes, E0/E1/E2, score, diff, set flags
EXTENSION_TABLE = [
    (MIRNA_42, 1, (0, 0), (22, 22, 22), (22, 22, 22), 0, 0,
     {"mirna_exact", "offset_site", "suppl_compens_site", "central_site"}),
    (MIRNA_42[1:], 0, (1, 0), (21, 21, 21), (22, 22, 22), 4, 1,
     {"iso_5p", "offset_site", "suppl_compens_site", "central_site"}),
    (b"A" + MIRNA_42, 2, (0, 1), (22, 22, 22), (22, 22, 22), 0, -1,
     {"iso_5p", "offset_site", "suppl_compens_site", "central_site"}),
    (_mutate(MIRNA_42, [(12, "U")]), 1, (0, 0), (12, 22, 22), (12, 22, 22), 4, 0,
     {"iso_snp", "offset_site"}),
    (_mutate(MIRNA_42, [(0, "A")]), 1, (1, 1), (21, 21, 21), (22, 22, 22), 4, 0,
     {"iso_snp", "offset_site", "suppl_compens_site", "central_site"}),
    (_mutate(MIRNA_42, [(12, "U"), (17, "A")]), 1, (0, 0), (12, 17, 22), (12, 17, 22), 9, 0,
     {"iso_multi_snp", "offset_site"}),
    (_mutate(MIRNA_42, [(9, "C"), (12, "U"), (17, "A")]), 1, (0, 0), (9, 12, 17), (9, 12, 17),
     31, 0, {"iso_multi_snp", "iso_3p", "offset_site"}),
    (_mutate(MIRNA_42, [(12, "U"), (13, "U")]), 1, (0, 0), (12, 12, 12), (12, 12, 12), 45, 0,
     {"iso_3p", "offset_site"}),
    (_mutate(MIRNA_42, [(0, "A"), (12, "U")]), 1, (1, 1), (11, 21, 21), (12, 22, 22), 9, 0,
     {"iso_multi_snp", "offset_site"}),
    (_mutate(MIRNA_42, [(21, "C")]), 1, (0, 0), (21, 21, 21), (21, 21, 21), 4, 0,
     {"iso_3p", "offset_site", "suppl_compens_site", "central_site"}),
    (MIRNA_42[:20], 1, (0, 0), (20, 20, 20), (20, 20, 20), 9, 2,
     {"iso_3p", "offset_site", "suppl_compens_site", "central_site"}),
    (MIRNA_42 + b"AA", 1, (0, 0), (22, 22, 22), (22, 22, 22), 0, -2,
     {"iso_3p", "offset_site", "suppl_compens_site", "central_site"}),
    (MIRNA_42[:11], 1, (0, 0), (11, 11, 11), (11, 11, 11), 50, 11,
     {"iso_3p", "offset_site", "suppl_compens_site"}),
    (b"GAG" + MIRNA_42, 4, (0, 3), (22, 22, 22), (22, 22, 22), 0, -3,
     {"iso_5p", "offset_site", "suppl_compens_site", "central_site"}),
]

FLAG_NAMES = ("mirna_exact", "iso_5p", "iso_snp", "iso_multi_snp", "iso_3p") + SITE_NAMES


def _search(tags, mirnas=((MIRNA_42, b">abc-miR-42"),), selected=(b"abc",),
            params=(10, 4, 1, 7, 6)):
    """Runs the seed search over the given tags; returns their alignments."""
    _build_index(list(mirnas))
    G.stdout = io.BytesIO()
    G.species_to_check_vet = list(selected)
    G.tag_vet = [tag_vet_t(tag_sequence=s, tag_count=1, tag_index=k + 1)
                 for k, s in enumerate(tags)]
    mirna_finder(*params)
    return [x.mirna_matched_vet for x in G.tag_vet]


def self_test_matching(t):
    seed = MIRNA_42[1:7]
    t.check("the seed occurs once in the miRNA", len(find_seed_occurrences(seed, MIRNA_42)), 1)
    hit = find_seed_occurrences(b"CAGGAC", b"ACAGGACGU")[0]
    t.check("seed CAGGAC in ACAGGACGU", (hit.seed_begin, hit.seed_end), (1, 7))

    results = _search([row[0] for row in EXTENSION_TABLE])
    for number, (row, found) in enumerate(zip(EXTENSION_TABLE, results), start=1):
        tag, hit, (bm, bt), sizes, ends, score, diff, flags = row
        t.check("extension row %d: length" % number, len(tag) == len(MIRNA_42) - diff, True)
        t.check("extension row %d: hit" % number,
                find_seed_occurrences(seed, tag)[0].seed_begin, hit)
        t.check("extension row %d: one alignment" % number, len(found), 1)
        if len(found) != 1:
            continue
        a = found[0]
        set_flags = {f for f in FLAG_NAMES
                     if (a.mirna_exact() if f == "mirna_exact" else getattr(a, f))}
        t.check("extension row %d" % number,
                ((a.begin_ungapped_mirna, a.begin_ungapped_tag),
                 (a.size_ungapped, a.size_ungapped_1, a.size_ungapped_2),
                 (bm + a.size_ungapped, bm + a.size_ungapped_1, bm + a.size_ungapped_2),
                 a.align_score, a.mir_tag_size_diff, set_flags,
                 (a.begin_ungapped_mirna_1, a.begin_ungapped_mirna_2,
                  a.begin_ungapped_tag_1, a.begin_ungapped_tag_2)),
                ((bm, bt), sizes, ends, score, diff, flags, (bm, bm, bt, bt)))

    rejected = _search([MIRNA_42[:10], b"GAGA" + MIRNA_42])
    t.check("rejected: first 10 symbols, and GAGA + miRNA", rejected, [[], []])

    # Boundaries of the start and length tests.
    t.check("start at tag_begin - 1 passes, at tag_begin fails",
            [len(x) for x in _search([b"GAG" + MIRNA_42, b"GAGA" + MIRNA_42],
                                     params=(10, 4, 1, 7, 6))], [1, 0])
    t.check("-b 0 accepts nothing", _search([MIRNA_42], params=(10, 0, 1, 7, 6)), [[]])
    t.check("length min_tag_length + 1 passes, min_tag_length fails",
            [len(x) for x in _search([MIRNA_42[:11], MIRNA_42[:10]])], [1, 0])
    t.check("-l -1 accepts nothing", _search([MIRNA_42], params=(U32, 4, 1, 7, 6)), [[]])

    # Leftmost occurrence only: the seed at positions 1 and 12 of one tag.
    # With tag_begin 20 the occurrence at 12 would be accepted too, so a
    # second alignment would show that it had been extended.
    tag = b"UCAGGACGUAAC" + MIRNA_42[1:]
    t.check("the seed occurs at 1 and 12",
            [o.seed_begin for o in find_seed_occurrences(seed, tag)], [1, 12])
    found = _search([tag], params=(10, 20, 1, 7, 6))[0]
    t.check("leftmost occurrence only",
            [(a.begin_ungapped_tag, a.size_ungapped, a.iso_5p) for a in found], [(0, 12, False)])

    # Two adjacent mismatches right after the exact part stop both extensions.
    a = _search([_mutate(MIRNA_42, [(12, "U"), (13, "U")])])[0][0]
    t.check("two adjacent mismatches", (a.size_ungapped, a.size_ungapped_1, a.size_ungapped_2),
            (12, 12, 12))
    # N matches N only.
    with_n = _mutate(MIRNA_42, [(15, "N")])
    t.check("N in both sequences matches", _search([with_n], mirnas=((with_n, b">abc-n"),))[0][0]
            .size_ungapped, 22)
    t.check("N against a letter is a mismatch", _search([with_n])[0][0].size_ungapped, 15)

    # Species codes compare exactly; a code selected twice searches twice.
    t.check("hsa vs 'hsa ' vs HSA", _search([MIRNA_42], selected=(b"abc ", b"ABC")), [[]])
    t.check("no selected species: mirna_elaborated 0", G.mirna_elaborated, 0)
    t.check("ten log lines even without species", G.stdout.getvalue(),
            b"min_tag_length = 10;\ntag_begin = 4;\nbegin_seed = 1;\nend_seed = 7;\n"
            b"seed_size = 6;\nseed_vet.size() = 1;\ntag_vet.size() = 1;\n"
            b"tot_total_tag_count = 0;\ndiscarded_tag = 0;\nmirna_elaborated = 0;\n")
    twice = _search([MIRNA_42], selected=(b"abc", b"abc"))
    t.check("a code held twice gives two passes", (len(twice[0]), G.mirna_elaborated), (2, 2))
    _search([MIRNA_42], params=(U32, 4, 1, 7, 6))
    t.check("wrapped parameter prints unsigned",
            G.stdout.getvalue().split(b"\n")[0], b"min_tag_length = 4294967295;")

    # Several miRNAs under one seed and species are all tried, in order.
    other = b"ACAGGACGUAACGGAUCCAGUU"
    found = _search([MIRNA_42], mirnas=((MIRNA_42, b">a"), (other, b">b")))[0]
    t.check("two miRNAs of one seed both accepted, in order",
            [(a.mirna_vet_index, a.align_score) for a in found], [(0, 0), (1, 9)])


def _aggregate(tags):
    """Tags given as (count, [alignments]) over a two-miRNA index X, Y."""
    _build_index([(MIRNA_42, b">abc-miR-1"), (MIRNA_42, b">abc-miR-2")])
    G.tag_vet = [tag_vet_t(tag_sequence=MIRNA_42, tag_count=c, tag_index=k + 1,
                           mirna_matched_vet=list(al)) for k, (c, al) in enumerate(tags)]
    output_structures_generation()
    output_structures_updating()


def self_test_aggregation(t):
    X, Y = 0, 1
    _aggregate([
        (5, [_alignment(X, 0, offset_site=True, suppl_compens_site=True, central_site=True)]),
        (3, [_alignment(X, 4, iso_5p=True, offset_site=True), _alignment(Y, 4, iso_snp=True)]),
        (2, [])])
    t.check("read sums", (G.read_count_experiment, G.unique_reads_mapped_on_library,
                          G.ambigue_reads_mapped_on_library), (10, 5, 3))
    t.check("tag tables", ([x.tag_count for x in G.result_tag_uniq_vet],
                           [x.tag_count for x in G.result_tag_ambig_vet]), ([5], [3]))
    rx, ry = G.result_mirna_uniq_ambig_vet
    t.check("row order", (rx.mirna_index, ry.mirna_index), (1, 2))
    t.check("row X unique", (rx.uniq.different_tags, rx.uniq.count_tags, rx.uniq.mirna_exact_tags,
                             rx.uniq.offset_site_tags, rx.uniq.suppl_compens_site_tags,
                             rx.uniq.central_site_tags, format_float(rx.uniq.expressed_all),
                             format_float(rx.uniq.expressed_mapped)),
            (1, 5, 5, 5, 5, 5, b"        50", b"      62.5"))
    t.check("row X ambiguous", (rx.ambig.different_tags, rx.ambig.count_tags,
                                rx.ambig.iso_5p_tags, rx.ambig.offset_site_tags,
                                rx.ambig.iso_snp_tags, format_float(rx.ambig.expressed_all),
                                format_float(rx.ambig.expressed_mapped)),
            (1, 3, 3, 3, 0, b"30.00000191", b"      37.5"))
    t.check("30.0000019 in single precision", rx.ambig.expressed_all, 30.000001907348633)
    t.check("row Y", (ry.ambig.different_tags, ry.ambig.count_tags, ry.ambig.iso_snp_tags,
                      format_float(ry.ambig.expressed_all), format_float(ry.ambig.expressed_mapped),
                      ry.uniq), (1, 3, 3, b"30.00000191", b"      37.5", result_group()))
    _aggregate([(0, [_alignment(X, 0)]), (7, [])])
    r = G.result_mirna_uniq_ambig_vet[0]
    t.check("count 0 still counts a tag", (r.uniq.different_tags, r.uniq.count_tags,
                                           r.uniq.expressed_all), (1, 0, 0.0))
    _aggregate([(1, [_alignment(X, 0, iso_5p=True, iso_snp=True)])])
    t.check("iso_5p wins over iso_snp", (G.result_mirna_uniq_ambig_vet[0].uniq.iso_5p_tags,
                                         G.result_mirna_uniq_ambig_vet[0].uniq.iso_snp_tags),
            (1, 0))
    _aggregate([(3, [_alignment(X, 0), _alignment(X, 4)])])
    t.check("two alignments on one miRNA make a tag ambiguous",
            (len(G.result_tag_ambig_vet), G.result_mirna_uniq_ambig_vet[0].ambig.different_tags,
             G.result_mirna_uniq_ambig_vet[0].ambig.count_tags), (1, 2, 6))
    _aggregate([(3 * (1 << 31), [_alignment(X, 0)]), (1 << 31, [])])
    t.check("read sums beyond 32 bits", (G.read_count_experiment,
                                         G.result_mirna_uniq_ambig_vet[0].uniq.count_tags),
            (1 << 33, 3 * (1 << 31)))
    t.check("float of a large count", f32_from_int((1 << 60) + (1 << 36) + 1),
            float((1 << 60) + (1 << 37)))


def self_test_family(t):
    for a, b, expected in (
            (b">abc-miR-21-5p ", b">abc-miR-21-3p ", 0),
            (b">abc-let-7a-5p ", b">abc-let-7b-5p ", 0),
            (b">abc-miR-21-5p ", b">abc-miR-2-5p ", 1),
            (b">abc-miR-21-5p ", b">xyz-miR-21-5p ", 1),
            (b">abc-miR-10-5p ", b">abc-let-10 ", 1),
            (b"text without >", b"other text", 0),
            (b">abc-lin-4 ", b">abc-lin-4-5p", 0),
            (b">abc-miR-21 ", b">abc-miR-2 ", 1),
            (b">abc-miR-2 ", b">abc-miR-21 ", 1),
            (b">abc-miR-7 ", b">abc-miR-7a ", 0),
            (b">abc-miR-103a-3p", b">abc-miR-103b-3p", 0),
            (b">abc-miR-17", b">abc-miR-7", 1),
            (b">abc-miR-21", b">abc-miR-21", 0),              # end of text ends part 3
            (b">abc", b">abc", 0),                            # end of text ends part 1
            (b">abc", b">abd", 1),
            (b">abc-miR-21 MIMAT1 x", b">abc-miR-21-3p MIMAT2", 0),
            (b">abc-miR-1" + b"0" * 40, b">abc-miR-1" + b"0" * 40, 0),   # longer than 30
            (b">abc-miR-1" + b"0" * 40, b">abc-miR-1" + b"0" * 39 + b"1", 1),
            (b">abc-miR-1" + b"0" * 40, b">abc-miR-1" + b"0" * 29, 1),
            (b">" + b"x" * 40 + b"-miR-1", b">" + b"x" * 40 + b"-miR-1a", 0),
            (b">" + b"x" * 40 + b"-miR-1", b">" + b"x" * 30 + b"-miR-1", 1)):
        t.check("family %r %r" % (a, b), (family_comparator(a, b), family_comparator(b, a)),
                (expected, expected))


def self_test_formats(t):
    for value, text in ((0.0, b"         0"), (12.5, b"      12.5"), (100.0, b"       100"),
                        (percentage(1, 3), b"33.33333588"),
                        (f32(1e-05), b"9.999999747e-06")):
        t.check("float format %r" % value, format_float(value), text)
    # The quotient is rounded to float before the multiplication, so one read
    # of three is 33.333336, not the nearest float to 100/3 (33.333332).
    t.check("one read of three in single precision", (percentage(1, 3), f32(100.0 / 3)),
            (33.333335876464844, 33.33333206176758))


def _report(tags, mirnas, threshold=14):
    """Aggregates tags (count, [alignments]) over the given miRNA headers and
    renders the seven files."""
    _build_index([(MIRNA_42, info) for info in mirnas])
    G.tag_vet = [tag_vet_t(tag_sequence=MIRNA_42, tag_count=c, tag_index=k + 1,
                           mirna_matched_vet=list(al)) for k, (c, al) in enumerate(tags)]
    output_structures_generation()
    output_structures_updating()
    return render_result_files(threshold)


def self_test_reporting(t):
    files = _report([], [b">abc-miR-1"])
    t.check("no rows: per-miRNA files hold only headers",
            [len(_fields(files[s])) for s in RESULT_SUFFIXES], [1, 1, 1, 1, 1, 1, 1])
    t.check("per-miRNA header", files[b"_unique.txt"].split(b"\t")[3:5],
            [b"norm_expressed_all", b"norm_expressed_mapped"])
    t.check("selected per-miRNA header", files[b"_unique_ambigue_selected.txt"].split(b"\t")[3:5],
            [b"NO-norm_expressed_all", b"NO-norm_expressed_mapped"])
    t.check("header widths", [len(_fields(files[s])[0]) for s in RESULT_SUFFIXES],
            [16, 16, 23, 14, 26, 16, 16])
    t.check("no totals without tags", (G.uniq_mapped_total_tags_count,
                                       G.ambigue_mapped_total_tag_count), (0, 0))

    # Unique table: negative size difference, offset-only alignment is exact.
    a = _alignment(0, 4, offset_site=True, mir_tag_size_diff=-3)
    files = _report([(6, [a]), (0, [_alignment(0, 0)])], [b">abc-miR-1 x"])
    rows = _fields(files[b"_tag_unique.txt"])
    t.check("unique tag line", rows[1], [b"1", MIRNA_42, b"\xc3\xa8", b"6", b"1", b">abc-miR-1 x",
                                         MIRNA_42, b"0", b"0", b"0", b"0", b"0", b"0", b"4",
                                         b"-3", b"1", b"0", b"0", b"0", b"0", b"1", b"0", b"0"])
    t.check("count 0 listed, adds nothing", (len(rows), G.uniq_mapped_total_tags_count), (3, 6))

    # Ambiguous table: 20, 7, 7 sorted as 7 (earlier), 7, 20; 4 + 3 * 11 fields.
    tag = [_alignment(0, 20), _alignment(1, 7, size_ungapped=1), _alignment(2, 7, size_ungapped=2)]
    files = _report([(2, tag)], [b">abc-miR-1", b">abc-miR-2", b">abc-miR-3"])
    line = _fields(files[b"_tag_ambigue.txt"])[1]
    t.check("ambiguous line width and end", (len(line), line[-1]), (4 + 3 * 11, b"|"))
    t.check("stable order by score", [(line[4 + 11 * k], line[12 + 11 * k]) for k in range(3)],
            [(b"2", b"7"), (b"3", b"7"), (b"1", b"20")])
    t.check("ambiguous total", G.ambigue_mapped_total_tag_count, 2)

    # Selection: threshold, tie, family counts, alignment count.
    def selected(tag_alignments, mirnas, threshold=14, count=1):
        f = _report([(count, tag_alignments)], mirnas, threshold)
        return _fields(f[b"_tag_ambigue_selected.txt"])[1:], f

    two = [b">abc-miR-1", b">abc-miR-2"]
    t.check("score 13 selected at 14", len(selected([_alignment(0, 13), _alignment(1, 20)], two)[0]), 1)
    t.check("score 14 not selected at 14",
            len(selected([_alignment(0, 14), _alignment(1, 20)], two)[0]), 0)
    t.check("threshold 0 selects nothing",
            len(selected([_alignment(0, 0), _alignment(1, 0)], two, 0)[0]), 0)
    t.check("threshold 101 selects score 100",
            len(selected([_alignment(0, 100), _alignment(1, 100)], two, 101)[0]), 1)
    rows, _ = selected([_alignment(1, 4), _alignment(0, 4)], two)
    t.check("tie: gap 0, first recorded chosen", (rows[0][4], rows[0][15]), (b"2", b"0"))
    t.check("one family", selected([_alignment(0, 4), _alignment(1, 9)],
                                   [b">abc-miR-21-5p", b">abc-miR-21-3p"])[0][0][16], b"1")
    t.check("two families", selected([_alignment(0, 4), _alignment(1, 9)],
                                     [b">abc-miR-21-5p", b">abc-miR-22-3p"])[0][0][16], b"2")
    t.check("three: second and third share another family",
            selected([_alignment(0, 4), _alignment(1, 9), _alignment(2, 9)],
                     [b">abc-miR-21", b">abc-miR-22", b">abc-miR-22-3p"])[0][0][16], b"3")
    rows, _ = selected([_alignment(0, 4)] * 3 + [_alignment(1, 9)] * 2, two)
    # miR-2 is another family and counts once per alignment; miR-1 adds nothing.
    t.check("five alignments, some on one miRNA", (rows[0][16], rows[0][17]), (b"3", b"5"))

    # A selected iso_snp tag of 10 reads with central_site moves every counter.
    other = (3, [_alignment(0, 30, iso_3p=True), _alignment(1, 40)])
    files = _report([(10, [_alignment(0, 9, iso_snp=True, central_site=True), _alignment(1, 20)]),
                     other], two)
    before_u, before_a = _fields(files[b"_unique.txt"]), _fields(files[b"_ambigue.txt"])
    after_u = _fields(files[b"_unique_ambigue_selected.txt"])
    after_a = _fields(files[b"_ambigue_ambigue_selected.txt"])
    t.check("no unique rows before selection", len(before_u), 1)
    t.check("ambiguous row of miR-1 before", before_a[1][:13],
            [b"1", b"2", b"13", b"       100", b"       100", b"0", b"0", b"10", b"0", b"3",
             b"0", b"0", b"10"])
    t.check("unique row of miR-1 after", after_u[1][:13],
            [b"1", b"1", b"10", b"         0", b"         0", b"0", b"0", b"10", b"0", b"0",
             b"0", b"0", b"10"])
    t.check("ambiguous rows after", [r[:13] for r in after_a[1:]],
            [[b"1", b"1", b"3", b"         0", b"         0", b"0", b"0", b"0", b"0", b"3",
              b"0", b"0", b"0"], before_a[2][:13]])
    t.check("selected total", G.ambigue_selected_mapped_total_tag_count, 10)
    t.check("selected line flags", _fields(files[b"_tag_ambigue_selected.txt"])[1][18:],
            [b"0", b"0", b"1", b"0", b"0", b"0", b"0", b"1"])
    t.check("the aggregated rows are never changed", G.result_mirna_uniq_ambig_vet[0].ambig.count_tags, 13)

    files = _report([(4, [_alignment(0, 2), _alignment(1, 9)])], two)
    t.check("miRNA whose only ambiguous tag is selected leaves the ambiguous file",
            [r[0] for r in _fields(files[b"_ambigue_ambigue_selected.txt"])[1:]], [b"2"])
    t.check("...and enters the unique file",
            [r[:3] for r in _fields(files[b"_unique_ambigue_selected.txt"])[1:]],
            [[b"1", b"1", b"4"]])


def self_test_whole_run(t):
    """A small run end to end, through the files on disk."""
    d = _scratch_dir()
    os.makedirs(os.path.join(d, "Tests"))
    with open(os.path.join(d, "Tests", "mirna_example.txt"), "wb") as f:
        f.write(b">abc-miR-42-5p X\n" + MIRNA_42 + b"\n>xyz-miR-42\n" + MIRNA_42 + b"\n")
    with open(os.path.join(d, "Tests", "tag_count_iso_exampl.txt"), "wb") as f:
        f.write(MIRNA_42.replace(b"U", b"T") + b"\t5\nACGT\t9\nGGGGGGGGGGGG\t1\n")
    cwd = os.getcwd()
    os.chdir(d)
    try:
        reset_run_state()
        saved = sys.stdout
        sys.stdout = SimpleNamespace(buffer=io.BytesIO())
        try:
            status = run([b"mirsight", b"-s", b"abc xyz"])
            log = sys.stdout.buffer.getvalue()
        finally:
            sys.stdout = saved
        with open("Tests/out_mature_tag_ambigue_selected.txt", "rb") as f:
            selected = _fields(f.read())
        names = sorted(os.listdir("Tests"))
    finally:
        os.chdir(cwd)
    t.check("whole run status", status, 0)
    t.check("whole run log", log,
            b"specie_codes = abc xyz\nmin_tag_length = 10;\ntag_begin = 4;\nbegin_seed = 1;\n"
            b"end_seed = 7;\nseed_size = 6;\nseed_vet.size() = 1;\ntag_vet.size() = 2;\n"
            b"tot_total_tag_count = 3;\ndiscarded_tag = 1;\nmirna_elaborated = 2;\n"
            b"uniq_mapped_total_tags_count = 0;\nambigue_mapped_total_tag_count = 5;\n"
            b"ambigue_selected_mapped_total_tag_count = 5;\n")
    t.check("whole run selection", [r[4:6] + r[15:18] for r in selected[1:]],
            [[b"1", b">abc-miR-42-5p X", b"0", b"2", b"2"]])
    t.check("whole run files", len(names), 2 + 2 + 7)


def self_test():
    t = SelfTest()
    saved_stderr, sys.stderr = sys.stderr, io.StringIO()     # the cases' own warnings
    try:
        for group in (self_test_command_line, self_test_mirna_db, self_test_tags,
                      self_test_matching, self_test_aggregation, self_test_family,
                      self_test_formats, self_test_reporting, self_test_whole_run):
            try:
                group(t)
            except Exception as e:      # a crash fails the rest of its group
                t.failed += 1
                print("FAIL %s raised %s: %s" % (group.__name__, type(e).__name__, e))
    finally:
        sys.stderr = saved_stderr
    reset_run_state()
    import shutil
    for d in _SCRATCH_DIRS:
        shutil.rmtree(d, ignore_errors=True)
    print("%d passed, %d failed" % (t.passed, t.failed))
    return 0 if t.failed == 0 else 1


def main(argv):
    if argv[1:] == [b"--self-test"]:
        return self_test()
    return run(argv)


if __name__ == "__main__":
    sys.exit(main([os.fsencode(a) for a in sys.argv]))
