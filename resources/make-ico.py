#!/usr/bin/env python3
# Writes a Windows .ico from the square PNGs given: each size below 256 once in 256 colours (8-bit
# palette plus 1-bit mask) and once in 32-bit colour, as classic BMP entries that every Windows
# reads; a 256-pixel image, for Explorer's large views, as the PNG file itself, as Windows expects.
import struct
import sys

from PIL import Image

ALPHA_CUT = 128  # below it a pixel counts as transparent in the 256-colour images
TRANSPARENT_INDEX = 255  # black palette entry under the mask, so the mask alone shows the background
LARGE_SIZE = 256  # stored as PNG; the directory writes its size as 0


def row_bytes(width, bits):
    return (width * bits + 31) // 32 * 4


def and_mask(image):
    # Bit set = transparent; rows bottom-up like the pixel rows.
    width, height = image.size
    alpha = image.getchannel("A")
    stride = row_bytes(width, 1)
    out = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            if alpha.getpixel((x, y)) < ALPHA_CUT:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def bitmap_header(width, height, bits, palette_size, data_size):
    # The height counts the pixel rows and the mask rows together.
    return struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0, data_size, 0, 0,
                       palette_size, 0)


def bgra_entry(image):
    width, height = image.size
    pixels = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = image.getpixel((x, y))
            pixels += bytes((b, g, r, a))
    mask = and_mask(image)
    return bitmap_header(width, height, 32, 0, len(pixels) + len(mask)) + pixels + mask


def palette_entry(image):
    width, height = image.size
    opaque = Image.new("RGB", image.size)
    opaque.paste(image.convert("RGB"), mask=image.getchannel("A").point(lambda a: 255))
    quantized = opaque.quantize(colors=TRANSPARENT_INDEX, method=Image.Quantize.MEDIANCUT,
                                dither=Image.Dither.NONE)
    rgb = quantized.getpalette()[: 3 * TRANSPARENT_INDEX]
    rgb += [0] * (3 * 256 - len(rgb))
    palette = b"".join(bytes((rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0)) for i in range(256))
    alpha = image.getchannel("A")
    stride = row_bytes(width, 8)
    pixels = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            transparent = alpha.getpixel((x, y)) < ALPHA_CUT
            row[x] = TRANSPARENT_INDEX if transparent else quantized.getpixel((x, y))
        pixels += row
    mask = and_mask(image)
    return bitmap_header(width, height, 8, 256, len(pixels) + len(mask)) + palette + pixels + mask


def main(out_path, png_paths):
    entries = []
    for path in png_paths:
        image = Image.open(path).convert("RGBA")
        if image.width != image.height or image.width > LARGE_SIZE:
            sys.exit(f"{path}: an icon image must be square and at most {LARGE_SIZE} pixels")
        if image.width == LARGE_SIZE:
            with open(path, "rb") as png:
                entries.append((0, 32, png.read()))
            continue
        entries.append((image.width, 8, palette_entry(image)))
        entries.append((image.width, 32, bgra_entry(image)))

    offset = 6 + 16 * len(entries)
    directory = struct.pack("<HHH", 0, 1, len(entries))
    for size, bits, data in entries:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    with open(out_path, "wb") as out:
        out.write(directory)
        for _, _, data in entries:
            out.write(data)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make-ico.py OUT.ico IMAGE.png...")
    main(sys.argv[1], sys.argv[2:])
