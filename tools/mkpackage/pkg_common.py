"""Small pieces shared by the package builder's modules."""

import hashlib
import re
import shutil
import subprocess


class PackageError(Exception):
    """A problem with the input or the package, reported to the user as is."""


# Payload folder names the updater itself gives meaning to in its work folder.
MANIFEST_FOLDER = "config"
MANIFEST_NAME = "setup.xml"
PATCH_TOOL_NAME = "patch.exe"
PATCH_SUFFIX = ".patch"
UPDATER_NAME = "Update.exe"

# The updater's own version code; an increment must offer a larger one.
UPDATER_VERSION_CODE = 186
UPDATER_VERSION_NAME = "general"

_VERSION_PATTERN = re.compile(r"^\s*(\d+)\.(\d+)\.(\d+)\.(\d+)\s*$")
_INT32_MAX = 2 ** 31 - 1


def md5_file(path):
    digest = hashlib.md5()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def parse_version(text, what):
    """Four dotted numbers as the updater formats them ("%d.%d.%d.%d")."""
    match = _VERSION_PATTERN.match(text or "")
    if not match:
        raise PackageError(
            "%s %r is not four dotted numbers such as 1.0.0.0" % (what, text))
    numbers = tuple(int(part) for part in match.groups())
    if any(number > _INT32_MAX for number in numbers):
        raise PackageError("%s %r has a number above %d" % (what, text, _INT32_MAX))
    return numbers


def format_version(numbers):
    return "%d.%d.%d.%d" % tuple(numbers)


def to_windows_path(relative_posix):
    return relative_posix.replace("/", "\\")


def case_key(windows_path):
    """Windows compares file names without regard to letter case."""
    return windows_path.lower()


def require_tool(name):
    path = shutil.which(name)
    if not path:
        raise PackageError(
            "the command-line tool %r is not installed (Debian package %s)"
            % (name, "7zip" if name == "7zz" else name))
    return path


def run_tool(arguments, what, cwd=None):
    """Runs an external tool; its failure becomes a PackageError with its output."""
    require_tool(arguments[0])
    completed = subprocess.run(arguments, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, cwd=cwd)
    if completed.returncode != 0:
        output = completed.stdout.decode("utf-8", "replace").strip()
        raise PackageError("%s failed (%s exited with code %d)%s" % (
            what, arguments[0], completed.returncode,
            (": " + output[-2000:]) if output else ""))
    return completed.stdout
