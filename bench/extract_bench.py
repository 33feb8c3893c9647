"""The 7z extractor (Wine included) unpacking a ~100 MB LZMA2 archive held in
memory, against native `7zz x` of the same archive; with peak memory, which
must stay well below archive + largest item (no item is held whole)."""
import filecmp
import os
import random
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
import benchlib  # noqa: E402

DATA = os.path.join(benchlib.BUILD, "bench_data", "extract")
ARCHIVE = os.path.join(DATA, "payload.7z")
LARGEST_ITEM = 48 << 20


def make_payload(folder):
    """About 190 MB in 300 files: word text that LZMA packs well, random bytes
    that it can't, and one large file of both."""
    rng = random.Random(11)
    words = ["".join(rng.choices("abcdefghijklmnopqrstuvwxyz", k=rng.randint(2, 10))) for _ in range(2000)]

    def text(size):
        out = " ".join(rng.choices(words, k=size // 6 + 1)).encode()
        return out[:size]

    def write(name, data):
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    write("big/large.bin", text(LARGEST_ITEM // 2) + os.urandom(LARGEST_ITEM // 2))
    for i in range(299):
        size = rng.randint(64 << 10, 900 << 10)
        data = text(size) if i % 3 else os.urandom(size)
        write(f"part{i % 7}/file{i:03d}.dat", data)


def ensure_archive():
    if os.path.exists(ARCHIVE):
        return
    source = os.path.join(DATA, "source")
    shutil.rmtree(source, ignore_errors=True)
    make_payload(source)
    subprocess.run(["7zz", "a", "-t7z", "-m0=LZMA2", "-mmt=2", ARCHIVE + ".part", "."], cwd=source,
                   check=True, stdout=subprocess.DEVNULL)
    os.replace(ARCHIVE + ".part", ARCHIVE)
    shutil.rmtree(source)


def run_measured(command, env=None):
    """Wall time and peak resident size (MiB) of one run of `command`."""
    start = time.perf_counter()
    child = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    output = child.stdout.read().decode(errors="replace")
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise SystemExit(f"benchmark command failed ({child.returncode}): {command}\n{output}")
    return elapsed, usage.ru_maxrss / 1024.0, output


def median_run(command, out, env=None, repeat=3):
    runs = []
    for _ in range(repeat):
        shutil.rmtree(out, ignore_errors=True)
        runs.append(run_measured(command, env))
    runs.sort(key=lambda r: r[0])
    return runs[len(runs) // 2], max(r[1] for r in runs)


def same_trees(a, b):
    compare = filecmp.dircmp(a, b)
    if compare.left_only or compare.right_only or compare.diff_files or compare.funny_files:
        return False
    _, mismatch, errors = filecmp.cmpfiles(a, b, compare.common_files, shallow=False)
    return not mismatch and not errors and all(same_trees(os.path.join(a, d), os.path.join(b, d))
                                               for d in compare.common_dirs)


def main():
    os.makedirs(DATA, exist_ok=True)
    ensure_archive()
    env = benchlib.wine_env()
    ours_out = os.path.join(DATA, "ours")
    theirs_out = os.path.join(DATA, "theirs")
    ours_cmd = ["wine", os.path.join(benchlib.BIN, "extract_archive.exe"), benchlib.win_path(ARCHIVE),
                benchlib.win_path(ours_out)]
    theirs_cmd = ["7zz", "x", "-y", "-o" + theirs_out, ARCHIVE]
    # Warm the page cache and Wine once, outside the timing.
    run_measured(theirs_cmd)
    run_measured(ours_cmd, env)
    (ours, _, ours_text), ours_max = median_run(ours_cmd, ours_out, env)
    (theirs, _, _), theirs_max = median_run(theirs_cmd, theirs_out)
    if not same_trees(ours_out, theirs_out):
        raise SystemExit("our extraction differs from 7zz's")
    archive_mib = os.path.getsize(ARCHIVE) / 2**20
    in_process = ours_text.strip().split("peak_working_set_mib=")[-1]
    benchlib.result("extract", ours, theirs, "1.1")
    print(f"MEMORY name=extract ours_peak_mib={ours_max:.0f} baseline_peak_mib={theirs_max:.0f} "
          f"ours_working_set_mib={in_process} archive_mib={archive_mib:.0f} "
          f"largest_item_mib={LARGEST_ITEM / 2**20:.0f}", flush=True)
    shutil.rmtree(ours_out, ignore_errors=True)
    shutil.rmtree(theirs_out, ignore_errors=True)


if __name__ == "__main__":
    main()
