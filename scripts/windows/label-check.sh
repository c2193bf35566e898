#!/usr/bin/env bash
# The Windows build's labels under Wine, decoded on the host: cordelo-cli.exe writes its
# simulated module twice with the default label into a PDF folder, and the one PDF left must scan
# back, through pdftoppm and zbarimg, to the address the write told in --json, with the second
# write's name and the address as text (pdftotext). The decoders are Linux programs, so CTest
# runs this script, not a test program under Wine.
#   scripts/windows/label-check.sh CORDELO-CLI.EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
cli=$1

for tool in pdftoppm pdftotext zbarimg; do
  command -v "$tool" >/dev/null ||
    { echo "$tool is missing (scripts/install-deps.sh installs poppler-utils and zbar-tools)." >&2; exit 1; }
done
scratch=$(mktemp -d -t cordelo-wine-label.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/labels"

fail() {
  echo "FAILED: $1" >&2
  tr -d '\r' <"$scratch/out" >&2
  tr -d '\r' <"$scratch/err" >&2
  exit 1
}

# Twice, so that the second label replaces the first one's file, as a unit written again does.
for name in 'First-{addr4}' 'Wine-{addr4}'; do
  status=0
  timeout 60s "$here/wine-run.sh" "$cli" --virtual-module write --port COM1 --set "name=$name" \
    --label default --label-pdf "$(winepath_of "$scratch/labels")" --json \
    >"$scratch/out" 2>"$scratch/err" || status=$?
  [ "$status" = 0 ] || fail "cordelo-cli.exe write with a label ended with status $status"
done

# One object on one line; the values are plain text, without quotes of their own.
field() {
  tr -d '\r' <"$scratch/out" | grep -o "\"$1\":\"[^\"]*\"" | head -n 1 | cut -d'"' -f4
}
address=$(field device_address)
name=$(field name)
told=$(field file)
[ -n "$address" ] && [ -n "$name" ] || fail "the write told no address or name"
tr -d '\r' <"$scratch/out" | grep -q '"printed":true' || fail "the write told no label printed"

left=$(ls -A "$scratch/labels")
[ "$(wc -l <<<"$left")" = 1 ] && [[ $left == *.pdf ]] || fail "the label folder holds more or less than one PDF: $left"
pdf=$scratch/labels/$left
[ "${told##*[/\\]}" = "$(basename "$pdf")" ] || fail "the write told the label $told, the folder holds $(basename "$pdf")"

pdftoppm -r 300 -png -singlefile "$pdf" "$scratch/page"
scanned=$(zbarimg --raw -q "$scratch/page.png" || true)
[ "$scanned" = "$address" ] || fail "the label's code scans as '$scanned', not the module's address '$address'"
text=$(pdftotext "$pdf" -)
grep -qF "$name" <<<"$text" || fail "the label's text lacks the name $name: $text"
grep -qF First- <<<"$text" && fail "the first write's label was not replaced: $text"
grep -qF "$address" <<<"$text" || fail "the label's text lacks the address $address: $text"
echo "cordelo-cli.exe printed $(basename "$pdf") under Wine: the code scans as $scanned, the text names $name"
