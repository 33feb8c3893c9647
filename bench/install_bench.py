"""The whole incremental install of a 200 MB, 2,000-file application (10 % of
the files patched, 5 % new) against its floor measured in the same run:
copying the base, unpacking the payload with native 7zz, applying the
patches with zstd across the cores and hashing the results. Also the peak
private memory of the install of a package with 100 MB of new files against
one with 50 MB: the package is mapped, not read into memory, and the
decoder's dictionary is 16 MB whatever the payload, so beyond that it stays
flat."""
import concurrent.futures
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests", "wholerun"))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "mkpackage"))
import benchlib  # noqa: E402

os.environ.setdefault("ZEMORA_BIN_DIR", benchlib.BIN)
from install_fixture import make_old_version  # noqa: E402
import mkpackage  # noqa: E402,F401
from pkg_container import read_container  # noqa: E402

FILES, SIZE = 2000, 100 * 1000


def make_versions(root):
    """The old version and the new one before its new files are added."""
    old, new = os.path.join(root, "old"), os.path.join(root, "new-template")
    make_old_version(old)
    for i in range(FILES):
        path = os.path.join(old, "data", "d%02d" % (i % 40), "f%04d.bin" % i)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(os.urandom(SIZE))
    shutil.copytree(old, new)
    for i in range(0, FILES, 10):  # 10 % patched
        with open(os.path.join(new, "data", "d%02d" % (i % 40), "f%04d.bin" % i), "r+b") as f:
            f.seek(SIZE // 2)
            f.write(os.urandom(2000))
    with open(os.path.join(new, "zemora.exe"), "ab") as f:
        f.write(b"2.0")
    return old, new


def new_version(root, template, size):
    """The new version with 5 % of the file count added as files of `size` bytes."""
    new = os.path.join(root, "new-%d" % size)
    shutil.copytree(template, new)
    os.makedirs(os.path.join(new, "data", "added"))
    for i in range(FILES // 20):
        with open(os.path.join(new, "data", "added", "n%04d.bin" % i), "wb") as f:
            f.write(os.urandom(size))
    return new


def floor(root, old, package):
    start = time.perf_counter()
    staging = os.path.join(root, "floor-staging")
    shutil.copytree(old, staging)
    with open(package, "rb") as f:
        payload = read_container(f.read()).subpackages[1]
    archive = os.path.join(root, "floor-payload.7z")
    with open(archive, "wb") as f:
        f.write(payload)
    unpacked = os.path.join(root, "floor-unpacked")
    subprocess.run(["7zz", "x", "-y", "-o" + unpacked, archive], check=True, stdout=subprocess.DEVNULL)
    patches = []
    for folder, _, names in os.walk(unpacked):
        for n in names:
            if n.endswith(".patch"):
                rel = os.path.relpath(os.path.join(folder, n), unpacked).split(os.sep, 1)[1][:-6]
                patches.append((os.path.join(folder, n), rel))

    def apply(item):
        patch, rel = item
        target = os.path.join(staging, rel)
        subprocess.run(["zstd", "-q", "-f", "-d", "--long=31", "--patch-from=" + os.path.join(old, rel),
                        patch, "-o", target], check=True)
        with open(target, "rb") as f:
            return hashlib.md5(f.read()).hexdigest()

    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        list(pool.map(apply, patches))
    return time.perf_counter() - start, len(patches)


def cut(root, old, new, name):
    package = os.path.join(root, name)
    subprocess.run([sys.executable, os.path.join(HERE, "..", "tools", "mkpackage", "mkpackage.py"),
                    "--old", old, "--new", new, "--old-version", "1.0.0.0", "--new-version", "2.0.0.0",
                    "--channel", "bench", "--url", "http://x/pkg.zzd", "--output", package,
                    "--version-code", "200", "--no-moves"], check=True, stdout=subprocess.DEVNULL)
    return package


def install(root, old, package, name):
    """Our install over a fresh copy of `old`: (seconds of work, peak MiB)."""
    box = os.path.join(root, "box-" + name)
    shutil.copytree(old, os.path.join(box, "install"))
    work = os.path.join(root, "work-" + name)
    os.makedirs(work)
    open(os.path.join(work, "Update.log"), "wb").close()
    env = benchlib.wine_env(ZEMORA_WORK_DIR=benchlib.win_path(work))
    seconds, peak, out = benchlib.run_with_peak_memory(
        ["wine", os.path.join(benchlib.BIN, "package_fuzz.exe"), "install",
         benchlib.win_path(box) + "\\", benchlib.win_path(package)], env=env)
    if "result 0" not in out:
        raise SystemExit("install failed: " + out)
    with open(os.path.join(work, "Update.log"), encoding="latin-1") as f:
        if re.search(r"cpu idle ration", f.read()):
            seconds -= 2.0  # the fixed idle sample is not part of the work
    shutil.rmtree(box, ignore_errors=True)
    return seconds, peak


def main():
    root = tempfile.mkdtemp(prefix="zemora-bench-install-")
    try:
        old, template = make_versions(root)
        package = cut(root, old, new_version(root, template, SIZE), "pkg.zzd")
        ours, peak = install(root, old, package, "small")
        baseline, patched = floor(root, old, package)
        peaks = {}
        for factor in (5, 10):
            larger = cut(root, old, new_version(root, template, SIZE * factor), "pkg-%d.zzd" % factor)
            peaks[factor] = (os.path.getsize(larger), install(root, old, larger, str(factor))[1])
        print(f"# {FILES} files of {SIZE} bytes, {patched} patched; peak private memory: "
              + ", ".join(f"{size // 1000} kB package {mib:.1f} MiB" for size, mib in
                          [(os.path.getsize(package), peak)] + list(peaks.values())), file=sys.stderr)
        benchlib.result("incremental_install_200MB", ours, baseline, "<=1.2")
        benchlib.result("install_peak_mem_2x_pkg", peaks[10][1], peaks[5][1], "<=1.1", unit="MiB")
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
