#!/usr/bin/env python3
"""Writes this case's pictures: the sprite pictures under files/ and the
scene they make under expected/, composed here on the CPU."""
import struct
import zlib

W, H = 160, 120


def save(path, w, h, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def ground(x, y):
    return (x * 255 // 159, y * 255 // 119, 0x40, 255)


def red(x, y):
    return (0xD0, 0x20, 0x20, 255)


def glass(x, y):
    return (0x20, 0x60, 0xF0, 64 + x * 6)


def glow(x, y):
    return (0x40, 0x40, 0x40, 255)


# (picture, size, centre, blend row, sprite alpha), back to front.
SPRITES = [
    (glow, (16, 16), (80, 100), 2, 255),
    (glass, (30, 20), (100, 75), 1, 255),
    (red, (20, 16), (130, 30), 1, 128),
    (red, (20, 16), (40, 30), 1, 255),
]


def blend(row, src, dst, alpha):
    a = src[3] / 255 * alpha / 255
    out = []
    for c, d in zip(src[:3], dst[:3]):
        c, d = c / 255, d / 255
        r = c * a + d * (1 - a) if row == 1 else c * a + d
        out.append(round(min(max(r, 0.0), 1.0) * 255))
    return tuple(out) + (255,)


def main():
    save("files/bg.png", W, H, ground)
    save("files/red.png", 20, 16, red)
    save("files/glass.png", 30, 20, glass)
    save("files/glow.png", 16, 16, glow)
    scene = [[ground(x, y) for x in range(W)] for y in range(H)]
    for picture, (w, h), (cx, cy), row, alpha in SPRITES:
        for y in range(h):
            for x in range(w):
                px, py = cx - w // 2 + x, cy - h // 2 + y
                scene[py][px] = blend(row, picture(x, y), scene[py][px], alpha)
    save("expected/scene.png", W, H, lambda x, y: scene[y][x])


main()
