"""An installed Zemora to update: version folders on disk, InstallDir in the
registry of the Wine prefix, and packages cut from them with mkpackage."""
import filecmp
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(HERE, "../.."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "updateservice"))
from harness import program, win_path, wine_env  # noqa: E402

PRODUCT_KEY = "HKCU\\Software\\Varnholt\\Zemora"
ZLIB_DLL = "/usr/i686-w64-mingw32/lib/zlib1.dll"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def make_old_version(folder, seed=1):
    """Version 1.0.0.0 with the runtime files the patch tool and updater need."""
    rnd = bytes((i * 7 + seed) % 251 for i in range(300000))
    write(os.path.join(folder, "zemora.exe"), b"MZ old main program " + rnd[:5000])
    write(os.path.join(folder, "Uninst.exe"), b"MZ uninstaller 1")
    write(os.path.join(folder, "ApkTool.exe"), b"MZ apk tool 1")
    write(os.path.join(folder, "data", "big.bin"), rnd)
    write(os.path.join(folder, "data", "notes.txt"), "old notes\n")
    write(os.path.join(folder, "obsolete.txt"), "to be removed\n")
    write(os.path.join(folder, "Microsoft.VC90.CRT", "Microsoft.VC90.CRT.manifest"), "<assembly/>\n")
    write(os.path.join(folder, "Downloader", "downloader.txt"), "downloader files\n")
    shutil.copy(program("patch.exe"), os.path.join(folder, "patch.exe"))
    shutil.copy(program("global.dll"), os.path.join(folder, "global.dll"))
    shutil.copy(ZLIB_DLL, os.path.join(folder, "zlib1.dll"))


def make_new_version(old, new):
    shutil.copytree(old, new)
    with open(os.path.join(new, "data", "big.bin"), "r+b") as f:
        f.seek(1000)
        f.write(b"changed in 2.0" * 100)
    write(os.path.join(new, "zemora.exe"), b"MZ new main program 2.0")
    write(os.path.join(new, "Uninst.exe"), b"MZ uninstaller 2")
    write(os.path.join(new, "data", "added.txt"), "new in 2.0\n")
    os.remove(os.path.join(new, "obsolete.txt"))


def cut_package(old, new, out_dir, url, channel="abc", extra=()):
    package = os.path.join(out_dir, "pkg-2.0.0.0.zzd")
    config = os.path.join(out_dir, "service.json")
    subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "tools", "mkpackage", "mkpackage.py"),
                    "--old", old, "--new", new, "--old-version", "1.0.0.0", "--new-version", "2.0.0.0",
                    "--channel", channel, "--url", url, "--output", package, "--version-code", "200",
                    "--service-config", config] + list(extra),
                   check=True, stdout=subprocess.DEVNULL)
    with open(config) as f:
        return package, json.load(f)


def versions_and_package(root):
    """Old and new version folders under `root` and a package between them."""
    old, new = os.path.join(root, "old"), os.path.join(root, "new")
    make_old_version(old)
    make_new_version(old, new)
    package, _ = cut_package(old, new, root, "http://x/p.zzd")
    return old, new, package


def set_install_dir(path):
    subprocess.run(["wine", "reg", "add", PRODUCT_KEY, "/v", "InstallDir", "/d", path, "/f"],
                   env=wine_env(), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def remove_product_key():
    subprocess.run(["wine", "reg", "delete", PRODUCT_KEY, "/f"], env=wine_env(),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def registry_value(key, name):
    out = subprocess.run(["wine", "reg", "query", key, "/v", name], env=wine_env(),
                         capture_output=True, text=True).stdout
    for line in out.splitlines():
        parts = line.split()
        if parts and parts[0] == name and len(parts) >= 3:
            return parts[-1]
    return None


def same_tree(a, b):
    """True when both folders hold the same files with the same bytes."""
    def files(root):
        out = set()
        for folder, _, names in os.walk(root):
            for n in names:
                out.add(os.path.relpath(os.path.join(folder, n), root))
        return out
    fa, fb = files(a), files(b)
    if fa != fb:
        return False
    return all(filecmp.cmp(os.path.join(a, p), os.path.join(b, p), shallow=False) for p in fa)


def tree_snapshot(root):
    out = {}
    for folder, _, names in os.walk(root):
        for n in names:
            p = os.path.join(folder, n)
            with open(p, "rb") as f:
                out[os.path.relpath(p, root)] = f.read()
    return out


class Installation:
    """Old and new version folders, the installed copy (flat layout) and a
    folder for packages."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="zemora-install-")
        self.old = os.path.join(self.root, "old")
        self.new = os.path.join(self.root, "new")
        self.install = os.path.join(self.root, "Zemora")
        self.out = os.path.join(self.root, "out")
        os.makedirs(self.out)
        make_old_version(self.old)
        make_new_version(self.old, self.new)
        shutil.copytree(self.old, self.install)
        set_install_dir(win_path(self.install))

    def cleanup(self):
        remove_product_key()
        shutil.rmtree(self.root, ignore_errors=True)
