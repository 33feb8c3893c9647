"""patch.exe -apply under Wine against the stock `zstd -d --patch-from` on a
100 MB file, both rebuilding the same new file from the same patch."""
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import benchlib  # noqa: E402


def main():
    folder = tempfile.mkdtemp(prefix="zemora-bench-patch-")
    rng = random.Random(100)
    size = 100 * 1000 * 1000
    parts, total = [], 0
    while total < size:
        piece = rng.randbytes(rng.randrange(4000, 200000)) if rng.random() < 0.6 else \
            bytes(rng.choice(b"\x00\x00\xff.text_data ") for _ in range(1024)) * rng.randrange(1, 30)
        parts.append(piece)
        total += len(piece)
    old = bytearray(b"".join(parts)[:size])
    new = bytearray(old)
    for _ in range(20000):
        at = rng.randrange(len(new) - 32)
        new[at:at + 16] = rng.randbytes(16)
    paths = {n: os.path.join(folder, n) for n in ("old.bin", "new.bin", "new.patch", "ours.bin", "theirs.bin")}
    with open(paths["old.bin"], "wb") as f:
        f.write(old)
    with open(paths["new.bin"], "wb") as f:
        f.write(new)
    subprocess.run(["zstd", "-q", "-f", "--patch-from=" + paths["old.bin"], paths["new.bin"],
                    "-o", paths["new.patch"]], check=True, stderr=subprocess.DEVNULL)
    env = benchlib.wine_env()
    ours_cmd = ["wine", os.path.join(benchlib.BIN, "patch.exe"), "-apply",
                benchlib.win_path(paths["old.bin"]), benchlib.win_path(paths["new.patch"]),
                benchlib.win_path(paths["ours.bin"])]
    theirs_cmd = ["zstd", "-q", "-f", "-d", "--patch-from=" + paths["old.bin"], paths["new.patch"],
                  "-o", paths["theirs.bin"]]
    subprocess.run(ours_cmd, env=env, check=True, stderr=subprocess.DEVNULL)
    with open(paths["ours.bin"], "rb") as f:
        if f.read() != bytes(new):
            raise SystemExit("patch.exe rebuilt a different file")
    ours = benchlib.timed(ours_cmd, repeat=7, env=env)
    baseline = benchlib.timed(theirs_cmd, repeat=7)
    benchlib.result("patch_apply_100MB", ours, baseline, "<=1.25")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
