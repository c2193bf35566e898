#!/usr/bin/env bash
# Renders the committed PNG and .ico images in icons/ from the SVG sources beside this script.
# Artwork-time tools only (Debian: librsvg2-bin, python3-pil); builds use the committed images.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="$here/icons"
# The distribution's Python, which python3-pil serves, unless the caller names another.
python="${PYTHON:-/usr/bin/python3}"

if ! command -v rsvg-convert >/dev/null 2>&1 || ! "$python" -c "import PIL" 2>/dev/null; then
    echo "Needs rsvg-convert and Python with PIL: apt-get install librsvg2-bin python3-pil" >&2
    exit 1
fi

render() { # source.svg width height output.png
    rsvg-convert --width "$2" --height "$3" --output "$4" "$here/$1"
}

mkdir -p "$out"

# 16 and 24 pixels have their own sources drawn on the pixel grid; the others scale app.svg.
render app-16.svg 16 16 "$out/app-16.png"
render app-24.svg 24 24 "$out/app-24.png"
render app.svg 32 32 "$out/app-32.png"
render app.svg 48 48 "$out/app-48.png"
render app.svg 256 256 "$out/app-256.png"
"$python" "$here/make-ico.py" "$out/app.ico" \
    "$out/app-16.png" "$out/app-24.png" "$out/app-32.png" "$out/app-48.png" "$out/app-256.png"

render connect-16.svg 16 16 "$out/connect-16.png"
render connect-32.svg 32 32 "$out/connect-32.png"

render refresh.svg 19 14 "$out/refresh.png"

echo "Artwork written to $out"
