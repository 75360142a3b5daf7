#!/usr/bin/env bash
# Writes the seeds of fuzz/corpus/<target>/ that come out of the product (tickets, job data,
# enciphered files, printed streams) with the seed generator (make_seeds.cpp), built by the fuzz
# build (clang, build/fuzz); the hand-written seeds are files of the corpus and stay as they are.
# The corpora live in the repository: run this again only when an input format changes, and keep
# them small (well under 1 MB in all).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target tarnwick_fuzz_seeds
"$build/tarnwick_fuzz_seeds" fuzz/corpus
echo "fuzz/corpus: $(find fuzz/corpus -type f | wc -l) files, $(du -sk fuzz/corpus | cut -f1) KiB"
