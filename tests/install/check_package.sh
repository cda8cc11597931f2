#!/bin/sh
# Makes the Debian package from the build and checks it as Debian's own tools would: the control
# fields, the exact file list with owners and modes, the desktop entry, the AppStream metadata,
# the manual page, lintian (no errors), and that the unpacked tree starts from a foreign folder.
#
#   check_package.sh BUILD VERSION MANUAL...
set -eu
build=$1 version=$2
shift 2
here=$(dirname -- "$0")
work=$(mktemp -d)

fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=tests/install/start_check.sh
. "$here/start_check.sh"
trap 'end_started; rm -rf "$work"' EXIT

arch=$(dpkg --print-architecture)
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/out/quillet_${version}_$arch.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no $deb"; }

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillet ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
[ "$(field Section)" = utils ] || fail "Section is $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority is $(field Priority)"
field Maintainer | grep -q '<.*@.*>' || fail "Maintainer is $(field Maintainer)"
field Description | sed -n 1p | grep -q 'X.509' || fail "no synopsis: $(field Description)"
[ "$(field Description | wc -l)" -gt 2 ] || fail "no extended description"
depends=$(field Depends)
# What the program runs and shows, and the libraries dpkg-shlibdeps found in it.
for needed in openssl xdg-utils fonts-ipafont-gothic libc6 libssl3 libqt6core6 libqt6gui6 \
    libqt6widgets6 libqt6dbus6; do
    printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx "$needed" ||
        fail "Depends lacks $needed: $depends"
done
case $depends in *-dev*) fail "Depends names a development package: $depends" ;; esac

# The file list, exactly, with owners and modes; folders are root's and 0755.
dpkg-deb -c "$deb" >"$work/contents"
awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/contents" | sort >"$work/files"
{
    echo "-rwxr-xr-x root/root ./usr/bin/quillet"
    echo "-rwxr-xr-x root/root ./usr/libexec/quillet/quillet"
    echo "-rwxr-xr-x root/root ./usr/share/quillet/tool/Quillet.sh"
    for manual in "$@"; do
        echo "-rw-r--r-- root/root ./usr/share/quillet/$manual"
    done
    echo "-rw-r--r-- root/root ./usr/share/applications/quillet.desktop"
    for size in 16 22 24 32 48 64 128 256; do
        echo "-rw-r--r-- root/root ./usr/share/icons/hicolor/${size}x$size/apps/quillet.png"
    done
    echo "-rw-r--r-- root/root ./usr/share/metainfo/invalid.quillet.Quillet.metainfo.xml"
    echo "-rw-r--r-- root/root ./usr/share/man/man1/quillet.1.gz"
    echo "-rw-r--r-- root/root ./usr/share/doc/quillet/copyright"
    echo "-rw-r--r-- root/root ./usr/share/doc/quillet/changelog.gz"
} | sort >"$work/expected"
diff -u "$work/expected" "$work/files" || fail "the package's files differ from the list above"
awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") { print }' "$work/contents" \
    >"$work/bad-folders"
[ ! -s "$work/bad-folders" ] || { cat "$work/bad-folders" >&2; fail "folders not root's 0755"; }

root="$work/root"
dpkg-deb -x "$deb" "$root"

entry="$root/usr/share/applications/quillet.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -qx 'Exec="/usr/bin/quillet"' "$entry" || fail "Exec is $(grep '^Exec=' "$entry")"
grep -qx 'Path=/usr/share/quillet' "$entry" || fail "Path is $(grep '^Path=' "$entry")"

appstreamcli validate --no-net "$root/usr/share/metainfo/invalid.quillet.Quillet.metainfo.xml" ||
    fail "appstreamcli validate"

# The manual page renders without a warning and says what it must.
MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/quillet.1.gz" >"$work/man.txt" \
    2>"$work/man.err" || fail "man -l"
[ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "the manual page has warnings"; }
for text in NAME SYNOPSIS DESCRIPTION ENVIRONMENT FILES 'EXIT STATUS' XDG_DATA_HOME \
    Morvel/Certificates /usr/share/quillet/tool/Quillet.sh QuilletManuals.pdf -15; do
    grep -qF -- "$text" "$work/man.txt" || fail "the manual page lacks $text"
done

# lintian: errors fail; the remaining tags are printed for the log.
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian"; }
cat "$work/lintian.log"

# The unpacked tree works wherever it lies: the launcher finds the program and the data folder
# relative to itself.
check_start "$root/usr/bin/quillet" "$root/usr/libexec/quillet/quillet" "$root/usr/share/quillet"
echo "package $deb: ok"
