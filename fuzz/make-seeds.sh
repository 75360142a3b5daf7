#!/usr/bin/env bash
# Writes the seed corpora fuzz/corpus/<target>/ with the seed generator (make_seeds.cpp), built
# by the fuzz build (clang, build/fuzz). The corpora live in the repository: run this again only
# when an input format changes, and keep them small (well under 1 MB in all).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target tarnwick_fuzz_seeds
rm -rf fuzz/corpus
"$build/tarnwick_fuzz_seeds" fuzz/corpus
echo "fuzz/corpus: $(find fuzz/corpus -type f | wc -l) files, $(du -sk fuzz/corpus | cut -f1) KiB"
