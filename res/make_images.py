#!/usr/bin/env python3
"""Writes the program's pictures, byte for byte the same on every run.

    make_images.py            writes icon/tavrel_remote.ico, icon/not_detected.ico and
                              bitmap/panel_background.bmp
    make_images.py --check    exits 1 when a committed file differs from what this writes
    make_images.py --png DIR  also writes PNG previews of the icons' images into DIR

The icon (resource 128) is a magnifying glass over three lines of text: a
black ring and handle, a yellow lens with dark text lines, all outlined in
white so that it stands out on dark and light task bars alike. It holds an
image for each size Windows asks for at 100 % to 200 % scaling (small icons
of 16, 20, 24 and 32 pixels, large ones of 32, 40, 48 and 64), each of 256
colours (8 bits per pixel with a 256-entry palette and a 1-bit transparency
mask), so that no size is a smaller or larger picture stretched.

The notification area shows that icon while the magnifier answers, and the
not-detected icon while it does not: the same glass with an empty grey lens
and, over its handle, a red disc with a white cross, outlined in white. The
two differ in shape (the disc, the cross, the missing lines), not only in
colour, at 16 pixels too and on a high-contrast task bar of either colour.

The panel's background (bitmap 141) is 4 x 4 white pixels, 24 bits per pixel.
"""
import argparse
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_PATH = os.path.join(HERE, "icon", "tavrel_remote.ico")
NOT_DETECTED_PATH = os.path.join(HERE, "icon", "not_detected.ico")
BITMAP_PATH = os.path.join(HERE, "bitmap", "panel_background.bmp")
# The icon's images, in the order of its directory: 32 and 16 first, as the
# icon always had them, then the sizes of larger scales.
ICON_SIZES = (32, 16, 64, 48, 40, 24, 20)

# Palette indexes; the remaining entries of the 256 are black.
TRANSPARENT, BLACK, WHITE, YELLOW, INK, GREY, RED = 0, 1, 2, 3, 4, 5, 6
PALETTE = {
    TRANSPARENT: (0, 0, 0),
    BLACK: (0, 0, 0),
    WHITE: (255, 255, 255),
    YELLOW: (255, 221, 0),
    INK: (0, 0, 128),
    GREY: (160, 160, 160),
    RED: (204, 0, 0),
}


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def draw_icon(size, not_detected=False):
    """Rows of palette indexes, top row first, for a size x size image."""
    s = size / 32.0
    cx = cy = 12.5 * s
    r_out, r_in = 11.0 * s, 8.0 * s
    handle = (cx + r_out * 0.62, cy + r_out * 0.62, 29.5 * s, 29.5 * s)
    handle_half = 2.6 * s
    outline = max(1.0, 1.2 * s)
    # Text lines inside the lens: (centre y, half height), clipped to the lens.
    if size >= 32:
        lines = [(cy - 4.0 * s, 0.9 * s), (cy, 0.9 * s), (cy + 4.0 * s, 0.9 * s)]
    elif size >= 20:
        # Three lines still fit, each at least a pixel high.
        lines = [(cy - 4.0 * s, 0.55), (cy, 0.55), (cy + 4.0 * s, 0.55)]
    else:
        lines = [(cy - 2.0, 0.55), (cy + 1.0, 0.55)]
    # The not-detected badge: a disc over the handle's end, a cross in it.
    br = max(4.5, 7.0 * s)
    bx = by = math.floor(size - br - outline) + 0.5  # a pixel's centre: crisp diagonals
    arm, stroke = br * 0.55, max(1.0, 1.4 * s)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d = math.hypot(px - cx, py - cy)
            dh = segment_distance(px, py, *handle)
            db = math.hypot(px - bx, py - by)
            if not_detected and db <= br + outline:
                dx, dy = px - bx, py - by
                cross = (max(abs(dx), abs(dy)) <= arm and
                         min(abs(dx - dy), abs(dx + dy)) <= stroke)
                row.append(WHITE if db > br or cross else RED)
            elif not_detected and d < r_in:
                row.append(GREY)
            elif d < r_in:
                ink = any(abs(py - ly) <= lh for ly, lh in lines) and d < r_in - 1.5 * s
                row.append(INK if ink else YELLOW)
            elif d <= r_out or dh <= handle_half:
                row.append(BLACK)
            elif d <= r_out + outline or dh <= handle_half + outline:
                row.append(WHITE)
            else:
                row.append(TRANSPARENT)
        rows.append(row)
    return rows


def palette_bytes():
    out = bytearray()
    for i in range(256):
        r, g, b = PALETTE.get(i, (0, 0, 0))
        out += bytes((b, g, r, 0))
    return bytes(out)


def icon_image(rows):
    """One icon image: header, palette, colour rows and mask rows, bottom row first."""
    size = len(rows)
    xor = b"".join(bytes(row) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, index in enumerate(row):
            if index == TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    return header + palette_bytes() + xor + bytes(mask)


def make_icon(not_detected=False):
    images = [icon_image(draw_icon(size, not_detected)) for size in ICON_SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(ICON_SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def make_background():
    width = height = 4
    stride = (width * 3 + 3) // 4 * 4
    pixels = (b"\xff" * (width * 3) + b"\0" * (stride - width * 3)) * height
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + pixels


def png(rows):
    """A preview of one icon image as an RGBA PNG."""
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for index in row:
            r, g, b = PALETTE[index]
            raw += bytes((r, g, b, 0 if index == TRANSPARENT else 255))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in the tree instead of writing them")
    parser.add_argument("--png", metavar="DIR", help="also write PNG previews of the icon here")
    args = parser.parse_args()

    files = {ICON_PATH: make_icon(), NOT_DETECTED_PATH: make_icon(not_detected=True),
             BITMAP_PATH: make_background()}
    if args.check:
        stale = []
        for path, data in files.items():
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(path)
            except OSError as e:
                stale.append(f"{path} ({e.strerror})")
        for path in stale:
            print(f"make_images: {path} is not what make_images.py writes; run it again",
                  file=sys.stderr)
        print(f"make_images: {len(files) - len(stale)} of {len(files)} files up to date")
        return 1 if stale else 0

    for path, data in files.items():
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    if args.png:
        os.makedirs(args.png, exist_ok=True)
        for size in ICON_SIZES:
            with open(os.path.join(args.png, f"icon{size}.png"), "wb") as f:
                f.write(png(draw_icon(size)))
            with open(os.path.join(args.png, f"not_detected{size}.png"), "wb") as f:
                f.write(png(draw_icon(size, not_detected=True)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
