"""A 500 MB package download the way the updater does it (global.dll's
downloader with the 10 ms pump wait, under Wine) against curl fetching the
same file from the same local service, and the processor time the waiting
thread spends meanwhile."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import benchlib  # noqa: E402

sys.path.insert(0, os.path.join(benchlib.ROOT, "tools", "updateservice"))
from updateservice import UpdateService  # noqa: E402

SIZE = 500 * 1000 * 1000
REPEAT = 5
PROBE_LINE = re.compile(r"verified=1 download_seconds=([\d.]+) wait_cpu_seconds=([\d.]+)")


def md5_of(path):
    return subprocess.run(["md5sum", path], capture_output=True, text=True,
                          check=True).stdout.split()[0]


def main():
    folder = tempfile.mkdtemp(prefix="zemora-bench-download-")
    try:
        source = os.path.join(folder, "package.bin")
        benchlib.make_random_file(source, SIZE)
        md5 = md5_of(source)
        work = os.path.join(folder, "work")
        with UpdateService({"files": {"/packages/package.bin": source}}) as service:
            url = service.base_url + "/packages/package.bin"
            env = benchlib.wine_env(ZEMORA_WORK_DIR=benchlib.win_path(work))
            probe = [os.path.join(benchlib.BIN, "download_probe.exe"), url, md5]
            ours, cpu = [], []
            curl = []
            for _ in range(REPEAT):
                shutil.rmtree(work, ignore_errors=True)
                done = subprocess.run(["wine"] + probe, env=env, capture_output=True, text=True)
                m = PROBE_LINE.search(done.stdout)
                if done.returncode != 0 or not m:
                    raise SystemExit("download probe failed: " + done.stdout + done.stderr)
                ours.append(float(m.group(1)))
                cpu.append(float(m.group(2)))
                shutil.rmtree(work, ignore_errors=True)

                target = os.path.join(folder, "curl.bin")
                start = time.perf_counter()
                subprocess.run(["curl", "-s", "-f", "-o", target, url], check=True)
                curl.append(time.perf_counter() - start)
                os.remove(target)
        ours.sort()
        curl.sort()
        cpu.sort()
        middle = REPEAT // 2
        benchlib.result("download_500MB", ours[middle], curl[middle], "1.25")
        # The waiting thread's processor time against the wall time it waited.
        benchlib.result("download_wait_cpu", cpu[middle], ours[middle], "0.05")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
