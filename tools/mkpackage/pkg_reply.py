"""The update-info reply that offers a package: its increment element and the
whole reply document."""

import xml.etree.ElementTree as ET

from pkg_common import (UPDATER_VERSION_CODE, UPDATER_VERSION_NAME, PackageError,
                        case_key)

# The base file listed when no operation reads one: the main executable
# tells installed versions apart best.
PREFERRED_BASE_FILE = "zemora.exe"


def base_checksums(plan, old_tree):
    """(path, MD5) of every base file whose content the operations use, in
    operation order; never empty, since the updater wants one at least."""
    entries = []
    seen = set()
    for op in plan.ops:
        base = op.reads_base()
        if base is not None and case_key(base.path) not in seen:
            seen.add(case_key(base.path))
            entries.append((base.path, base.md5))
    if entries:
        return entries
    chosen = old_tree.get(PREFERRED_BASE_FILE)
    if chosen is None:
        chosen = next(iter(old_tree), None)
    if chosen is None:
        raise PackageError("the old version folder holds no file, but the update "
                           "info must name one installed file to check")
    return [(chosen.path, chosen.md5)]


def check_version_code(code):
    if code <= UPDATER_VERSION_CODE:
        raise PackageError("version code %d is not above %d; the updater would "
                           "ignore the offer" % (code, UPDATER_VERSION_CODE))


def increment_element(version_code, url, package_md5, checksums):
    if not url:
        raise PackageError("the package URL is empty")
    check_version_code(version_code)
    increment = ET.Element("increment")
    ET.SubElement(increment, "version_name").text = UPDATER_VERSION_NAME
    ET.SubElement(increment, "version_code").text = "%d" % version_code
    ET.SubElement(increment, "url").text = url
    ET.SubElement(increment, "md5").text = package_md5
    listing = ET.SubElement(increment, "checksum")
    for path, checksum in checksums:
        ET.SubElement(listing, "file", path=path, checksum=checksum)
    return increment


def _text(element):
    ET.indent(element)
    return ET.tostring(element, encoding="unicode")


def increment_xml(increment):
    return (_text(increment) + "\n").encode("utf-8")


def reply_xml(increment, full_url=None, full_md5=None, full_version_code=None):
    """The whole reply; without a full package, updatable says "false"."""
    root = ET.Element("update")
    root.append(increment)
    if full_url:
        if not full_md5:
            raise PackageError("a full package needs its MD5 as well as its URL")
        ET.SubElement(root, "updatable").text = "true"
        ET.SubElement(root, "url").text = full_url
        ET.SubElement(root, "md5").text = full_md5
        if full_version_code is not None:
            check_version_code(full_version_code)
            ET.SubElement(root, "version_code").text = "%d" % full_version_code
    else:
        ET.SubElement(root, "updatable").text = "false"
    return ('<?xml version="1.0" encoding="UTF-8"?>\n' + _text(root) + "\n").encode("utf-8")
