#!/bin/sh
# Each manual the build made is a PDF with pages of text that names every button of the main
# window.
set -eu
build=$1
status=0
for pdf in QuilletManuals_en.pdf QuilletManuals.pdf; do
    file="$build/$pdf"
    [ -s "$file" ] || { echo "FAIL: $pdf was not made"; status=1; continue; }
    pages=$(pdfinfo "$file" | sed -n 's/^Pages: *//p')
    [ "${pages:-0}" -ge 4 ] || { echo "FAIL: $pdf has ${pages:-no} pages"; status=1; }
    text=$(pdftotext -layout "$file" - | tr -s ' \n' '  ')
    for button in "NEW" "HELP" "Delete" "Generate Citation" "Show Certificate File"; do
        case "$text" in
        *"$button"*) ;;
        *) echo "FAIL: $pdf does not name \"$button\""; status=1 ;;
        esac
    done
done
exit $status
