"""The manifest config\\setup.xml: writing it, and reading it back the way the
updater does."""

import re
import xml.etree.ElementTree as ET

from pkg_common import PackageError, format_version

INSTDIR_TOKEN = "$INSTDIR"
TEMP_TOKEN = "$TEMP"
OP_TYPES = ("update", "new", "delete", "move")


def _tods(element, numbers):
    for index, number in enumerate(numbers, 1):
        element.set("tod%d" % index, "%d" % number)


def manifest_xml(version, base_version, channel, install_prefix, ops,
                 temp_prefix=None):
    """The manifest as bytes; versions are 4-tuples of numbers."""
    root = ET.Element("package")
    setup = ET.SubElement(root, "setup")
    info = ET.SubElement(setup, "info")
    _tods(info, version)
    info.set("channel", channel)
    replace = ET.SubElement(setup, "ReplacePath")
    ET.SubElement(replace, "entry", DstPathPre=INSTDIR_TOKEN, SrcPathPre=install_prefix)
    if temp_prefix:
        ET.SubElement(replace, "entry", DstPathPre=TEMP_TOKEN, SrcPathPre=temp_prefix)
    update = ET.SubElement(root, "update")
    _tods(ET.SubElement(update, "base"), base_version)
    files = ET.SubElement(update, "files")
    for op in ops:
        element = ET.SubElement(files, "file")
        element.set("path", op.path)
        element.set("old_checksum", op.old_checksum)
        element.set("new_checksum", op.new_checksum)
        element.set("old_path", op.old_path)
        element.set("type", op.kind)
    ET.indent(root)
    text = '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(root, encoding="unicode")
    if not text.isascii():
        raise PackageError("the manifest must be ASCII: the updater reads its "
                           "attributes in the machine's ANSI code page")
    return (text + "\n").encode("ascii")


class ManifestOp:
    def __init__(self, path, kind, old_checksum, new_checksum, old_path):
        self.path = path
        self.kind = kind
        self.old_checksum = old_checksum
        self.new_checksum = new_checksum
        self.old_path = old_path


class Manifest:
    def __init__(self):
        self.version = ""
        self.base_version = ""
        self.temp_prefix = ""
        self.install_prefix = ""
        self.ops = []
        self.channel = ""


_NUMBER = re.compile(r"\s*([+-]?\d+)")


def _read_number(text):
    """An attribute's number as the C library reads it: 0 without digits."""
    match = _NUMBER.match(text)
    return int(match.group(1)) if match else 0


def _read_version(element, missing_message):
    numbers = []
    for index in range(1, 5):
        text = element.get("tod%d" % index)
        if text is None:
            raise PackageError(missing_message % index)
        numbers.append(_read_number(text))
    return format_version(numbers)


def _child(parent, name):
    element = parent.find(name)
    if element is None:
        raise PackageError("no <%s> element found int setup.xml" % name)
    return element


def parse_manifest(path):
    """Reads a manifest by the updater's rules; a PackageError carries the
    line the updater would log."""
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError):
        raise PackageError("cannot load xml file: %s" % path)
    manifest = Manifest()
    setup = _child(root, "setup")
    info = _child(setup, "info")
    manifest.version = _read_version(info, "attribute tod%d not found in setup.xml")
    manifest.channel = info.get("channel", "")
    replace = setup.find("ReplacePath")
    if replace is None or len(replace) == 0:
        raise PackageError("the manifest has no ReplacePath entry")
    for entry in replace:
        target = entry.get("DstPathPre")
        if target is None:
            continue
        if INSTDIR_TOKEN in target:
            field = "install_prefix"
        elif target.lower() == TEMP_TOKEN.lower():
            field = "temp_prefix"
        else:
            continue
        source = entry.get("SrcPathPre")
        if source is None:
            raise PackageError("the ReplacePath entry for %s has no SrcPathPre" % target)
        setattr(manifest, field, source)
    update = _child(root, "update")
    base = _child(update, "base")
    manifest.base_version = _read_version(base, "attribute tod%d not found in base element")
    files = _child(update, "files")
    for element in files:
        kind = element.get("type", "").lower()
        if kind not in OP_TYPES:
            continue
        manifest.ops.append(ManifestOp(
            element.get("path", ""), kind, element.get("old_checksum", ""),
            element.get("new_checksum", ""), element.get("old_path", "")))
    return manifest
