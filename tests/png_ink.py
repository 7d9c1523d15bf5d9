"""Says how much of a rendered PNG is drawn: the share of pixels that are
neither transparent nor white, and the number of colours. Fails below one
pixel in a thousand or with fewer than three colours (an empty page)."""
import struct
import sys
import zlib


def pixels(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError("expected 8-bit RGB or RGBA, not interlaced")
    channels = 3 if colour == 2 else 4
    raw, stride, rows = zlib.decompress(idat), width * channels, []
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if channels == 4 else
                    b"".join(line[i:i + 3] + b"\xff" for i in range(0, stride, 3)))
        prev = line
    return width, height, rows


def main():
    width, height, rows = pixels(sys.argv[1])
    colours, ink = set(), 0
    for row in rows:
        for i in range(0, len(row), 4):
            px = row[i:i + 4]
            colours.add(px)
            if px[3] != 0 and px[:3] != b"\xff\xff\xff":
                ink += 1
    share = ink / (width * height)
    print(f"{width}x{height}, {share:.1%} drawn, {len(colours)} colours")
    sys.exit(0 if share >= 0.001 and len(colours) >= 3 else 1)


main()
