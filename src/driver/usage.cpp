#include "driver/usage.hpp"

std::string usage_text()
{
    return R"(Usage: mirsight [options]

Finds which small-RNA tags come from which mature miRNAs, and in which form
(exact, 5' shifted, 3' shortened or lengthened, one or two substitutions),
and writes per-miRNA and per-tag tables.

Options (every one has a default; with none, the bundled example in Tests/ is used):
  -s TEXT       species to search: each species code of the miRNA file found
                in TEXT (default "chsa", which selects hsa)
  -l N          an alignment must be longer than N after one substitution (10)
  -ss N         seed length, at least 1 (6)
  -sb N         seed start in each miRNA, from 0 (1, i.e. nucleotide 2)
  -se N         seed end on the miRNA, for the site flags (7)
  -b N          the exact part must start within the first N tag positions (4)
  -h N          assign an ambiguous tag to its best miRNA when that score is below N (14)
  -r            do not turn T into U in tags (a T then counts as N)
  -p DIR        folder for the files named by a later -m
  -i DIR        folder of the inputs named by a later -m or -t
  -m NAME       miRNA file <-i DIR>/NAME.txt; writes <-p DIR>/NAME_db_group.txt,
                <-p DIR>/NAME_db_group_sorted.txt and results <-p DIR>/out_result_NAME_*
                (default Tests/mirna_example.txt, results Tests/out_mature_*)
  -t NAME       tag-count file <-i DIR>/NAME.txt (default Tests/tag_count_iso_exampl.txt)
  --threads N   spread the per-tag work over N threads, 1 to 256 (1); same results
  --gff3 FILE --hairpin FILE
                also write FILE in mirGFF3 format, placing the tags on the
                precursors of the hairpin FASTA file, each read counted once
  --gff3-all    with --gff3: every alignment and locus, those not counted
                marked Filter=ambiguous or Filter=other_locus
  --sensitive   sensitive mode: a tag meets the miRNAs that share the
                seed's letters with it near its 5' end (--sensitive-seed),
                alignments may hold mismatches anywhere, an ambiguous tag goes
                to the alignment of lowest cost (letters of tag and miRNA left
                unmatched; then fewer mismatches, then a smaller length
                difference) and stays unassigned when miRNAs of different
                sequences tie; -l, -b and -h are not used. With --gff3 and
                --hairpin the precursors take part: cost up to 7 (10 when a
                precursor templates the tag), precursor fragments dropped.
                Each option below turns it on too:
  --sensitive-seed PATTERN      the letters a miRNA and a tag must share to
                                meet: 1 a letter that must match, 0 any letter;
                                starts and ends with 1, up to 10 1s and 32
                                letters (111010011101)
  --sensitive-window N          the seed is N letters in a row, 1 to 10
  --sensitive-max-shift N       the tag's 5' end may lie up to N letters
                                before or after the miRNA's, 0 to 50 (3)
  --sensitive-max-mismatches N  mismatches in an alignment, 0 to 20 (2)
  --sensitive-min-matched N     an alignment matches at least N letters, 0 to 1000 (14)
  --sensitive-max-unmatched N   at most N letters of tag and miRNA together
                                left unmatched, 0 to 1000 (5; 7 with --hairpin)
  --help        print this text
  --version     print the version

Inputs:
  miRNA file    FASTA in miRBase style (>hsa-let-7a-5p MIMAT0000062 ...), RNA letters
  tag-count     one tag per line: sequence, a tab, its read count

Results (PREFIX is the -m composed prefix, default Tests/out_mature):
  PREFIX_unique.txt, PREFIX_ambigue.txt          per-miRNA counts of unique / ambiguous tags
  PREFIX_tag_unique.txt, PREFIX_tag_ambigue.txt  one line per unique / ambiguous tag
  PREFIX_tag_ambigue_selected.txt                ambiguous tags assigned to their best miRNA
  PREFIX_unique_ambigue_selected.txt, PREFIX_ambigue_ambigue_selected.txt
                                                 per-miRNA counts after that assignment

Example:
  mirsight -s "hsa mmu" -i data -p results -m mature -t sample1 --threads 2

For studies: "mirsight map", "mirsight merge" and "mirsight collapse" (each
with --help) take long options and name their outputs by sample.
)";
}
