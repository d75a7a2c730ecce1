#!/usr/bin/env python3
"""Seed inputs for the fuzz harnesses: seeds.py pngdecode|icc|replay OUT_DIR.

pngdecode: small PNGs of each kind the own decoder takes and a few it leaves to
libpng; icc: colour profiles found on the machine, alone and embedded in a PNG and
a JPEG header; replay: the files the size bound was written for (a 1,048,576 x 400
picture whose stream unpacks whole, headers of 32-bit sizes), too large to mutate.
"""
import glob
import os
import random
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, colour_type, rows, before=b"", depth=8, interlace=0, parts=1):
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, interlace)
    stream = rows if isinstance(rows, bytes) else zlib.compress(rows)
    step = max(1, (len(stream) + parts - 1) // parts)
    data = b"".join(chunk(b"IDAT", stream[i:i + step]) for i in range(0, len(stream), step))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + before + data + chunk(b"IEND", b"")


def random_rows(rng, width, height, channels):
    out = bytearray()
    for _ in range(height):
        out.append(rng.randrange(5))
        out.extend(rng.randrange(256) for _ in range(width * channels))
    return bytes(out)


def profiles():
    found = []
    for path in sorted(glob.glob("/usr/share/color/icc/**/*.ic[cm]", recursive=True)):
        with open(path, "rb") as f:
            data = f.read()
        if len(data) < 64 * 1024:
            found.append((os.path.basename(path), data))
    return found[:12]


def iccp(profile):
    return chunk(b"iCCP", b"profile\0\0" + zlib.compress(profile))


def jpeg_header(profile):
    marker = b"ICC_PROFILE\0\x01\x01" + profile
    return b"\xff\xd8" + b"\xff\xe2" + struct.pack(">H", len(marker) + 2) + marker + b"\xff\xd9"


def zeros_stream(count):
    packer = zlib.compressobj(9)
    block = bytes(1 << 20)
    out = []
    while count > 0:
        n = min(count, len(block))
        out.append(packer.compress(block[:n]))
        count -= n
    out.append(packer.flush())
    return b"".join(out)


def main():
    kind, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    rng = random.Random(7)
    files = {}
    if kind == "pngdecode":
        for colour_type, channels in ((0, 1), (2, 3), (4, 2), (6, 4)):
            for width, height in ((1, 1), (5, 3), (17, 9)):
                rows = random_rows(rng, width, height, channels)
                files[f"t{colour_type}-{width}x{height}.png"] = png(width, height, colour_type, rows, parts=2)
        rows = random_rows(rng, 8, 4, 3)
        files["palette-suggested.png"] = png(8, 4, 2, rows, before=chunk(b"PLTE", b"\x40" * 6))
        files["sixteen.png"] = png(4, 3, 2, random_rows(rng, 8, 3, 3), depth=16)
        files["interlaced.png"] = png(4, 4, 2, random_rows(rng, 4, 4, 3), interlace=1)
        for name, profile in profiles()[:2]:
            files[f"iccp-{name}.png"] = png(6, 2, 6, random_rows(rng, 6, 2, 4), before=iccp(profile))
    elif kind == "icc":
        for name, profile in profiles():
            files[name] = profile
            files[name + ".png"] = png(2, 2, 2, random_rows(rng, 2, 2, 3), before=iccp(profile))
            files[name + ".jpg"] = jpeg_header(profile)
    elif kind == "replay":
        files["wide-1048576x400.png"] = png(1 << 20, 400, 0, zeros_stream(400 * ((1 << 20) + 1)))
        for width, height in ((65536, 65536), (1 << 28, 1 << 28), (1073741825, 4), (0xFFFFFFFF, 1), (16000, 16001)):
            files[f"header-{width}x{height}.png"] = png(width, height, 6, bytes(64))
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
