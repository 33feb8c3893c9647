"""patch.exe from the outside: a patch made by the stock zstd CLI rebuilds a
30 MB file byte for byte, and broken input fails without leaving NEW behind."""
import hashlib
import os
import random
import shutil
import subprocess
import tempfile
import unittest

BIN = os.environ["ZEMORA_BIN_DIR"]
PATCH_EXE = os.path.join(BIN, "patch.exe")


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_patch(*args):
    env = dict(os.environ, WINEDEBUG="-all")
    return subprocess.run(["wine", PATCH_EXE] + list(args), env=env, capture_output=True,
                          timeout=300, stdin=subprocess.DEVNULL)


class PatchExeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="zemora-patch-exe-")
        rng = random.Random(7)
        # Compressible and incompressible stretches, then scattered edits, an
        # insertion and a removal, as between two builds of a program.
        parts = []
        while sum(map(len, parts)) < 30 * 1000 * 1000:
            parts.append(rng.randbytes(rng.randrange(1000, 200000)))
            parts.append(bytes(rng.choice(b"abcdefgh ") for _ in range(2000)) * rng.randrange(1, 40))
        old = bytearray(b"".join(parts)[:30 * 1000 * 1000])
        new = bytearray(old)
        for _ in range(3000):
            at = rng.randrange(len(new) - 64)
            new[at:at + 16] = rng.randbytes(16)
        new[12345678:12345678] = rng.randbytes(300000)
        del new[25000000:25100000]
        cls.old = cls.file("old.bin", old)
        cls.new = cls.file("new.bin", new)
        cls.new_md5 = hashlib.md5(new).hexdigest()
        cls.patch = os.path.join(cls.folder, "new.bin.patch")
        subprocess.run(["zstd", "-q", "-f", "--patch-from=" + cls.old, cls.new, "-o", cls.patch],
                       check=True, stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    @classmethod
    def file(cls, name, data):
        path = os.path.join(cls.folder, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def out_path(self, name):
        path = os.path.join(self.folder, name)
        for p in (path, path + ".tmp"):
            if os.path.exists(p):
                os.remove(p)
        return path

    def assert_no_output(self, path):
        self.assertFalse(os.path.exists(path), "NEW left behind")
        self.assertFalse(os.path.exists(path + ".tmp"), "NEW.tmp left behind")

    def test_rebuilds_30_mb_file_byte_for_byte(self):
        out = self.out_path("out.bin")
        done = run_patch("-apply", win_path(self.old), win_path(self.patch), win_path(out))
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(out, "rb") as f:
            self.assertEqual(hashlib.md5(f.read()).hexdigest(), self.new_md5)
        self.assertFalse(os.path.exists(out + ".tmp"))

    def test_replaces_an_existing_new_file_and_may_patch_in_place(self):
        out = self.out_path("in_place.bin")
        shutil.copyfile(self.old, out)
        done = run_patch("-apply", win_path(out), win_path(self.patch), win_path(out))
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(out, "rb") as f:
            self.assertEqual(hashlib.md5(f.read()).hexdigest(), self.new_md5)

    def test_broken_input_fails_without_output(self):
        with open(self.patch, "rb") as f:
            patch = f.read()
        flipped = bytearray(patch)
        flipped[len(flipped) // 2] ^= 0xFF
        cases = {
            "truncated patch": (self.old, self.file("truncated.patch", patch[:len(patch) // 2])),
            "patch cut by one byte": (self.old, self.file("short.patch", patch[:-1])),
            "damaged patch": (self.old, self.file("damaged.patch", bytes(flipped))),
            "empty patch": (self.old, self.file("empty.patch", b"")),
            "not a patch": (self.old, self.file("text.patch", b"hello, world\n" * 100)),
            "missing old file": (os.path.join(self.folder, "absent.bin"), self.patch),
            "missing patch": (self.old, os.path.join(self.folder, "absent.patch")),
            "wrong old file": (self.new, self.patch),
        }
        for name, (old, patch_file) in cases.items():
            with self.subTest(name):
                out = self.out_path("broken.bin")
                done = run_patch("-apply", win_path(old), win_path(patch_file), win_path(out))
                self.assertNotEqual(done.returncode, 0)
                self.assertTrue(done.stderr.strip(), "says why")
                self.assert_no_output(out)

    def test_bad_arguments_print_usage(self):
        for args in ([], ["-apply", "a", "b"], ["-apply", "a", "b", "c", "d"], ["-make", "a", "b", "c"]):
            with self.subTest(args=args):
                done = run_patch(*args)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(b"usage: patch.exe -apply OLD PATCH NEW", done.stderr)


if __name__ == "__main__":
    unittest.main()
