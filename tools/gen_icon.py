#!/usr/bin/env python3
"""Draws the program icon and writes it as resources/holvane.ico.

A page with a folded corner and a blue pair of angle brackets, as four images:
16x16 and 32x32, each with 16 and with 256 colours (4,710 bytes in all).
Also writes the 16 and 32 pixel PNG copies that the desktop entry uses, and 48
and 256 pixel ones scaled smoothly from the 32 pixel picture for desktops that
ask for a bigger icon (the drawing itself stays the 32 pixel one).
Run from the repository's root: python3 tools/gen_icon.py
"""
import math
import struct
import zlib

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
GRAYS = [(int(8 + i * 10.3),) * 3 for i in range(24)]
PALETTE256 = VGA16 + CUBE + GRAYS

WHITE, PAPER_EDGE, FOLD, BLUE, RED, LINE = (
    (255, 255, 255), (64, 64, 64), (192, 192, 192), (0, 0, 200), (200, 0, 0), (150, 150, 150))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def paint(u, v):
    """Colour at (u, v) in the unit square, or None where the icon is transparent."""
    left, right, top, bottom, fold = 0.14, 0.86, 0.05, 0.95, 0.22
    if not (left <= u <= right and top <= v <= bottom):
        return None
    if u - (right - fold) > v - top:  # cut off by the folded corner
        return None
    edge = 0.045
    if u > right - fold and v < top + fold:
        return PAPER_EDGE if abs((u - (right - fold)) - (v - top)) < edge or u > right - edge else FOLD
    if u < left + edge or u > right - edge or v < top + edge or v > bottom - edge:
        return PAPER_EDGE
    thick = 0.055
    bracket = min(segment_distance(u, v, 0.38, 0.30, 0.22, 0.47), segment_distance(u, v, 0.22, 0.47, 0.38, 0.64),
                  segment_distance(u, v, 0.62, 0.30, 0.78, 0.47), segment_distance(u, v, 0.78, 0.47, 0.62, 0.64))
    if bracket < thick:
        return BLUE
    if segment_distance(u, v, 0.57, 0.28, 0.43, 0.66) < thick:
        return RED
    if 0.76 < v < 0.81 and 0.24 < u < 0.70:
        return LINE
    return WHITE


def render(size):
    """Pixels top row first: an RGB tuple, or None for transparent."""
    samples = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = [paint((x + (i + 0.5) / samples) / size, (y + (j + 0.5) / samples) / size)
                    for i in range(samples) for j in range(samples)]
            solid = [h for h in hits if h is not None]
            if len(solid) * 2 < len(hits):
                row.append(None)
            else:
                row.append(tuple(sum(c[k] for c in solid) // len(solid) for k in range(3)))
        rows.append(row)
    return rows


def nearest(palette, rgb):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - rgb[k]) ** 2 for k in range(3)))


def bitmap(size, bits):
    palette = VGA16 if bits == 4 else PALETTE256
    pixels = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up
        indices = [0 if p is None else nearest(palette, p) for p in row]
        if bits == 4:
            data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            data = bytes(indices)
        xor_rows.append(data + b'\0' * (-len(data) % 4))
        mask = 0
        for p in row:
            mask = (mask << 1) | (1 if p is None else 0)
        data = mask.to_bytes(size // 8, 'big')
        and_rows.append(data + b'\0' * (-len(data) % 4))
    return header + colours + b''.join(xor_rows) + b''.join(and_rows)


def rgba_pixels(size):
    """The 256-colour picture as rows of RGBA tuples, transparent where the icon is."""
    return [[PALETTE256[nearest(PALETTE256, p)] + (255,) if p else (0, 0, 0, 0) for p in row]
            for row in render(size)]


def cubic_weights(t):
    """Catmull-Rom weights of the four neighbours for a fraction t between the middle two."""
    a = -0.5
    def w(x):
        x = abs(x)
        if x < 1:
            return (a + 2) * x ** 3 - (a + 3) * x ** 2 + 1
        if x < 2:
            return a * x ** 3 - 5 * a * x ** 2 + 8 * a * x - 4 * a
        return 0.0
    return [w(t + 1), w(t), w(1 - t), w(2 - t)]


def scale_smooth(rows, size):
    """Bicubic resampling of square RGBA rows to size x size.

    Colours are weighted by their alpha, so the transparent pixels around the
    page (black with alpha 0) do not darken its edge."""
    n = len(rows)
    premultiplied = [[(r * a / 255, g * a / 255, b * a / 255, a) for (r, g, b, a) in row] for row in rows]

    def resample_line(line, count):
        out = []
        for i in range(count):
            x = (i + 0.5) * len(line) / count - 0.5
            base = math.floor(x)
            weights = cubic_weights(x - base)
            taps = [line[min(max(base + k - 1, 0), len(line) - 1)] for k in range(4)]
            out.append(tuple(sum(w * t[c] for w, t in zip(weights, taps)) for c in range(4)))
        return out

    across = [resample_line(row, size) for row in premultiplied]
    columns = [resample_line([across[y][x] for y in range(n)], size) for x in range(size)]
    result = []
    for y in range(size):
        row = []
        for x in range(size):
            r, g, b, a = columns[x][y]
            a = min(max(a, 0.0), 255.0)
            if a < 0.5:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(int(min(max(c * 255 / a, 0.0), 255.0) + 0.5) for c in (r, g, b)) + (int(a + 0.5),))
        result.append(row)
    return result


def png(rows):
    """RGBA rows as a PNG, for desktops that look for one."""
    size = len(rows)
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    images = [(16, 4), (16, 8), (32, 4), (32, 8)]
    blobs = [bitmap(size, bits) for size, bits in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', size, size, 16 if bits == 4 else 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    out += b''.join(blobs)
    with open('resources/holvane.ico', 'wb') as f:
        f.write(out)
    drawn = {size: rgba_pixels(size) for size in (16, 32)}
    scaled = {size: scale_smooth(drawn[32], size) for size in (48, 256)}
    for size, rows in {**drawn, **scaled}.items():
        with open(f'resources/holvane-{size}.png', 'wb') as f:
            f.write(png(rows))
    print(len(out), 'bytes')


if __name__ == '__main__':
    main()
