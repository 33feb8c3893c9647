"""Reading a version folder: its files, checked for names Windows can hold."""

import os
import stat

from pkg_common import PackageError, case_key, md5_file, to_windows_path

# Characters Windows refuses in a file name (the separators are checked apart).
_WINDOWS_INVALID = set('<>:"|?*\\')
_RESERVED_DEVICES = {"con", "prn", "aux", "nul"} | {
    "%s%d" % (prefix, n) for prefix in ("com", "lpt") for n in range(1, 10)}


class TreeFile:
    """One file of a version folder."""

    def __init__(self, root, relative):
        self.relative = relative              # "/"-separated, for the local disk
        self.path = to_windows_path(relative)  # "\"-separated, for the updater
        self.full = os.path.join(root, *relative.split("/"))
        self.size = os.path.getsize(self.full)
        self._md5 = None

    @property
    def md5(self):
        if self._md5 is None:
            self._md5 = md5_file(self.full)
        return self._md5

    def same_content(self, other):
        if self.size != other.size:
            return False
        return self.md5 == other.md5


class VersionTree:
    """The files of one version folder, looked up the way Windows does."""

    def __init__(self, root, files, folders):
        self.root = root
        self.files = files        # case key -> TreeFile, in sorted order
        self.folders = folders    # case key -> "\"-separated folder path

    def get(self, windows_path):
        return self.files.get(case_key(windows_path))

    def __iter__(self):
        return iter(self.files.values())

    def __len__(self):
        return len(self.files)


def check_name(name, relative, label):
    """Refuses a path component that the updater or Windows cannot carry."""
    where = "%s: %r" % (label, relative)
    if any(ord(c) < 0x20 or ord(c) > 0x7E for c in name):
        raise PackageError(
            "%s holds a character outside printable ASCII; the updater reads "
            "manifest paths in the machine's ANSI code page, so only ASCII "
            "names are safe" % where)
    bad = sorted(set(name) & _WINDOWS_INVALID)
    if bad:
        raise PackageError("%s holds %s, which Windows does not allow in a name"
                           % (where, " ".join(repr(c) for c in bad)))
    if name.endswith((" ", ".")):
        raise PackageError("%s ends with a blank or a dot, which Windows drops"
                           % where)
    if name.split(".")[0].rstrip(" ").lower() in _RESERVED_DEVICES:
        raise PackageError("%s uses a Windows device name" % where)


def _remember(seen, key, shown, label):
    earlier = seen.get(key)
    if earlier is not None:
        raise PackageError(
            "%s holds %r and %r, which differ only in letter case; on Windows "
            "one would overwrite the other" % (label, earlier, shown))
    seen[key] = shown


def scan_tree(root, label):
    """Lists every file below root; refuses links, special files and names
    that would collide or be unusable on Windows."""
    if not os.path.isdir(root):
        raise PackageError("%s %r is not a folder" % (label, root))
    files = {}
    folders = {}
    seen = {}
    try:
        for current, dirnames, filenames in os.walk(root, onerror=_raise):
            dirnames.sort()
            base = os.path.relpath(current, root)
            base = "" if base == "." else base.replace(os.sep, "/") + "/"
            for name in dirnames + sorted(filenames):
                relative = base + name
                full = os.path.join(current, name)
                check_name(name, relative, label)
                mode = os.lstat(full).st_mode
                if stat.S_ISLNK(mode):
                    raise PackageError(
                        "%s: %r is a symbolic link; copy the real file in its "
                        "place" % (label, relative))
                key = case_key(to_windows_path(relative))
                _remember(seen, key, relative, label)
                if stat.S_ISDIR(mode):
                    folders[key] = to_windows_path(relative)
                elif stat.S_ISREG(mode):
                    files[key] = TreeFile(root, relative)
                else:
                    raise PackageError("%s: %r is not a regular file"
                                       % (label, relative))
    except OSError as error:
        raise PackageError("%s: cannot read %r: %s" % (
            label, error.filename or root, error.strerror or error))
    ordered = dict(sorted(files.items()))
    return VersionTree(root, ordered, folders)


def _raise(error):
    raise error
