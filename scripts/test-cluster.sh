#!/bin/bash
# Usage (as root): scripts/test-cluster.sh KORVEX
#
# Starts a real one-node SLURM cluster on this machine and runs divided korvex runs on it:
# the bundled example as 3 parts through workflow/slurm/submit.sh and through the Snakemake
# workflow with the SLURM profile, each merged file compared byte for byte with a single run,
# and a run whose parts fail, whose merge must then be cancelled. Needs the Debian packages
# slurm-wlm, munge and snakemake (make test-cluster installs them).
#
# The cluster is private to the test: munged, slurmctld and slurmd run with their own key,
# socket, configuration, ports (on 127.0.0.1), state and logs in a scratch directory, so a
# cluster already set up on the machine is not touched. The test stops the daemons it started
# and removes the scratch directory when it ends, whatever the outcome.
set -euo pipefail

readonly QUICK_SETTINGS="TOTAL_ITERATIONS=100 BURNIN_ITERATIONS=20"
readonly NUM_PARTS=3
readonly START_LIMIT_SECONDS=120
readonly JOB_LIMIT_SECONDS=300

say() { echo "test-cluster: $*"; }
fail() {
    say "FAILED: $*" >&2
    show_logs >&2
    exit 1
}

(($# == 1)) || { echo "usage: scripts/test-cluster.sh KORVEX" >&2; exit 2; }
[[ $(id -u) == 0 ]] || { say "run it as root: it starts the daemons of a SLURM cluster" >&2; exit 2; }
korvex=$(realpath "$1")
[[ -x $korvex ]] || { say "no program at $1" >&2; exit 2; }
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

for tool in munged munge slurmctld slurmd sbatch snakemake; do
    command -v "$tool" >/dev/null || { say "$tool is missing: apt-get install -y slurm-wlm munge snakemake" >&2; exit 2; }
done

scratch=$(mktemp -d /tmp/korvex-cluster.XXXXXX)
chmod 755 "$scratch"  # munged runs as the munge user and must reach its directory
daemon_pids=()

show_logs() {
    local log
    for log in "$scratch"/log/* "$scratch"/munge/munged.log "$scratch"/data/*.out "$scratch"/data/.korvex-workflow/*.out; do
        [[ -f $log ]] || continue
        echo "--- $log"
        tail -n 20 "$log"
    done
}

stop_cluster() {
    if ((${#daemon_pids[@]} == 3)); then  # jobs left by a failure: their steps outlive slurmd
        scancel --user=root 2>/dev/null || true
        wait_for_no_jobs 30 || true
    fi
    local i
    for ((i = ${#daemon_pids[@]} - 1; i >= 0; i--)); do
        kill "${daemon_pids[i]}" 2>/dev/null || true
        wait "${daemon_pids[i]}" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap stop_cluster EXIT

start_munge() {
    local dir=$scratch/munge
    mkdir -m 755 "$dir"  # the socket in it must be reachable by every user
    head -c 1024 /dev/urandom >"$dir/munge.key"
    chmod 400 "$dir/munge.key"
    chown -R munge:munge "$dir"
    setpriv --reuid=munge --regid=munge --clear-groups munged --foreground \
        --socket="$dir/munge.socket" --key-file="$dir/munge.key" --pid-file="$dir/munged.pid" \
        --log-file="$dir/munged.log" --seed-file="$dir/munged.seed" 2>/dev/null &
    daemon_pids+=($!)
    local tries
    for ((tries = 0; tries < 50; tries++)); do
        munge -n -S "$dir/munge.socket" 2>/dev/null | unmunge -S "$dir/munge.socket" >/dev/null 2>&1 && return
        sleep 0.2
    done
    fail "munged did not answer within 10 s"
}

write_slurm_conf() {
    local host memory_mb
    host=$(hostname -s)
    memory_mb=$(awk '/^MemTotal:/ { print int($2 / 1024 * 0.9) }' /proc/meminfo)
    mkdir -p "$scratch"/{etc,state,spool,log}
    cat >"$scratch/etc/slurm.conf" <<EOF
ClusterName=korvextest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$scratch/munge/munge.socket
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobAcctGatherType=jobacct_gather/none
MpiDefault=none
ReturnToService=2
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldPidFile=$scratch/state/slurmctld.pid
SlurmdPidFile=$scratch/spool/slurmd.pid
SlurmctldLogFile=$scratch/log/slurmctld.log
SlurmdLogFile=$scratch/log/slurmd.log
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$memory_mb State=UNKNOWN
PartitionName=korvextest Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
    export SLURM_CONF=$scratch/etc/slurm.conf  # the daemons, sbatch, squeue and the jobs read it
}

start_slurm() {
    slurmctld -D 2>/dev/null &  # -D: in the foreground, so that its id is ours to stop
    daemon_pids+=($!)
    slurmd -D 2>/dev/null &
    daemon_pids+=($!)
    local waited
    for ((waited = 0; waited < START_LIMIT_SECONDS * 5; waited++)); do
        [[ $(sinfo -h -o %T 2>/dev/null) == idle ]] && return
        sleep 0.2
    done
    fail "the node was not idle within $START_LIMIT_SECONDS s"
}

# Waits until the cluster holds no job, at most $1 seconds.
wait_for_no_jobs() {
    local waited
    for ((waited = 0; waited < $1; waited++)); do
        [[ -z $(squeue -h -o %i 2>/dev/null) ]] && return 0
        sleep 1
    done
    return 1
}

job_state() { scontrol show job "$1" --oneliner | grep -o 'JobState=[A-Z_]*' | cut -d= -f2; }

# Compares the merged file with the single run's and clears the data directory for the next run.
check_merged() {
    cmp example.sam+ single.sam+ || fail "$1: the merged file differs from a single run's"
    say "$1: merged file byte-identical to a single run's"
    rm -rf example.sam+ example.part* .korvex-workflow .snakemake ./*.out
}

test_sbatch_array() {
    local submitted array_job merge_job
    submitted=$(KORVEX=$korvex "$repo/workflow/slurm/submit.sh" quick.cfg "$NUM_PARTS")
    array_job=$(sed -n 's/^parts: job \([0-9]*\).*/\1/p' <<<"$submitted")
    merge_job=$(sed -n 's/.*merge: job \([0-9]*\)$/\1/p' <<<"$submitted")
    [[ -n $array_job && -n $merge_job ]] || fail "submit.sh printed: $submitted"
    wait_for_no_jobs "$JOB_LIMIT_SECONDS" || fail "sbatch array: jobs still queued after $JOB_LIMIT_SECONDS s"
    [[ $(job_state "$merge_job") == COMPLETED ]] || fail "sbatch array: the merge job ended $(job_state "$merge_job")"
    check_merged "sbatch array of $NUM_PARTS parts, then the merge"
}

test_failed_part_cancels_merge() {
    local submitted merge_job
    submitted=$(KORVEX=$korvex "$repo/workflow/slurm/submit.sh" quick.cfg "$NUM_PARTS" NUM_THREADS=0)
    merge_job=$(sed -n 's/.*merge: job \([0-9]*\)$/\1/p' <<<"$submitted")
    wait_for_no_jobs "$JOB_LIMIT_SECONDS" || fail "failing parts: jobs still queued after $JOB_LIMIT_SECONDS s"
    [[ $(job_state "$merge_job") == CANCELLED ]] || fail "failing parts: the merge job ended $(job_state "$merge_job")"
    [[ ! -e example.sam+ ]] || fail "failing parts: a merged file was written"
    say "failing parts: the merge was cancelled"
    rm -f ./*.out
}

test_snakemake_profile() {
    snakemake -s "$repo/workflow/Snakefile" --profile "$repo/workflow/profiles/slurm" --quiet \
        --config korvex_config=quick.cfg parts="$NUM_PARTS" korvex="$korvex" >snakemake.out 2>&1 ||
        fail "snakemake through the SLURM profile: $(tail -n 20 snakemake.out)"
    check_merged "snakemake with the SLURM profile, $NUM_PARTS parts"
}

started=$EPOCHREALTIME
start_munge
write_slurm_conf
start_slurm
say "munged, slurmctld and slurmd started; node idle after $(awk "BEGIN { printf \"%.1f\", $EPOCHREALTIME - $started }") s"

mkdir "$scratch/data"
cd "$scratch/data"
cp "$repo/examples/example.sam" .
{ cat "$repo/examples/example.cfg"; tr ' ' '\n' <<<"$QUICK_SETTINGS"; } >quick.cfg
"$korvex" -q quick.cfg >/dev/null
mv example.sam+ single.sam+

test_sbatch_array
test_failed_part_cancels_merge
test_snakemake_profile
say "3 passed, 0 failed"
