#!/usr/bin/env python3
"""Tests of the package builder: operations, container, manifest, reply,
verification and the refusals of bad input."""

import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import urllib.request
import xml.etree.ElementTree as ET
import zlib

SOURCE = os.environ.get("ZEMORA_SOURCE_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..")
TOOL_DIR = os.path.join(SOURCE, "tools", "mkpackage")
SCRIPT = os.path.join(TOOL_DIR, "mkpackage.py")
sys.path.insert(0, TOOL_DIR)

import mkpackage  # noqa: E402
from pkg_common import PackageError  # noqa: E402
from pkg_container import (extract_archive, list_archive, make_archive,  # noqa: E402
                           read_container, write_container)
from pkg_manifest import parse_manifest  # noqa: E402
from pkg_verify import VerifyError, verify_package  # noqa: E402

RANDOM = bytes((i * 7919 + (i >> 3) * 104729) % 251 for i in range(30000))

# What every installed version holds for the updater: the programs it copies
# up and the runtime it places beside the patch tool.
RUNTIME = {
    "zlib1.dll": b"zlib",
    "Microsoft.VC90.CRT/msvcr90.dll": b"crt",
    "Uninst.exe": b"uninstaller",
}

OLD = dict(RUNTIME, **{
    "zemora.exe": RANDOM,
    "same.txt": b"unchanged\n",
    "removed.txt": b"going away\n",
    "gone/moved.dat": b"content that moves\n",
    "sub/lib.dll": RANDOM[:9000] + b"v1" + RANDOM[9000:],
    "sub/keep.txt": b"kept\n",
    "to_empty.txt": b"will be emptied\n",
    "was_empty.txt": b"",
})
NEW = dict(RUNTIME, **{
    "zemora.exe": RANDOM + b"version 2",
    "same.txt": b"unchanged\n",
    "sub/deep/moved.dat": b"content that moves\n",
    "another/copy.dat": b"content that moves\n",
    "sub/lib.dll": RANDOM[:9000] + b"v2" + RANDOM[9000:],
    "sub/keep.txt": b"kept\n",
    "sub/deep/added.txt": b"brand new\n",
    "empty.txt": b"",
    "to_empty.txt": b"",
    "was_empty.txt": b"now filled\n",
})


def write_tree(root, files):
    for relative, data in files.items():
        path = os.path.join(root, *relative.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as stream:
            stream.write(data)
    os.makedirs(root, exist_ok=True)
    return root


def md5(data):
    return hashlib.md5(data).hexdigest()


def windows_path(path):
    """The path as a Windows program under Wine sees it (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_cli(*arguments):
    return subprocess.run([sys.executable, SCRIPT] + list(arguments),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class Fixture:
    """An old and a new version folder in a scratch folder."""

    def __init__(self, add_cleanup, old=OLD, new=NEW, patch_tool=True):
        self.root = tempfile.mkdtemp(prefix="mkpackage-test-")
        add_cleanup(shutil.rmtree, self.root, True)
        self.old = write_tree(os.path.join(self.root, "old"), old)
        self.new = write_tree(os.path.join(self.root, "new"), new)
        self.tool = None
        if patch_tool:
            self.tool = os.path.join(self.root, "patch.exe")
            with open(self.tool, "wb") as stream:
                stream.write(b"MZ patch tool")
        self.package = os.path.join(self.root, "pkg.bin")

    def build(self, **options):
        options.setdefault("patch_tool", self.tool)
        return mkpackage.build_package(self.old, self.new, "1.0.0.0", "2.0.0.0", "stable",
                                       "http://127.0.0.1/packages/pkg.bin", self.package,
                                       **options)

    def cli(self, *extra):
        arguments = ["--old", self.old, "--new", self.new, "--old-version", "1.0.0.0",
                     "--new-version", "2.0.0.0", "--channel", "stable",
                     "--url", "http://127.0.0.1/packages/pkg.bin", "--output", self.package]
        if self.tool:
            arguments += ["--patch-tool", self.tool]
        return run_cli(*(arguments + list(extra)))


def parse_container(data):
    """The container read independently of the builder's own reader."""
    magic, count = struct.unpack_from("<4sH", data, 0)
    offset, parts = 6, []
    for _ in range(2):
        length, crc = struct.unpack_from("<II", data, offset)
        parts.append((data[offset + 8:offset + 8 + length], crc))
        offset += 8 + length
    return magic, count, parts, offset


def rewrite_subpackage(package, index, edit):
    """Unpacks sub-package index, lets edit change the files, packs it again
    with a correct CRC: damage only the updater's own checks can find."""
    with open(package, "rb") as stream:
        container = read_container(stream.read())
    scratch = tempfile.mkdtemp()
    try:
        folder = os.path.join(scratch, "files")
        extract_archive(container.subpackages[index], folder, "test")
        edit(folder)
        names = sorted(os.path.relpath(os.path.join(current, name), folder)
                       for current, _, files in os.walk(folder) for name in files)
        archives = []
        for number, data in enumerate(container.subpackages):
            path = os.path.join(scratch, "%d.7z" % number)
            if number == index:
                make_archive(folder, names, path)
            else:
                with open(path, "wb") as stream:
                    stream.write(data)
            archives.append(path)
        write_container(package, archives)
    finally:
        shutil.rmtree(scratch)


class BuiltPackageTest(unittest.TestCase):
    """One package of a pair with every kind of change, checked from outside."""

    @classmethod
    def setUpClass(cls):
        cls.fixture = Fixture(cls.addClassCleanup)
        cls.result = cls.fixture.build(verify=True, version_code=187)
        with open(cls.fixture.package, "rb") as stream:
            cls.data = stream.read()
        cls.work = tempfile.mkdtemp()
        container = read_container(cls.data)
        cls.manifest_items = extract_archive(container.subpackages[0], cls.work, "1")
        cls.payload_items = extract_archive(container.subpackages[1], cls.work, "2")
        cls.manifest_root = ET.parse(os.path.join(cls.work, "config", "setup.xml")).getroot()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def ops(self):
        return [element.attrib for element in self.manifest_root.find("update").find("files")]

    def test_operations_cover_each_kind_of_change(self):
        got = sorted((op["type"], op["path"], op["old_path"]) for op in self.ops())
        self.assertEqual(got, sorted([
            ("update", "zemora.exe", ""),
            ("update", "sub\\lib.dll", ""),
            ("update", "to_empty.txt", ""),
            ("update", "was_empty.txt", ""),
            ("new", "sub\\deep\\added.txt", ""),
            ("new", "empty.txt", ""),
            ("new", "another\\copy.dat", ""),
            ("move", "sub\\deep\\moved.dat", "gone\\moved.dat"),
            ("delete", "removed.txt", ""),
        ]))

    def test_checksums_are_those_of_the_old_and_new_files(self):
        for op in self.ops():
            local = op["path"].replace("\\", "/")
            old_local = (op["old_path"] or op["path"]).replace("\\", "/")
            expected_old = md5(OLD[old_local]) if op["type"] != "new" else ""
            expected_new = md5(NEW[local]) if op["type"] != "delete" else ""
            self.assertEqual((op["old_checksum"], op["new_checksum"]),
                             (expected_old, expected_new), op["path"])

    def test_container_layout_and_crcs(self):
        magic, count, parts, end = parse_container(self.data)
        self.assertEqual(magic, b"\x7a\x7a\x64\x2e")
        self.assertEqual(count, 2)
        self.assertEqual(end, len(self.data))
        for body, crc in parts:
            self.assertEqual(crc, zlib.crc32(body))
            self.assertEqual(body[:6], b"7z\xbc\xaf\x27\x1c")

    def test_manifest_schema(self):
        root = self.manifest_root
        setup, update = root.find("setup"), root.find("update")
        info = setup.find("info").attrib
        self.assertEqual([info["tod%d" % i] for i in range(1, 5)], ["2", "0", "0", "0"])
        self.assertEqual(info["channel"], "stable")
        entries = [entry.attrib for entry in setup.find("ReplacePath")]
        self.assertEqual(entries, [{"DstPathPre": "$INSTDIR", "SrcPathPre": "INSTDIR"}])
        base = update.find("base").attrib
        self.assertEqual([base["tod%d" % i] for i in range(1, 5)], ["1", "0", "0", "0"])
        for op in self.ops():
            self.assertEqual(set(op), {"path", "old_checksum", "new_checksum", "old_path",
                                       "type"})
        parsed = parse_manifest(os.path.join(self.work, "config", "setup.xml"))
        self.assertEqual((parsed.version, parsed.base_version, parsed.install_prefix),
                         ("2.0.0.0", "1.0.0.0", "INSTDIR"))

    def test_archives_hold_files_only_with_forward_slashes(self):
        self.assertEqual(self.manifest_items, ["config/setup.xml"])
        self.assertEqual(sorted(self.payload_items), sorted([
            "INSTDIR/patch.exe", "INSTDIR/zemora.exe.patch", "INSTDIR/sub/lib.dll.patch",
            "INSTDIR/to_empty.txt.patch", "INSTDIR/was_empty.txt.patch",
            "INSTDIR/sub/deep/added.txt", "INSTDIR/empty.txt", "INSTDIR/another/copy.dat"]))
        added = os.path.join(self.work, "INSTDIR", "sub", "deep", "added.txt")
        with open(added, "rb") as stream:
            self.assertEqual(stream.read(), NEW["sub/deep/added.txt"])
        self.assertEqual(os.path.getsize(os.path.join(self.work, "INSTDIR", "empty.txt")), 0)

    def test_patches_apply_with_the_built_patch_tool(self):
        tool = os.path.join(os.environ.get("ZEMORA_BIN_DIR", ""), "patch.exe")
        if not os.path.isfile(tool) or not shutil.which("wine"):
            self.skipTest("needs the built patch.exe and wine")
        out = os.path.join(self.work, "out")
        os.makedirs(out)
        updates = [op for op in self.ops() if op["type"] == "update"]
        self.assertTrue(updates)
        for op in updates:
            local = op["path"].replace("\\", "/")
            with self.subTest(op["path"]):
                new = os.path.join(out, local.replace("/", "_"))
                done = subprocess.run(
                    ["wine", tool, "-apply", windows_path(os.path.join(self.fixture.old, local)),
                     windows_path(os.path.join(self.work, "INSTDIR", local + ".patch")),
                     windows_path(new)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                self.assertEqual(done.returncode, 0, done.stdout)
                with open(new, "rb") as stream:
                    self.assertEqual(stream.read(), NEW[local])

    def test_updater_patch_is_last_of_the_updates(self):
        fixture = Fixture(self.addCleanup, old=dict(OLD, **{"Update.exe": b"updater 1",
                                                 "global.dll": b"g", "Downloader/d.dll": b"d"}),
                          new=dict(NEW, **{"Update.exe": b"updater 2",
                                           "global.dll": b"g", "Downloader/d.dll": b"d"}))
        kinds = [(op.kind, op.path) for op in fixture.build(verify=True).plan.ops]
        updates = [path for kind, path in kinds if kind == "update"]
        self.assertEqual(updates[-1], "Update.exe")
        self.assertEqual(kinds[:len(updates)], [("update", path) for path in updates])

    def test_reply_offers_the_package(self):
        root = ET.fromstring(self.result.reply)
        increment = root.find("increment")
        self.assertEqual(increment.findtext("version_name"), "general")
        self.assertEqual(increment.findtext("version_code"), "187")
        self.assertEqual(increment.findtext("url"), "http://127.0.0.1/packages/pkg.bin")
        self.assertEqual(increment.findtext("md5"), md5(self.data))
        listed = {entry.get("path"): entry.get("checksum") for entry in increment.find("checksum")}
        self.assertEqual(listed, {
            path.replace("/", "\\"): md5(OLD[path])
            for path in ("zemora.exe", "sub/lib.dll", "to_empty.txt", "was_empty.txt",
                         "gone/moved.dat")})
        self.assertEqual(root.findtext("updatable"), "false")
        self.assertEqual(ET.fromstring(self.result.increment).findtext("md5"), md5(self.data))

    def test_same_input_gives_the_same_package(self):
        again = os.path.join(self.fixture.root, "again.bin")
        mkpackage.build_package(self.fixture.old, self.fixture.new, "1.0.0.0", "2.0.0.0",
                                "stable", "http://127.0.0.1/packages/pkg.bin", again,
                                patch_tool=self.fixture.tool)
        with open(again, "rb") as stream:
            self.assertEqual(stream.read(), self.data)


class ReplyTest(unittest.TestCase):
    def test_full_package_and_lone_element(self):
        fixture = Fixture(self.addCleanup)
        result = fixture.build(version_code=190, full_url="http://h/full.exe",
                               full_md5="ABCDEF", full_version_code=191)
        root = ET.fromstring(result.reply)
        self.assertEqual([root.findtext(name) for name in ("updatable", "url", "md5",
                                                           "version_code")],
                         ["true", "http://h/full.exe", "ABCDEF", "191"])
        self.assertEqual(ET.fromstring(result.increment).tag, "increment")

    def test_without_base_reads_the_main_program_is_listed(self):
        old = dict(RUNTIME, **{"zemora.exe": b"main", "a.txt": b"a"})
        new = dict(RUNTIME, **{"zemora.exe": b"main", "b.txt": b"b"})
        result = Fixture(self.addCleanup, old, new).build(version_code=187, verify=True)
        self.assertEqual(result.checksums, [("zemora.exe", md5(b"main"))])

    def test_reply_files_from_the_command_line(self):
        fixture = Fixture(self.addCleanup)
        reply = os.path.join(fixture.root, "reply.xml")
        element = os.path.join(fixture.root, "increment.xml")
        service = os.path.join(fixture.root, "service.json")
        done = fixture.cli("--reply", reply, "--increment", element, "--version-code", "187",
                           "--service-config", service)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(fixture.package, "rb") as stream:
            package = stream.read()
        for path in (reply, element):
            root = ET.parse(path).getroot()
            found = root if root.tag == "increment" else root.find("increment")
            self.assertEqual(found.findtext("md5"), md5(package))
        self.served_by_update_service(service, reply, package)

    def served_by_update_service(self, config_path, reply_path, package):
        sys.path.insert(0, os.path.join(SOURCE, "tools", "updateservice"))
        try:
            from updateservice import UpdateService
        except ImportError:
            self.skipTest("the local update service is not in this tree")
        with open(config_path) as stream:
            config = json.load(stream)
        with open(reply_path, "rb") as stream:
            reply = stream.read()
        with UpdateService(config) as service:
            query = "/v2/update/ostrel?versionCode=186&versionName=general&channel=stable"
            with urllib.request.urlopen(service.base_url + query) as answer:
                self.assertEqual(answer.read(), reply)
            with urllib.request.urlopen(service.base_url + "/packages/pkg.bin") as answer:
                self.assertEqual(answer.read(), package)


class VerifyTest(unittest.TestCase):
    def test_tampered_package_fails(self):
        def flip_payload_byte(package):
            with open(package, "r+b") as stream:
                stream.seek(-40, os.SEEK_END)
                byte = stream.read(1)
                stream.seek(-40, os.SEEK_END)
                stream.write(bytes([byte[0] ^ 0xFF]))

        def write_file(relative, data):
            def edit(folder):
                with open(os.path.join(folder, *relative.split("/")), "wb") as stream:
                    stream.write(data)
            return edit

        wrong_patch = subprocess.run(["zstd", "-q", "-c"], input=b"something else",
                                     check=True, stdout=subprocess.PIPE).stdout

        cases = [
            ("flipped byte", flip_payload_byte, "CRC verification failed"),
            ("wrong new file", lambda p: rewrite_subpackage(
                p, 1, write_file("INSTDIR/sub/deep/added.txt", b"evil")),
             "content differs: sub\\deep\\added.txt"),
            ("wrong patch", lambda p: rewrite_subpackage(
                p, 1, write_file("INSTDIR/sub/lib.dll.patch", wrong_patch)),
             "patched file md5 not match"),
            ("broken patch", lambda p: rewrite_subpackage(
                p, 1, write_file("INSTDIR/zemora.exe.patch", b"not zstd")),
             "apply patch for zemora.exe failed"),
            ("no manifest", lambda p: rewrite_subpackage(
                p, 0, lambda folder: os.rename(os.path.join(folder, "config", "setup.xml"),
                                               os.path.join(folder, "config", "other.xml"))),
             "cannot load xml file"),
        ]
        fixture = Fixture(self.addCleanup)
        fixture.build()
        pristine = fixture.package + ".good"
        shutil.copyfile(fixture.package, pristine)
        verify_package(pristine, fixture.old, fixture.new)
        for name, damage, message in cases:
            with self.subTest(name):
                shutil.copyfile(pristine, fixture.package)
                damage(fixture.package)
                with self.assertRaises(PackageError) as caught:
                    verify_package(fixture.package, fixture.old, fixture.new)
                self.assertIn(message, str(caught.exception))

    def test_changed_base_fails(self):
        fixture = Fixture(self.addCleanup)
        fixture.build()
        write_tree(fixture.old, {"sub/lib.dll": b"edited by the user"})
        with self.assertRaises(VerifyError) as caught:
            verify_package(fixture.package, fixture.old, fixture.new)
        self.assertIn("base version file checksum not match: sub\\lib.dll", str(caught.exception))
        write_tree(fixture.old, {"sub/lib.dll": OLD["sub/lib.dll"],
                                 "gone/moved.dat": b"edited"})
        with self.assertRaises(VerifyError) as caught:
            verify_package(fixture.package, fixture.old, fixture.new,
                           [("gone\\moved.dat", md5(OLD["gone/moved.dat"]))])
        self.assertIn("md5 of file gone\\moved.dat not match", str(caught.exception))

    def test_command_line_verification_failures_write_nothing(self):
        no_uninstaller = {k: v for k, v in NEW.items() if k != "Uninst.exe"}
        updater = {"Update.exe": b"u1", "global.dll": b"g", "Microsoft.VC90.CRT/x": b"c"}
        cases = [
            ("no patch tool", dict(old=OLD, new=NEW, patch_tool=False), "cannot find patch.exe"),
            ("no uninstaller", dict(old=OLD, new=no_uninstaller),
             "copy Uninst.exe to upper folder failed"),
            ("no zlib", dict(old={k: v for k, v in OLD.items() if k != "zlib1.dll"},
                             new={k: v for k, v in NEW.items() if k != "zlib1.dll"}),
             "cannot copy zlib1.dll"),
            ("new updater without Downloader", dict(
                old=dict(OLD, **updater), new=dict(NEW, **dict(updater, **{"Update.exe": b"u2"}))),
             "needs Downloader"),
        ]
        for name, layout, message in cases:
            with self.subTest(name):
                fixture = Fixture(self.addCleanup, **layout)
                done = fixture.cli("--verify")
                self.assertEqual(done.returncode, 3, done.stderr)
                self.assertIn("verification failed", done.stderr)
                self.assertIn(message, done.stderr)
                self.assertNotIn("Traceback", done.stderr)
                self.assertEqual(os.listdir(fixture.root).count("pkg.bin"), 0)
                self.assertFalse(os.path.exists(fixture.package + ".part"))


class InputTest(unittest.TestCase):
    def test_names_windows_cannot_hold_are_refused(self):
        cases = [
            ("two files", {"a.txt": b"1", "A.TXT": b"2"}, "differ only in letter case"),
            ("two folders", {"Sub/x": b"1", "sub/y": b"2"}, "differ only in letter case"),
            ("non-ASCII name", {"caf\u00e9.txt": b"x"}, "outside printable ASCII"),
            ("backslash in name", {"a\\b.txt": b"x"}, "Windows does not allow"),
            ("device name", {"sub/nul.txt": b"x"}, "device name"),
            ("trailing dot", {"name.": b"x"}, "ends with a blank or a dot"),
        ]
        for name, extra, message in cases:
            with self.subTest(name):
                fixture = Fixture(self.addCleanup, new=dict(NEW, **extra))
                done = fixture.cli()
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn(message, done.stderr)
                self.assertIn("the new version folder", done.stderr)
                self.assertFalse(os.path.exists(fixture.package))

    def test_case_only_renames_keep_the_installed_spelling(self):
        old = dict(RUNTIME, **{"zemora.exe": b"main", "Lib.DLL": b"v1", "Data/x.txt": b"x"})
        new = dict(RUNTIME, **{"zemora.exe": b"main", "lib.dll": b"v2", "data/x.txt": b"x",
                               "data/y.txt": b"y"})
        result = Fixture(self.addCleanup, old, new).build(verify=True)
        self.assertEqual(sorted((op.kind, op.path) for op in result.plan.ops),
                         [("new", "Data\\y.txt"), ("update", "Lib.DLL")])
        self.assertTrue(any("Lib.DLL is spelled lib.dll" in note for note in result.notes))

    def test_patch_name_taken_by_a_new_file(self):
        new = dict(NEW, **{"sub/lib.dll.patch": b"a file of the application"})
        result = Fixture(self.addCleanup, new=new).build(verify=True)
        kinds = {op.path: op.kind for op in result.plan.ops}
        self.assertEqual((kinds["sub\\lib.dll"], kinds["sub\\lib.dll.patch"]), ("new", "new"))

    def test_bad_input_is_reported(self):
        cases = [
            ("same versions", ["--new-version", "1.0.0.0"], "are both 1.0.0.0"),
            ("bad version", ["--old-version", "1.0"], "is not four dotted numbers"),
            ("low version code", ["--reply", "r.xml", "--version-code", "186"],
             "not above 186"),
            ("missing folder", ["--old", "/nonexistent/old"], "is not a folder"),
            ("non-ASCII channel", ["--channel", "st\u00e4ble"], "printable ASCII"),
            ("prefix named config", ["--source-prefix", "Config"], "share its folder"),
            ("patch tool missing", ["--patch-tool", "/nonexistent/patch.exe"], "is not a file"),
        ]
        for name, extra, message in cases:
            with self.subTest(name):
                fixture = Fixture(self.addCleanup)
                done = fixture.cli(*extra)
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn(message, done.stderr)
                self.assertNotIn("Traceback", done.stderr)

    def test_symbolic_link_is_refused(self):
        fixture = Fixture(self.addCleanup)
        os.symlink("same.txt", os.path.join(fixture.new, "link.txt"))
        done = fixture.cli()
        self.assertEqual(done.returncode, 1, done.stderr)
        self.assertIn("symbolic link", done.stderr)

    def test_output_inside_a_version_folder_is_refused(self):
        fixture = Fixture(self.addCleanup)
        fixture.package = os.path.join(fixture.new, "pkg.bin")
        done = fixture.cli()
        self.assertEqual(done.returncode, 1, done.stderr)
        self.assertIn("lies inside the version folder", done.stderr)


class ContainerReaderTest(unittest.TestCase):
    """The checks --verify makes on the container, as the updater makes them."""

    @classmethod
    def setUpClass(cls):
        cls.first, cls.second = b"7z first archive", b"7z second archive"

    def package(self, count=2, first=None, extra=b""):
        first = self.first if first is None else first
        data = struct.pack("<4sH", b"zzd.", count)
        for body in (first, self.second):
            data += struct.pack("<II", len(body), zlib.crc32(body)) + body
        return data + extra

    def test_rules(self):
        good = self.package()
        long_first = bytearray(good)
        struct.pack_into("<I", long_first, 6, len(good))
        cases = [
            ("count 1", self.package(count=1), "invalid package count: 1"),
            ("wrong magic", b"zzd!" + good[4:], "magic number not match"),
            ("three bytes", good[:3], "magic number not match"),
            ("header only", good[:10], "invalid file size: 10"),
            ("first too long", bytes(long_first),
             "invalid file size: %d, sub package size: %d" % (len(good), len(good))),
            ("second cut", good[:-3], "sub package size: %d" % len(self.second)),
        ]
        for name, data, message in cases:
            with self.subTest(name):
                with self.assertRaises(PackageError) as caught:
                    read_container(data)
                self.assertIn(message, str(caught.exception))

    def test_third_subpackage_is_ignored(self):
        container = read_container(self.package(count=3, extra=b"\x03\0\0\0\0\0\0\0abc"))
        self.assertEqual(container.subpackages, [self.first, self.second])

    def test_empty_archive_is_a_valid_7z(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        archive = os.path.join(folder, "empty.7z")
        make_archive(folder, [], archive)
        self.assertEqual(list_archive(archive), [])


class ManifestReaderTest(unittest.TestCase):
    """The manifest rules --verify applies, as the updater applies them."""

    def parse(self, files='<f path="a" type="UPDATE"/>', info='tod1="2" tod2="0" tod3="0" tod4="1"'):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        path = os.path.join(folder, "setup.xml")
        with open(path, "w") as stream:
            stream.write('<r><setup><info %s/><ReplacePath><e DstPathPre="x$INSTDIR" '
                         'SrcPathPre="P"/></ReplacePath></setup><update><base tod1="1a" '
                         'tod2="0" tod3="0" tod4="0"/><files>%s</files></update></r>'
                         % (info, files))
        return parse_manifest(path)

    def test_rules(self):
        manifest = self.parse('<f path="a" type="UPDATE"/><f path="b" type="copy"/>'
                              '<g path="c" type="Move" old_path="d"/>')
        self.assertEqual([(op.kind, op.path) for op in manifest.ops],
                         [("update", "a"), ("move", "c")])
        self.assertEqual((manifest.version, manifest.base_version, manifest.install_prefix),
                         ("2.0.0.1", "1.0.0.0", "P"))
        with self.assertRaises(PackageError) as caught:
            self.parse(info='tod1="2" tod2="0" tod4="1"')
        self.assertIn("attribute tod3 not found in setup.xml", str(caught.exception))


if __name__ == "__main__":
    unittest.main(verbosity=2)
