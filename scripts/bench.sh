#!/usr/bin/env bash
# Builds the benchmarks and runs them: refresh ticks of the main window (idle, after one added
# file, cold), the decoder per certificate, the list view update, the peak memory and the
# longest stall of the window's event loop, each with its reference measured in the same run
# (columns x_<reference> hold the ratios).
#
#   scripts/bench.sh [REPETITIONS] [extra Google Benchmark flags...]
#
# REPETITIONS defaults to 5; the medians are printed, and every run is kept as JSON in
# build-bench/results/. The build goes to ./build-bench (or $QUILLET_BENCH_BUILD_DIR) with the
# application's own optimisation (RelWithDebInfo). Packages are installed when missing.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${QUILLET_BENCH_BUILD_DIR:-$ROOT/build-bench}
JOBS=${QUILLET_JOBS:-$(nproc)}
REPETITIONS=${1:-5}
shift || true

# shellcheck source=scripts/install_missing.sh
. "$ROOT/scripts/install_missing.sh"
# The certificates of /etc/ssl/certs are one of the decoder's workloads.
install_missing "${QUILLET_BUILD_PACKAGES[@]}" "${QUILLET_RUN_PACKAGES[@]}" ca-certificates

cmake -S "$ROOT" -B "$BUILD" -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLET_BUILD_BENCH=ON
cmake --build "$BUILD" --parallel "$JOBS" \
    --target quillet_bench_decoder quillet_bench_window quillet_bench_memory quillet_bench_stall

mkdir -p "$BUILD/results"
for bench in decoder window memory stall; do
    echo "== quillet_bench_$bench"
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$BUILD/bench/quillet_bench_$bench" \
        --benchmark_repetitions="$REPETITIONS" \
        --benchmark_report_aggregates_only=true \
        --benchmark_out="$BUILD/results/$bench.json" --benchmark_out_format=json "$@" |
        grep -v -E '_(mean|stddev|cv) ' || true
done
