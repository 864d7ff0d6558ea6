#!/bin/bash
# Snakemake's cluster-status command: the state of a SLURM job as running, success or failed.
# Reads scontrol, which needs no accounting database (SLURM keeps a finished job for
# MinJobAge, 300 s by default, much longer than Snakemake's checks are apart).
job_id=${1%%;*}
state=$(scontrol show job "$job_id" --oneliner 2>/dev/null | grep -o 'JobState=[A-Z_]*')
case ${state#JobState=} in
    COMPLETED) echo success ;;
    BOOT_FAIL | CANCELLED | DEADLINE | FAILED | NODE_FAIL | OUT_OF_MEMORY | PREEMPTED | TIMEOUT) echo failed ;;
    *) echo running ;;  # pending, running, completing, or scontrol briefly unreachable
esac
