#!/usr/bin/env bash
# Builds Quillet and its whole test suite under AddressSanitizer (LeakSanitizer on) and
# UndefinedBehaviorSanitizer, and runs every test. Any sanitizer report fails the test that
# produced it, and so this script.
#
#   scripts/sanitize.sh
#
# The build goes to ./build-asan (or $QUILLET_ASAN_BUILD_DIR); the compiler is g++ unless CXX
# names another (clang++ works as well). Packages are installed when missing.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${QUILLET_ASAN_BUILD_DIR:-$ROOT/build-asan}
JOBS=${QUILLET_JOBS:-$(nproc)}

# shellcheck source=scripts/install_missing.sh
. "$ROOT/scripts/install_missing.sh"
install_missing "${QUILLET_SUITE_PACKAGES[@]}"

SANITIZE="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

# Every run of an instrumented program, including the test discovery during the build, stops
# at the first report with a failing status. Leaks that Qt, fontconfig or D-Bus keep until exit
# are suppressed by library name only (tests/lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:exitcode=23:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp:print_suppressions=0:exitcode=23
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=23

CXX=${CXX:-g++} cmake -S "$ROOT" -B "$BUILD" -DQUILLET_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$SANITIZE -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$BUILD" --parallel "$JOBS"

cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$JOBS"
