#!/bin/sh
# Installs the build into a temporary prefix (with a blank in its name, as a user's folder may
# have), checks that the desktop entry finds everything it names, and starts the installed
# command from a foreign folder, through a link in yet another folder.
set -eu
build=$1
here=$(dirname -- "$0")
work=$(mktemp -d)
prefix="$work/pre fix"

fail() { echo "FAIL: $*" >&2; exit 1; }
# shellcheck source=tests/install/start_check.sh
. "$here/start_check.sh"
trap 'end_started; rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }

entry="$prefix/share/applications/quillet.desktop"
[ -f "$entry" ] || fail "no desktop entry at $entry"
desktop-file-validate "$entry" || fail "desktop-file-validate"

exec_line=$(sed -n 's/^Exec=//p' "$entry")
path_line=$(sed -n 's/^Path=//p' "$entry")
[ "$exec_line" = "\"$prefix/bin/quillet\"" ] || fail "Exec is $exec_line"
[ "$path_line" = "$prefix/share/quillet" ] || fail "Path is $path_line"

[ -x "$prefix/bin/quillet" ] || fail "no command"
[ -x "$prefix/libexec/quillet/quillet" ] || fail "no program"
[ -s "$prefix/share/man/man1/quillet.1.gz" ] || fail "no manual page"
[ -s "$prefix/share/metainfo/invalid.quillet.Quillet.metainfo.xml" ] || fail "no metainfo"
# The working directory of the entry holds what the program looks up relative to it.
[ -x "$path_line/tool/Quillet.sh" ] || fail "no tool/Quillet.sh under Path"
[ -s "$path_line/QuilletManuals_en.pdf" ] || fail "no English manual under Path"
[ -s "$path_line/QuilletManuals.pdf" ] || fail "no manual under Path"
for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/quillet.png"
    [ -s "$icon" ] || fail "no $icon"
done
grep -q '^Icon=quillet$' "$entry" || fail "Icon is not quillet"

# The installed copy of the script is the one of the source tree and still runs.
"$path_line/tool/Quillet.sh" -x 2>/dev/null && fail "script accepted an unknown switch"

# Started from a terminal in another folder, directly and through a link elsewhere (as a user's
# ~/bin may hold), the command runs in the data folder, whatever that folder holds.
check_start "$prefix/bin/quillet" "$prefix/libexec/quillet/quillet" "$path_line"
mkdir "$work/bin"
ln -s "$prefix/bin/quillet" "$work/bin/quillet"
check_start "$work/bin/quillet" "$prefix/libexec/quillet/quillet" "$path_line"
echo "install layout under $prefix: ok"
