#!/usr/bin/env bash
# The workflow on a real one-node SLURM cluster, through the shipped profile:
#
#   slurm_check.sh BUILD_DIR SOURCE_DIR
#
# starts munged, slurmctld and slurmd (Debian's munge and slurm-wlm) with
# their own key, slurm.conf, ports, spool and state folders in a scratch
# folder under /tmp (no accounting, no slurmdbd: what the profile must work
# with), runs workflow/Snakefile with `--profile workflow/profiles/slurm`
# as shipped, then the same study locally (`--cores 2`), and compares every
# result file byte for byte. It stops the daemons it started. Skipped
# (exit 77) when not root, a package is missing or the cluster does not come up.
set -u
build=$(realpath "$1")
root=$(realpath "$2")
export LC_ALL=C

fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "skipped: $*"; exit 77; }
source "$root/e2e/require_tools.sh"
[ "$(id -u)" = 0 ] || skip "the cluster's daemons are started as root"
require_tool snakemake mirtop multiqc munged slurmctld slurmd sbatch srun scontrol sinfo || exit 77
[ -x "$build/mirsight" ] || fail "no program $build/mirsight"

work=$(mktemp -d /tmp/mirsight_slurm_XXXXXX)
chmod 755 "$work"
pids=()
stop_daemons() {
    local file
    for file in "$work"/slurmd.pid "$work"/slurmctld.pid "$work"/munge/munged.pid; do
        [ -s "$file" ] && kill "$(cat "$file")" 2> /dev/null
    done
    sleep 1
}
trap 'stop_daemons; rm -rf "$work"' EXIT
export HOME=${HOME:-$work}
# Snakemake's SLURM executor asks sacct for the jobs of $USER.
export USER=${USER:-$(id -un)}

# A cluster of its own: free ports, its own munge key and socket.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("localhost", 0)); print(s.getsockname()[1])')
mkdir -p "$work/munge" "$work/spool" "$work/state" "$work/log"
chmod 700 "$work/munge"
head -c 1024 /dev/urandom > "$work/munge/munge.key"
chmod 400 "$work/munge/munge.key"
memory=$(awk '/MemTotal/ { print int($2 / 1024 / 2) }' /proc/meminfo)
export SLURM_CONF="$work/slurm.conf"
cat > "$SLURM_CONF" << EOF
ClusterName=mirsight
SlurmctldHost=localhost
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
ReturnToService=2
NodeName=localhost CPUs=2 RealMemory=$memory State=UNKNOWN
PartitionName=debug Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
munged --force --key-file="$work/munge/munge.key" --socket="$work/munge/munge.socket" \
       --pid-file="$work/munge/munged.pid" --log-file="$work/munge/munged.log" \
       --seed-file="$work/munge/munge.seed" || skip "munged does not start"
slurmctld -f "$SLURM_CONF" || skip "slurmctld does not start"
slurmd -f "$SLURM_CONF" || skip "slurmd does not start"
for _ in $(seq 30); do
    sinfo -h -o '%t' 2> /dev/null | grep -q idle && break
    sleep 1
done
sinfo -h -o '%t' | grep -q idle || { tail -5 "$work"/log/*.log; skip "the node does not come up"; }

# The bundled study with absolute paths, run from a folder of its own.
awk -F'\t' -v OFS='\t' -v root="$root" '
    NR == 1 { print; next }
    { n = split($2, files, ","); $2 = ""
      for (i = 1; i <= n; i++) $2 = $2 (i > 1 ? "," : "") root "/" files[i]
      print }' "$root/workflow/samples.tsv" > "$work/samples.tsv"
run() {  # run FOLDER OPTION...
    local folder=$1
    shift
    mkdir -p "$work/$folder"
    (cd "$work/$folder" && snakemake --snakefile "$root/workflow/Snakefile" "$@" \
        --config samples="$work/samples.tsv" mature="$root/Tests/mirna_example.txt" \
                 hairpin="$root/Tests/hairpin_example.txt" outdir=results mirsight="$build/mirsight" \
        > snakemake.log 2>&1) || { tail -30 "$work/$folder/snakemake.log"; fail "snakemake $* failed"; }
}
start=$(date +%s)
run cluster --profile "$root/workflow/profiles/slurm"
echo "the workflow ran through SLURM in $(( $(date +%s) - start )) s"
run local --cores 2

# Every job went through sbatch, with the rule's threads, memory and time.
jobs=$(grep -c "has been submitted with SLURM jobid" "$work/cluster/snakemake.log")
[ "$jobs" = 6 ] || fail "$jobs jobs were submitted to SLURM, not 6 (3 map, merge, mirtop, multiqc)"
checked=0
for id in $(grep -o "SLURM jobid [0-9]*" "$work/cluster/snakemake.log" | awk '{ print $3 }'); do
    scontrol show jobid "$id" > "$work/job.txt" 2>&1 || fail "SLURM job $id: $(cat "$work/job.txt")"
    grep -q "JobState=COMPLETED" "$work/job.txt" || fail "SLURM job $id: $(grep -o 'JobState=[A-Z_]*' "$work/job.txt")"
    grep -q "Partition=debug" "$work/job.txt" || fail "SLURM job $id did not run in the default partition"
    if grep -q "JobName=snakejob_map_" "$work/job.txt"; then
        grep -q "NumCPUs=2" "$work/job.txt" && grep -q "mem=4000M" "$work/job.txt" && grep -q "TimeLimit=01:00:00" "$work/job.txt" ||
            fail "SLURM job $id (map) did not ask for 2 threads, 4000 MB and 60 minutes: $(grep -E 'NumCPUs|TRES|TimeLimit' "$work/job.txt")"
        checked=$((checked + 1))
    fi
done
[ "$checked" = 3 ] || fail "$checked map jobs found in SLURM, not 3"

# The results are the local run's, byte for byte.
compared=0
for file in "$work"/local/results/samples/*.tsv "$work"/local/results/samples/*.gff3 \
            "$work"/local/results/merged/* "$work"/local/results/mirtop/mirtop_stats.txt; do
    [ -f "$file" ] || continue
    other="$work/cluster/${file#"$work"/local/}"
    cmp -s "$file" "$other" || fail "${file#"$work"/local/} differs between the SLURM and the local run"
    compared=$((compared + 1))
done
[ "$compared" -ge 20 ] || fail "only $compared result files were compared"
echo "compared $compared result files of the SLURM run with the local run: identical"
