"""Turning an old and a new version folder into file operations and payload."""

import os
import shutil

from pkg_common import (PATCH_SUFFIX, PATCH_TOOL_NAME, UPDATER_NAME,
                        PackageError, case_key, md5_file, run_tool)

UPDATE, NEW, DELETE, MOVE = "update", "new", "delete", "move"

# The updater's patch tool is a 32-bit program holding the old file and the
# decoding window in memory; beyond this size a file travels whole instead.
DEFAULT_PATCH_LIMIT = 512 * 1024 * 1024
# zstd's largest window a 32-bit decoder accepts.
MAX_WINDOW_LOG = 30
MIN_WINDOW_LOG = 10


class FileOp:
    """One operation of the manifest, with the local files it comes from."""

    def __init__(self, kind, path, old_file=None, new_file=None, old_path=""):
        self.kind = kind
        self.path = path            # "\"-separated, as the manifest names it
        self.old_file = old_file    # TreeFile of the base, when one is read
        self.new_file = new_file    # TreeFile of the new version, when one results
        self.old_path = old_path

    @property
    def old_checksum(self):
        return self.old_file.md5 if self.old_file else ""

    @property
    def new_checksum(self):
        return self.new_file.md5 if self.new_file else ""

    @property
    def payload_name(self):
        """The file this operation needs under the payload prefix, if any."""
        if self.kind == UPDATE:
            return self.path + PATCH_SUFFIX
        if self.kind == NEW:
            return self.path
        return None

    def reads_base(self):
        """The base file whose content the result depends on, if any."""
        if self.kind == UPDATE or self.kind == MOVE:
            return self.old_file
        return None

    def __repr__(self):
        return "FileOp(%s %r%s)" % (self.kind, self.path,
                                    " from %r" % self.old_path if self.old_path else "")


class Plan:
    def __init__(self, ops, patch_tool, notes):
        self.ops = ops
        self.patch_tool = patch_tool    # local path of a patch tool to ship, or None
        self.notes = notes              # warnings for the release engineer


def _spell_like_base(path, old_tree):
    """Gives a new path the letter case of the base's folders it lands in, as
    Windows would resolve them."""
    parts = path.split("\\")
    for index in range(len(parts) - 1):
        folder = "\\".join(parts[:index + 1])
        existing = old_tree.folders.get(case_key(folder))
        if existing:
            parts[:index + 1] = existing.split("\\")
    return "\\".join(parts)


def _too_big(old_file, new_file, patch_limit):
    return max(old_file.size, new_file.size) > patch_limit


def plan_operations(old_tree, new_tree, patch_tool=None, detect_moves=True,
                    patch_limit=DEFAULT_PATCH_LIMIT):
    notes = []
    updates, news, moves, deletes = [], [], [], []
    added = []
    for new_file in new_tree:
        old_file = old_tree.get(new_file.path)
        if old_file is None:
            added.append(new_file)
            continue
        if old_file.path != new_file.path:
            notes.append("%s is spelled %s in the new version; Windows keeps the "
                         "installed letter case" % (old_file.path, new_file.path))
        if old_file.same_content(new_file):
            continue
        if _too_big(old_file, new_file, patch_limit):
            news.append(FileOp(NEW, old_file.path, new_file=new_file))
            notes.append("%s is larger than %d bytes and travels whole"
                         % (old_file.path, patch_limit))
        else:
            updates.append(FileOp(UPDATE, old_file.path, old_file, new_file))
    deleted = [old_file for old_file in old_tree if new_tree.get(old_file.path) is None]

    sources = _move_sources(added, deleted) if detect_moves else {}
    for new_file in added:
        target = _spell_like_base(new_file.path, old_tree)
        source = sources.get(case_key(new_file.path))
        if source:
            moves.append(FileOp(MOVE, target, source, new_file, old_path=source.path))
        else:
            news.append(FileOp(NEW, target, new_file=new_file))
    moved = {case_key(source.path) for source in sources.values()}
    for old_file in deleted:
        if case_key(old_file.path) not in moved:
            deletes.append(FileOp(DELETE, old_file.path, old_file=old_file))

    patch_tool = _settle_payload_names(updates, news, patch_tool, notes)

    # The updater verifies base files in list order and replaces itself at
    # its own entry: listing it last checks every other base file first.
    updates.sort(key=lambda op: (case_key(op.path) == case_key(UPDATER_NAME),
                                 case_key(op.path)))
    news.sort(key=lambda op: case_key(op.path))
    ops = updates + news + moves + deletes
    for folder in _empty_new_folders(old_tree, new_tree):
        notes.append("the empty folder %s of the new version is not carried: "
                     "the package holds files only" % folder)
    return Plan(ops, patch_tool, notes)


def _move_sources(added, deleted):
    """A removed file whose content reappears under a new name is renamed in
    place. Each removed file serves one target, so that no two operations
    touch it; a target of the same file name is served first."""
    by_content = {}
    for old_file in deleted:
        by_content.setdefault((old_file.size, old_file.md5), []).append(old_file)
    sources = {}
    for same_name_only in (True, False):
        for new_file in added:
            key = case_key(new_file.path)
            candidates = by_content.get((new_file.size, new_file.md5))
            if key in sources or not candidates:
                continue
            name = _file_name(new_file.path)
            for source in candidates:
                if not same_name_only or _file_name(source.path) == name:
                    candidates.remove(source)
                    sources[key] = source
                    break
    return sources


def _file_name(path):
    return case_key(path.rsplit("\\", 1)[-1])


def _settle_payload_names(updates, news, patch_tool, notes):
    """Each payload file needs its own name; an update whose patch name is
    taken by a new file falls back to carrying the whole file."""
    while True:
        names = {}
        for op in news:
            names[case_key(op.payload_name)] = op
        clash = [op for op in updates if case_key(op.payload_name) in names]
        if not clash:
            break
        for op in clash:
            updates.remove(op)
            news.append(FileOp(NEW, op.path, new_file=op.new_file))
            notes.append("%s travels whole: its patch name %s is a file of the "
                         "new version" % (op.path, op.payload_name))
    shipped = names.get(case_key(PATCH_TOOL_NAME))
    if patch_tool and shipped:
        if md5_file(patch_tool) != shipped.new_file.md5:
            raise PackageError(
                "--patch-tool %r differs from the new version's own %s, which "
                "the payload carries at the same place" % (patch_tool, shipped.path))
        notes.append("the new version's own %s serves as the patch tool" % shipped.path)
        return None
    return patch_tool


def _empty_new_folders(old_tree, new_tree):
    holding = set()
    for new_file in new_tree:
        parts = case_key(new_file.path).split("\\")[:-1]
        for index in range(len(parts)):
            holding.add("\\".join(parts[:index + 1]))
    return sorted(folder for key, folder in new_tree.folders.items()
                  if key not in holding and key not in old_tree.folders)


def window_log(*sizes):
    largest = max(sizes + (1,))
    return max(MIN_WINDOW_LOG, min(MAX_WINDOW_LOG, largest.bit_length()))


def make_patch(old_full, new_full, patch_full, level):
    """A zstd frame that rebuilds the new file with the old one as reference
    prefix (what the updater's patch tool applies)."""
    if os.path.getsize(new_full) == 0:
        # zstd's reference mode cannot take an empty input; a plain frame of
        # nothing decodes the same with any reference.
        arguments = ["zstd", "-q", "-f", "-%d" % level, new_full, "-o", patch_full]
    else:
        log = window_log(os.path.getsize(old_full), os.path.getsize(new_full))
        arguments = ["zstd", "-q", "-f", "-%d" % level, "--long=%d" % log,
                     "--patch-from=" + old_full, new_full, "-o", patch_full]
    run_tool(arguments, "making the patch for %s" % new_full)


def write_payload(plan, payload_root, level):
    """Writes every payload file below payload_root; returns their relative
    "/"-separated names, sorted."""
    names = []
    for op in plan.ops:
        name = op.payload_name
        if name is None:
            continue
        relative = name.replace("\\", "/")
        target = os.path.join(payload_root, *relative.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if op.kind == UPDATE:
            make_patch(op.old_file.full, op.new_file.full, target, level)
        else:
            shutil.copyfile(op.new_file.full, target)
        names.append(relative)
    if plan.patch_tool:
        shutil.copyfile(plan.patch_tool, os.path.join(payload_root, PATCH_TOOL_NAME))
        names.append(PATCH_TOOL_NAME)
    return sorted(names)
