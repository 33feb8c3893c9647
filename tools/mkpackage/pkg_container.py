"""The package container (magic, count, then length + CRC-32 + 7z archive for
each sub-package) and the 7z archives inside it."""

import os
import struct
import tempfile
import zlib

from pkg_common import PackageError, run_tool

MAGIC = b"zzd."
HEADER = struct.Struct("<4sH")
SUB_HEADER = struct.Struct("<II")
LIMIT = 2 ** 32    # the updater takes sizes as 32-bit values

# LZMA behind BCJ2 (whose two address streams get LZMA tuned for 32-bit
# values); the updater's reader decodes exactly these and Copy. No times,
# so that the same input gives the same archive. The 16 MB dictionary is
# what the 32-bit updater's decoder holds in memory however large the
# payload grows.
ARCHIVE_OPTIONS = [
    "-t7z", "-mx=9", "-m0=BCJ2", "-m1=LZMA:d=24",
    "-m2=LZMA:d=19:lc=0:lp=2", "-m3=LZMA:d=19:lc=0:lp=2",
    "-mb0:1", "-mb0s1:2", "-mb0s2:3", "-mtm-", "-mtc-", "-mta-", "-scsUTF-8",
]
ALLOWED_METHODS = {"LZMA", "BCJ2", "Copy"}

# A 7z archive of no items: the start header with an empty next header.
_EMPTY_TAIL = struct.pack("<QQI", 0, 0, 0)
EMPTY_ARCHIVE = (b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(_EMPTY_TAIL))
                 + _EMPTY_TAIL)


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def make_archive(folder, names, archive_path):
    """Packs the listed files of folder ("/"-separated relative names) into a
    7z archive holding only file items, stored with "/" separators, which a
    Windows reader hands out with "\\"."""
    if os.path.exists(archive_path):
        os.remove(archive_path)
    if not names:
        with open(archive_path, "wb") as stream:
            stream.write(EMPTY_ARCHIVE)
        return
    list_file = archive_path + ".list"
    with open(list_file, "w", encoding="utf-8", newline="\n") as stream:
        for name in names:
            stream.write(name + "\n")
    try:
        run_tool(["7zz", "a"] + ARCHIVE_OPTIONS + [os.path.abspath(archive_path),
                                                   "@" + os.path.abspath(list_file)],
                 "packing %s" % os.path.basename(archive_path), cwd=folder)
    finally:
        os.remove(list_file)
    # The list-file reader may drop items silently; what went in must be all.
    stored = [item["Path"] for item in list_archive(archive_path)]
    if sorted(stored) != sorted(names):
        raise PackageError("7zz stored other names than asked for in %s"
                           % archive_path)


def list_archive(archive_path):
    """The items of a 7z archive, each a dict of 7zz's technical listing."""
    output = run_tool(["7zz", "l", "-slt", "-sccUTF-8", archive_path],
                      "listing %s" % archive_path).decode("utf-8", "replace")
    _, _, body = output.partition("\n----------\n")
    items = []
    current = {}
    for line in body.splitlines():
        if not line.strip():
            if current:
                items.append(current)
                current = {}
            continue
        key, separator, value = line.partition(" = ")
        if separator:
            current[key.strip()] = value
    if current:
        items.append(current)
    return [item for item in items if "Path" in item]


def check_archive_items(items, what):
    """Refuses items a Windows extractor would put in the wrong place."""
    for item in items:
        name = item["Path"]
        parts = name.split("/")
        if "\\" in name:
            raise PackageError("%s: item %r holds a backslash, which a Windows "
                               "reader does not take as a separator" % (what, name))
        if name.startswith("/") or any(part in ("", ".", "..") for part in parts):
            raise PackageError("%s: item %r is not a plain relative path" % (what, name))
        if item.get("Folder") == "+" or item.get("Attributes", "").startswith("D"):
            raise PackageError("%s: item %r is a folder entry; the updater's "
                               "extractor would write it as a file" % (what, name))
        for method in item.get("Method", "").split():
            if method.split(":")[0] not in ALLOWED_METHODS:
                raise PackageError("%s: item %r uses the method %s, which the "
                                   "updater does not decode" % (what, name, method))


def extract_archive(data, folder, what):
    """Unpacks a 7z archive held in memory into folder, as the updater does."""
    with tempfile.NamedTemporaryFile(suffix=".7z", delete=False) as stream:
        stream.write(data)
        archive_path = stream.name
    try:
        items = list_archive(archive_path)
        check_archive_items(items, what)
        if items:
            run_tool(["7zz", "x", "-y", "-o" + folder, archive_path],
                     "unpacking %s" % what)
        return [item["Path"] for item in items]
    finally:
        os.remove(archive_path)


def write_container(out_path, archive_paths, count=None):
    """Writes the container around the given archive files."""
    count = len(archive_paths) if count is None else count
    parts = [HEADER.pack(MAGIC, count)]
    for path in archive_paths:
        with open(path, "rb") as stream:
            data = stream.read()
        parts.append(SUB_HEADER.pack(len(data), crc32(data)))
        parts.append(data)
    total = sum(len(part) for part in parts)
    if total >= LIMIT:
        raise PackageError("the package would be %d bytes; the format ends "
                           "below 4 GiB" % total)
    with open(out_path, "wb") as stream:
        for part in parts:
            stream.write(part)


class Container:
    def __init__(self, count, subpackages, spans):
        self.count = count
        self.subpackages = subpackages    # the first two sub-packages' bytes
        self.spans = spans                # (offset, length, stored CRC) of each


def _sub_package(data, offset, what):
    size = len(data)
    if size < offset + SUB_HEADER.size:
        raise PackageError("invalid file size: %d" % size)
    length, stored_crc = SUB_HEADER.unpack_from(data, offset)
    start = offset + SUB_HEADER.size
    if start + length > size:
        raise PackageError("invalid file size: %d, sub package size: %d" % (size, length))
    body = data[start:start + length]
    if crc32(body) != stored_crc:
        raise PackageError("CRC verification failed for %s (stored %08x, computed "
                           "%08x)" % (what, stored_crc, crc32(body)))
    return body, (start, length, stored_crc)


def read_container(data):
    """Checks a package by the updater's rules and returns its first two
    sub-packages; a PackageError names what the updater would log."""
    if len(data) >= LIMIT:
        raise PackageError("invalid file size: %d" % len(data))
    head = data[:HEADER.size].ljust(HEADER.size, b"\0")
    magic, count = HEADER.unpack(head)
    if magic != MAGIC:
        raise PackageError("patch package magic number not match")
    if count < 2:
        raise PackageError("invalid package count: %d" % count)
    first, first_span = _sub_package(data, HEADER.size, "sub-package 1")
    second, second_span = _sub_package(data, first_span[0] + first_span[1],
                                       "sub-package 2")
    return Container(count, [first, second], [first_span, second_span])
