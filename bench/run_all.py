#!/usr/bin/env python3
"""Runs every benchmark of the project and prints one table of ratios against
the baselines measured in the same run, with the machine it ran on.

Usage: python3 bench/run_all.py [NAME_FILTER]   (builds first with scripts/build.sh)
"""
import glob
import os
import platform
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = os.environ.get("BUILD_DIR", os.path.join(ROOT, "build"))
LINE = re.compile(r"^RESULT (.*)$")


def machine():
    cpu = "unknown cpu"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    return f"{cpu}, {os.cpu_count()} cores, {mem:.0f} GiB, {platform.system()} {platform.release()}, {wine}"


def main():
    pattern = sys.argv[1] if len(sys.argv) > 1 else ""
    subprocess.run(["bash", os.path.join(ROOT, "scripts", "build.sh")], check=True,
                   stdout=subprocess.DEVNULL)
    env = dict(os.environ, BUILD_DIR=BUILD, WINEPREFIX=os.path.join(BUILD, "wineprefix"))
    subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh"), "start"], env=env, check=True)
    rows = []
    try:
        for script in sorted(glob.glob(os.path.join(HERE, "*_bench.py"))):
            if pattern not in os.path.basename(script):
                continue
            print(f"running {os.path.basename(script)} ...", file=sys.stderr, flush=True)
            done = subprocess.run([sys.executable, script], env=env, capture_output=True, text=True)
            found = False
            for line in done.stdout.splitlines():
                m = LINE.match(line)
                if m:
                    fields = dict(kv.split("=", 1) for kv in m.group(1).split())
                    rows.append(fields)
                    found = True
            if done.returncode != 0 or not found:
                rows.append({"name": os.path.basename(script), "ours": "-", "baseline": "-",
                             "ratio": "FAILED", "goal": done.stderr.strip().splitlines()[-1:] or ""})
    finally:
        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh"), "stop"], env=env)
    print(f"machine: {machine()}")
    print(f"{'benchmark':<28} {'ours':>12} {'baseline':>12} {'ratio':>8}  goal")
    for r in rows:
        print(f"{r.get('name',''):<28} {r.get('ours',''):>12} {r.get('baseline',''):>12} "
              f"{r.get('ratio',''):>8}  {r.get('goal','')}")


if __name__ == "__main__":
    main()
