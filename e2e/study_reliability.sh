#!/usr/bin/env bash
# A study never mixes, loses or invents reads: hostile runs of `mirsight map`
# and `mirsight merge`, one CTest per case (e2e.study_reliability_CASE), each
# a row of the table "What a study refuses" in docs/refusals.md.
#
#   study_reliability.sh MIRSIGHT PROJECT_ROOT CASE
set -u
mirsight=$(realpath "$1")
root=$(realpath "$2")
case_name=$3
source "$root/e2e/require_tools.sh"

work=$(mktemp -d /tmp/mirsight_study_reliability_XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$root/Tests/mirna_example.txt" "$root/Tests/tag_count_iso_exampl.txt" "$root/Tests/hairpin_example.txt" .
failed=0
fail() { echo "FAIL ($case_name): $*"; failed=1; }

# expect STATUS MESSAGE COMMAND...: the status, the message on standard error
# (when not empty), and no temporary file left anywhere.
expect() {
    local want=$1 message=$2
    shift 2
    "$@" > stdout.txt 2> stderr.txt
    local got=$?
    [ "$got" = "$want" ] || fail "'$*' exited with $got, expected $want; stderr: $(head -c 600 stderr.txt)"
    if [ -n "$message" ] && ! grep -qF -- "$message" stderr.txt; then
        fail "'$*': standard error lacks '$message': $(head -c 600 stderr.txt)"
    fi
    local leftovers
    leftovers=$(find . -name '*.mirsight-*.tmp')
    [ -z "$leftovers" ] || fail "'$*' left temporary files: $leftovers"
}

# map TAGS OUTDIR [OPTIONS...]: one sample, with its mirGFF3 file.
map() {
    local tags=$1 outdir=$2
    shift 2
    "$mirsight" map --mature mirna_example.txt --tags "$tags" --outdir "$outdir" --species hsa --quiet \
        --gff3 --hairpin hairpin_example.txt "$@"
}
sums() { find "$1" -type f | sort | xargs -r sha256sum; }
# reads_of FILE COLUMN: the sum of a tab-separated column, header skipped.
reads_of() { awk -F'\t' -v c="$2" 'NR > 1 { s += $c } END { print s + 0 }' "$1"; }
# column_sum FILE NAME: the sum of the column headed NAME.
column_sum() {
    awk -F'\t' -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i; next } { s += $c }
                              END { print (c ? s + 0 : "no column " name) }' "$1"
}
# counted_of SUMMARY: the reads counted on miRNAs (unique + assigned).
counted_of() {
    awk -F'\t' 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i }
                NR == 2 { print $col["unique_reads"] + $col["assigned_reads"] }' "$1"
}
gff3_reads() { grep -v '^#' "$1" | sed 's/.*Expression=\([0-9,]*\).*/\1/' | tr ',' '\n' | awk '{ s += $1 } END { print s + 0 }'; }

case $case_name in
duplicate_sequences)
    # A tag-count file holding each sequence twice (two files concatenated;
    # the second in lower case with U for T): each sequence once in the
    # isomiR table and the mirGFF3 file, with the reads of both.
    map tag_count_iso_exampl.txt once > /dev/null 2>&1 || fail "map once"
    { cat tag_count_iso_exampl.txt; tr 'ACGT' 'acgu' < tag_count_iso_exampl.txt; } > twice.txt
    expect 0 "" map twice.txt out --sample twice
    counted=$(counted_of once/tag_count_iso_exampl.summary.tsv)
    [ "$(counted_of out/twice.summary.tsv)" = $((2 * counted)) ] || fail "the summary does not count both copies"
    [ "$(reads_of out/twice.isomirs.tsv 6)" = $((2 * counted)) ] || fail "the isomiR table lost reads"
    [ -z "$(cut -f1 out/twice.isomirs.tsv | sort | uniq -d)" ] || fail "the isomiR table holds a sequence twice"
    [ -z "$(grep -v '^#' out/twice.gff3 | sed 's/.*Read=\([^;]*\);.*/\1/' | sort | uniq -d)" ] ||
        fail "the mirGFF3 file holds a Read twice"
    [ "$(gff3_reads out/twice.gff3)" = $((2 * $(gff3_reads once/tag_count_iso_exampl.gff3))) ] ||
        fail "the mirGFF3 file lost reads"
    cp once/tag_count_iso_exampl.* out/
    expect 0 "" "$mirsight" merge --outdir merged --gff3 --quiet out
    [ "$(column_sum merged/isomir_counts.tsv twice)" = $((2 * counted)) ] || fail "the isomiR matrix lost reads of twice"
    [ "$(gff3_reads merged/mirna.gff3)" = $((3 * $(gff3_reads once/tag_count_iso_exampl.gff3))) ] ||
        fail "the merged mirGFF3 file lost reads"
    # A table that holds a row twice (edited by hand) is refused, not read as its last row.
    sed -i '2p' out/twice.isomirs.tsv
    expect 1 "out/twice.isomirs.tsv:3: this row repeats the row at line 2" \
        "$mirsight" merge --outdir merged2 --quiet out
    [ ! -e merged2/isomir_counts.tsv ] || fail "a refused merge wrote its matrix"
    ;;
outdir_is_input)
    # Merging into the samples' folder would replace the files of samples
    # named mirna or study, and the next merge would read mirna.gff3 as a sample.
    map tag_count_iso_exampl.txt out --sample mirna > /dev/null 2>&1 || fail "map mirna"
    map tag_count_iso_exampl.txt out --sample study > /dev/null 2>&1 || fail "map study"
    before=$(sums out)
    expect 2 "--outdir 'out' is the folder of the samples' files" "$mirsight" merge --outdir out --gff3 out
    expect 2 "--outdir './out/' is the folder of the samples' files" "$mirsight" merge --outdir ./out/ out/mirna
    mkdir other && cp out/mirna.* other/
    expect 2 "--outdir 'other' holds the outputs of mirsight map ('mirna.summary.tsv')" \
        "$mirsight" merge --outdir other out/study
    [ "$(sums out)" = "$before" ] || fail "a refused merge changed the samples' files"
    ;;
stale_files)
    # A sample mapped again without --gff3 loses its earlier mirGFF3 file
    # (and the result tables of an earlier version, named .tsv), which merge
    # --gff3 would otherwise merge with the new tables.
    map tag_count_iso_exampl.txt out --sample S > /dev/null 2>&1 || fail "first map"
    map tag_count_iso_exampl.txt out --sample T > /dev/null 2>&1 || fail "map T"
    touch out/S.unique.tsv out/S.tag_ambigue.tsv
    head -200 tag_count_iso_exampl.txt > fewer.txt
    others=$(sums out | grep '/T\.')
    expect 0 "" "$mirsight" map --mature mirna_example.txt --tags fewer.txt --outdir out --sample S --species hsa \
        --quiet --overwrite
    for stale in out/S.gff3 out/S.unique.tsv out/S.tag_ambigue.tsv; do
        [ ! -e "$stale" ] || fail "$stale of the earlier run survived"
    done
    [ "$(sums out | grep '/T\.')" = "$others" ] || fail "sample T's files changed"
    expect 1 "sample 'S' was mapped without --gff3" "$mirsight" merge --outdir merged --gff3 out
    ;;
merge_lock)
    # merge reads under a shared lock of the input folders: a map's commit
    # (an exclusive lock of its folder) and merge never interleave.
    require_tool flock timeout || exit 77
    map tag_count_iso_exampl.txt out > /dev/null 2>&1 || fail "map"
    flock -x out sleep 4 &
    holder=$!
    sleep 1
    expect 124 "" timeout 1 "$mirsight" merge --outdir merged --quiet out
    [ ! -e merged/summary.tsv ] || fail "merge read the folder while a commit held it"
    wait "$holder"
    expect 0 "" timeout 20 "$mirsight" merge --outdir merged --quiet out
    # And a commit waits while a merge holds the folder.
    flock -s out sleep 3 &
    reader=$!
    sleep 1
    start=$(date +%s%N)
    map tag_count_iso_exampl.txt out > /dev/null 2>&1 || fail "map during a shared lock"
    waited=$(( ($(date +%s%N) - start) / 1000000 ))
    [ "$waited" -ge 1000 ] || fail "map committed in $waited ms while a merge held the folder"
    wait "$reader"
    ;;
provenance)
    # What made each sample is recorded; merge refuses samples made
    # differently, and tables cut short or edited.
    map tag_count_iso_exampl.txt out --sample A > /dev/null 2>&1 || fail "map A"
    map tag_count_iso_exampl.txt out --sample B > /dev/null 2>&1 || fail "map B"
    [ "$(awk -F'\t' '$1 == "mature_sha256" { print $2 }' out/A.provenance.tsv)" = \
      "$(sha256sum mirna_example.txt | cut -d' ' -f1)" ] || fail "the provenance lacks the miRNA file's SHA-256"
    /usr/bin/python3 -c "import csv, sys; rows = list(csv.DictReader(open('out/A.provenance.tsv'), delimiter='\t'));
assert [r['key'] for r in rows][:4] == ['sample', 'mirsight_version', 'mirsight_commit', 'tags_file'] and all(len(r) == 2 for r in rows)" ||
        fail "csv does not read the provenance table"
    cp -r out clean
    # C differs in two ways: every difference is named, with the samples on each side.
    "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --outdir out --sample C --quiet \
        --search seed --species all --gff3 --hairpin hairpin_example.txt > /dev/null 2>&1 || fail "map C"
    mode_line="  mode: 'sensitive' in A (out/A.provenance.tsv), B (out/B.provenance.tsv); 'seed' in C (out/C.provenance.tsv)"
    species_line="  species: 'hsa' in A (out/A.provenance.tsv), B (out/B.provenance.tsv); 'all' in C (out/C.provenance.tsv)"
    expect 1 "mirsight merge: the samples were mapped differently (2 keys differ; map them alike, or give --allow-mixed" \
        "$mirsight" merge --outdir m1 --gff3 out
    grep -qxF -- "$mode_line" stderr.txt && grep -qxF -- "$species_line" stderr.txt ||
        fail "the refusal does not name both differences and their samples: $(cat stderr.txt)"
    [ ! -e m1 ] || fail "a refused merge wrote files"
    # --allow-mixed says what it mixed, and the merged summary shows it per sample.
    expect 0 "mirsight merge: --allow-mixed: merging samples mapped differently (2 keys differ;" \
        "$mirsight" merge --outdir m1 --gff3 --allow-mixed --quiet out
    grep -qxF -- "$mode_line" stderr.txt && grep -qxF -- "$species_line" stderr.txt ||
        fail "the --allow-mixed warning does not name the differences: $(cat stderr.txt)"
    require_python_module pandas || exit 77
    /usr/bin/python3 - m1/summary.tsv out <<'PY' || fail "the merged summary does not show what was mixed"
import sys, pandas
merged = pandas.read_table(sys.argv[1])
assert dict(zip(merged["sample"], merged["differs_from_first_sample"])) == {"A": "none", "B": "none", "C": "species,mode"}, merged
alone = pandas.concat([pandas.read_table(f"{sys.argv[2]}/{s}.summary.tsv") for s in "ABC"], ignore_index=True)
pandas.testing.assert_frame_equal(merged.drop(columns="differs_from_first_sample"), alone)
PY
    # A provenance of an earlier version says "default" for the seed search.
    "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --outdir seed --sample E --quiet \
        --search seed --species all --gff3 --hairpin hairpin_example.txt > /dev/null 2>&1 || fail "map E"
    cp out/C.* seed/ && sed -i 's/^mode\tseed$/mode\tdefault/' seed/C.provenance.tsv
    expect 0 "" "$mirsight" merge --outdir m5 --quiet seed
    [ ! -s stderr.txt ] || fail "mode 'default' is not the seed search: $(cat stderr.txt)"
    rm out/C.*
    # Samples mapped by builds of other commits are mapped differently, as
    # samples of other versions are.
    commit=$(awk -F'\t' '$1 == "mirsight_commit" { print $2 }' clean/A.provenance.tsv)
    [ -n "$commit" ] || fail "the provenance lacks the commit mirsight was built from"
    cp -r clean commits && sed -i 's/^mirsight_commit\t.*$/mirsight_commit\t0123abc/' commits/B.provenance.tsv
    expect 1 "  mirsight_commit: '$commit' in A (commits/A.provenance.tsv); '0123abc' in B (commits/B.provenance.tsv)" \
        "$mirsight" merge --outdir m6 commits
    sed 's/^UGAGGUAGUAGGUUGUAUAGUU$/UGAGGUAGUAGGUUGUAUAGUA/' mirna_example.txt > other_mirnas.txt
    "$mirsight" map --mature other_mirnas.txt --tags tag_count_iso_exampl.txt --outdir out --sample D --species hsa \
        --quiet --gff3 --hairpin hairpin_example.txt > /dev/null 2>&1 || fail "map D"
    expect 1 "  mature_sha256: '$(sha256sum mirna_example.txt | cut -d' ' -f1)' in A (out/A.provenance.tsv), B (out/B.provenance.tsv); '$(sha256sum other_mirnas.txt | cut -d' ' -f1)' in D (out/D.provenance.tsv)" \
        "$mirsight" merge --outdir m2 out
    rm out/D.*
    # A table cut short inside its last line, or at a line end; a comma in a count.
    cp -r clean cut1 && head -c -2 clean/B.isomirs.tsv > cut1/B.isomirs.tsv
    expect 1 "cut1/B.isomirs.tsv:$(wc -l < clean/B.isomirs.tsv): the file ends inside this line (cut short?)" \
        "$mirsight" merge --outdir m3 cut1
    cp -r clean cut2 && head -n -3 clean/B.isomirs.tsv > cut2/B.isomirs.tsv
    expect 1 "cut2/B.isomirs.tsv: its reads add up to" "$mirsight" merge --outdir m3 cut2
    cp -r clean comma && awk -F'\t' -v OFS='\t' 'NR == 2 { $2 = substr($2, 1, 1) "," substr($2, 2) } 1' \
        clean/B.summary.tsv > comma/B.summary.tsv
    expect 1 "comma/B.summary.tsv:2: not a summary line of mirsight map" "$mirsight" merge --outdir m3 comma
    cp -r clean expr && sed '0,/Expression=\([0-9]*\)/s//Expression=\1x/' clean/B.gff3 > expr/B.gff3
    expect 1 "is not a whole number of reads" "$mirsight" merge --outdir m3 --gff3 expr
    [ ! -e m3 ] || [ -z "$(ls -A m3)" ] || fail "a refused merge left files: $(ls -A m3)"
    expect 0 "" "$mirsight" merge --outdir m4 --quiet clean
    [ "$(grep -c $'\tmature_sha256\t' m4/provenance.tsv)" = 2 ] || fail "merge's provenance.tsv lacks a sample"
    ;;
provenance_applied)
    # The provenance records what was done beside what was asked; a kit's
    # layout (its adapter, random letters, UMI) is the sample's own and never
    # makes samples differ.
    require_python_module pandas || exit 77
    for kit in qiaseq nextflex illumina; do
        /usr/bin/python3 "$root/bench/make_kit_reads.py" --kit "$kit" --reads 5000 --mature mirna_example.txt \
            --out "$kit.fastq.gz" || fail "make_kit_reads.py --kit $kit"
    done
    # value FILE KEY: the provenance's value of KEY.
    value() { awk -F'\t' -v key="$2" '$1 == key { print $2 }' "$1"; }
    # values FILE KEY...: the values of the KEYs, one per line.
    values() { local file=$1 key; shift; for key in "$@"; do echo "$key=$(value "$file" "$key")"; done; }
    kit_map() { "$mirsight" map --mature mirna_example.txt --species hsa --outdir kits --quiet "$@"; }
    expect 0 "" kit_map --tags qiaseq.fastq.gz
    [ "$(values kits/qiaseq.provenance.tsv asked_adapter asked_protocol asked_count input layout layout_adapter \
          layout_umi_length layout_told_by umi_set_aside counted min_insert max_insert)" = "$(printf '%s\n' \
          'asked_adapter=not given' 'asked_protocol=not given' 'asked_count=not given' input=reads layout=qiaseq \
          layout_adapter=AACTGTAGGCACCATCAAT layout_umi_length=12 layout_told_by=auto umi_set_aside=no \
          counted=molecules min_insert=15 max_insert=40)" ] ||
        fail "the provenance of auto on qiaseq reads: $(cat kits/qiaseq.provenance.tsv)"
    value kits/qiaseq.provenance.tsv layout_explained | grep -Eqx '[0-9]+\.[0-9]{2}% of 5000' ||
        fail "layout_explained is not the share of the first reads: $(value kits/qiaseq.provenance.tsv layout_explained)"
    # Trimming options on a tag-count file do nothing, and the file says so.
    expect 0 "" kit_map --tags tag_count_iso_exampl.txt --protocol nextflex --min-insert 18
    [ "$(values kits/tag_count_iso_exampl.provenance.tsv asked_protocol asked_min_insert input trimming min_insert)" = \
      "$(printf '%s\n' asked_protocol=nextflex asked_min_insert=18 input=tag_counts \
          'trimming=none (a tag-count file: --protocol, --min-insert did nothing)' min_insert=)" ] ||
        fail "the provenance of a tag-count file: $(cat kits/tag_count_iso_exampl.provenance.tsv)"
    # NEXTflex reads (their 4 + 4 random letters told, or named) beside
    # Illumina and QIAseq reads and that tag-count file: one study, merged
    # without a word.
    expect 0 "" kit_map --tags nextflex.fastq.gz
    expect 0 "" kit_map --tags nextflex.fastq.gz --protocol nextflex --sample nextflex_named
    expect 0 "" kit_map --tags illumina.fastq.gz
    [ "$(values kits/nextflex.provenance.tsv layout layout_trim_5p layout_trim_3p)" = \
      "$(printf '%s\n' layout=nextflex layout_trim_5p=4 layout_trim_3p=4)" ] ||
        fail "the nextflex layout told from the reads is not recorded: $(cat kits/nextflex.provenance.tsv)"
    expect 0 "" "$mirsight" merge --outdir merged --quiet kits
    [ ! -s stderr.txt ] || fail "merge complained of samples made alike: $(cat stderr.txt)"
    /usr/bin/python3 -c "import pandas; s = pandas.read_table('merged/summary.tsv')
assert list(s['sample']) == ['illumina', 'nextflex', 'nextflex_named', 'qiaseq', 'tag_count_iso_exampl'], s['sample']
assert (s['differs_from_first_sample'] == 'none').all(), s['differs_from_first_sample']" ||
        fail "the merged summary shows a difference"
    # Insert limits in force are compared between samples made from reads
    # (not with the tag-count file, which nothing trimmed).
    expect 0 "" kit_map --tags illumina.fastq.gz --min-insert 18 --sample ill18
    expect 1 "  min_insert: '18' in ill18 (kits/ill18.provenance.tsv); '15' in illumina (kits/illumina.provenance.tsv), nextflex (kits/nextflex.provenance.tsv), nextflex_named (kits/nextflex_named.provenance.tsv) and 1 more" \
        "$mirsight" merge --outdir merged2 --quiet kits
    [ "$(grep -c '^  ' stderr.txt)" = 1 ] || fail "the refusal names more than the insert limit: $(cat stderr.txt)"
    ;;
gff3_without_filter)
    # A record without Filter= (a hand-made or other tool's file) merges;
    # an error leaves no temporary file and no output.
    map tag_count_iso_exampl.txt out --sample A > /dev/null 2>&1 || fail "map A"
    map tag_count_iso_exampl.txt out --sample B > /dev/null 2>&1 || fail "map B"
    sed -i '0,/; Filter=Pass/s///' out/A.gff3
    expect 0 "" "$mirsight" merge --outdir merged --gff3 --quiet out
    grep -v '^#' merged/mirna.gff3 | grep -v 'Filter=' | grep -Eq 'Expression=[1-9][0-9]*,0$' ||
        fail "the record without Filter lost its Expression"
    printf 'not a record\n' >> out/B.gff3
    expect 1 "out/B.gff3:$(wc -l < out/B.gff3): a mirGFF3 record needs 9 tab-separated columns" \
        "$mirsight" merge --outdir merged2 --gff3 out
    [ -z "$(ls -A merged2 2>/dev/null)" ] || fail "a failed merge left files: $(ls -A merged2)"
    ;;
hairpin_mistakes)
    sed 's/^>hsa/>Hsa/; s/^>mmu/>Mmu/' hairpin_example.txt > hairpin_case.txt
    expect 1 "hairpin file 'hairpin_case.txt' holds no precursor of the miRNA file's species (hairpin file: Hsa; miRNA file: hsa,mmu)" \
        "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --outdir out --species hsa \
        --gff3 --hairpin hairpin_case.txt
    expect 2 "option --hairpin is used by the seed search only with --gff3" \
        "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --outdir out --species hsa \
        --search seed --hairpin hairpin_example.txt
    expect 1 "miRNA file 'hairpin_example.txt' holds records of" \
        "$mirsight" map --mature hairpin_example.txt --tags tag_count_iso_exampl.txt --outdir out --species hsa \
        --gff3 --hairpin mirna_example.txt
    grep -qF "is it the precursor (hairpin) file?" stderr.txt || fail "no hint that the files are swapped"
    [ ! -e out ] || [ -z "$(ls -A out)" ] || fail "refused maps left files: $(ls -A out)"
    ;;
same_sample_other_input)
    # run1/S1.fq.gz then run2/S1.fastq into one folder: the second would replace sample S1.
    mkdir run1 run2
    cp "$root/Tests/reads_example.fastq.gz" run1/S1.fq.gz
    zcat "$root/Tests/reads_muscle.fastq.gz" > run2/S1.fastq
    expect 0 "" map run1/S1.fq.gz out
    before=$(sums out)
    expect 1 "sample 'S1' was mapped from tag file '$work/run1/S1.fq.gz' (out/S1.provenance.tsv); mapping '$work/run2/S1.fastq' would replace it" \
        map run2/S1.fastq out
    [ "$(sums out)" = "$before" ] || fail "the refused map changed sample S1"
    expect 0 "" map run1/S1.fq.gz out  # the same input again: replaced
    expect 0 "" map run2/S1.fastq out --overwrite
    grep -qF "$work/run2/S1.fastq" out/S1.provenance.tsv || fail "--overwrite did not replace S1"
    ;;
many_samples)
    # 80 samples merge under ulimit -n 64, as without the limit.
    for s in $(seq 1 80); do
        awk -F'\t' -v OFS='\t' -v f="$s" 'NR % (f % 7 + 2) != 0 { print $1, $2 * (f % 5 + 1) }' \
            tag_count_iso_exampl.txt > tags.txt
        map tags.txt out --sample "s$s" > /dev/null 2>&1 || fail "map s$s"
    done
    expect 0 "" "$mirsight" merge --outdir free --gff3 --quiet out
    (ulimit -n 64 && "$mirsight" merge --outdir limited --gff3 --quiet out) 2> limited.err ||
        fail "merge under ulimit -n 64: $(cat limited.err)"
    (ulimit -n 24 && "$mirsight" merge --outdir tight --gff3 --quiet out) 2> tight.err ||
        fail "merge under ulimit -n 24 (several rounds): $(cat tight.err)"
    for f in mirna_counts.tsv mirna_rpm.tsv isomir_counts.tsv mirna.gff3 summary.tsv; do
        cmp -s "free/$f" "limited/$f" && cmp -s "free/$f" "tight/$f" || fail "$f differs under a descriptor limit"
    done
    [ "$(head -1 free/mirna_counts.tsv | tr '\t' '\n' | wc -l)" = 81 ] || fail "the matrix lacks samples"
    for s in 1 17 80; do
        [ "$(column_sum free/mirna_counts.tsv "s$s")" = "$(counted_of out/s$s.summary.tsv)" ] ||
            fail "the count matrix's column of s$s differs from its summary"
    done
    [ -z "$(find . -name '.mirsight-merge-partial*')" ] || fail "partial matrices left behind"
    ;;
same_sample_at_once)
    # Two maps of one sample from different inputs at once: the check of the
    # earlier sample and the commit are one step under the folder's lock, so
    # the second to commit is refused and the set is wholly the first's. The
    # folder's lock is held while both start, so that both pass the check
    # made before the run and meet at the commit.
    require_tool flock || exit 77
    head -200 tag_count_iso_exampl.txt > fewer.txt
    map tag_count_iso_exampl.txt all --sample S > /dev/null 2>&1 || fail "map all"
    map fewer.txt some --sample S > /dev/null 2>&1 || fail "map some"
    mkdir out
    flock -x out sleep 3 &
    holder=$!
    sleep 0.5
    map tag_count_iso_exampl.txt out --sample S > all.stdout 2> all.stderr &
    first=$!
    map fewer.txt out --sample S > some.stdout 2> some.stderr &
    second=$!
    wait "$first"
    all_status=$?
    wait "$second"
    some_status=$?
    wait "$holder"
    case "$all_status $some_status" in
        "0 1") winner=all loser=some other=fewer.txt ;;
        "1 0") winner=some loser=all other=tag_count_iso_exampl.txt ;;
        *) fail "the two maps exited with $all_status and $some_status: one must be refused" ;;
    esac
    if [ -n "${winner:-}" ]; then
        grep -qF "sample 'S' was mapped from tag file '$work/" "$loser.stderr" &&
            grep -qF "mapping '$work/$other' would replace it" "$loser.stderr" ||
            fail "the refused map does not say why: $(cat "$loser.stderr")"
        for f in "$winner"/S.*; do
            [ "${f##*.}" = tsv ] && [ "${f%.provenance.tsv}" = "$f" ] || continue
            cmp -s "$f" "out/${f#$winner/}" || fail "out/${f#$winner/} is not the $winner run's"
        done
        [ "$(ls out)" = "$(ls "$winner")" ] || fail "out holds other files than one run's: $(ls out)"
        [ -z "$(find . -name '*.mirsight-*.tmp')" ] || fail "temporary files left: $(find . -name '*.mirsight-*.tmp')"
    fi
    ;;
killed_merge)
    # A merge in rounds killed mid-way leaves its partial matrices; the next
    # merge into that folder removes them, and only them. One sample's miRNA
    # table is a named pipe no one writes, so that the merge waits in its
    # first round with partial matrices written.
    require_tool timeout || exit 77
    for s in $(seq 1 30); do
        awk -F'\t' -v OFS='\t' -v f="$s" 'NR % (f % 7 + 2) != 0 { print $1, $2 * (f % 5 + 1) }' \
            tag_count_iso_exampl.txt > tags.txt
        map tags.txt out --sample "s$s" > /dev/null 2>&1 || fail "map s$s"
    done
    expect 0 "" "$mirsight" merge --outdir expected --quiet out
    mv out/s30.mirna.tsv s30.mirna.tsv && mkfifo out/s30.mirna.tsv
    (ulimit -n 24 && exec "$mirsight" merge --outdir merged --quiet out) 2> /dev/null &
    merging=$!
    for i in $(seq 200); do
        [ -n "$(find merged -name '.mirsight-merge-partial-*' 2> /dev/null)" ] && break
        sleep 0.05
    done
    kill -KILL "$merging"
    wait "$merging" 2> /dev/null
    rm out/s30.mirna.tsv && mv s30.mirna.tsv out/s30.mirna.tsv
    [ -n "$(find merged -name '.mirsight-merge-partial-*.tmp')" ] || fail "the killed merge left no partial matrix"
    touch merged/.mirsight-merge-partial-notes.txt merged/notes.txt  # not partial matrices: kept
    (ulimit -n 24 && exec "$mirsight" merge --outdir merged --quiet out) || fail "the merge after the killed one"
    [ -z "$(find . -name '*.mirsight-*.tmp')" ] || fail "left behind: $(find . -name '*.mirsight-*.tmp')"
    [ -e merged/.mirsight-merge-partial-notes.txt ] && [ -e merged/notes.txt ] || fail "the merge removed other files"
    for f in mirna_counts.tsv mirna_rpm.tsv isomir_counts.tsv summary.tsv; do
        cmp -s "expected/$f" "merged/$f" || fail "$f differs from a merge into a new folder"
    done
    ;;
empty_tag)
    # The empty tag (adapter dimers trimmed to nothing) is a tag wherever it
    # stands, first line included, as count-sorted files often have it.
    { printf '\t7\n'; cat tag_count_iso_exampl.txt; } > dimers_first.txt
    { cat tag_count_iso_exampl.txt; printf '\t7\n'; } > dimers_last.txt
    expect 0 "" map dimers_first.txt first --sample S
    expect 0 "" map dimers_last.txt last --sample S
    expect 0 "" map tag_count_iso_exampl.txt without --sample S
    for f in summary.tsv mirna.tsv isomirs.tsv gff3 log; do
        cmp -s "first/S.$f" "last/S.$f" || fail "S.$f differs with the empty tag first and last"
    done
    [ "$(column_sum first/S.summary.tsv total_reads)" = $(($(column_sum without/S.summary.tsv total_reads) + 7)) ] ||
        fail "the empty tag's 7 reads are not counted"
    ;;
copied_lane)
    # A lane given twice under two names (a copy) would count every read twice.
    zcat "$root/Tests/reads_example.fastq.gz" > lane1.fastq
    cp lane1.fastq lane2.fastq
    expect 1 "reads files 'lane1.fastq' and 'lane2.fastq' hold the same $(stat -c %s lane1.fastq) bytes" \
        map lane1.fastq out --tags lane2.fastq
    [ ! -e out ] || [ -z "$(ls -A out)" ] || fail "the refused map left files: $(ls -A out)"
    expect 1 "reads files 'lane1.fastq' and 'lane2.fastq' hold the same" \
        "$mirsight" collapse --adapter none -o tags.txt lane1.fastq lane2.fastq
    [ ! -e tags.txt ] || fail "the refused collapse wrote its file"
    # Two lanes of the same size that differ are lanes.
    sed '2s/^T/A/' lane1.fastq > lane2.fastq
    [ "$(stat -c %s lane1.fastq)" = "$(stat -c %s lane2.fastq)" ] && ! cmp -s lane1.fastq lane2.fastq ||
        fail "lane2.fastq is not a lane of the same size"
    expect 0 "" map lane1.fastq out --tags lane2.fastq
    ;;
several_species)
    # A miRNA file of several species needs --species (or --species all).
    expect 2 "miRNA file 'mirna_example.txt' holds 2 species (hsa,mmu): choose the sample's with --species" \
        "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --outdir out
    [ ! -e out ] || [ -z "$(ls -A out)" ] || fail "the refused map left files"
    expect 0 "" "$mirsight" map --mature mirna_example.txt --tags tag_count_iso_exampl.txt --outdir out \
        --species all --quiet
    grep -q $'^species\tall$' out/tag_count_iso_exampl.provenance.tsv || fail "provenance lacks 'species all'"
    ;;
tidy_tables)
    # Every .tsv that map writes is a tidy table pandas reads; the seven
    # legacy-layout tables are .txt; MultiQC's percentages do not overlap.
    require_python_module pandas || exit 77
    require_tool multiqc || exit 77
    map tag_count_iso_exampl.txt out --sample S > /dev/null 2>&1 || fail "map"
    for t in unique ambigue tag_unique tag_ambigue tag_ambigue_selected unique_ambigue_selected ambigue_ambigue_selected; do
        [ -s "out/S.$t.txt" ] && [ ! -e "out/S.$t.tsv" ] || fail "the $t table is not S.$t.txt"
    done
    /usr/bin/python3 - out <<'PY' || fail "pandas does not read every .tsv of map"
import glob, sys, pandas
for path in sorted(glob.glob(sys.argv[1] + "/*.tsv")):
    frame = pandas.read_table(path)
    with open(path) as fh:
        widths = {line.count("\t") for line in fh}
    assert len(widths) == 1 and frame.shape[0] > 0, path
PY
    multiqc -q -f -o report out > /dev/null 2>&1 || fail "multiqc failed"
    /usr/bin/python3 - report/multiqc_data/multiqc_general_stats.txt out/S.summary.tsv <<'PY' || fail "MultiQC percentages"
import csv, sys
row = next(csv.DictReader(open(sys.argv[1]), delimiter="\t"))
value = lambda key: float(next(v for k, v in row.items() if k.endswith("mirsight-" + key)))
s = next(csv.DictReader(open(sys.argv[2]), delimiter="\t"))
total = int(s["total_reads"])
counted, unassigned = value("pct_counted"), value("pct_unassigned")
rest = 100.0 * (int(s["unmapped_reads"]) + int(s["too_short_reads"])) / total
assert abs(counted + unassigned + rest - 100) < 0.02, (counted, unassigned, rest)
assert abs(counted - 100.0 * (int(s["unique_reads"]) + int(s["assigned_reads"])) / total) < 0.006
PY
    ;;
*)
    echo "unknown case '$case_name'"
    exit 2
    ;;
esac
[ "$failed" = 0 ] && echo "PASS: $case_name"
exit "$failed"
