#!/bin/sh
# Each manual the build made is a PDF with pages of text that names every button of the main
# window. QuilletManuals.pdf, which HELP opens first, is the English manual followed by the
# Japanese one, from a page of its own; QuilletManuals_en.pdf is the English manual alone.
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

english="Quillet Operator's Manual"
japanese="Quillet 操作マニュアル"
en_pages=$(pdfinfo "$build/QuilletManuals_en.pdf" | sed -n 's/^Pages: *//p')
case "$(pdftotext "$build/QuilletManuals_en.pdf" - | tr -s ' \n' '  ')" in
*"$japanese"*) echo "FAIL: QuilletManuals_en.pdf holds the Japanese manual"; status=1 ;;
esac
case "$(pdftotext -f 1 -l 1 "$build/QuilletManuals.pdf" - | tr -s ' \n' '  ')" in
*"$english"*) ;;
*) echo "FAIL: QuilletManuals.pdf does not begin with the English manual"; status=1 ;;
esac
# The Japanese manual begins on the page after the English one's last.
first_ja=$((en_pages + 1))
case "$(pdftotext -f "$first_ja" -l "$first_ja" "$build/QuilletManuals.pdf" - | tr -s ' \n' '  ')" in
*"$japanese"*) ;;
*) echo "FAIL: page $first_ja of QuilletManuals.pdf does not begin the Japanese manual"; status=1 ;;
esac
exit $status
