#!/usr/bin/env python3
"""Converts an uncompressed 8-bit (paletted) or 24-bit BMP, as Vorna writes them, to PNG.

Standard library only: python3 tools/bmp2png.py IN.bmp OUT.png [SCALE]
SCALE (a whole number, default 1) enlarges each pixel to SCALE x SCALE.
"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, 'rb').read()
    if data[:2] != b'BM':
        raise SystemExit(f'{path}: not a BMP file')
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if compression != 0 or bits not in (8, 24):
        raise SystemExit(f'{path}: only uncompressed 8- and 24-bit BMP files are read')
    palette = [data[54 + 4 * i:54 + 4 * i + 3][::-1] for i in range((offset - 54) // 4)]
    stride = (width * bits // 8 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        line = data[offset + y * stride:offset + y * stride + width * bits // 8]
        if bits == 8:
            row = b''.join(palette[p] for p in line)
        else:
            row = bytes(c for i in range(width) for c in line[3 * i:3 * i + 3][::-1])
        rows.append(row)
    if height > 0:
        rows.reverse()  # bottom-up lines
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))
    raw = b''.join(b'\x00' + row for row in rows)
    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    open(path, 'wb').write(png)


def main():
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    scale = int(sys.argv[3]) if len(sys.argv) == 4 else 1
    width, height, rows = read_bmp(sys.argv[1])
    if scale > 1:
        rows = [bytes(c for i in range(width) for c in row[3 * i:3 * i + 3] * scale)
                for row in rows for _ in range(scale)]
        width, height = width * scale, height * scale
    write_png(sys.argv[2], width, height, rows)


if __name__ == '__main__':
    main()
