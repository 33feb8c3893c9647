"""Applies a finished package to a copy of the old version by the updater's
rules and compares the outcome with the new version, file by file."""

import filecmp
import os
import re
import shutil
import subprocess
import tempfile

from pkg_common import (MANIFEST_FOLDER, MANIFEST_NAME, PATCH_SUFFIX, PATCH_TOOL_NAME,
                        UPDATER_NAME, PackageError, case_key, md5_file)
from pkg_container import extract_archive, read_container
from pkg_manifest import parse_manifest

# What the installed base must offer beside a patch tool, and to a new updater
# placed in the work folder.
ZLIB_NAME = "zlib1.dll"
VCRT_FOLDER = "Microsoft.VC90.CRT"
GLOBAL_DLL = "global.dll"
DOWNLOADER_FOLDER = "Downloader"
# The updater copies these up into the install folder after the move.
TOP_PROGRAMS = ("zemora.exe", "Uninst.exe")


class VerifyError(PackageError):
    """The package would not turn the old version into the new one."""


class VerifyReport:
    def __init__(self):
        self.notes = []
        self.ops_applied = 0


def _parts(windows_path, what):
    parts = re.split(r"[\\/]", windows_path)
    if (not windows_path or windows_path.startswith(("\\", "/")) or ":" in windows_path
            or any(part in ("", ".", "..") for part in parts)):
        raise VerifyError("%s %r is not a plain relative path" % (what, windows_path))
    return parts


def resolve(root, windows_path, what="path"):
    """A path below root found the way Windows finds it: each component matched
    without regard to letter case, taken as spelled when nothing matches."""
    current = root
    for part in _parts(windows_path, what):
        candidate = os.path.join(current, part)
        if not os.path.lexists(candidate) and os.path.isdir(current):
            for name in os.listdir(current):
                if name.lower() == part.lower():
                    candidate = os.path.join(current, name)
                    break
        current = candidate
    return current


def _check_folders_apart(manifest):
    """The updater derives its folders from the versions and the prefix; equal
    names would make it write the new version over the old or the payload."""
    if manifest.version == manifest.base_version:
        raise VerifyError("the manifest names %s as both the new and the base "
                          "version" % manifest.version)
    if case_key(manifest.install_prefix) in (case_key(manifest.version), MANIFEST_FOLDER):
        raise VerifyError("the payload prefix %r collides with the staging folder "
                          "or the manifest folder" % manifest.install_prefix)


def _same_md5(path, expected):
    return os.path.isfile(path) and md5_file(path).lower() == expected.lower()


def _check_reply_checksums(base, checksums):
    for path, checksum in checksums:
        if not _same_md5(resolve(base, path, "checksum path"), checksum):
            raise VerifyError("md5 of file %s not match: the updater would take "
                              "the full package instead" % path)


def _check_targets(ops):
    """Operations run at once in any order: none may touch what another does."""
    touched = {}
    for index, op in enumerate(ops):
        names = [op.path] + ([op.old_path] if op.kind == "move" else [])
        for name in names:
            key = case_key(name)
            if key in touched:
                raise VerifyError("operations %d and %d both touch %s; they run "
                                  "concurrently" % (touched[key] + 1, index + 1, name))
            touched[key] = index


def _find_patch_tool(base, patch_source):
    for folder in (base, patch_source):
        tool = resolve(folder, PATCH_TOOL_NAME)
        if os.path.isfile(tool):
            return tool
    raise VerifyError("cannot find patch.exe: neither the old version nor the "
                      "package holds one (use --patch-tool)")


def _check_patch_tool_runtime(tool, base):
    folder = os.path.dirname(tool)
    if not os.path.isfile(resolve(folder, ZLIB_NAME)) and \
            not os.path.isfile(resolve(base, ZLIB_NAME)):
        raise VerifyError("cannot copy zlib1.dll: the old version has no %s to "
                          "place beside the patch tool" % ZLIB_NAME)
    if not os.path.exists(resolve(folder, VCRT_FOLDER)) and \
            not os.path.exists(resolve(base, VCRT_FOLDER)):
        raise VerifyError("copy vccrt dir for patch.exe failed: the old version "
                          "has no %s folder" % VCRT_FOLDER)


def _check_updater_replacement(ops, base):
    """A new Update.exe first starts from the work folder with runtime files
    taken from the base."""
    if not any(op.kind == "update" and case_key(op.path) == case_key(UPDATER_NAME)
               for op in ops):
        return
    has_global_op = any(case_key(op.path) == case_key(GLOBAL_DLL) for op in ops)
    needed = [(VCRT_FOLDER, os.path.exists), (ZLIB_NAME, os.path.isfile),
              (DOWNLOADER_FOLDER, os.path.exists)]
    if not has_global_op:
        needed.insert(0, (GLOBAL_DLL, os.path.isfile))
    for name, present in needed:
        if not present(resolve(base, name)):
            raise VerifyError("the package replaces %s, which needs %s from the old "
                              "version, and the old version has none"
                              % (UPDATER_NAME, name))


def _apply_update(op, base, staging, patch_source):
    old = resolve(base, op.old_path or op.path)
    patch = resolve(patch_source, op.path + PATCH_SUFFIX)
    new = resolve(staging, op.path)
    if not os.path.isdir(os.path.dirname(new)):
        raise VerifyError("apply patch for %s failed: its folder is missing in "
                          "the staging folder" % op.path)
    completed = subprocess.run(
        ["zstd", "-d", "-q", "-f", "--long=31", "--patch-from=" + old, patch, "-o", new],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if completed.returncode != 0:
        raise VerifyError("apply patch for %s failed: %s" % (
            op.path, completed.stdout.decode("utf-8", "replace").strip()))
    computed = md5_file(new)
    if computed.lower() != op.new_checksum.lower():
        raise VerifyError("patched file md5 not match, %s vs %s (%s)"
                          % (computed, op.new_checksum, op.path))


def _place(source, target, how, message):
    try:
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if not os.path.isfile(source):
            raise FileNotFoundError(source)
        how(source, target)
    except OSError as error:
        raise VerifyError("%s: %s" % (message, error.strerror or error))


def _apply(op, base, staging, patch_source):
    if op.kind == "update":
        _apply_update(op, base, staging, patch_source)
    elif op.kind == "new":
        source = resolve(patch_source, op.path)
        target = resolve(staging, op.path)
        _place(source, target, shutil.copyfile,
               "copy file %s to %s failed" % (op.path, op.path))
    elif op.kind == "delete":
        target = resolve(staging, op.path)
        if os.path.isfile(target):
            os.remove(target)
    elif op.kind == "move":
        source = resolve(staging, op.old_path)
        target = resolve(staging, op.path)
        _place(source, target, os.replace,
               "move file %s to %s failed" % (op.old_path, op.path))


def _file_map(root):
    files = {}
    folders = {}
    for current, dirnames, filenames in os.walk(root):
        relative = os.path.relpath(current, root)
        prefix = "" if relative == "." else relative.replace(os.sep, "\\") + "\\"
        for name in dirnames:
            folders[case_key(prefix + name)] = prefix + name
        for name in filenames:
            files[case_key(prefix + name)] = (prefix + name, os.path.join(current, name))
    return files, folders


def compare_trees(result_root, new_root, report):
    """Every file of the new version must come out byte for byte, and nothing
    else; letter case and empty folders are only noted."""
    result, result_folders = _file_map(result_root)
    wanted, wanted_folders = _file_map(new_root)
    problems = []
    for key, (name, path) in sorted(wanted.items()):
        got = result.get(key)
        if got is None:
            problems.append("missing after the update: %s" % name)
            continue
        if got[0] != name:
            report.notes.append("%s comes out spelled %s" % (name, got[0]))
        if not filecmp.cmp(got[1], path, shallow=False):
            problems.append("content differs: %s" % name)
    for key, (name, _) in sorted(result.items()):
        if key not in wanted:
            problems.append("left over after the update: %s" % name)
    for key, name in sorted(result_folders.items()):
        if key not in wanted_folders:
            report.notes.append("the emptied folder %s stays after the update" % name)
    if problems:
        raise VerifyError("the updated copy differs from the new version:\n  "
                          + "\n  ".join(problems))


def verify_package(package_path, old_root, new_root, checksums=()):
    """Raises VerifyError unless the package turns a copy of old_root into
    new_root; checksums is the reply's list of base files."""
    report = VerifyReport()
    with open(package_path, "rb") as stream:
        data = stream.read()
    with tempfile.TemporaryDirectory(prefix="mkpackage-verify-") as scratch:
        work = os.path.join(scratch, "work")
        base = os.path.join(scratch, "installed")
        staging = os.path.join(scratch, "staging")
        os.makedirs(work)
        container = read_container(data)
        extract_archive(container.subpackages[0], work, "sub-package 1")
        manifest = parse_manifest(os.path.join(work, MANIFEST_FOLDER, MANIFEST_NAME))
        extract_archive(container.subpackages[1], work, "sub-package 2")
        _check_folders_apart(manifest)
        if manifest.install_prefix:
            patch_source = resolve(work, manifest.install_prefix, "payload prefix")
        else:
            patch_source = work
        shutil.copytree(old_root, base, symlinks=True)
        _check_reply_checksums(base, checksums)
        for op in manifest.ops:
            _parts(op.path, "operation path")
            if op.kind == "move" or op.old_path:
                _parts(op.old_path, "operation old_path")
            if op.kind == "update":
                old = resolve(base, op.old_path or op.path)
                if not _same_md5(old, op.old_checksum):
                    raise VerifyError("base version file checksum not match: %s"
                                      % (op.old_path or op.path))
        _check_targets(manifest.ops)
        tool = _find_patch_tool(base, patch_source)
        _check_patch_tool_runtime(tool, base)
        _check_updater_replacement(manifest.ops, base)
        shutil.copytree(base, staging, symlinks=True)
        for op in manifest.ops:
            _apply(op, base, staging, patch_source)
            report.ops_applied += 1
        for name in TOP_PROGRAMS:
            if not os.path.isfile(resolve(staging, name)):
                raise VerifyError("copy %s to upper folder failed: the new version "
                                  "has no %s" % (name, name))
        compare_trees(staging, new_root, report)
    return report
