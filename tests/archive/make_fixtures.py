#!/usr/bin/env python3
"""Makes the 7z archives the archive tests extract, from deterministic inputs.

Usage: make_fixtures.py OUT_FOLDER

OUT_FOLDER receives:
  tree/, small/          the inputs, which the tests compare extracted files to
  <method>.7z            tree/ packed with each method the reader supports
  small_<method>.7z      small/ packed, the seeds of the mutation test
  in_use.7z              one item "probe.dll"
  crafted_<case>.7z      archives 7zz would not write (unsafe names, an item
                         without a name, a folder after its files), made by
                         the small writer below
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

# The methods of the incremental packages (as the package builder packs them),
# then the other decoders the reader carries.
PACKAGE_OPTIONS = ["-mx=9", "-m0=BCJ2", "-m1=LZMA:d=26", "-m2=LZMA:d=19:lc=0:lp=2",
                   "-m3=LZMA:d=19:lc=0:lp=2", "-mb0:1", "-mb0s1:2", "-mb0s2:3"]
METHODS = {
    "lzma_bcj2": PACKAGE_OPTIONS,
    "lzma2": ["-m0=LZMA2"],
    "copy": ["-m0=Copy", "-mhc=off"],
    "bcj_lzma": ["-m0=BCJ", "-m1=LZMA"],
    "delta_lzma": ["-m0=Delta:4", "-m1=LZMA"],
}
FIXED_TIME = 1262304000  # 2010-01-01


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def x86_like(rng, size):
    """Bytes with many call and jump opcodes, which BCJ and BCJ2 convert."""
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.2:
            out += bytes([rng.choice((0xE8, 0xE9))]) + struct.pack("<i", rng.randrange(-4096, 4096))
        else:
            out += bytes(rng.choice((0x55, 0x89, 0xE5, 0x8B, 0x45, 0x08, 0xC3)) for _ in range(3))
    return bytes(out[:size])


def make_inputs(out):
    rng = random.Random(7)
    tree = os.path.join(out, "tree")
    write(os.path.join(tree, "config", "setup.xml"),
          b'<?xml version="1.0"?>\r\n<setup version="2"><file name="a"/></setup>\r\n')
    write(os.path.join(tree, "bin", "program.exe"), x86_like(rng, 96 * 1024))
    words = [b"flash", b"rom", b"phone", b"update", b"\r\n", b" "]
    write(os.path.join(tree, "bin", "sub", "data.bin"),
          b"".join(rng.choice(words) for _ in range(120000)))
    write(os.path.join(tree, "empty.txt"), b"")
    write(os.path.join(tree, "config", "\u00fcn\u00efcode-\u540d.txt"), "wide \u540d".encode("utf-8"))
    os.makedirs(os.path.join(tree, "empty_folder"), exist_ok=True)

    small = os.path.join(out, "small")
    write(os.path.join(small, "a.txt"), b"".join(rng.choice(words) for _ in range(300)))
    write(os.path.join(small, "b", "c.bin"), x86_like(rng, 2048))
    write(os.path.join(small, "empty.txt"), b"")

    write(os.path.join(out, "probe", "probe.dll"), b"the new probe\r\n")
    for root, dirs, files in os.walk(out):
        for name in dirs + files:
            os.utime(os.path.join(root, name), (FIXED_TIME, FIXED_TIME))


def pack(folder, archive, options):
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run(["7zz", "a", "-t7z", "-mtm-", "-mtc-", "-mta-", "-scsUTF-8"] + options
                   + [archive, "."], cwd=folder, check=True, stdout=subprocess.DEVNULL)


# A minimal 7z writer: one Copy folder, plain header, names stored with "/"
# (which a Windows reader reports as "\"). Items are (name, bytes); bytes None
# is a folder entry. names=False leaves the names out altogether.
def number(value):
    for extra in range(8):
        if value < 1 << (7 * (extra + 1)):
            high = (0xFF << (8 - extra)) & 0xFF
            return bytes([high | (value >> (8 * extra))]) + (value & ((1 << (8 * extra)) - 1)).to_bytes(extra, "little")
    return b"\xff" + value.to_bytes(8, "little")


def bits(flags):
    out = bytearray((len(flags) + 7) // 8)
    for i, flag in enumerate(flags):
        if flag:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def prop(kind, payload):
    return bytes([kind]) + number(len(payload)) + payload


def crafted_7z(items, names=True):
    streams = [data for _, data in items if data]
    packed = b"".join(streams)
    header = bytearray(b"\x01")
    if streams:
        header += b"\x04\x06" + number(0) + number(1) + b"\x09" + number(len(packed)) + b"\x00"
        header += b"\x07\x0b" + number(1) + b"\x00" + number(1) + b"\x01\x00"
        header += b"\x0c" + number(len(packed)) + b"\x00"
        header += b"\x08\x0d" + number(len(streams))
        if len(streams) > 1:
            header += b"\x09" + b"".join(number(len(s)) for s in streams[:-1])
        header += b"\x0a\x01" + b"".join(struct.pack("<I", zlib.crc32(s)) for s in streams)
        header += b"\x00\x00"
    header += b"\x05" + number(len(items))
    empty = [not data for _, data in items]
    if any(empty):
        header += prop(0x0E, bits(empty))
        header += prop(0x0F, bits([data == b"" for _, data in items if not data]))
    if names:
        header += prop(0x11, b"\x00" + b"".join(n.encode("utf-16-le") + b"\x00\x00" for n, _ in items))
    header += b"\x00\x00"
    start = struct.pack("<QQI", len(packed), len(header), zlib.crc32(header))
    return b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(start)) + start + packed + bytes(header)


CRAFTED = {
    "plain": ([("good.txt", b"good"), ("d/inside.txt", b"inside")], True),
    "parent": ([("good.txt", b"good"), ("../../x", b"evil")], True),
    "inner_parent": ([("good.txt", b"good"), ("a/../../x", b"evil")], True),
    "drive": ([("good.txt", b"good"), ("C:/x", b"evil")], True),
    "root": ([("good.txt", b"good"), ("/x", b"evil")], True),
    "stream": ([("good.txt", b"good"), ("x:y", b"evil")], True),
    "device": ([("good.txt", b"good"), ("d/CON.txt", b"evil")], True),
    "dots": ([("good.txt", b"good"), ("... /x", b"evil")], True),
    # A name this long comes back without a path property.
    "nameless": ([("good.txt", b"good"), ("n" * 16384, b"evil")], True),
    "no_names": ([(None, b"evil")], False),
    "folder_after_files": ([("d/inside.txt", b"inside"), ("d", None)], True),
    "file_over_folder": ([("d/inside.txt", b"inside"), ("d", b"evil")], True),
    "empty_folder": ([("e", None), ("e/f", None), ("z.txt", b"")], True),
}


def main():
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    make_inputs(out)
    for method, options in METHODS.items():
        pack(os.path.join(out, "tree"), os.path.join(out, method + ".7z"), options)
        pack(os.path.join(out, "small"), os.path.join(out, "small_" + method + ".7z"), options)
    pack(os.path.join(out, "probe"), os.path.join(out, "in_use.7z"), ["-m0=LZMA2"])
    for case, (items, names) in CRAFTED.items():
        write(os.path.join(out, "crafted_" + case + ".7z"), crafted_7z(items, names))


if __name__ == "__main__":
    main()
