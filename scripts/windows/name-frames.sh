#!/usr/bin/env bash
# Names the frames of a winedbg backtrace that it shows only as "in module (+0xOFFSET)": each
# such line gets the function of that module holding the offset, from the symbols of the module's
# file found in one of the DIRs (our programs and the MinGW Qt keep theirs).
#   winedbg ... | scripts/windows/name-frames.sh DIR...
set -euo pipefail
backtrace=$(cat)
table=$(mktemp -t cordelo-frames.XXXXXX)
trap 'rm -f "$table"' EXIT

for module in $(grep -o ' in [A-Za-z0-9_.-]* (+0x' <<<"$backtrace" | awk '{ print $2 }' | sort -u); do
  file=$(find "$@" -maxdepth 1 \( -iname "$module.exe" -o -iname "$module.dll" \) 2>/dev/null | head -n 1)
  [ -n "$file" ] || continue
  base=$(x86_64-w64-mingw32-objdump -p "$file" | awk '$1 == "ImageBase" { print $2 }')
  # Offsets from the module's base, as winedbg counts them, of each function.
  x86_64-w64-mingw32-nm --defined-only -C "$file" 2>/dev/null |
    awk -v module="$module" -v base="0x$base" '$2 ~ /^[Tt]$/ {
      address = $1; $1 = ""; $2 = ""; sub(/^  /, "")
      printf "%s %d %s\n", module, ("0x" address) - base, $0
    }' >>"$table"
done
sort -k1,1 -k2,2n -o "$table" "$table"

awk -v table="$table" '
  BEGIN {
    while ((getline line < table) > 0) {
      split(line, field, " ")
      module = field[1]
      count[module]++
      offset[module, count[module]] = field[2] + 0
      name[module, count[module]] = substr(line, length(field[1]) + length(field[2]) + 3)
    }
  }
  match($0, / in [A-Za-z0-9_.-]* \(\+0x[0-9a-f]*\)/) {
    split(substr($0, RSTART + 4, RLENGTH - 5), part, " \\(\\+")
    module = part[1]
    wanted = part[2] + 0
    low = 1; high = count[module]; found = 0
    while (low <= high) {
      middle = int((low + high) / 2)
      if (offset[module, middle] <= wanted) { found = middle; low = middle + 1 }
      else high = middle - 1
    }
    if (found) $0 = $0 "  = " name[module, found]
  }
  { print }
' <<<"$backtrace"
