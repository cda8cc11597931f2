#!/usr/bin/env bash
# Fuzzes the certificate decoder with libFuzzer for a number of seconds and fails on any crash,
# sanitizer report, leak or hang.
#
#   scripts/fuzz.sh SECONDS
#
# Installs clang and its runtimes when missing (needs root or sudo), builds the fuzz target in
# ./build-fuzz (or $QUILLET_FUZZ_BUILD_DIR), writes the seed corpus from the test certificate
# builder and runs the fuzzer. The corpus that the runs grow is kept in build-fuzz/fuzz-corpus;
# a crashing input is saved in build-fuzz/fuzz-artifacts.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${QUILLET_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
JOBS=${QUILLET_JOBS:-$(nproc)}
DURATION=${1:-}

if ! [[ "$DURATION" =~ ^[0-9]+$ ]] || [ "$DURATION" -eq 0 ]; then
    echo "usage: $0 SECONDS" >&2
    exit 64
fi

# shellcheck source=scripts/install_missing.sh
. "$ROOT/scripts/install_missing.sh"
install_missing "${QUILLET_FUZZ_PACKAGES[@]}"

# Only the window-free core is needed; the app and the test suite are left out.
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DQUILLET_FUZZ=ON -DQUILLET_WERROR=ON \
    -DQUILLET_BUILD_APP=OFF -DQUILLET_BUILD_TESTS=OFF
cmake --build "$BUILD" --parallel "$JOBS" --target quillet_decoder_fuzzer quillet_fuzz_corpus

SEEDS=$BUILD/fuzz-seeds
CORPUS=$BUILD/fuzz-corpus
ARTIFACTS=$BUILD/fuzz-artifacts
LOG=$BUILD/fuzz-last.log
rm -rf "$SEEDS"
mkdir -p "$CORPUS" "$ARTIFACTS"
"$BUILD/fuzz/quillet_fuzz_corpus" "$SEEDS"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# New inputs go into the first folder (kept between runs); the seeds are only read.
status=0
"$BUILD/fuzz/quillet_decoder_fuzzer" -max_total_time="$DURATION" -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$ARTIFACTS/" \
    "$CORPUS" "$SEEDS" 2>&1 | tee "$LOG" || status=$?

echo "---"
grep -E '^#[0-9]+[[:space:]]+DONE' "$LOG" | tail -1 || true
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$LOG" || true
echo "corpus: $(find "$CORPUS" -type f | wc -l) files in $CORPUS"
if [ "$status" -ne 0 ]; then
    echo "FUZZING FAILED (status $status); reproducer in $ARTIFACTS" >&2
    exit 1
fi
if grep -qE '^(==[0-9]+==ERROR|SUMMARY: (Address|UndefinedBehavior|Leak)Sanitizer)|runtime error:' "$LOG"; then
    echo "FUZZING FAILED: a sanitizer reported a fault" >&2
    exit 1
fi
echo "fuzzing passed: no crash in $DURATION seconds"
