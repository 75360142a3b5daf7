#!/bin/sh
# Rebuilds the enciphered configuration files under data/OutputDrivers from
# the plain sources in this folder (same relative paths). The top-level files
# (Ditherparams.xml, ScreeningParams.xml, OxGlossary.xml) are plain and live
# in data/OutputDrivers directly; they are not touched.
#
# Uses `tarnwick encipher IN OUT` when a tarnwick tool is on PATH (or named by
# $TARNWICK_TOOL); otherwise compiles encipher.cpp against the host library's
# cipher once into a temporary folder.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out="$repo/data/OutputDrivers"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

tool=${TARNWICK_TOOL:-}
if [ -z "$tool" ] && command -v tarnwick >/dev/null 2>&1; then
    tool=tarnwick
fi

if [ -n "$tool" ]; then
    encipher() { "$tool" encipher "$1" "$2"; }
else
    ${CXX:-g++} -std=c++20 -O1 -I"$repo/src" -I"$repo/include" \
        "$here/encipher.cpp" "$repo/src/host/xml_cipher.cpp" "$repo/src/host/file_bytes.cpp" \
        -lz -o "$work/encipher"
    encipher() { "$work/encipher" "$1" "$2"; }
fi

cd "$here"
find . -name '*.xml' -type f | LC_ALL=C sort | while read -r source; do
    target="$out/${source#./}"
    mkdir -p "$(dirname "$target")"
    encipher "$source" "$target"
    echo "enciphered ${source#./}"
done
