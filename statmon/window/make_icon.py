#!/usr/bin/env python3
"""Writes qorsm.ico: the monitor's printer icon, 32x32 and 16x16, 32-bit."""
import struct
import sys


def picture(size):
    """Rows of (r, g, b, a), top first: a grey printer with a paper sheet and a green lamp."""
    s = size / 32.0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = x / s, y / s
            pixel = (0, 0, 0, 0)
            if 9 <= fx < 23 and 3 <= fy < 14:
                pixel = (250, 250, 250, 255)  # paper
                if 11 <= fx < 21 and int(fy) in (6, 9, 12):
                    pixel = (120, 120, 140, 255)  # printed lines
            if 3 <= fx < 29 and 13 <= fy < 26:
                edge = fx < 4 or fx >= 28 or fy < 14 or fy >= 25
                pixel = (60, 70, 90, 255) if edge else (150, 160, 180, 255)
                if 8 <= fx < 24 and 18 <= fy < 20:
                    pixel = (30, 35, 45, 255)  # paper slot
                if 24 <= fx < 27 and 21 <= fy < 24:
                    pixel = (40, 200, 80, 255)  # lamp
            row.append(pixel)
        rows.append(row)
    return rows


def dib(size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = picture(size)
    colour = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main(path):
    images = [dib(32), dib(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'qorsm.ico')
