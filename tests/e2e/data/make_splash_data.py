#!/usr/bin/env python3
"""Writes the splash pictures of the end-to-end tests, stamped with Python's
own MD5 (hashlib), so that the tests never rest on the program's digest code.

    python3 tests/e2e/data/make_splash_data.py

A stamp is the MD5 of the body (all but the last 512 bytes) followed by the
three salts; it sits at offset 158 of the 512-byte trailer. Each file here
gets a trailer appended, so its picture data stays untouched.
"""
import hashlib
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))

TRAILER = 512
STAMP_AT = 158
SALTS = (b"kavudeno 15720846391"
         + b"rafuli 15092736418"
         + bytes([0x3A, 0x91, 0x5C, 0x07, 0xE2, 0x4D, 0xB8, 0x16, 0x6F, 0xC3, 0x28, 0x9A]))


def stamped(body):
    trailer = bytearray(TRAILER)
    trailer[STAMP_AT:STAMP_AT + 16] = hashlib.md5(body + SALTS).digest()
    return body + bytes(trailer)


def rle8_bmp(width, height, index_at, palette):
    """An 8-bit run-length coded BMP (bottom-up): small even when large."""
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        x = 0
        while x < width:
            colour = index_at(x, y)
            run = 1
            while x + run < width and run < 255 and index_at(x + run, y) == colour:
                run += 1
            rows += bytes([run, colour])
            x += run
        rows += b"\x00\x00"          # end of line
    rows[-2:] = b"\x00\x01"          # end of bitmap
    pal = b"".join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(rows), 2835, 2835,
                       len(palette), 0)
    head = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    return head + info + pal + bytes(rows)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    print(name, len(data), hashlib.md5(data).hexdigest())


def main():
    with open(os.path.join(ROOT, "sample", "splash.bmp"), "rb") as f:
        write("splash-480x240-stamped.bmp", stamped(f.read()))

    # Larger than the 1280 x 1024 test screen: tiles of 100 pixels.
    palette = [(0x10 + 0x0C * i, 0x30 + 0x08 * i, 0x80 + 0x06 * i) for i in range(16)]
    big = rle8_bmp(1400, 1100, lambda x, y: (x // 100 + y // 100) % 16, palette)
    write("splash-1400x1100-stamped.bmp", stamped(big))

    text = b"This Splash.bmp is not a picture, only a stamped text file.\r\n" * 40
    write("not-a-picture-stamped.bmp", stamped(text))


if __name__ == "__main__":
    main()
