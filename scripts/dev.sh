#!/usr/bin/env bash
# Installs what Quillet needs on Debian 12, builds it, and then starts it or runs its tests.
#
#   scripts/dev.sh run    install, build, start Quillet
#   scripts/dev.sh test   install, build, run every test: the suite, the same suite built with
#                         AddressSanitizer/UndefinedBehaviorSanitizer, and a one-minute fuzz
#                         run of the certificate decoder (QUILLET_QUICK=1 runs the suite only)
#   scripts/dev.sh build  install, build
#
# The build goes to ./build (or $QUILLET_BUILD_DIR). Packages are installed only when missing;
# installing needs root (or sudo).
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${QUILLET_BUILD_DIR:-$ROOT/build}
JOBS=${QUILLET_JOBS:-$(nproc)}

APP_PACKAGES=(cmake make g++ pkg-config libssl-dev openssl qt6-base-dev libgl-dev
              fonts-ipafont-gothic)
TEST_PACKAGES=(libgtest-dev libbenchmark-dev openssl ca-certificates dbus poppler-utils
               desktop-file-utils)

# shellcheck source=scripts/install_missing.sh
. "$ROOT/scripts/install_missing.sh"

# The benchmarks are built with everything else so that they keep compiling; scripts/bench.sh
# runs them.
configure_and_build() {
    cmake -S "$ROOT" -B "$BUILD" -DQUILLET_WERROR=ON -DQUILLET_BUILD_BENCH=ON "$@"
    cmake --build "$BUILD" --parallel "$JOBS"
}

case "${1:-}" in
run)
    install_missing "${APP_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    configure_and_build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        cat >&2 <<'MSG'
Quillet is built (build/quillet) but there is no display to show its window on.
Start this command from a desktop session (X11 or Wayland), or give it a virtual display:
    apt-get install -y xvfb && xvfb-run -a scripts/dev.sh run
MSG
        exit 2
    fi
    # The generator script and the manuals are found under the current directory.
    cd "$BUILD"
    exec ./quillet
    ;;
test)
    install_missing "${APP_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    configure_and_build
    (cd "$BUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$JOBS")
    if [ "${QUILLET_QUICK:-0}" != 1 ]; then
        bash "$ROOT/scripts/sanitize.sh"
        bash "$ROOT/scripts/fuzz.sh" "${QUILLET_FUZZ_SECONDS:-60}"
    fi
    ;;
build)
    install_missing "${APP_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    configure_and_build
    ;;
*)
    echo "usage: $0 run|test|build" >&2
    exit 64
    ;;
esac
