"""2,000 file operations (10 % patches of 1-5 MB files through patch.exe, the
rest new, delete and move) applied by ApplyAllFileOps with the extra workers
that idle processors give (N - 1), against the calling thread alone, in the
same run. The count the updater measures on this machine right now (after its
2 s sample, outside the clock) is reported too: on a busy machine it is lower."""
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import benchlib  # noqa: E402

UPDATE, NEW, DELETE, MOVE = 1, 2, 3, 5
COUNT = 2000
FOLDERS = 20


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def program_like(rng, size):
    """Bytes that compress somewhat, like a program or a library."""
    parts = []
    total = 0
    while total < size:
        piece = rng.randbytes(rng.randrange(2000, 40000)) if rng.random() < 0.6 else \
            bytes(rng.choice(b"\x00\x00\x00\xff.text_data ") for _ in range(512)) * rng.randrange(1, 20)
        parts.append(piece)
        total += len(piece)
    return b"".join(parts)[:size]


def make_fixture(root):
    """base/, source/ (payload) and ops.txt; returns the staging template list."""
    rng = random.Random(2000)
    base, source = os.path.join(root, "base"), os.path.join(root, "source")
    ops, staged = [], []
    patches = COUNT // 10
    rest = COUNT - patches
    for i in range(patches):
        rel = f"d{i % FOLDERS}\\big{i}.bin"
        old = bytearray(program_like(rng, rng.randrange(1 << 20, 5 << 20)))
        new = bytearray(old)
        for _ in range(200):
            at = rng.randrange(len(new) - 32)
            new[at:at + 12] = rng.randbytes(12)
        old_path = os.path.join(base, rel.replace("\\", "/"))
        new_path = os.path.join(root, "new.tmp")
        write(old_path, old)
        write(new_path, new)
        patch_path = os.path.join(source, rel.replace("\\", "/") + ".patch")
        os.makedirs(os.path.dirname(patch_path), exist_ok=True)
        subprocess.run(["zstd", "-q", "-f", "--patch-from=" + old_path, new_path, "-o", patch_path],
                       check=True, stderr=subprocess.DEVNULL)
        ops.append((UPDATE, rel, "", hashlib.md5(new).hexdigest()))
    os.remove(os.path.join(root, "new.tmp"))
    for i in range(rest):
        kind = (NEW, DELETE, MOVE)[i % 3]
        folder = f"d{i % FOLDERS}"
        data = rng.randbytes(rng.randrange(1000, 60000))
        if kind == NEW:
            rel = f"{folder}\\new{i}.dat"
            write(os.path.join(source, rel.replace("\\", "/")), data)
            ops.append((NEW, rel, "", ""))
        elif kind == DELETE:
            rel = f"{folder}\\gone{i}.dat"
            write(os.path.join(base, rel.replace("\\", "/")), data)
            staged.append(rel)
            ops.append((DELETE, rel, "", ""))
        else:
            rel = f"{folder}\\from{i}.dat"
            write(os.path.join(base, rel.replace("\\", "/")), data)
            staged.append(rel)
            ops.append((MOVE, f"moved{i % 7}\\to{i}.dat", rel, ""))
    rng.shuffle(ops)
    with open(os.path.join(root, "ops.txt"), "w") as f:
        for op in ops:
            f.write("\t".join(str(x) for x in op) + "\n")
    with open(os.path.join(root, "staged.txt"), "w") as f:
        f.write("\n".join(staged) + "\n")


def reset_staging(root):
    staging = os.path.join(root, "staging")
    shutil.rmtree(staging, ignore_errors=True)
    for i in range(FOLDERS):
        os.makedirs(os.path.join(staging, f"d{i}"))
    with open(os.path.join(root, "staged.txt")) as f:
        for rel in f.read().split():
            rel = rel.replace("\\", "/")
            shutil.copyfile(os.path.join(root, "base", rel), os.path.join(staging, rel))


def run(root, workers, env):
    reset_staging(root)
    folder = lambda name: benchlib.win_path(os.path.join(root, name)) + "\\"  # noqa: E731
    command = ["wine", os.path.join(benchlib.BIN, "apply_file_ops.exe"),
               benchlib.win_path(os.path.join(root, "ops.txt")),
               benchlib.win_path(os.path.join(benchlib.BIN, "patch.exe")),
               folder("base"), folder("staging"), folder("source"), workers]
    done = subprocess.run(command, env=env, capture_output=True, text=True)
    m = re.search(r"workers=(\d+) seconds=([\d.]+) ok=(\d)", done.stdout)
    if done.returncode != 0 or not m or m.group(3) != "1":
        raise SystemExit(f"apply_file_ops failed: {done.stdout} {done.stderr}")
    return int(m.group(1)), float(m.group(2))


def main():
    root = os.path.join(tempfile.gettempdir(), "zemora-bench-fileops")
    if not os.path.exists(os.path.join(root, "staged.txt")):
        shutil.rmtree(root, ignore_errors=True)
        make_fixture(root)
    env = benchlib.wine_env()
    idle_workers = max(os.cpu_count() - 1, 0)
    measured, _ = run(root, "auto", env)
    ours, alone = [], []
    for _ in range(3):
        ours.append(run(root, str(idle_workers), env)[1])
        alone.append(run(root, "0", env)[1])
    ours.sort()
    alone.sort()
    print(f"extra workers measured now: {measured}", file=sys.stderr)
    benchlib.result(f"file_ops_2000_w{idle_workers + 1}", ours[1], alone[1], "<=0.6")
    shutil.rmtree(os.path.join(root, "staging"), ignore_errors=True)

if __name__ == "__main__":
    main()
