#!/bin/bash
# Usage: tests/source_layers.sh SOURCE_DIR
# The layers of the program, from the top: app, pipeline, model, reads, io, one folder of
# SOURCE_DIR each. A file may include the headers of its own layer and of the layers below it,
# never one of a layer above; no two files depend on each other through their includes, however
# long the way round; the run driver (Korvex.h) is included by the entry point alone; and every
# file of SOURCE_DIR lies in a layer's folder, so that a new file is placed on purpose.
# A component is a file name without its extension: X.h and X.cpp are one.
set -euo pipefail
source_dir=${1:?usage: $0 SOURCE_DIR}

# The height of each layer: a component may depend on components of its height or lower.
declare -A HEIGHT=([io]=1 [reads]=2 [model]=3 [pipeline]=4 [app]=5)
declare -A LAYER

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

mapfile -t files < <(find "$source_dir" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
for file in "${files[@]}"; do
    folder=$(basename "$(dirname "$file")")
    name=$(basename "$file")
    if [[ -z ${HEIGHT[$folder]:-} ]]; then
        fail "$file lies in no layer's folder: move it to one of ${!HEIGHT[*]}"
        continue
    fi
    LAYER[${name%.*}]=$folder
done

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
for file in "${files[@]}"; do
    name=$(basename "$file")
    from=${name%.*}
    [[ -n ${LAYER[$from]:-} ]] || continue
    while read -r header; do
        to=$(basename "${header%.h}")
        [[ -n ${LAYER[$to]:-} ]] || continue  # a header of the tests or another library
        [[ $to == "$from" ]] && continue
        if ((HEIGHT[${LAYER[$to]}] > HEIGHT[${LAYER[$from]}])); then
            fail "$name (${LAYER[$from]}) includes $header (${LAYER[$to]}): an arrow that climbs"
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
