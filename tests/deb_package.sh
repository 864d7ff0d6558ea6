#!/bin/bash
# Usage: tests/deb_package.sh BUILD GOLDEN
# Builds the Debian package from the build with cpack, checks its control fields (the version
# that korvex reports, Depends naming the htslib package, the OpenMP and C++ runtimes), unpacks it
# and runs the unpacked korvex on the bundled example, whose output must be the golden file.
# Exits 77 (skipped) when dpkg-deb or dpkg-shlibdeps is missing.
set -euo pipefail
command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing: apt-get install -y dpkg"; exit 77; }
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps is missing: apt-get install -y dpkg-dev"; exit 77; }
build=$(realpath "$1")
golden=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.out" 2>&1 || { cat "$scratch/cpack.out"; fail "cpack"; }
version=$("$build/korvex" --version | grep -oE '[0-9]+(\.[0-9]+)+')
package=$scratch/korvex_${version}_$(dpkg --print-architecture).deb
[[ -f $package ]] || fail "no $(basename "$package"); cpack made: $(ls "$scratch")"

depends=$(dpkg-deb -f "$package" Depends)
for library in libhts libgomp1 libstdc++6; do
    [[ $depends == *"$library"* ]] || fail "Depends ($depends) does not name $library"
done
[[ $(dpkg-deb -f "$package" Section) == science ]] || fail "section is not science"

dpkg-deb -x "$package" "$scratch/root"
root=$scratch/root/usr
[[ -f $root/share/man/man1/korvex.1 && -f $root/share/korvex/workflow/Snakefile ]] || fail "man page or workflow missing"
[[ $("$root/bin/korvex" --version) == "$("$build/korvex" --version)" ]] || fail "the unpacked korvex reports another version"
mkdir "$scratch/run"
cd "$scratch/run"
cp "$root"/share/doc/korvex/examples/example.{sam,cfg} .
"$root/bin/korvex" -q example.cfg >/dev/null
cmp example.sam+ "$golden" || fail "the packaged korvex gives another output on the example"
echo "$(basename "$package"): Depends: $depends; the unpacked korvex reproduces the golden output"
