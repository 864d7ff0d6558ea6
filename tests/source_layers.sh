#!/bin/bash
# Usage: tests/source_layers.sh SOURCE_DIR
# The layers of the program, from the top: app, pipeline, model, reads, io. A file may include
# the headers of its own layer and of the layers below it, never one of a layer above; no two
# files depend on each other through their includes, however long the way round; the run driver
# (Korvex.h) is included by the entry point alone; and every file of SOURCE_DIR (searched with its
# subdirectories) belongs to a layer listed here, so that a new file is placed on purpose.
# A component is a file name without its extension: X.h and X.cpp are one.
set -euo pipefail
source_dir=${1:?usage: $0 SOURCE_DIR}

declare -A LAYER
place() {
    local layer=$1
    shift
    for component in "$@"; do LAYER[$component]=$layer; done
}
# The number is the height: a component may depend on components of its height or lower.
place 5 Main ManPageMain ManPage Settings Progress SummaryText MergeCommand
place 4 Korvex RunPlan RunFiles PartOutputs Manifest RunDirectory DataTrainer ThreadDataMgr RunSettings \
    SettingsTable RunSummary StepProgress
place 3 ModelParameters Evidence MultiReadScorer MC2 SimpleRNG DistSampler GammaBounds
place 2 Read MapFileReader MismatchTag Cigar KeepRules MultiReadCollectionMgr ErrorScore Arena ReferenceNames ReadIdSet RadixSort
place 1 InputFile LineSource LineSources PlainLineSource ContentChecksum AtomicFile SignalCleanup Leftovers \
    FileDescriptor PathNames OutputTarget OutputWriters SecondReading SamplusWriter TaggedWriter ValuesFile \
    RecordLines LineValues Formats Logger ConfigFileReader WallClock Version NumberText Trim
NAMES=([1]=io [2]=reads [3]=model [4]=pipeline [5]=app)

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
mapfile -t files < <(find "$source_dir" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
for file in "${files[@]}"; do
    name=$(basename "$file")
    from=${name%.*}
    [[ -n ${LAYER[$from]:-} ]] || { fail "$name belongs to no layer: add it to $0"; continue; }
    while read -r header; do
        to=$(basename "${header%.h}")
        [[ -n ${LAYER[$to]:-} ]] || continue  # a header of the tests or another library
        [[ $to == "$from" ]] && continue
        if ((LAYER[$to] > LAYER[$from])); then
            fail "$name (${NAMES[${LAYER[$from]}]}) includes $header (${NAMES[${LAYER[$to]}]}): an arrow that climbs"
        fi
        if [[ $to == Korvex && $from != Main ]]; then
            fail "$name includes Korvex.h, which the entry point alone includes"
        fi
        echo "$from $to" >>"$edges"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done

# tsort names the components of a circle on standard error and fails.
if ! circle=$(sort -u "$edges" | tsort 2>&1 >/dev/null); then
    fail "a circle of includes: $(echo "$circle" | grep -v 'input contains a loop' | sed 's/^tsort: //' | tr '\n' ' ')"
fi

count=$(sort -u "$edges" | wc -l)
if ((failures > 0)); then
    echo "$failures problem(s) in the layers of $source_dir"
    exit 1
fi
echo "${#files[@]} files, $count includes between components: no arrow climbs, no circle"
