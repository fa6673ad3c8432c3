#!/usr/bin/env python3
"""Draws the exclamation picture of the New confirmation and writes it as
resources/exclamation.gif: 32x32, GIF89a, a red exclamation mark with a brown
shadow on a transparent ground; palette white (transparent), 980000, C80000,
604020. Run from the repository's root: python3 tools/gen_exclamation_gif.py
"""
import struct

SIZE = 32
TRANSPARENT, DARK_RED, RED, BROWN = 0, 1, 2, 3
PALETTE = [(255, 255, 255), (0x98, 0, 0), (0xC8, 0, 0), (0x60, 0x40, 0x20)]


def mark(x, y):
    """True inside the exclamation mark: a bar narrowing downwards, and a dot."""
    if 3 <= y <= 20:
        half = 4.5 - (y - 3) * 2.2 / 17
        return abs(x + 0.5 - 16) <= half
    if 24 <= y <= 28:
        return (x + 0.5 - 16) ** 2 + (y + 0.5 - 26) ** 2 <= 7.5
    return False


def pixels():
    out = []
    for y in range(SIZE):
        for x in range(SIZE):
            if mark(x, y):
                out.append(DARK_RED if mark(x + 2, y) is False else RED)
            elif mark(x - 2, y - 2):
                out.append(BROWN)
            else:
                out.append(TRANSPARENT)
    return out


def lzw(data, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes, bits, buffer, nbits = [], 0, 0, 0
    out = bytearray()

    def emit(code, width):
        nonlocal buffer, nbits
        buffer |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(buffer & 0xFF)
            buffer >>= 8
            nbits -= 8

    table = {(i,): i for i in range(clear)}
    width, next_code = min_code_size + 1, end + 1
    emit(clear, width)
    current = ()
    for value in data:
        candidate = current + (value,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current], width)
        if next_code < 4096:
            table[candidate] = next_code
            if next_code == (1 << width) and width < 12:
                width += 1
            next_code += 1
        else:
            emit(clear, width)
            table = {(i,): i for i in range(clear)}
            width, next_code = min_code_size + 1, end + 1
        current = (value,)
    emit(table[current], width)
    emit(end, width)
    if nbits:
        out.append(buffer & 0xFF)
    return bytes(out)


def main():
    data = lzw(pixels(), 2)
    blocks = b''.join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    gif = b'GIF89a' + struct.pack('<HHBBB', SIZE, SIZE, 0x81, 0, 0)
    gif += b''.join(bytes(c) for c in PALETTE)
    gif += b'\x21\xF9\x04\x01\x00\x00' + bytes([TRANSPARENT]) + b'\x00'  # transparency
    gif += b'\x2C' + struct.pack('<HHHHB', 0, 0, SIZE, SIZE, 0)
    gif += bytes([2]) + blocks + b'\x00' + b'\x3B'
    with open('resources/exclamation.gif', 'wb') as f:
        f.write(gif)
    print(len(gif), 'bytes')


if __name__ == '__main__':
    main()
