#!/usr/bin/env python3
"""Draws Pellmar's icon and writes the two files the program embeds:

  icon.ico  32x32, 48x48 and 64x64 at 32 bits per pixel, and 256x256 as PNG
  icon.png  16x16, 8-bit RGBA (the tray icon)
  hicolor/SIZE/pellmar.png  the desktop icon theme's sizes, for installing

The picture: two monitors side by side on a dark tile, and an arrow that
leaves the right monitor and comes back in on the left one. Standard library
only; run it from anywhere: python3 resources/make_icons.py
"""
import math
import os
import struct
import zlib

TILE = (32, 44, 68)
SCREEN = (118, 200, 255)
BEZEL = (226, 234, 245)
ARROW = (255, 156, 40)


def rounded_rect_distance(px, py, x0, y0, x1, y1, r):
    """Signed distance from (px, py) to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    dx, dy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(dx, 0), max(dy, 0))
    return outside + min(max(dx, dy), 0) - r


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - t * vx, py - ay - t * vy)


def arc_distance(px, py, cx, cy, r, a0, a1):
    """Distance to the upper arc of a circle between angles a0 and a1 (radians)."""
    ang = math.atan2(cy - py, px - cx)
    if a0 <= ang <= a1:
        return abs(math.hypot(px - cx, py - cy) - r)
    ends = [(cx + r * math.cos(a), cy - r * math.sin(a)) for a in (a0, a1)]
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends)


def shade(u, v, small):
    """Colour and alpha at unit coordinates (u, v) in [0, 1]."""
    layers = []
    layers.append((rounded_rect_distance(u, v, 0.02, 0.02, 0.98, 0.98, 0.18), TILE))
    for x0 in (0.10, 0.53):
        layers.append((rounded_rect_distance(u, v, x0, 0.42, x0 + 0.37, 0.80, 0.04), BEZEL))
        layers.append((rounded_rect_distance(u, v, x0 + 0.03, 0.45, x0 + 0.34, 0.74, 0.01), SCREEN))
    # The arrow: an arc from the right monitor over to the left one, with its
    # head pointing down into the left monitor.
    width = 0.09 if small else 0.06
    arc = arc_distance(u, v, 0.5, 0.42, 0.31, math.radians(0), math.radians(180)) - width / 2
    layers.append((arc, ARROW))
    tip = (0.19, 0.52)
    head = min(segment_distance(u, v, tip[0], tip[1], tip[0] - 0.11, tip[1] - 0.12),
               segment_distance(u, v, tip[0], tip[1], tip[0] + 0.11, tip[1] - 0.12)) - width / 2
    layers.append((head, ARROW))
    colour, alpha = (0, 0, 0), 0.0
    for dist, col in layers:
        if dist < 0:
            colour, alpha = col, 1.0
    return colour, alpha


def render(size):
    """RGBA rows, 4x4 supersampled."""
    ss = 4
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    u = (x + (sx + 0.5) / ss) / size
                    v = (y + (sy + 0.5) / ss) / size
                    (r, g, b), a = shade(u, v, size <= 16)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if a > 0:
                rgb = [min(255, round(c / acc[3])) for c in acc[:3]]
            else:
                rgb = [0, 0, 0]
            row += bytes(rgb + [round(a * 255)])
        rows.append(bytes(row))
    return rows


def png(rows, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def dib(rows, size):
    """A 32-bit icon image: header, BGRA rows bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """images: list of (size, data) in the order they are listed."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        blobs += data
    return out + entries + blobs


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    images = [(s, dib(render(s), s)) for s in (32, 48, 64)]
    images.append((256, png(render(256), 256)))
    with open(os.path.join(here, "icon.ico"), "wb") as f:
        f.write(ico(images))
    with open(os.path.join(here, "icon.png"), "wb") as f:
        f.write(png(render(16), 16))
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        folder = os.path.join(here, "hicolor", f"{size}x{size}")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "pellmar.png"), "wb") as f:
            f.write(png(render(size), size))


if __name__ == "__main__":
    main()
