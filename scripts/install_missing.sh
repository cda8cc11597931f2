# shellcheck shell=bash
# The Debian packages that the scripts of this folder install, one list per purpose, and
# install_missing, which installs those of them that are missing. Sourced by those scripts.

# Configuring and building (the test and benchmark libraries too: one configuration serves
# every command, and CMake looks for them when it configures).
# shellcheck disable=SC2034
QUILLET_BUILD_PACKAGES=(cmake make g++ pkg-config libssl-dev qt6-base-dev libgl-dev
                        libgtest-dev libbenchmark-dev)
# Running: the generator script's openssl, the font of the Japanese texts, and xdg-open, through
# which HELP opens the manual and Show Certificate File falls back to opening the folder.
# shellcheck disable=SC2034
QUILLET_RUN_PACKAGES=(openssl fonts-ipafont-gothic xdg-utils)
# Making the Debian package (dpkg-shlibdeps works out its library dependencies).
# shellcheck disable=SC2034
QUILLET_PACKAGE_PACKAGES=(dpkg-dev)
# What the tests run besides the build: a session bus, the manuals' and the package's checkers.
# shellcheck disable=SC2034
QUILLET_TEST_PACKAGES=(ca-certificates dbus poppler-utils desktop-file-utils appstream lintian
                       man-db)
# Everything that building and running the whole test suite needs.
# shellcheck disable=SC2034
QUILLET_SUITE_PACKAGES=("${QUILLET_BUILD_PACKAGES[@]}" "${QUILLET_RUN_PACKAGES[@]}"
                        "${QUILLET_PACKAGE_PACKAGES[@]}" "${QUILLET_TEST_PACKAGES[@]}")
# The fuzz target and the sanitizer runtimes of clang.
# shellcheck disable=SC2034
QUILLET_FUZZ_PACKAGES=(cmake make clang libclang-rt-14-dev libssl-dev)

# install_missing PACKAGE...: installs, with apt-get, those of the Debian packages that are not
# installed yet (as root, or through sudo).
install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Run as root to install: ${missing[*]}" >&2; exit 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
