"""Writes old.bin, new.bin, new.bin.patch (made by the stock zstd CLI with
old.bin as the reference prefix) and new.bin.md5 into a folder.

usage: make_patch_fixture.py FOLDER ZSTD
"""
import hashlib
import os
import random
import subprocess
import sys


def main():
    folder, zstd = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20240501)
    old = bytearray(rng.randbytes(1 << 20))
    new = bytearray(old)
    for _ in range(200):
        at = rng.randrange(len(new))
        new[at:at + 8] = rng.randbytes(8)
    new[1000:1000] = b"inserted text " * 50
    paths = {name: os.path.join(folder, name) for name in ("old.bin", "new.bin", "new.bin.patch")}
    with open(paths["old.bin"], "wb") as f:
        f.write(old)
    with open(paths["new.bin"], "wb") as f:
        f.write(new)
    subprocess.run([zstd, "-q", "-f", "--patch-from=" + paths["old.bin"], paths["new.bin"],
                    "-o", paths["new.bin.patch"]], check=True, stderr=subprocess.DEVNULL)
    with open(os.path.join(folder, "new.bin.md5"), "w") as f:
        f.write(hashlib.md5(new).hexdigest() + "\n")


if __name__ == "__main__":
    main()
