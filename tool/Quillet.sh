#!/bin/sh
# Quillet's generator: makes an RSA private key, a certificate signing request and a self-signed
# certificate with the `openssl` command-line tool, and puts them into the output folder.
#
#   Quillet.sh -f NAME -d DAYS -b BITS -t RSA -cn COMMON_NAME -ip A.B.C.D
#              -sn urn:SERIAL:HOST -D FOLDER -p PASSPHRASE
#              [-c C] [-st STATE] [-l LOCALITY] [-o ORGANIZATION] [-ou UNIT] [-m E-MAIL]
#
# Switches may come in any order; each takes exactly one following argument as its value, which
# may be empty or begin with "-". When a switch is given twice, the later value counts. An empty
# value of an optional switch means the field is left out.
#
# Writes FOLDER/NAME.key (PEM PKCS#8 private key, mode 0600; encrypted with AES-256 when
# PASSPHRASE is not empty), FOLDER/NAME.csr (PEM request) and FOLDER/NAME.crt (DER certificate).
# Subject and issuer are /C/ST/L/O/OU/CN/emailAddress (the fields given, in that order); the
# serial number is SERIAL; the alternative names are IP:A.B.C.D and URI:urn:SERIAL:HOST; the
# certificate is valid for exactly DAYS days from now. Nothing is written to standard output;
# openssl's messages go to standard error when a step fails.
#
# Everything is made in a private folder FOLDER/.quillet-XXXXXX and moved into place only after
# every step succeeded: the key first, then the request, the certificate last. On failure the
# files that were there before stay as they were and the private folder is removed.
#
# Exit status: 0 on success, otherwise 256 plus one of these codes (255 for -1 ... 241 for -15):
#   -1  file name missing or empty, ".", "..", starting with ".", holding "/", longer than
#       251 bytes, or naming an existing folder as NAME.key, NAME.csr or NAME.crt
#   -2  days not a decimal number from 1 to 7300 (leading zeros are read as decimal)
#   -3  key size not 1024, 2048 or 4096
#   -4  key type not RSA
#   -5  common name missing or empty, longer than 64 UTF-16 units, or not UTF-8
#   -6  IP address not a.b.c.d of decimal 0 to 255 (one to three digits each), or 0.0.0.0
#   -7  passphrase missing, or longer than 1024 bytes (openssl could not read the key back)
#   -8  output folder missing, empty, not a writable folder, or the files cannot be put in it
#   -9  an optional value invalid: country not two letters A-Z; state, locality or e-mail
#       longer than 128, organization or unit longer than 64 UTF-16 units; a value not UTF-8;
#       an e-mail address that is not ASCII (its attribute type holds ASCII only)
#   -10 an unknown switch or an argument that is no switch's value
#   -11 the key could not be made
#   -13 the request could not be made
#   -14 the certificate could not be made
#   -15 serial number missing or not urn:SERIAL:HOST, where SERIAL is eight hexadecimal digits
#       or 0x (0X) and six, and HOST is letters, digits, dots and hyphens
# The certificate is signed with its own key in one step, so -12 (a separate signing authority)
# is never used. A switch given last without its value ends with that switch's code (-9 for the
# optional ones).
#
# No value is ever evaluated: values are only expanded inside double quotes, subject values are
# escaped for `openssl req -subj`, and the only values written into an openssl configuration
# text (the alternative names) are checked to hold digits, letters, dots, hyphens and colons.

# The private key must never be readable by others, not even for a moment.
caller_umask=$(umask)
umask 077

LC_ALL=C
export LC_ALL

# Values of the switches; cleared first so that nothing comes in from the environment.
file_name='' days='' key_bits='' key_type='' country='' state='' locality='' organization=''
unit='' common_name='' email='' ip_address='' serial_urn='' out_dir='' passphrase=''
have_passphrase=''
work_dir='' child=''

fail() {
    printf 'Quillet.sh: %s\n' "$2" >&2
    exit $((256 + $1))
}

# --- Reading the switches -------------------------------------------------------------------

while [ $# -gt 0 ]; do
    switch=$1
    case $switch in
    -f) code=-1 ;;
    -d) code=-2 ;;
    -b) code=-3 ;;
    -t) code=-4 ;;
    -cn) code=-5 ;;
    -ip) code=-6 ;;
    -p) code=-7 ;;
    -D) code=-8 ;;
    -c | -st | -l | -o | -ou | -m) code=-9 ;;
    -sn) code=-15 ;;
    *) fail -10 "unknown switch or stray argument: $switch" ;;
    esac
    [ $# -ge 2 ] || fail "$code" "no value after $switch"
    value=$2
    shift 2
    case $switch in
    -f) file_name=$value ;;
    -d) days=$value ;;
    -b) key_bits=$value ;;
    -t) key_type=$value ;;
    -c) country=$value ;;
    -st) state=$value ;;
    -l) locality=$value ;;
    -o) organization=$value ;;
    -ou) unit=$value ;;
    -cn) common_name=$value ;;
    -m) email=$value ;;
    -ip) ip_address=$value ;;
    -sn) serial_urn=$value ;;
    -D) out_dir=$value ;;
    -p) passphrase=$value have_passphrase=1 ;;
    esac
done

# --- Helpers for the checks -----------------------------------------------------------------

# True when $1 is well-formed UTF-8 (no stray bytes, no surrogates, nothing above U+10FFFF).
is_utf8() {
    ! printf '%s\n' "$1" | LC_ALL=C.UTF-8 grep -qaxv '.*'
}

# The length of the UTF-8 text $1 in UTF-16 units, as the form counts it: every byte that is not
# a continuation byte starts one character, and a four-byte character takes two units.
utf16_length() {
    chars=$(printf '%s' "$1" | tr -d '\200-\277' | wc -c)
    pairs=$(printf '%s' "$1" | tr -cd '\360-\367' | wc -c)
    echo $((chars + pairs))
}

# True when $1 is UTF-8 of at most $2 UTF-16 units.
text_fits() {
    is_utf8 "$1" && [ "$(utf16_length "$1")" -le "$2" ]
}

# Decimal digits $1 without their leading zeros ("" for none or only zeros).
strip_zeros() {
    zeros=${1%%[!0]*}
    printf '%s' "${1#"$zeros"}"
}

# One part of a dotted IPv4 address: one to three digits, 0 to 255. Prints its decimal form.
ipv4_part() {
    case $1 in
    [0-9] | [0-9][0-9] | [0-9][0-9][0-9]) ;;
    *) return 1 ;;
    esac
    number=$(strip_zeros "$1")
    [ "${number:-0}" -le 255 ] || return 1
    printf '%s' "${number:-0}"
}

# --- Checks -------------------------------------------------------------------------------

case $file_name in
'' | .* | */*) fail -1 "invalid file name (-f)" ;;
esac
# The longest name that still leaves room for ".key" within a file name of 255 bytes.
[ "${#file_name}" -le 251 ] || fail -1 "file name too long (-f)"

case $days in
'' | *[!0-9]*) fail -2 "invalid validity days (-d)" ;;
esac
days=$(strip_zeros "$days")
if [ -z "$days" ] || [ "${#days}" -gt 4 ] || [ "$days" -gt 7300 ]; then
    fail -2 "validity days must be 1 to 7300 (-d)"
fi

case $key_bits in
1024 | 2048 | 4096) ;;
*) fail -3 "key size must be 1024, 2048 or 4096 (-b)" ;;
esac

[ "$key_type" = RSA ] || fail -4 "key algorithm must be RSA (-t)"

[ -n "$common_name" ] || fail -5 "no common name (-cn)"
text_fits "$common_name" 64 || fail -5 "invalid common name (-cn)"

case $ip_address in
*.*.*.*.*) fail -6 "invalid IP address (-ip)" ;;
*.*.*.*) ;;
*) fail -6 "invalid IP address (-ip)" ;;
esac
rest=$ip_address
ip_1=$(ipv4_part "${rest%%.*}") || fail -6 "invalid IP address (-ip)"
rest=${rest#*.}
ip_2=$(ipv4_part "${rest%%.*}") || fail -6 "invalid IP address (-ip)"
rest=${rest#*.}
ip_3=$(ipv4_part "${rest%%.*}") || fail -6 "invalid IP address (-ip)"
ip_4=$(ipv4_part "${rest#*.}") || fail -6 "invalid IP address (-ip)"
ip_address=$ip_1.$ip_2.$ip_3.$ip_4
[ "$ip_address" != 0.0.0.0 ] || fail -6 "the IP address 0.0.0.0 is not allowed (-ip)"

[ -n "$have_passphrase" ] || fail -7 "no passphrase (-p)"
[ "${#passphrase}" -le 1024 ] || fail -7 "passphrase longer than 1024 bytes (-p)"

[ -n "$out_dir" ] || fail -8 "no output folder (-D)"
case $out_dir in
/*) ;;
*) out_dir=./$out_dir ;;
esac
if [ ! -d "$out_dir" ] || [ ! -w "$out_dir" ] || [ ! -x "$out_dir" ]; then
    fail -8 "the output folder is not a writable folder (-D)"
fi

case $country in
'' | [A-Z][A-Z]) ;;
*) fail -9 "the country must be two letters A-Z (-c)" ;;
esac
text_fits "$state" 128 || fail -9 "invalid state or province (-st)"
text_fits "$locality" 128 || fail -9 "invalid locality (-l)"
text_fits "$organization" 64 || fail -9 "invalid organization (-o)"
text_fits "$unit" 64 || fail -9 "invalid organizational unit (-ou)"
if [ "${#email}" -gt 128 ] || [ -n "$(printf '%s' "$email" | tr -d '\000-\177')" ]; then
    fail -9 "invalid e-mail address (-m)"
fi

case $serial_urn in
urn:*:*) ;;
*) fail -15 "the serial number must be urn:SERIAL:HOST (-sn)" ;;
esac
rest=${serial_urn#urn:}
serial=${rest%%:*}
host=${rest#*:}
case $serial in
[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])
    serial_hex=$serial
    ;;
0[xX][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])
    serial_hex=${serial#??}
    ;;
*) fail -15 "the serial number must be 8 hexadecimal digits (-sn)" ;;
esac
case $host in
'' | *[!A-Za-z0-9.-]*) fail -15 "invalid host name in the serial number (-sn)" ;;
esac

base=$out_dir/$file_name
for extension in key csr crt; do
    [ ! -d "$base.$extension" ] || fail -1 "$base.$extension is a folder"
done

# --- The private folder -------------------------------------------------------------------

# shellcheck disable=SC2317 # called by the traps below
cleanup() {
    if [ -n "$child" ]; then
        kill "$child" 2>/dev/null
        wait "$child" 2>/dev/null
        child=
    fi
    if [ -n "$work_dir" ]; then
        rm -rf -- "$work_dir"
        work_dir=
    fi
}

# Cleans up, then dies of the same signal so that the caller sees what happened.
# shellcheck disable=SC2317
on_signal() {
    cleanup
    trap - EXIT "$1"
    kill -s "$1" $$
}

trap cleanup EXIT
trap 'on_signal HUP' HUP
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM

work_dir=$(mktemp -d "$out_dir/.quillet-XXXXXX" 2>/dev/null) ||
    fail -8 "cannot create a folder in the output folder (-D)"
log=$work_dir/openssl.log

# A fixed configuration, so that neither the system's nor the caller's settings change the
# result. No value from the command line is written here.
OPENSSL_CONF=$work_dir/openssl.cnf
export OPENSSL_CONF
printf '%s\n' '[req]' 'distinguished_name = req_distinguished_name' 'string_mask = utf8only' \
    '[req_distinguished_name]' >"$OPENSSL_CONF" ||
    fail -8 "cannot write in the output folder (-D)"

# Runs one step, a command with its arguments, under the umask $1. It runs in the background, so
# that a signal is handled at once, with its output kept in the log.
run_step() {
    step_umask=$1
    shift
    (
        umask "$step_umask" && exec "$@"
    ) </dev/null >>"$log" 2>&1 &
    child=$!
    wait "$child"
    step_status=$?
    child=
    return "$step_status"
}

step_failed() {
    cat -- "$log" >&2
    fail "$1" "$2"
}

# --- Key, request, certificate ------------------------------------------------------------

QUILLET_KEY_PASSPHRASE=$passphrase
export QUILLET_KEY_PASSPHRASE

if [ -n "$passphrase" ]; then
    set -- -aes-256-cbc -pass env:QUILLET_KEY_PASSPHRASE
else
    set --
fi
run_step 077 openssl genpkey -algorithm RSA -pkeyopt "rsa_keygen_bits:$key_bits" "$@" \
    -out "$work_dir/new.key" || step_failed -11 "the key could not be made"

if [ -n "$passphrase" ]; then
    set -- -passin env:QUILLET_KEY_PASSPHRASE
else
    set --
fi

# Escapes what `openssl req -subj` would read as structure: "/" ends an attribute, "+" joins
# attributes into one name component, and "\" escapes the next character. Sets $escaped.
escape_name_value() {
    rest=$1
    escaped=
    while :; do
        case $rest in
        *[\\/+]*) ;;
        *)
            escaped=$escaped$rest
            return 0
            ;;
        esac
        head=${rest%%[\\/+]*}
        rest=${rest#"$head"}
        escaped=$escaped$head\\${rest%"${rest#?}"}
        rest=${rest#?}
    done
}

subject=
add_name_part() {
    if [ -n "$2" ]; then
        escape_name_value "$2"
        subject=$subject/$1=$escaped
    fi
}
add_name_part C "$country"
add_name_part ST "$state"
add_name_part L "$locality"
add_name_part O "$organization"
add_name_part OU "$unit"
add_name_part CN "$common_name"
add_name_part emailAddress "$email"

alt_names=subjectAltName=IP:$ip_address,URI:$serial_urn

run_step "$caller_umask" openssl req -new -utf8 -key "$work_dir/new.key" "$@" -subj "$subject" \
    -addext "$alt_names" -sha256 -out "$work_dir/new.csr" ||
    step_failed -13 "the certificate signing request could not be made"

# openssl reads the clock once for the start and again for the end of the validity; when the
# second reading falls into the next second the period is one second too long. Such a
# certificate is made again.
same_time_of_day() {
    openssl x509 -inform DER -in "$work_dir/new.crt" -noout -startdate -enddate 2>>"$log" |
        awk 'NR == 1 { start = $3 } NR == 2 { end = $3 } END { exit !(start != "" && start == end) }'
}

attempt=1
while :; do
    run_step "$caller_umask" openssl x509 -req -in "$work_dir/new.csr" -signkey "$work_dir/new.key" \
        "$@" -days "$days" -set_serial "0x$serial_hex" -copy_extensions copy -sha256 \
        -outform DER -out "$work_dir/new.crt" ||
        step_failed -14 "the certificate could not be made"
    same_time_of_day && break
    [ "$attempt" -lt 3 ] || step_failed -14 "the certificate's validity period is not exact"
    attempt=$((attempt + 1))
done

# --- Into place ---------------------------------------------------------------------------

# Keep a link to every file about to be replaced, so that a failed move can be undone.
for extension in key csr crt; do
    if [ -e "$base.$extension" ] || [ -h "$base.$extension" ]; then
        ln -P -- "$base.$extension" "$work_dir/old.$extension" 2>/dev/null
    fi
done

# Puts back the file of extension $1 that a move replaced. When nothing was kept of it, the new
# file is removed if no file of that name was there before ($2 empty), or else left in place.
undo_move() {
    if [ -e "$work_dir/old.$1" ] || [ -h "$work_dir/old.$1" ]; then
        mv -f -- "$work_dir/old.$1" "$base.$1"
    elif [ -z "$2" ]; then
        rm -f -- "$base.$1"
    fi
}

key_existed='' csr_existed=''
{ [ -e "$base.key" ] || [ -h "$base.key" ]; } && key_existed=1
{ [ -e "$base.csr" ] || [ -h "$base.csr" ]; } && csr_existed=1

mv -f -- "$work_dir/new.key" "$base.key" ||
    fail -8 "cannot put the key into the output folder"
if ! mv -f -- "$work_dir/new.csr" "$base.csr"; then
    undo_move key "$key_existed"
    fail -8 "cannot put the request into the output folder"
fi
if ! mv -f -- "$work_dir/new.crt" "$base.crt"; then
    undo_move csr "$csr_existed"
    undo_move key "$key_existed"
    fail -8 "cannot put the certificate into the output folder"
fi

exit 0
