#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build/fuzz) and runs each for a fixed time on a copy of
# its seed corpus, so that the corpus in the repository never grows. Prints one line per target
# and exits non-zero when any target crashed, leaked, hung or broke an invariant; what it found
# is kept in build/fuzz/findings/.
#   fuzz/run-all.sh [SECONDS_PER_TARGET]      default 20 (or $FUZZ_SECONDS)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-20}}
build=build/fuzz
targets=(job_ticket job_data option_text job_options_xml config_files enciphered_xml inspect_stream packbits)

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-fuzz-run.XXXXXX")
# The targets write their scratch files for every input: in memory when /dev/shm is there.
scratch=$work/scratch
if [[ -d /dev/shm && -w /dev/shm ]]; then scratch=$(mktemp -d /dev/shm/tarnwick-fuzz.XXXXXX); fi
mkdir -p "$scratch" "$work/artifacts"
trap 'rm -rf "$work" "$scratch"' EXIT

failed=0
total=0
for target in "${targets[@]}"; do
    corpus=$work/corpus/$target
    mkdir -p "$corpus"
    cp fuzz/corpus/"$target"/* "$corpus"/
    log=$work/$target.log
    rc=0
    TMPDIR=$scratch ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" "$corpus" \
        >"$log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    crashes=$(find "$work/artifacts" -name "$target-*" | wc -l)
    if ((rc != 0 && crashes == 0)); then crashes=1; fi
    if ((crashes > 0)); then
        failed=1
        mkdir -p "$build/findings"
        cp "$log" "$build/findings/"
        find "$work/artifacts" -name "$target-*" -exec cp {} "$build/findings/" \;
        grep -E "ERROR|invariant broken|runtime error|SUMMARY" "$log" | head -n 5 || true
    fi
    total=$((total + ${runs:-0}))
    printf 'fuzz %-16s %10s executions, %d crashes\n' "$target" "${runs:-?}" "$crashes"
done
printf 'fuzz %-16s %10d executions, %s\n' "all" "$total" \
    "$( ((failed)) && echo "FAILED (see $build/findings/)" || echo "no crash")"
exit "$failed"
