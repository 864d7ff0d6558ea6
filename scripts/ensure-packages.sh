#!/bin/sh
# Usage: scripts/ensure-packages.sh PKG...
# Checks that the Debian packages are installed. Missing ones are installed when running as
# root (the package lists are refreshed only when the first attempt fails); otherwise the
# exact command to install them is printed and the exit status is 1.
set -u

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "no dpkg on this machine: make sure these are installed: $*" >&2
    exit 0
fi

missing=""
for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)
    case "$status" in
        *" ok installed") ;;
        *) missing="$missing $package" ;;
    esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing the missing Debian packages:$missing"
    export DEBIAN_FRONTEND=noninteractive
    # shellcheck disable=SC2086  # one word per package
    apt-get install -y $missing || { apt-get update && apt-get install -y $missing; } || {
        echo "could not install:$missing" >&2
        exit 1
    }
    exit 0
fi

echo "missing Debian packages:$missing" >&2
echo "install them with:  apt-get install -y$missing" >&2
exit 1
