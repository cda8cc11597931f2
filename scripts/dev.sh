#!/usr/bin/env bash
# Installs what Quillet needs on Debian 12, builds it, and then starts it, runs its tests or
# makes its Debian package.
#
#   scripts/dev.sh run      install, build the application, start Quillet
#   scripts/dev.sh test     install, build everything, run every test: the suite, the same suite
#                           built with AddressSanitizer/UndefinedBehaviorSanitizer, and a
#                           one-minute fuzz run of the certificate decoder (QUILLET_QUICK=1 runs
#                           the suite only)
#   scripts/dev.sh package  install, build the application, make build/quillet_<version>_amd64.deb
#   scripts/dev.sh build    install, build everything
#
# The build goes to ./build (or $QUILLET_BUILD_DIR). Packages are installed only when missing;
# installing needs root (or sudo).
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${QUILLET_BUILD_DIR:-$ROOT/build}
JOBS=${QUILLET_JOBS:-$(nproc)}

# shellcheck source=scripts/install_missing.sh
. "$ROOT/scripts/install_missing.sh"

# One configuration for every command. Without targets everything is built, the benchmarks
# included so that they keep compiling (scripts/bench.sh runs them); `quillet_app` is the
# program and what it installs: the manuals, the icons, the manual page.
configure_and_build() {
    cmake -S "$ROOT" -B "$BUILD" -DQUILLET_WERROR=ON -DQUILLET_BUILD_BENCH=ON
    cmake --build "$BUILD" --parallel "$JOBS" "$@"
}

case "${1:-}" in
run)
    install_missing "${QUILLET_BUILD_PACKAGES[@]}" "${QUILLET_RUN_PACKAGES[@]}"
    configure_and_build --target quillet_app
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
    install_missing "${QUILLET_SUITE_PACKAGES[@]}"
    configure_and_build
    (cd "$BUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$JOBS")
    if [ "${QUILLET_QUICK:-0}" != 1 ]; then
        bash "$ROOT/scripts/sanitize.sh"
        bash "$ROOT/scripts/fuzz.sh" "${QUILLET_FUZZ_SECONDS:-60}"
    fi
    ;;
package)
    install_missing "${QUILLET_BUILD_PACKAGES[@]}" "${QUILLET_RUN_PACKAGES[@]}" \
        "${QUILLET_PACKAGE_PACKAGES[@]}"
    configure_and_build --target quillet_app
    (cd "$BUILD" && cpack -G DEB)
    ls "$BUILD"/quillet_*_amd64.deb
    ;;
build)
    install_missing "${QUILLET_SUITE_PACKAGES[@]}"
    configure_and_build
    ;;
*)
    echo "usage: $0 run|test|package|build" >&2
    exit 64
    ;;
esac
