"""Damaged incremental packages: 10,000 binary mutations through the loader,
and mutated manifests through the whole incremental install. Nothing may
crash or hang, nothing may be written outside the work folder, and a failed
install leaves the install folder as it was."""
import os
import random
import re
import shutil
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
import mkpackage  # noqa: E402,F401  (puts the pkg_* modules in reach)
from pkg_container import make_archive, read_container, write_container  # noqa: E402

MANIFEST_MUTANTS = 30  # each is a whole install in a Wine process of its own
REPORTED = {0, 13, 14, 15, 19, 20, 21, 22, 23, 24, 25, 26}


def entries_outside(root, allowed):
    found = []
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            rel = os.path.relpath(os.path.join(folder, name), root)
            if not any(rel == a or rel.startswith(a + os.sep) for a in allowed):
                found.append(rel)
    return found


def mutate_manifest(text, rnd):
    kind = rnd.randrange(8)
    if kind == 0:
        return text[:rnd.randrange(len(text))]
    if kind == 1:
        chars = list(text)
        for _ in range(rnd.randint(1, 6)):
            chars[rnd.randrange(len(chars))] = chr(rnd.randrange(32, 127))
        return "".join(chars)
    if kind == 2:  # a path that leaves its folder
        bad = rnd.choice(['path="..\\..\\escape.txt"', 'path="C:\\x.txt"', 'path="\\x.txt"',
                          'path="a\\..\\..\\b"'])
        return re.sub(r'path="[^"]*"', lambda _: bad, text, count=1)
    if kind == 3:  # duplicated elements
        m = re.search(r"<files>.*</files>", text, re.S)
        return text if not m else text.replace(m.group(0), m.group(0) * 2, 1)
    if kind == 4:  # deep nesting
        depth = rnd.choice([50, 500, 5000])
        return text.replace("<files>", "<files>" + "<x>" * depth + "</x>" * depth, 1)
    if kind == 5:  # huge attribute
        return text.replace('channel="', 'channel="' + "c" * rnd.choice([300, 70000]), 1)
    if kind == 6:  # a removed element or attribute
        return re.sub(rnd.choice([r"<base[^>]*/>", r' tod2="[^"]*"', r"<ReplacePath>.*?</ReplacePath>"]),
                      "", text, count=1, flags=re.S)
    return text.replace('type="', 'type="' + rnd.choice(["x", "UPDATE", "mo"]), 1)


class PackageMutationTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="zemora-mutation-")
        cls.old, cls.new, cls.valid = versions_and_package(cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def sandbox(self):
        box = tempfile.mkdtemp(prefix="box-", dir=self.root)
        os.makedirs(os.path.join(box, "work"))
        return box

    def test_ten_thousand_damaged_containers(self):
        box = self.sandbox()
        done = subprocess.run(["wine", program("package_fuzz.exe"), "binary", win_path(self.valid),
                            win_path(box) + "\\", "10000", "7"], env=wine_env(),
                           capture_output=True, text=True, timeout=1500)
        self.assertEqual(done.returncode, 0, done.stdout)
        self.assertRegex(done.stdout, r"loaded \d+ refused \d+")
        self.assertEqual(entries_outside(box, ["work", "mutant.zzd"]), [])

    def test_mutated_manifests_through_the_install(self):
        box = self.sandbox()
        install = os.path.join(box, "install")
        shutil.copytree(self.old, install)
        pristine = tree_snapshot(install)
        with open(self.valid, "rb") as f:
            container = read_container(f.read())
        unpacked = os.path.join(box, "unpacked")
        from pkg_container import extract_archive
        extract_archive(container.subpackages[0], unpacked, "manifest")
        with open(os.path.join(unpacked, "config", "setup.xml"), encoding="latin-1") as f:
            manifest = f.read()
        payload = os.path.join(box, "payload.7z")
        with open(payload, "wb") as f:
            f.write(container.subpackages[1])
        rnd = random.Random(11)
        packages = []
        for i in range(MANIFEST_MUTANTS):
            folder = os.path.join(box, "m%d" % i)
            os.makedirs(os.path.join(folder, "config"))
            with open(os.path.join(folder, "config", "setup.xml"), "w", encoding="latin-1") as f:
                f.write(mutate_manifest(manifest, rnd))
            archive = os.path.join(folder, "manifest.7z")
            make_archive(folder, ["config/setup.xml"], archive)
            package = os.path.join(folder, "p.zzd")
            write_container(package, [archive, payload])
            packages.append(package)
        work = os.path.join(box, "work")
        env = wine_env(ZEMORA_WORK_DIR=win_path(work))
        for package in packages:
            done = subprocess.run(["wine", program("package_fuzz.exe"), "install", win_path(box) + "\\",
                                   win_path(package)], env=env, capture_output=True, text=True,
                                  timeout=300)
            self.assertEqual(done.returncode, 0)
            result = int(re.search(r"result (-?\d+)", done.stdout).group(1))
            self.assertIn(result, REPORTED)
            if result != 0:
                self.assertEqual(tree_snapshot(install), pristine, "result %d changed the install" % result)
            else:
                shutil.rmtree(install)
                shutil.copytree(self.old, install)
        allowed = ["work", "install", "unpacked", "payload.7z"] + ["m%d" % i for i in range(MANIFEST_MUTANTS)]
        self.assertEqual(entries_outside(box, allowed), [])
        self.assertFalse(os.path.exists(os.path.join(self.root, "escape.txt")))


if __name__ == "__main__":
    unittest.main()
