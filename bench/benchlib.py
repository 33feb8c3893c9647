"""Shared helpers of the benchmarks: timing, Wine, and the result line that
bench/run_all.py gathers into one table."""
import os
import resource
import subprocess
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BUILD = os.environ.get("BUILD_DIR", os.path.join(ROOT, "build"))
BIN = os.environ.get("ZEMORA_BIN_DIR", os.path.join(BUILD, "bin"))


def wine_env(**extra):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", os.path.join(BUILD, "wineprefix"))
    env["WINEDEBUG"] = "-all"
    env.update(extra)
    return env


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def timed(command, repeat=3, env=None, check=True):
    """Median wall time in seconds of `command` over `repeat` runs."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        done = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
        if check and done.returncode != 0:
            raise SystemExit(f"benchmark command failed ({done.returncode}): {command}")
    times.sort()
    return times[len(times) // 2]


def run_with_peak_memory(command, env=None, poll_seconds=0.005):
    """Runs `command`; returns (wall seconds, peak private memory in MiB,
    stdout). Private (anonymous) memory leaves out mapped files, whose pages
    the system can drop and read again at will. Under Wine the process keeps
    its id while the loader turns into the Windows program."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    peak_kib = 0
    status = f"/proc/{process.pid}/status"
    while process.poll() is None:
        try:
            with open(status) as f:
                for line in f:
                    if line.startswith("RssAnon:"):
                        peak_kib = max(peak_kib, int(line.split()[1]))
                        break
        except (OSError, ValueError):
            pass
        time.sleep(poll_seconds)
    out = process.stdout.read().decode("utf-8", "replace")
    process.wait()
    return time.perf_counter() - start, peak_kib / 1024.0, out


def children_peak_rss_mib():
    return resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0


def result(name, ours, baseline, goal, unit="s"):
    ratio = ours / baseline if baseline else float("inf")
    print(f"RESULT name={name} ours={ours:.3f}{unit} baseline={baseline:.3f}{unit} "
          f"ratio={ratio:.2f} goal={goal}", flush=True)
    return ratio


def make_random_file(path, size_bytes):
    if os.path.exists(path) and os.path.getsize(path) == size_bytes:
        return
    with open(path, "wb") as f:
        chunk = 1 << 20
        left = size_bytes
        while left > 0:
            n = min(chunk, left)
            f.write(os.urandom(n))
            left -= n
