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
# The output folder (after following links) must belong to the user running the script and be
# writable by nobody else, so that no other user can rename, replace or plant anything in it;
# otherwise the run writes nothing and ends with -8. The script then works inside that folder
# (its current directory), so renaming the folder's path meanwhile changes nothing.
#
# Everything is made in a private working folder FOLDER/.quillet-XXXXXX (mode 0700, checked
# after it was made), every file in it is created exclusively, and openssl reads only the
# configuration written there. Once the three new files are complete and read back, they
# replace the old ones all or nothing: the working folder records the name and which of the
# three files existed, then each old file is renamed into the working folder and the new one
# renamed into its place (never into a folder or through a link that took the name meanwhile).
# Only when all three new files are in place is the record of the replacement dropped and the
# old files removed. An error, SIGTERM, SIGINT or SIGHUP before that puts the old files back, so
# the folder holds either the complete old set or the complete new set.
#
# Rule for the working folders of other runs: a run holds an exclusive lock (flock(1)) on the
# output folder from before it looks for or makes a working folder until it has ended, and its
# children hold it with it. So a run that holds the lock and finds a working folder of its own
# user there knows that the run which made it is over (killed, for example by SIGKILL): it puts
# back the old files when that run was interrupted while replacing them, and then removes the
# working folder, so that no private key stays behind. Runs in the same folder wait for each
# other. Where the folder cannot be locked (some network file systems), working folders of
# other runs are left alone.
#
# Needs, besides the openssl tool: flock (util-linux) and an mv that knows -T (GNU coreutils).
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
#   -8  output folder missing, empty, not a writable folder, not owned by the user running the
#       script, writable by group or others, or the files cannot be put in it
#   -9  an optional value invalid: country not two letters A-Z; state, locality or e-mail
#       longer than 128, organization or unit longer than 64 UTF-16 units; a value not UTF-8;
#       an e-mail address that is not ASCII (its attribute type holds ASCII only)
#   -10 an unknown switch or an argument that is no switch's value
#   -11 the key could not be made, or the key file it wrote cannot be read back (a full disk)
#   -13 the request could not be made, or cannot be read back
#   -14 the certificate could not be made, or cannot be read back
#   -15 serial number missing or not urn:SERIAL:HOST, where SERIAL is eight hexadecimal digits
#       or 0x (0X) and six, not all zeros (a certificate's serial number is positive), and
#       HOST is letters, digits, dots and hyphens
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
# Nothing from the environment steers `cd` or loads code or settings into openssl.
unset CDPATH OPENSSL_CONF_INCLUDE OPENSSL_MODULES OPENSSL_ENGINES RANDFILE

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
# From here on the output folder is the current directory: every later step names it ".", so
# that whoever renames the folder's path meanwhile cannot redirect a file.
cd -P -- "$out_dir" 2>/dev/null || fail -8 "the output folder is not a folder (-D)"
# The folder's path as one line, for messages.
shown_folder=$(printf '%s' "$(pwd -P)" | tr '\n' '?')
my_uid=$(id -u)

# Sets $entry_mode ("drwx------") and $entry_owner (a user id) of the entry $1, not following
# a link.
read_entry() {
    entry_info=$(ls -ldn -- "$1" 2>/dev/null) || return 1
    read -r entry_mode _ entry_owner _ <<EOF
$entry_info
EOF
}

read_entry . || fail -8 "cannot read the mode of the output folder $shown_folder (-D)"
[ "$entry_owner" = "$my_uid" ] ||
    fail -8 "the output folder $shown_folder belongs to another user; use a folder of your own, private to you (chmod 700 $shown_folder)"
case $entry_mode in
?????w* | ????????w*)
    fail -8 "the output folder $shown_folder is writable by other users; make it private: chmod 700 $shown_folder"
    ;;
esac
[ -w . ] || fail -8 "the output folder $shown_folder is not writable (-D)"

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
case $serial_hex in
*[!0]*) ;;
*) fail -15 "the serial number must not be zero (-sn)" ;;
esac
case $host in
'' | *[!A-Za-z0-9.-]*) fail -15 "invalid host name in the serial number (-sn)" ;;
esac

# The output files, relative to the output folder.
base=./$file_name
for extension in key csr crt; do
    [ ! -d "$base.$extension" ] || fail -1 "$file_name.$extension is a folder"
done

# --- Working folders ------------------------------------------------------------------------

# From here on a redirection never opens an existing file: every file is created exclusively.
set -C

# True when $1 is a real folder (not a link) of the user running the script with mode 0700.
is_private_folder() {
    [ -d "$1" ] && [ ! -h "$1" ] && read_entry "$1" && [ "$entry_owner" = "$my_uid" ] &&
        case $entry_mode in
        drwx------*) true ;;
        *) false ;;
        esac
}

# Puts back the set that the run owning the working folder $1 was replacing, as recorded there:
# "name" holds the file name followed by "/", "had.EXT" says that NAME.EXT existed, "old.EXT"
# is a replaced file, "new.EXT" a new file not yet moved into place. Safe to repeat.
restore_old_set() {
    restore_name=$(cat -- "$1/name") || return 1
    restore_name=${restore_name%/}
    case $restore_name in
    '' | .* | */*) return 1 ;;
    esac
    restore_status=0
    for restore_extension in key csr crt; do
        restore_target=./$restore_name.$restore_extension
        if [ -e "$1/old.$restore_extension" ] || [ -h "$1/old.$restore_extension" ]; then
            mv -f -T -- "$1/old.$restore_extension" "$restore_target" || restore_status=1
        elif [ ! -e "$1/had.$restore_extension" ] && [ ! -e "$1/new.$restore_extension" ]; then
            # A new file where there was none before.
            rm -f -- "$restore_target" || restore_status=1
        fi
    done
    return "$restore_status"
}

# Ends whatever the run owning the working folder $1 left: puts back the old set when the run
# was replacing it ("replacing" is there), then removes the folder. Fails, keeping the folder
# and so the old files in it, when the old set cannot be put back.
settle_work_folder() {
    if [ -e "$1/replacing" ]; then
        restore_old_set "$1" || return 1
        rm -f -- "$1/replacing" || return 1
    fi
    rm -rf -- "$1"
}

work_dir='' child=''

# shellcheck disable=SC2317 # called by the traps below
cleanup() {
    if [ -n "$child" ]; then
        kill "$child" 2>/dev/null
        wait "$child" 2>/dev/null
        child=
    fi
    if [ -n "$work_dir" ]; then
        settle_work_folder "$work_dir" ||
            printf 'Quillet.sh: %s\n' "the replaced files could not be put back; they are kept in $shown_folder/${work_dir#./} and the next run in that folder puts them back" >&2
        work_dir=
    fi
}

# Cleans up without being interrupted, then dies of the same signal so that the caller sees
# what happened.
# shellcheck disable=SC2317
on_signal() {
    trap '' HUP INT TERM
    cleanup
    trap - EXIT HUP INT TERM
    kill -s "$1" $$
}

# shellcheck disable=SC2317
on_exit() {
    trap '' HUP INT TERM
    cleanup
}

trap on_exit EXIT
trap 'on_signal HUP' HUP
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM

# The lock on the output folder, held on descriptor 9 until this run and its children end. The
# wait for it runs in the background, so that a signal is handled at once.
locked=''
if [ -r . ]; then
    exec 9<.
    flock -x 9 </dev/null 2>/dev/null &
    child=$!
    wait "$child" && locked=1
    child=
fi

# Working folders of runs that are over.
if [ -n "$locked" ]; then
    for stale in ./.quillet-*; do
        is_private_folder "$stale" || continue
        settle_work_folder "$stale" ||
            fail -8 "an interrupted run left replaced files in $shown_folder/${stale#./} that cannot be put back"
    done
fi

new_dir=$(mktemp -d ./.quillet-XXXXXX 2>/dev/null) ||
    fail -8 "cannot create a folder in the output folder $shown_folder (-D)"
is_private_folder "$new_dir" ||
    fail -8 "the working folder $shown_folder/${new_dir#./} is not private to this user"
work_dir=$new_dir

log=$work_dir/openssl.log
: >"$log" || fail -8 "cannot write in the output folder $shown_folder (-D)"

# A fixed configuration, so that neither the system's nor the caller's settings change the
# result. No value from the command line is written here.
OPENSSL_CONF=$work_dir/openssl.cnf
export OPENSSL_CONF
printf '%s\n' '[req]' 'distinguished_name = req_distinguished_name' 'string_mask = utf8only' \
    '[req_distinguished_name]' 2>/dev/null >"$OPENSSL_CONF" ||
    fail -8 "cannot write in the output folder $shown_folder (-D)"

# Runs one step, a command with its arguments, under the umask $1, with its standard output
# going to the new file $2 and its messages to the log. It runs in the background, so that a
# signal is handled at once.
run_step() {
    step_umask=$1 step_output=$2
    shift 2
    (
        umask "$step_umask" && exec "$@" >"$step_output"
    ) </dev/null 2>>"$log" &
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
run_step 077 "$work_dir/new.key" openssl genpkey -algorithm RSA \
    -pkeyopt "rsa_keygen_bits:$key_bits" "$@" || step_failed -11 "the key could not be made"

if [ -n "$passphrase" ]; then
    set -- -passin env:QUILLET_KEY_PASSPHRASE
else
    set --
fi

# openssl may end with success although it could not write everything (a full disk), so each
# file is read back.
run_step 077 /dev/null openssl pkey -in "$work_dir/new.key" "$@" -noout ||
    step_failed -11 "the key file cannot be read back"

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

run_step "$caller_umask" "$work_dir/new.csr" openssl req -new -utf8 -key "$work_dir/new.key" \
    "$@" -subj "$subject" -addext "$alt_names" -sha256 ||
    step_failed -13 "the certificate signing request could not be made"
run_step 077 /dev/null openssl req -in "$work_dir/new.csr" -noout -verify ||
    step_failed -13 "the certificate signing request cannot be read back"

# openssl reads the clock once for the start and again for the end of the validity; when the
# second reading falls into the next second the period is one second too long. Such a
# certificate is made again. Reading the dates also reads the certificate back.
same_time_of_day() {
    awk 'NR == 1 { start = $3 } NR == 2 { end = $3 } END { exit !(start != "" && start == end) }' \
        "$work_dir/dates"
}

attempt=1
while :; do
    rm -f -- "$work_dir/new.crt" "$work_dir/dates"
    run_step "$caller_umask" "$work_dir/new.crt" openssl x509 -req -in "$work_dir/new.csr" \
        -signkey "$work_dir/new.key" "$@" -days "$days" -set_serial "0x$serial_hex" \
        -copy_extensions copy -sha256 -outform DER ||
        step_failed -14 "the certificate could not be made"
    run_step 077 "$work_dir/dates" openssl x509 -inform DER -in "$work_dir/new.crt" -noout \
        -startdate -enddate || step_failed -14 "the certificate cannot be read back"
    same_time_of_day && break
    [ "$attempt" -lt 3 ] || step_failed -14 "the certificate's validity period is not exact"
    attempt=$((attempt + 1))
done
rm -f -- "$work_dir/dates"

# --- Into place ---------------------------------------------------------------------------

# The record that lets this run's cleanup, or a later run, put the old set back.
printf '%s/' "$file_name" >"$work_dir/name" ||
    fail -8 "cannot write in the output folder $shown_folder (-D)"
for extension in key csr crt; do
    if [ -e "$base.$extension" ] || [ -h "$base.$extension" ]; then
        : >"$work_dir/had.$extension" ||
            fail -8 "cannot write in the output folder $shown_folder (-D)"
    fi
done
: >"$work_dir/replacing" || fail -8 "cannot write in the output folder $shown_folder (-D)"

for extension in key csr crt; do
    # A folder that took the name meanwhile is neither moved aside nor written into.
    if [ -d "$base.$extension" ] && [ ! -h "$base.$extension" ]; then
        fail -1 "$file_name.$extension is a folder"
    fi
    if [ -e "$work_dir/had.$extension" ]; then
        mv -f -T -- "$base.$extension" "$work_dir/old.$extension" ||
            fail -8 "cannot replace the files in the output folder $shown_folder"
    fi
    mv -f -T -- "$work_dir/new.$extension" "$base.$extension" ||
        fail -8 "cannot put the files into the output folder $shown_folder"
done

# The new set is complete: from here on the replaced files may go.
rm -f -- "$work_dir/replacing" ||
    fail -8 "cannot write in the output folder $shown_folder (-D)"
settle_work_folder "$work_dir"
work_dir=
exit 0
