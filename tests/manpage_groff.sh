#!/bin/bash
# Usage: tests/manpage_groff.sh KORVEX.1
# The generated manual page renders with every groff warning enabled and gives none. Exits 77
# (skipped) when groff is missing.
set -euo pipefail
command -v groff >/dev/null || { echo "groff is missing: apt-get install -y groff-base"; exit 77; }
warnings=$(groff -ww -man -Tutf8 "$1" 2>&1 >/dev/null)
[[ -z $warnings ]] || { echo "groff warns about $1:"; echo "$warnings"; exit 1; }
echo "$1 renders without warnings"
