#!/usr/bin/env python3
"""Draws the program's two small pictures and writes them as PNG files.

icon.png  32 x 32, 8-bit palette: a cartridge with a quill across it.
about.png 48 x 33, 24-bit RGB: the same cartridge on a night sky.

Only the standard library is used. Run it from this directory; the PNG files
it writes are kept in the repository and built into the program.
"""
import struct
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, rows, color_type, palette=None):
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    out = b"\x89PNG\r\n\x1a\n"
    out += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0))
    if palette is not None:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    out += chunk(b"IDAT", zlib.compress(raw, 9))
    out += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(out)


def cartridge(grid, ox, oy, body, label, dark, slot):
    """A 20 x 24 cartridge with its top-left corner at ox, oy."""
    w, h = 20, 24
    for y in range(h):
        for x in range(w):
            # Cut the top-right corner, as cartridges have.
            if y < 4 and x >= w - 4 + y:
                continue
            edge = x in (0, w - 1) or y in (0, h - 1) or (y < 4 and x == w - 5 + y)
            grid[oy + y][ox + x] = dark if edge else body
    for y in range(5, 15):
        for x in range(3, w - 3):
            grid[oy + y][ox + x] = label
    for x in range(4, w - 4, 2):
        grid[oy + h - 3][ox + x] = slot


def quill(grid, x0, y0, length, vane, shaft):
    """A feather lying diagonally from bottom-left (x0, y0) up to the right."""
    for i in range(length):
        x, y = x0 + i, y0 - i
        if 0 <= y < len(grid) and 0 <= x < len(grid[0]):
            grid[y][x] = shaft
        if i > 3:
            spread = min(3, (i - 3) // 2 + 1, (length - i) // 2 + 1)
            for s in range(-spread, spread + 1):
                # Two pixels per step across the shaft, so the vane has no gaps.
                for px, py in ((x + s, y + s), (x + s + 1, y + s)):
                    if 0 <= py < len(grid) and 0 <= px < len(grid[0]) and grid[py][px] != shaft:
                        grid[py][px] = vane


# ---- icon: palette indices ----------------------------------------------
PALETTE = [
    (0, 0, 0),        # 0 unused background for the palette's first slot
    (40, 56, 96),     # 1 background
    (150, 156, 170),  # 2 cartridge body
    (240, 200, 80),   # 3 label
    (30, 30, 40),     # 4 outline
    (90, 90, 100),    # 5 contacts
    (250, 250, 245),  # 6 feather vane
    (200, 60, 50),    # 7 feather shaft
]
icon = [[1] * 32 for _ in range(32)]
cartridge(icon, 4, 4, 2, 3, 4, 5)
quill(icon, 9, 29, 22, 6, 7)
write_png("icon.png", 32, 32, icon, 3, PALETTE)

# ---- about picture: RGB -------------------------------------------------
about = [[(20, 24, 60)] * 48 for _ in range(33)]
for y in range(33):
    for x in range(48):
        about[y][x] = (20 + y * 2, 24 + y, 70 + y * 3)
for x, y in ((3, 3), (10, 6), (40, 4), (44, 12), (30, 2), (6, 20), (42, 26)):
    about[y][x] = (255, 255, 220)
cartridge(about, 14, 5, (150, 156, 170), (240, 200, 80), (30, 30, 40), (90, 90, 100))
quill(about, 19, 30, 22, (250, 250, 245), (200, 60, 50))
write_png("about.png", 48, 33, [[c for px in row for c in px] for row in about], 2)
