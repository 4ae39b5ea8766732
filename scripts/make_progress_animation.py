#!/usr/bin/env python3
"""Draws the scan progress animation (a disc turning under a reading light)
and writes it as a looping animated GIF: program/shell/art/DRAVIK.anm.

The encoder writes plain LZW codes with a clear code every 250 pixels, so
the code size never grows: simple, and small enough for 12 frames of 64 x 64.
"""
import math
import struct
import sys

SIDE = 64
FRAMES = 12
DELAY_CS = 8  # hundredths of a second per frame
BACKGROUND = (0xEF, 0xEF, 0xEF)  # the dialog's face colour
SAMPLES = 4


def disc_colour(x, y, turn):
    cx = cy = SIDE / 2
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r > 29.5 or r < 4.5:
        return None
    if r < 9.5:
        return (0x9C, 0xA3, 0xAE) if r > 7.5 else (0xC6, 0xCB, 0xD3)
    angle = math.atan2(dy, dx) - turn
    # A silver disc with two rainbow glints that turn with it.
    glint = (math.cos(2 * angle) + 1) / 2
    glint = glint ** 6
    base = 0.80 + 0.08 * (r / 30)
    hue = (angle / (2 * math.pi)) % 1.0
    tint = (0.5 + 0.5 * math.cos(2 * math.pi * hue), 0.5 + 0.5 * math.cos(2 * math.pi * (hue + 1 / 3)),
            0.5 + 0.5 * math.cos(2 * math.pi * (hue + 2 / 3)))
    rgb = []
    for t in tint:
        v = base * (1 - 0.45 * glint) + glint * (0.55 + 0.45 * t)
        rgb.append(int(max(0, min(1, v)) * 255))
    if r > 28.3:
        rgb = [int(c * 0.62) for c in rgb]
    return tuple(rgb)


def frame_pixels(index):
    turn = 2 * math.pi * index / FRAMES
    pixels = []
    for y in range(SIDE):
        for x in range(SIDE):
            acc = [0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = disc_colour(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES, turn)
                    c = c or BACKGROUND
                    for i in range(3):
                        acc[i] += c[i]
            n = SAMPLES * SAMPLES
            pixels.append(tuple((a // n) & 0xF8 for a in acc))
    return pixels


def lzw_plain(indices):
    clear, end = 256, 257
    codes = []
    for start in range(0, len(indices), 250):
        codes.append(clear)
        codes.extend(indices[start:start + 250])
    codes.append(end)
    out, bits, nbits = bytearray(), 0, 0
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = bytearray()
    for start in range(0, len(out), 255):
        chunk = out[start:start + 255]
        blocks.append(len(chunk))
        blocks += chunk
    blocks.append(0)
    return bytes(blocks)


def main(path):
    frames = [frame_pixels(i) for i in range(FRAMES)]
    palette = sorted({p for f in frames for p in f})
    if len(palette) > 256:
        sys.exit(f"{len(palette)} colours do not fit one palette")
    palette += [(0, 0, 0)] * (256 - len(palette))
    lookup = {c: i for i, c in enumerate(palette)}
    gif = bytearray(b"GIF89a")
    gif += struct.pack("<HHBBB", SIDE, SIDE, 0xF7, 0, 0)  # global table of 256 colours
    for c in palette:
        gif += bytes(c)
    gif += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop without end
    for f in frames:
        gif += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x04, DELAY_CS, 0, 0)
        gif += struct.pack("<BHHHHB", 0x2C, 0, 0, SIDE, SIDE, 0)
        gif.append(8)
        gif += lzw_plain([lookup[p] for p in f])
    gif.append(0x3B)
    with open(path, "wb") as out:
        out.write(gif)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "program/shell/art/DRAVIK.anm")
