"""Incremental installs of packages that are wrong in one way each, through
DoIncrementInstall over a flat install folder: the reported result, the log
line, and an install folder left as it was."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZEMORA_SOURCE_DIR", os.path.join(HERE, "../.."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "wholerun"))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "mkpackage"))
from harness import program, win_path, wine_env  # noqa: E402
from install_fixture import tree_snapshot, versions_and_package  # noqa: E402
import mkpackage  # noqa: E402,F401
from pkg_container import extract_archive, make_archive, read_container, write_container  # noqa: E402


def files_of(folder):
    out = []
    for root, _, names in os.walk(folder):
        out += [os.path.relpath(os.path.join(root, n), folder).replace(os.sep, "/") for n in names]
    return out


class PackageCasesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="zemora-cases-")
        cls.old, cls.new, cls.valid = versions_and_package(cls.root)
        with open(cls.valid, "rb") as f:
            cls.bytes = f.read()
        container = read_container(cls.bytes)
        cls.sub1, cls.sub2 = container.subpackages
        cls.payload = os.path.join(cls.root, "payload")
        extract_archive(cls.sub2, cls.payload, "payload")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def install(self, package_bytes, base=None, hold=None):
        box = tempfile.mkdtemp(prefix="case-", dir=self.root)
        install = os.path.join(box, "install")
        shutil.copytree(base or self.old, install)
        package = os.path.join(box, "p.zzd")
        with open(package, "wb") as f:
            f.write(package_bytes)
        work = os.path.join(box, "work")
        os.makedirs(work)
        open(os.path.join(work, "Update.log"), "wb").close()
        before = tree_snapshot(install)
        held = win_path(os.path.join(install, hold)) if hold else None
        done = subprocess.run(["wine", program("package_fuzz.exe"), "install", win_path(box) + "\\",
                               win_path(package)],
                              env=wine_env(ZEMORA_WORK_DIR=win_path(work), ZEMORA_HOLD_FILE=held),
                              capture_output=True, text=True, timeout=300)
        with open(os.path.join(work, "Update.log"), encoding="latin-1") as f:
            log = f.read()
        result = int(done.stdout.split("result ")[1].split()[0])
        return result, log, tree_snapshot(install) == before, install

    def container(self, subpackages, count=None):
        parts = [struct.pack("<4sH", b"zzd.", count if count is not None else len(subpackages))]
        import zlib
        for data in subpackages:
            parts.append(struct.pack("<II", len(data), zlib.crc32(data)))
            parts.append(data)
        return b"".join(parts)

    def repacked_payload(self, change):
        folder = tempfile.mkdtemp(prefix="payload-", dir=self.root)
        shutil.rmtree(folder)
        shutil.copytree(self.payload, folder)
        change(folder)
        archive = folder + ".7z"
        make_archive(folder, sorted(files_of(folder)), archive)
        with open(archive, "rb") as f:
            return f.read()

    def test_container_cases(self):
        too_long = bytearray(self.bytes)
        too_long[6:10] = struct.pack("<I", len(self.bytes))
        no_manifest_folder = tempfile.mkdtemp(dir=self.root)
        with open(os.path.join(no_manifest_folder, "other.txt"), "w") as f:
            f.write("no manifest here")
        make_archive(no_manifest_folder, ["other.txt"], no_manifest_folder + ".7z")
        with open(no_manifest_folder + ".7z", "rb") as f:
            no_manifest = f.read()
        cases = [
            ("count 1", self.container([self.sub1, self.sub2], count=1), 13,
             "invalid package count: 1"),
            ("L1 too large", bytes(too_long), 13,
             "invalid file size: %d, sub package size: %d" % (len(self.bytes), len(self.bytes))),
            ("no setup.xml", self.container([no_manifest, self.sub2]), 13, "parse setup.xml failed"),
        ]
        for name, data, expected, line in cases:
            with self.subTest(name):
                result, log, unchanged, _ = self.install(data)
                self.assertEqual(result, expected, log)
                self.assertIn(line, log)
                self.assertTrue(unchanged)

    def test_a_third_sub_package_is_ignored(self):
        result, log, _, install = self.install(self.container([self.sub1, self.sub2, b"extra"], count=3))
        self.assertEqual(result, 0, log)
        self.assertTrue(os.path.isdir(os.path.join(install, "2.0.0.0")))

    def test_a_running_main_program_gets_its_successor_beside_it(self):
        # Versioned layout: the running "zemora.exe" stays where it is.
        base = os.path.join(self.root, "versioned")
        if not os.path.exists(base):
            shutil.copytree(self.old, os.path.join(base, "1.0.0.0"))
            for name in ("zemora.exe", "Uninst.exe"):
                shutil.copy(os.path.join(self.old, name), os.path.join(base, name))
        result, log, _, install = self.install(self.bytes, base=base, hold="zemora.exe")
        self.assertEqual(result, 0, log)
        self.assertIn("copy zemora.exe to upper folder failed: 32", log)
        for name, source in (("zemora.exe", self.old), ("zemora_new.exe", self.new),
                             ("Uninst.exe", self.new)):
            with open(os.path.join(install, name), "rb") as got, \
                    open(os.path.join(source, name.replace("_new", "")), "rb") as want:
                self.assertEqual(got.read(), want.read(), name)

    def test_no_patch_tool_anywhere(self):
        base = os.path.join(self.root, "base-without-tool")
        if not os.path.exists(base):
            shutil.copytree(self.old, base)
            os.remove(os.path.join(base, "patch.exe"))
        result, log, unchanged, install = self.install(self.bytes, base=base)
        self.assertEqual(result, 24, log)
        self.assertIn("cannot find patch.exe", log)
        self.assertTrue(unchanged)
        self.assertFalse(os.path.exists(os.path.join(install, "2.0.0.0")))

    def test_a_failing_file_operation(self):
        def break_patches(folder):
            for rel in files_of(folder):
                if rel.endswith(".patch"):
                    with open(os.path.join(folder, rel), "wb") as f:
                        f.write(b"not a patch")
        data = self.container([self.sub1, self.repacked_payload(break_patches)])
        result, log, unchanged, install = self.install(data)
        self.assertEqual(result, 19, log)
        self.assertIn("apply patch for ", log)
        self.assertTrue(unchanged)
        self.assertEqual(sorted(os.listdir(os.path.dirname(install))), ["install", "p.zzd", "work"])
        # The staging folder went with the work folder.
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(install), "work", "Update", "Zemora")))


if __name__ == "__main__":
    unittest.main()
