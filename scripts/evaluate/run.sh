#!/bin/bash
# Usage: scripts/evaluate/run.sh KORVEX SCRATCH [DATASETS] [KEY=VALUE ...]
#
# Measures a korvex binary on simulated reads whose true origins are known. In SCRATCH it
# makes (once; later runs reuse them) a 300 kb genome with repeat families and a donor with
# 0.5 % SNPs, reads simulated from the donor, and their alignments by several aligners; then it
# runs KORVEX on every data set, scores its output against the truth, writes the figures as
# TSV (SCRATCH/figures.tsv, fates.tsv, calibration.tsv) and prints one markdown table per
# group of data sets (also in SCRATCH/tables.md).
#
# DATASETS: names or name prefixes separated by commas (default: all), for example
# `se150,srna-bowtie` or `pe100`; `list` prints them. KEY=VALUE settings go to every korvex run
# beside the fixed ones (STRANDNESS_OPTION=OFF PROB_OUTPUT=BOTH NUM_THREADS=2 OUTPUT_FORMAT=SAMPLUS
# and the input, output and log names), which they cannot change. Every input depends on
# fixed seeds only: the same bytes on every run.
# EVALUATE_DATA=DIR keeps the simulated data and alignments in DIR instead of SCRATCH/data,
# so that runs of several builds share them.
#
# Needs the Debian packages art-nextgen-simulation-tools bowtie bowtie2 bwa hisat2 minimap2
# samtools python3: installed when run as root, else the apt-get command is printed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
project=$(cd "$here/../.." && pwd)
readonly RECIPE="genome seed 1, 300 kb, 15 families; srna 100000 x 36 nt trimmed 18-32 seed 31; se150 50000 seed 43;
se100 50000 seed 47; pe100 25000 pairs m300 s30 seed 53; pe150 25000 pairs m400 s40 seed 59"
readonly THREADS=2

# name|group|reads|aligner: every data set, in the order of the tables.
readonly DATASETS=(
    "srna-bowtie|single-end reads|srna|bowtie"
    "se150-bwa|single-end reads|se150|bwa"
    "se150-bowtie2-local|single-end reads|se150|bowtie2-local"
    "se100-minimap2|single-end reads|se100|minimap2-secondary"
    "se100-hisat2|single-end reads|se100|hisat2"
    "se100-minimap2-nosec|single-end reads|se100|minimap2"
    "pe100-bowtie2|pairs 2 x 100 bp|pe100|bowtie2-paired"
    "pe100-bowtie2-se|pairs 2 x 100 bp|pe100.se|bowtie2"
    "pe100-bwa|pairs 2 x 100 bp|pe100|bwa-paired"
    "pe100-bwa-se|pairs 2 x 100 bp|pe100.se|bwa"
    "pe150-bowtie2|pairs 2 x 150 bp|pe150|bowtie2-paired"
    "pe150-bowtie2-se|pairs 2 x 150 bp|pe150.se|bowtie2"
    "pe150-bwa|pairs 2 x 150 bp|pe150|bwa-paired"
    "pe150-bwa-se|pairs 2 x 150 bp|pe150.se|bwa"
)

usage() {
    sed -n '2,20p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

log() { echo "evaluate: $*" >&2; }
die() { echo "evaluate: $*" >&2; exit 1; }

check_tools() {
    "$project/scripts/ensure-packages.sh" art-nextgen-simulation-tools bowtie bowtie2 bwa hisat2 \
        minimap2 samtools python3 || exit 1
    local tool
    for tool in art_illumina bowtie bowtie-build bowtie2 bowtie2-build bwa hisat2 hisat2-build \
        minimap2 samtools python3; do
        command -v "$tool" >/dev/null || die "$tool not found"
    done
}

make_genome() {
    [[ -e $data/genome/done ]] && return 0
    log "genome"
    mkdir -p "$data/genome"
    python3 "$here/simdata.py" genome --outdir "$data/genome" --seed 1 >"$data/genome/made.txt"
    cat "$data/genome/made.txt" >&2
    samtools faidx "$data/genome/reference.fa"
    touch "$data/genome/done"
}

make_indexes() {
    local index=$data/index/ref
    [[ -e $data/index/done ]] && return 0
    log "aligner indexes"
    mkdir -p "$data/index"
    local reference=$data/genome/reference.fa
    bowtie-build -q --seed 1 "$reference" "$index" >/dev/null
    bowtie2-build -q --seed 1 "$reference" "$index" >/dev/null
    bwa index -p "$index" "$reference" 2>/dev/null
    hisat2-build -q --seed 1 "$reference" "$index" >/dev/null
    touch "$data/index/done"
}

coverage() {  # READS LENGTH [2 for pairs]: ART's fold coverage for that many reads or pairs
    python3 -c "import json, sys; g = json.load(open(sys.argv[1]))['genome_length'];
print('%.6f' % (int(sys.argv[2]) * int(sys.argv[3]) * int(sys.argv[4]) / g))" \
        "$data/genome/genome.json" "$1" "$2" "${3:-1}"
}

make_reads() {  # READ SET
    local set=${1%.se}
    [[ -e $data/reads/$set.done ]] && return 0
    log "reads $set"
    mkdir -p "$data/reads"
    case $set in
        srna)  single_reads srna 31 --trim 18-32 -- -ss GA1 -l 36 -f "$(coverage 100000 36)" ;;
        se150) single_reads se150 43 -- -ss HS25 -l 150 -f "$(coverage 50000 150)" ;;
        se100) single_reads se100 47 -- -ss HS20 -l 100 -f "$(coverage 50000 100)" ;;
        pe100) paired_reads pe100 53 -ss HS20 -l 100 -m 300 -s 30 -f "$(coverage 25000 100 2)" ;;
        pe150) paired_reads pe150 59 -ss HS25 -l 150 -m 400 -s 40 -f "$(coverage 25000 150 2)" ;;
        *) die "no recipe for reads $set" ;;
    esac
    touch "$data/reads/$set.done"
}

# SET SEED [SIMDATA OPTIONS] -- ART OPTIONS: ART simulates reads from the donor with the seed;
# simdata.py shuffles, renames (and trims) them and writes their truth.
single_reads() {
    local set=$1 seed=$2 art=$data/reads/$1.art options=()
    shift 2
    while [[ $1 != -- ]]; do options+=("$1"); shift; done
    shift
    art_illumina "$@" -rs "$seed" -i "$data/genome/donor.fa" -o "$art" -sam -na -q >/dev/null
    python3 "$here/simdata.py" reads --art-sam "$art.sam" --fastq "$art.fq" \
        --out "$data/reads/$set" --seed "$seed" "${options[@]}" >&2
    rm -f "$art.sam" "$art.fq"
}

# SET SEED ART OPTIONS: the same for pairs (ART's paired mode).
paired_reads() {
    local set=$1 seed=$2 art=$data/reads/$1.art
    shift 2
    art_illumina -p "$@" -rs "$seed" -i "$data/genome/donor.fa" -o "$art" -sam -na -q >/dev/null
    python3 "$here/simdata.py" reads --art-sam "$art.sam" --fastq "${art}1.fq" --fastq2 "${art}2.fq" \
        --out "$data/reads/$set" --seed "$seed" >&2
    rm -f "$art.sam" "${art}1.fq" "${art}2.fq"
}

# The aligner command for a read set, as a line of words run in the data directory (relative
# paths, so that the command line the aligner writes into the SAM header is the same wherever
# the data are); the SAM goes to standard output.
aligner_command() {  # ALIGNER READS
    local index=index/ref reads=reads/$2
    case $1 in
        bowtie)             echo "bowtie -p $THREADS --reorder --seed 1 -k 10 --best -v 2 --sam -x $index -q $reads.fq" ;;
        bwa)                echo "bwa mem -t $THREADS -K 10000000 -a $index $reads.fq" ;;
        bwa-paired)         echo "bwa mem -t $THREADS -K 10000000 -a -P $index ${reads}_1.fq ${reads}_2.fq" ;;
        bowtie2)            echo "bowtie2 -p $THREADS --reorder -k 10 -x $index -U $reads.fq" ;;
        bowtie2-local)      echo "bowtie2 -p $THREADS --reorder --local -k 10 -x $index -U $reads.fq" ;;
        bowtie2-paired)     echo "bowtie2 -p $THREADS --reorder -k 10 -x $index -1 ${reads}_1.fq -2 ${reads}_2.fq" ;;
        minimap2-secondary) echo "minimap2 -t $THREADS -ax sr --secondary=yes -N 10 --MD genome/reference.fa $reads.fq" ;;
        minimap2)           echo "minimap2 -t $THREADS -ax sr --MD genome/reference.fa $reads.fq" ;;
        hisat2)             echo "hisat2 -p $THREADS --reorder --seed 1 -k 10 -x $index -U $reads.fq" ;;
        *) die "no aligner $1" ;;
    esac
}

# Adds MD:Z tags with samtools calmd when a mapped line has none; the order of lines stays.
ensure_md() {  # SAM COMMAND_FILE
    local sam=$1
    if awk -F'\t' '!/^@/ && int($2 / 4) % 2 == 0 && !/\tMD:Z:/ { found = 1; exit } END { exit !found }' "$sam"; then
        log "$(basename "$sam"): mapped lines without MD:Z, adding them with samtools calmd"
        samtools calmd "$sam" "$data/genome/reference.fa" >"$sam.md" 2>/dev/null
        mv "$sam.md" "$sam"
        echo "samtools calmd" >>"$2"
    fi
}

align() {  # DATASET ALIGNER READS
    local sam=$data/sam/$1.sam
    [[ -e $sam ]] && return 0
    log "aligning $1"
    mkdir -p "$data/sam"
    local command
    command=$(aligner_command "$2" "$3")
    echo "$command" >"$data/sam/$1.command"
    local start=$SECONDS
    # shellcheck disable=SC2086  # the command is a line of words without blanks inside
    (cd "$data" && $command) >"$sam.tmp" 2>"$data/sam/$1.aligner.log" ||
        die "$2 failed: see $data/sam/$1.aligner.log"
    echo "$((SECONDS - start))" >"$data/sam/$1.seconds"
    ensure_md "$sam.tmp" "$data/sam/$1.command"
    mv "$sam.tmp" "$sam"
}

run_korvex() {  # DATASET GROUP READS
    local dataset=$1 group=$2 reads=$3
    local run=$scratch/korvex/$dataset
    rm -rf "$run"
    mkdir -p "$run"
    local command=("$korvex" MAP_FILENAME="$data/sam/$dataset.sam" STRANDNESS_OPTION=OFF PROB_OUTPUT=BOTH
                   NUM_THREADS=$THREADS OUTPUT_FORMAT=SAMPLUS OUTPUT_FILE="$run/out.sam+"
                   LOG_FILENAME="$run/run.log" "${settings[@]}")
    printf '%q ' "${command[@]}" >"$run/command.txt"
    log "korvex on $dataset"
    local start status=0
    start=$(date +%s.%N)
    (cd "$run" && "${command[@]}" >console.txt 2>errors.txt) || status=$?
    local seconds
    seconds=$(python3 -c "import sys; print('%.2f' % (float(sys.argv[2]) - float(sys.argv[1])))" \
        "$start" "$(date +%s.%N)")
    ((status == 0)) || log "$dataset: korvex exit status $status: $(tail -n 1 "$run/errors.txt")"
    local extra_arguments=()
    for setting in "${settings[@]}"; do extra_arguments+=(--setting "$setting"); done
    if [[ $dataset == *-se ]]; then  # the same mates aligned as pairs, for their primary lines
        extra_arguments+=(--paired-sam "$data/sam/${dataset%-se}.sam"
                          --paired-truth "$data/reads/${reads%.se}.truth.tsv")
    fi
    python3 "$here/measure.py" score --dataset "$dataset" --group "$group" \
        --sam "$data/sam/$dataset.sam" --truth "$data/reads/$reads.truth.tsv" --json "$run/figures.json" \
        --output "$run/out.sam+" --console "$run/console.txt" --errors "$run/errors.txt" \
        --status "$status" --seconds "$seconds" --command "$(cat "$run/command.txt")" \
        --aligner "$(aligner_label "$dataset")" "${extra_arguments[@]}"
    rm -f "$run/out.sam+"  # as large as the input; the figures are kept
}

# The aligner command as a reader wants it: without paths, threads and reproducibility options.
aligner_label() {
    sed -e 's#index/ref#ref#g; s#reads/##g; s#genome/##g' \
        -e 's/ -p [0-9]*//; s/ -t [0-9]*//; s/ --reorder//; s/ --seed 1//; s/ -K 10000000//' \
        "$data/sam/$1.command" | paste -sd'|' | sed 's/|/ | /g'
}

selected() {  # DATASET: whether the DATASETS argument chose it
    [[ -z $choice ]] && return 0
    local item
    for item in ${choice//,/ }; do
        [[ $1 == "$item"* ]] && return 0
    done
    return 1
}

# ---------------------------------------------------------------- main

(($# >= 2)) || usage
korvex=$(realpath "$1")
scratch=$2
shift 2
choice="" settings=()
for argument in "$@"; do
    case $argument in
        MAP_FILENAME=* | STRANDNESS_OPTION=* | PROB_OUTPUT=* | NUM_THREADS=* | OUTPUT_FORMAT=* | \
            OUTPUT_FILE=* | LOG_FILENAME=*)
            die "${argument%%=*} is set by the harness itself" ;;
        *=*) settings+=("$argument") ;;
        *) choice+="${choice:+,}$argument" ;;
    esac
done
if [[ $choice == list ]]; then
    for entry in "${DATASETS[@]}"; do echo "${entry%%|*}"; done
    exit 0
fi
[[ -x $korvex ]] || die "$korvex is not an executable file"
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
data=${EVALUATE_DATA:-$scratch/data}
mkdir -p "$data"
data=$(cd "$data" && pwd)
if [[ -e $data/recipe.txt ]]; then
    [[ $(cat "$data/recipe.txt") == "$RECIPE" ]] ||
        die "$data holds data of another recipe: remove it or choose another directory"
else
    echo "$RECIPE" >"$data/recipe.txt"
fi
check_tools

chosen=()
for entry in "${DATASETS[@]}"; do
    selected "${entry%%|*}" && chosen+=("$entry")
done
((${#chosen[@]} > 0)) || die "no data set matches '$choice' (see: run.sh KORVEX SCRATCH list)"

make_genome
make_indexes
rm -f "$scratch"/korvex/*/figures.json
figures=()
for entry in "${chosen[@]}"; do
    IFS='|' read -r dataset group reads aligner <<<"$entry"
    make_reads "$reads"
    align "$dataset" "$aligner" "$reads"
    if [[ $dataset == *-se ]]; then  # its paired form, for the comparison of primary lines
        align "${dataset%-se}" "$aligner-paired" "${reads%.se}"
    fi
    run_korvex "$dataset" "$group" "$reads"
    figures+=("$scratch/korvex/$dataset/figures.json")
done

{
    echo "korvex: $korvex ($("$korvex" --version 2>&1 | head -n 1))"
    echo "settings: STRANDNESS_OPTION=OFF PROB_OUTPUT=BOTH NUM_THREADS=$THREADS ${settings[*]}"
    echo "data: $data ($RECIPE)"
    echo "aligners: bowtie $(bowtie --version | awk 'NR==1 {print $NF}'), bowtie2 $(bowtie2 --version | awk 'NR==1 {print $NF}')," \
        "bwa $(bwa 2>&1 | awk '/^Version/ {print $2}'), hisat2 $(hisat2 --version | awk 'NR==1 {print $NF}')," \
        "minimap2 $(minimap2 --version), ART $(art_illumina 2>&1 | awk '/Version/ {print $3}')"
} >"$scratch/versions.txt"
python3 "$here/measure.py" report "$scratch" "${figures[@]}" >"$scratch/tables.md"
cat "$scratch/versions.txt" "$scratch/tables.md"
log "figures in $scratch/figures.tsv, fates.tsv, calibration.tsv; tables in $scratch/tables.md"
