#!/usr/bin/env python3
"""Draws the program's two small pictures and writes them as PNG files.

icon.png  32 x 32, 8-bit palette: a cartridge with a quill across it.
about.png 48 x 33, 24-bit RGB: the same cartridge on a night sky.
hicolor/NxN.png  the desktop icon, RGBA, at 16, 32, 48, 64, 128 and 256
          pixels: the same picture drawn as shapes at each size, on a grid
          that puts every straight edge on a pixel border (16 and 48 pixels
          on a 16-unit grid, the others on the 32-unit grid of icon.png).

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


# ---- desktop icons: shapes drawn with coverage at each size --------------
# A shape is a convex polygon in pixel coordinates; a pixel takes the part of
# its area that the polygon covers (exact away from edges, 8 x 8 samples on
# them), so straight edges on pixel borders stay sharp and slanted ones are
# smoothed.
import math
import os

SAMPLES = 8


def edges_of(poly):
    """Inward unit normals and offsets of a convex polygon's edges (any winding)."""
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]))
    sign = 1 if area > 0 else -1
    result = []
    for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
        nx, ny = -(y1 - y0) * sign, (x1 - x0) * sign
        length = math.hypot(nx, ny)
        if length == 0:
            continue
        nx, ny = nx / length, ny / length
        result.append((nx, ny, nx * x0 + ny * y0))
    return result


def inset(poly, d):
    """The convex polygon moved inwards by d pixels on every edge (outwards when d < 0)."""
    lines = []
    for nx, ny, c in edges_of(poly):
        # Edges in one line (a straight run of the vane) make one edge.
        if lines and abs(lines[-1][0] - nx) < 1e-9 and abs(lines[-1][1] - ny) < 1e-9:
            continue
        lines.append((nx, ny, c + d))
    if abs(lines[0][0] - lines[-1][0]) < 1e-9 and abs(lines[0][1] - lines[-1][1]) < 1e-9:
        lines.pop()
    out = []
    for (a1, b1, c1), (a2, b2, c2) in zip(lines[-1:] + lines[:-1], lines):
        det = a1 * b2 - a2 * b1
        out.append(((c1 * b2 - c2 * b1) / det, (a1 * c2 - a2 * c1) / det))
    return out


def fill(canvas, poly, color):
    size = len(canvas)
    edges = edges_of(poly)
    xs = [x for x, _ in poly]
    ys = [y for _, y in poly]
    half = 0.7072  # half a pixel's diagonal
    for py in range(max(0, int(min(ys))), min(size, int(math.ceil(max(ys))))):
        for px in range(max(0, int(min(xs))), min(size, int(math.ceil(max(xs))))):
            cx, cy = px + 0.5, py + 0.5
            dists = [nx * cx + ny * cy - c for nx, ny, c in edges]
            if min(dists) >= half:
                cover = 1.0
            elif min(dists) <= -half:
                continue
            else:
                hits = 0
                for sy in range(SAMPLES):
                    y = py + (sy + 0.5) / SAMPLES
                    for sx in range(SAMPLES):
                        x = px + (sx + 0.5) / SAMPLES
                        if all(nx * x + ny * y >= c for nx, ny, c in edges):
                            hits += 1
                cover = hits / (SAMPLES * SAMPLES)
                if cover == 0:
                    continue
            r, g, b, a = canvas[py][px]
            out_a = cover + a * (1 - cover)
            canvas[py][px] = tuple(
                (color[i] * cover + (r, g, b)[i] * a * (1 - cover)) / out_a for i in range(3)) + (out_a,)


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rounded_square(size, radius, steps=8):
    poly = []
    for cx, cy, start in ((size - radius, radius, -90), (size - radius, size - radius, 0),
                          (radius, size - radius, 90), (radius, radius, 180)):
        for k in range(steps + 1):
            angle = math.radians(start + 90 * k / steps)
            poly.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return poly


def leaf(start, end, width, steps=32):
    """A feather's vane along the segment start-end: pointed at both ends and
    `width` wide on each side in the middle (a convex outline)."""
    (x0, y0), (x1, y1) = start, end
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    ux, uy = dx / length, dy / length
    side = []
    for k in range(steps + 1):
        t = k / steps
        side.append((t, width * math.sin(math.pi * t) ** 0.7))
    left = [(x0 + dx * t - uy * w, y0 + dy * t + ux * w) for t, w in side]
    right = [(x0 + dx * t + uy * w, y0 + dy * t - ux * w) for t, w in reversed(side)]
    return left + right


def shaft(start, end, width):
    (x0, y0), (x1, y1) = start, end
    length = math.hypot(x1 - x0, y1 - y0)
    ox, oy = -(y1 - y0) / length * width / 2, (x1 - x0) / length * width / 2
    return [(x0 + ox, y0 + oy), (x1 + ox, y1 + oy), (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)]


# The picture of icon.png in the units of each grid. Cartridge: outer corners,
# label, contacts (left edges, width, top, bottom); quill: the shaft's ends and
# the vane's half-width, all in grid units.
GRIDS = {
    32: dict(cart=[(4, 4), (20, 4), (24, 8), (24, 28), (4, 28)], label=(7, 9, 21, 19),
             contacts=([8, 10, 12, 14, 16, 18], 1, 25, 26), quill=((9.5, 29.5), (30.5, 8.5)), vane=4.2),
    16: dict(cart=[(2, 2), (10, 2), (12, 4), (12, 14), (2, 14)], label=(4, 5, 10, 10),
             contacts=([4, 6, 8, 10], 1, 11, 12), quill=((4.75, 14.75), (15.25, 4.25)), vane=2.1),
}


def desktop_icon(size):
    units = 16 if size in (16, 48) else 32
    g = GRIDS[units]
    k = size / units
    scale = lambda pts: [(x * k, y * k) for x, y in pts]  # noqa: E731
    canvas = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]
    # A rounded square behind everything; the corners stay transparent.
    fill(canvas, rounded_square(size, max(1.5, size / 16)), PALETTE[1])
    outline = max(1, round(size / 32))
    cart = scale(g["cart"])
    fill(canvas, cart, PALETTE[4])
    fill(canvas, inset(cart, outline), PALETTE[2])
    x0, y0, x1, y1 = g["label"]
    fill(canvas, scale(rect(x0, y0, x1, y1)), PALETTE[3])
    lefts, width, top, bottom = g["contacts"]
    for left in lefts:
        fill(canvas, scale(rect(left, top, left + width, bottom)), PALETTE[5])
    start, end = [(x * k, y * k) for x, y in g["quill"]]
    # The vane starts a fifth of the way up the shaft, as in icon.png.
    base = (start[0] + (end[0] - start[0]) * 0.18, start[1] + (end[1] - start[1]) * 0.18)
    vane = leaf(base, end, g["vane"] * k)
    if size >= 48:
        fill(canvas, inset(vane, -max(1.0, size / 96)), PALETTE[4])  # a thin edge against the cartridge
    fill(canvas, vane, PALETTE[6])
    fill(canvas, shaft(start, end, max(1.25, size / 24)), PALETTE[7])
    return [[round(v) for px in row for v in (*px[:3], px[3] * 255)] for row in canvas]


os.makedirs("hicolor", exist_ok=True)
for size in (16, 32, 48, 64, 128, 256):
    write_png(f"hicolor/{size}x{size}.png", size, size, desktop_icon(size), 6)
