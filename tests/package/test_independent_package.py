"""A package put together by hand from the stock tools (the zstd CLI, 7zz
with its own defaults, zlib's CRC-32), not by mkpackage, installed through
DoIncrementInstall over a flat install folder: the updater reads the format
as written down, not as our builder happens to write it."""
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(HERE, "../.."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "wholerun"))
from harness import program, win_path, wine_env  # noqa: E402
from install_fixture import make_new_version, make_old_version, same_tree  # noqa: E402

MANIFEST = """<?xml version="1.0" encoding="UTF-8"?>
<package>
  <setup>
    <info tod1="2" tod2="0" tod3="0" tod4="0" channel="hand" />
    <ReplacePath><entry DstPathPre="$INSTDIR" SrcPathPre="PAYLOAD" /></ReplacePath>
  </setup>
  <update>
    <base tod1="1" tod2="0" tod3="0" tod4="0" />
    <files>
%s
    </files>
  </update>
</package>
"""


def md5(path):
    with open(path, "rb") as f:
        return hashlib.md5(f.read()).hexdigest()


def seven_zip(folder, archive, *options):
    subprocess.run(["7zz", "a", "-bd", *options, archive, "."], cwd=folder, check=True,
                   stdout=subprocess.DEVNULL)
    with open(archive, "rb") as f:
        return f.read()


class IndependentPackageTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="zemora-hand-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.old, self.new = os.path.join(self.root, "old"), os.path.join(self.root, "new")
        make_old_version(self.old)
        make_new_version(self.old, self.new)

    def cut_by_hand(self):
        payload = os.path.join(self.root, "payload-tree")
        entries = []
        for rel in ("data\\big.bin", "zemora.exe"):  # patched
            old, new = (os.path.join(v, *rel.split("\\")) for v in (self.old, self.new))
            patch = os.path.join(payload, "PAYLOAD", *rel.split("\\")) + ".patch"
            os.makedirs(os.path.dirname(patch), exist_ok=True)
            subprocess.run(["zstd", "-q", "-f", "--patch-from=" + old, new, "-o", patch], check=True)
            entries.append(f'<file path="{rel}" old_checksum="{md5(old).upper()}" '
                           f'new_checksum="{md5(new)}" old_path="" type="update" />')
        for rel in ("Uninst.exe", "data\\added.txt"):  # copied whole, one over an old file
            target = os.path.join(payload, "PAYLOAD", *rel.split("\\"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy(os.path.join(self.new, *rel.split("\\")), target)
            entries.append(f'<file path="{rel}" old_checksum="" new_checksum="" old_path="" type="new" />')
        entries.append('<file path="obsolete.txt" old_checksum="" new_checksum="" old_path="" '
                       'type="delete" />')
        config = os.path.join(self.root, "manifest-tree", "config")
        os.makedirs(config)
        with open(os.path.join(config, "setup.xml"), "w") as f:
            f.write(MANIFEST % "\n".join(entries))
        # 7zz's defaults for the manifest (LZMA2), BCJ2 with LZMA for the payload.
        first = seven_zip(os.path.dirname(config), os.path.join(self.root, "1.7z"))
        second = seven_zip(payload, os.path.join(self.root, "2.7z"), "-m0=BCJ2", "-m1=LZMA",
                           "-m2=LZMA", "-m3=LZMA", "-mb0:1", "-mb0s1:2", "-mb0s2:3")
        package = os.path.join(self.root, "hand.zzd")
        with open(package, "wb") as f:
            f.write(struct.pack("<4sH", b"zzd.", 2))
            for data in (first, second):
                f.write(struct.pack("<II", len(data), zlib.crc32(data)) + data)
        return package

    def test_a_hand_made_package_installs(self):
        package = self.cut_by_hand()
        install = os.path.join(self.root, "box", "install")
        shutil.copytree(self.old, install)
        work = os.path.join(self.root, "work")
        os.makedirs(work)
        open(os.path.join(work, "Update.log"), "wb").close()
        done = subprocess.run(["wine", program("package_fuzz.exe"), "install",
                               win_path(os.path.dirname(install)) + "\\", win_path(package)],
                              env=wine_env(ZEMORA_WORK_DIR=win_path(work)), capture_output=True,
                              text=True, timeout=300)
        with open(os.path.join(work, "Update.log"), encoding="latin-1") as f:
            log = f.read()
        self.assertIn("result 0", done.stdout, log)
        self.assertTrue(same_tree(os.path.join(install, "2.0.0.0"), self.new))
        self.assertTrue(same_tree(os.path.join(install, "1.0.0.0"), self.old))
        for name in ("zemora.exe", "Uninst.exe"):
            self.assertEqual(md5(os.path.join(install, name)), md5(os.path.join(self.new, name)))


if __name__ == "__main__":
    unittest.main()
