#!/usr/bin/env python3
"""Turns the pixel-map sources of the program's bitmaps, cursors and icons into
.bmp/.cur/.ico files and one .rc script that names them.

A source is a text file:

    # comment
    name: VRCURSORHANDPOINT      resource name
    type: bitmap | cursor | icon
    hotspot: 9,1                 cursors only
    key: . = none                one line per character; 'none' is transparent
    key: X = #000000             (cursors and icons only)
    pixels:
    ..XX..                       one text row per pixel row, top row first

Bitmaps are written as 24-bit BMPs. Cursors are monochrome (black, white and
transparent). Icons are 16-colour: every key colour must be one of the
sixteen colours of the standard VGA palette.

A source may also be a Python generator (a .py file): it defines sources(),
which returns pixel-map texts in the same format, for shapes that are easier
to compute than to draw (dot grids, glyph strips).

Usage: make_resources.py OUTPUT_DIR RC_FILE SOURCE...
"""
import os
import runpy
import struct
import sys

VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
RC_KEYWORD = {"bitmap": "BITMAP", "cursor": "CURSOR", "icon": "ICON"}
EXTENSION = {"bitmap": ".bmp", "cursor": ".cur", "icon": ".ico"}


class SourceError(Exception):
    pass


def parse_colour(text, where):
    text = text.strip()
    if text == "none":
        return None
    if len(text) != 7 or text[0] != "#":
        raise SourceError(f"{where}: colour '{text}' is not #RRGGBB or none")
    value = int(text[1:], 16)
    return (value >> 16) & 255, (value >> 8) & 255, value & 255


def parse(path, text):
    fields, key, rows, in_pixels = {}, {}, [], False
    for number, line in enumerate(text.splitlines(), 1):
        where = f"{path}:{number}"
        if in_pixels:
            if line and not line.startswith("#"):
                rows.append(line)
            continue
        if not line.strip() or line.startswith("#"):
            continue
        name, _, value = line.partition(":")
        name = name.strip()
        if name == "pixels":
            in_pixels = True
        elif name == "key":
            char, _, colour = value.strip().partition("=")
            char = char.strip()
            if len(char) != 1:
                raise SourceError(f"{where}: a key names one character")
            key[char] = parse_colour(colour, where)
        else:
            fields[name] = value.strip()
    for needed in ("name", "type"):
        if needed not in fields:
            raise SourceError(f"{path}: '{needed}:' is missing")
    if fields["type"] not in RC_KEYWORD:
        raise SourceError(f"{path}: unknown type {fields['type']}")
    if not rows or any(len(row) != len(rows[0]) for row in rows):
        raise SourceError(f"{path}: pixel rows are missing or of unequal length")
    pixels = []
    for y, row in enumerate(rows):
        for char in row:
            if char not in key:
                raise SourceError(f"{path}: row {y + 1} uses '{char}', which has no key")
        pixels.append([key[char] for char in row])
    return fields, pixels


def bmp_24(pixels):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for colour in row:
            if colour is None:
                raise SourceError("a bitmap has no transparent pixels; key a colour instead")
            red, green, blue = colour
            line += bytes((blue, green, red))
        data += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def mask_rows(pixels):
    """The AND mask: 1 where the pixel is transparent, rows padded to 32 bits."""
    width = len(pixels[0])
    stride = ((width + 31) // 32) * 4
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, colour in enumerate(row):
            if colour is None:
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return bytes(data)


def icon_image(pixels, bits, palette):
    height, width = len(pixels), len(pixels[0])
    stride = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, colour in enumerate(row):
            index = 0 if colour is None else palette.index(colour)
            if bits == 1:
                line[x // 8] |= index << (7 - x % 8)
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        data += line
    mask = mask_rows(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                       len(data) + len(mask), 0, 0, len(palette), 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return info + colours + bytes(data) + mask


def icon_file(fields, pixels):
    height, width = len(pixels), len(pixels[0])
    is_cursor = fields["type"] == "cursor"
    if is_cursor:
        palette, bits = [(0, 0, 0), (255, 255, 255)], 1
        hot_x, _, hot_y = fields.get("hotspot", "0,0").partition(",")
        planes_or_x, bits_or_y = int(hot_x), int(hot_y)
    else:
        palette, bits = VGA16, 4
        planes_or_x, bits_or_y = 1, 4
    for row in pixels:
        for colour in row:
            if colour is not None and colour not in palette:
                raise SourceError(f"{fields['name']}: colour {colour} is not in its palette")
    image = icon_image(pixels, bits, palette)
    header = struct.pack("<HHH", 0, 2 if is_cursor else 1, 1)
    entry = struct.pack("<BBBBHHII", width & 255, height & 255, 0 if bits == 1 else 16, 0,
                        planes_or_x, bits_or_y, len(image), 6 + 16)
    return header + entry + image


def source_texts(paths):
    """(where, text) for every pixel map, generators expanded in order."""
    for path in paths:
        if path.endswith(".py"):
            generator = runpy.run_path(path)
            for index, text in enumerate(generator["sources"]()):
                yield f"{path}#{index}", text
        else:
            with open(path, encoding="ascii") as source:
                yield path, source.read()


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    out_dir, rc_path, sources = argv[0], argv[1], argv[2:]
    os.makedirs(out_dir, exist_ok=True)
    lines = []
    try:
        for path, text in source_texts(sources):
            fields, pixels = parse(path, text)
            kind = fields["type"]
            data = bmp_24(pixels) if kind == "bitmap" else icon_file(fields, pixels)
            file_name = fields["name"].lower() + EXTENSION[kind]
            with open(os.path.join(out_dir, file_name), "wb") as output:
                output.write(data)
            lines.append(f'{fields["name"]} {RC_KEYWORD[kind]} "{file_name}"')
    except (SourceError, ValueError) as error:
        print(f"make_resources: {error}", file=sys.stderr)
        return 1
    with open(rc_path, "w", encoding="ascii") as rc:
        rc.write("// Made by make_resources.py from the pixel maps in resources/.\n")
        rc.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
