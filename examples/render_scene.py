"""Renders a scene file's picture with the Python module lumek and writes it
as a PNG.

    python3 render_scene.py SCENE.json OUT.png [WIDTH HEIGHT [FRAME]]
"""
import struct
import sys
import zlib

import lumek


def png_bytes(picture):
    """A (height, width, 3) uint8 array as a PNG file's bytes."""
    height, width, _ = picture.shape
    # Each row starts with its filter type, 0 (none).
    rows = b"".join(b"\0" + picture[y].tobytes() for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (3, 5, 6):
        print("usage: render_scene.py SCENE.json OUT.png [WIDTH HEIGHT [FRAME]]", file=sys.stderr)
        return 2
    try:
        scene = lumek.Scene.from_file(argv[1])
        if len(argv) >= 5:
            width, height = int(argv[3]), int(argv[4])
        else:
            width, height = scene.width, scene.height
        frame = int(argv[5]) if len(argv) == 6 else 0
        picture = scene.render(width, height, frame=frame)  # every usable processor
    except ValueError as e:
        print(e, file=sys.stderr)
        return 1
    with open(argv[2], "wb") as out:
        out.write(png_bytes(picture))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
