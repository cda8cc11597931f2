# shellcheck shell=sh disable=SC2154
# Sourced by the install and package checks. Needs fail() and $work (a scratch folder) from
# the caller.
#
# check_start LAUNCHER PROGRAM DATADIR: starts LAUNCHER offscreen from a folder that holds a
# hostile ./tool/Quillet.sh and ./QuilletManuals.pdf, waits until the process runs PROGRAM and its
# first refresh has made the certificate folder, and checks that its current directory is
# DATADIR. Then generates a certificate the way the program does, with ./tool/Quillet.sh
# relative to that directory, into the certificate folder, and checks that the hostile script
# never ran.
check_start() {
    launcher=$1 program=$(readlink -f -- "$2") datadir=$(readlink -f -- "$3")
    hostile="$work/hostile folder"
    marker="$work/hostile script ran"
    data_home="$work/data home"
    certs="$data_home/Morvel/Certificates"
    rm -rf "$hostile" "$data_home"
    mkdir -p "$hostile/tool"
    printf '#!/bin/sh\ntouch "%s"\n' "$marker" >"$hostile/tool/Quillet.sh"
    chmod 755 "$hostile/tool/Quillet.sh"
    echo 'not a manual' >"$hostile/QuilletManuals.pdf"

    (cd "$hostile" && QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=$data_home exec "$launcher") \
        >"$work/program.log" 2>&1 &
    started=$!
    # The launcher replaces itself with the program, so the process keeps its id.
    tries=0
    until [ "$(readlink "/proc/$started/exe" 2>/dev/null)" = "$program" ] && [ -d "$certs" ]; do
        kill -0 "$started" 2>/dev/null ||
            { cat "$work/program.log" >&2; fail "$launcher ended before its first refresh"; }
        tries=$((tries + 1))
        [ "$tries" -lt 1200 ] || fail "$launcher did not start $program within a minute"
        sleep 0.05
    done
    cwd=$(readlink "/proc/$started/cwd")
    kill "$started"
    wait "$started" 2>/dev/null || true
    started=
    [ "$cwd" = "$datadir" ] || fail "$launcher runs in $cwd instead of $datadir"

    [ -s "$cwd/QuilletManuals.pdf" ] || fail "HELP finds no manual in $cwd"
    (cd "$cwd" && ./tool/Quillet.sh -f web -d 30 -b 2048 -t RSA -cn web.example -ip 10.0.0.1 \
        -sn urn:0000ABCD:web.example -D "$certs" -p '') ||
        fail "generation from $cwd failed with status $?"
    for extension in key csr crt; do
        [ -s "$certs/web.$extension" ] || fail "generation left no web.$extension"
    done
    [ ! -e "$marker" ] || fail "the hostile folder's ./tool/Quillet.sh ran"
}

# Ends a program that check_start left running when a check failed.
end_started() {
    if [ -n "${started:-}" ]; then
        kill "$started" 2>/dev/null || true
    fi
}
