#!/usr/bin/env python3
"""Builds an incremental update package of Zemora from an installed old
version folder and a new version folder, and the update-info reply offering it.

    mkpackage.py --old OLD --new NEW --old-version 1.0.0.0 --new-version 2.0.0.0 \\
        --channel stable --url http://host/packages/pkg.bin --output pkg.bin \\
        [--patch-tool patch.exe] [--verify] [--reply reply.xml --version-code 187]

Exit codes: 0 done, 1 bad input or a failed step, 2 bad command line,
3 the package failed its verification (nothing was written).
"""

import argparse
import json
import os
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from pkg_common import (MANIFEST_FOLDER, MANIFEST_NAME, PackageError, format_version,  # noqa: E402
                        md5_file, parse_version, require_tool)
from pkg_container import make_archive, write_container  # noqa: E402
from pkg_diff import DEFAULT_PATCH_LIMIT, plan_operations, write_payload  # noqa: E402
from pkg_manifest import manifest_xml  # noqa: E402
from pkg_reply import base_checksums, increment_element, increment_xml, reply_xml  # noqa: E402
from pkg_tree import check_name, scan_tree  # noqa: E402
from pkg_verify import VerifyError, verify_package  # noqa: E402

DEFAULT_SOURCE_PREFIX = "INSTDIR"
DEFAULT_ZSTD_LEVEL = 19

EXIT_OK, EXIT_ERROR, EXIT_USAGE, EXIT_VERIFY = 0, 1, 2, 3


class Result:
    """What one build produced."""

    def __init__(self, plan, package_path, package_md5, checksums, reply, increment,
                 verify_report, channel, url):
        self.plan = plan
        self.channel = channel
        self.url = url
        self.package_path = package_path
        self.package_md5 = package_md5
        self.checksums = checksums          # the reply's (path, MD5) list
        self.reply = reply                  # bytes of the whole reply
        self.increment = increment          # bytes of the increment element alone
        self.verify_report = verify_report  # None unless verified

    def service_config(self):
        """A configuration of the local update service that answers the
        channel with the reply and serves the package at the URL's path."""
        if self.reply is None:
            raise PackageError("a service configuration needs the reply (--version-code)")
        return {"replies": {self.channel: self.reply.decode("utf-8")},
                "files": {urllib.parse.urlsplit(self.url).path:
                          os.path.abspath(self.package_path)}}

    @property
    def notes(self):
        notes = list(self.plan.notes)
        if self.verify_report:
            notes += self.verify_report.notes
        return notes


def _check_prefix(prefix, versions, option):
    check_name(prefix, prefix, option)
    taken = {MANIFEST_FOLDER.lower()} | {version.lower() for version in versions}
    if prefix.lower() in taken:
        raise PackageError("%s %r would share its folder with the manifest or the "
                           "staging folder in the updater's work folder" % (option, prefix))


def _check_text(text, option):
    if any(ord(c) < 0x20 or ord(c) > 0x7E for c in text):
        raise PackageError("%s %r must be printable ASCII" % (option, text))


def _inside(path, folder):
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


def _check_folders(old, new, output):
    if _inside(old, new) or _inside(new, old):
        raise PackageError("the old and the new version folders must not contain "
                           "each other")
    for folder in (old, new):
        if _inside(output, folder):
            raise PackageError("the output %r lies inside the version folder %r"
                               % (output, folder))
    parent = os.path.dirname(os.path.abspath(output))
    if not os.path.isdir(parent):
        raise PackageError("the output folder %r does not exist" % parent)


def build_package(old, new, old_version, new_version, channel, url, output,
                  patch_tool=None, verify=False, version_code=None,
                  source_prefix=DEFAULT_SOURCE_PREFIX, temp_prefix=None,
                  detect_moves=True, zstd_level=DEFAULT_ZSTD_LEVEL,
                  patch_limit=DEFAULT_PATCH_LIMIT, full_url=None, full_md5=None,
                  full_version_code=None):
    """Builds the package at output; raises PackageError (VerifyError when the
    verification fails, and then output is not written)."""
    base_numbers = parse_version(old_version, "the old version")
    numbers = parse_version(new_version, "the new version")
    if base_numbers == numbers:
        raise PackageError("the old and the new version are both %s; the updater "
                           "would put the new version over the old one"
                           % format_version(numbers))
    versions = (format_version(base_numbers), format_version(numbers))
    _check_text(channel, "the channel")
    _check_prefix(source_prefix, versions, "the payload prefix")
    if temp_prefix:
        _check_prefix(temp_prefix, versions, "the temp prefix")
    if not 1 <= zstd_level <= 19:
        raise PackageError("the zstd level must be 1 to 19, not %d" % zstd_level)
    if patch_tool and not os.path.isfile(patch_tool):
        raise PackageError("the patch tool %r is not a file" % patch_tool)
    if version_code is not None and not url:
        raise PackageError("the package URL is empty")
    _check_folders(old, new, output)
    for tool in ("7zz", "zstd"):
        require_tool(tool)

    old_tree = scan_tree(old, "the old version folder")
    new_tree = scan_tree(new, "the new version folder")
    plan = plan_operations(old_tree, new_tree, patch_tool, detect_moves, patch_limit)
    checksums = base_checksums(plan, old_tree) if (version_code is not None or verify) else []

    partial = output + ".part"
    with tempfile.TemporaryDirectory(prefix="mkpackage-") as scratch:
        manifest_root = os.path.join(scratch, "manifest")
        os.makedirs(os.path.join(manifest_root, MANIFEST_FOLDER))
        with open(os.path.join(manifest_root, MANIFEST_FOLDER, MANIFEST_NAME), "wb") as stream:
            stream.write(manifest_xml(numbers, base_numbers, channel, source_prefix,
                                      plan.ops, temp_prefix))
        payload_root = os.path.join(scratch, "payload")
        payload_names = write_payload(plan, os.path.join(payload_root, source_prefix),
                                      zstd_level)
        archives = [os.path.join(scratch, "sub1.7z"), os.path.join(scratch, "sub2.7z")]
        make_archive(manifest_root, [MANIFEST_FOLDER + "/" + MANIFEST_NAME], archives[0])
        make_archive(payload_root, [source_prefix + "/" + name for name in payload_names],
                     archives[1])
        write_container(partial, archives)
    try:
        report = verify_package(partial, old, new, checksums) if verify else None
        os.replace(partial, output)
    finally:
        if os.path.exists(partial):
            os.remove(partial)

    package_md5 = md5_file(output)
    reply = increment = None
    if version_code is not None:
        increment_node = increment_element(version_code, url, package_md5, checksums)
        increment = increment_xml(increment_node)
        reply = reply_xml(increment_node, full_url, full_md5, full_version_code)
    return Result(plan, output, package_md5, checksums, reply, increment, report,
                  channel, url)


def _arguments(argv):
    parser = argparse.ArgumentParser(
        prog="mkpackage.py",
        description="Build an incremental update package and its update-info reply.")
    parser.add_argument("--old", required=True, help="installed old version folder")
    parser.add_argument("--new", required=True, help="new version folder")
    parser.add_argument("--old-version", required=True, help="e.g. 1.0.0.0")
    parser.add_argument("--new-version", required=True, help="e.g. 2.0.0.0")
    parser.add_argument("--channel", required=True, help="distribution channel")
    parser.add_argument("--url", required=True, help="where the package will be downloaded")
    parser.add_argument("--output", "-o", required=True, help="package file to write")
    parser.add_argument("--patch-tool", help="patch.exe to carry in the payload")
    parser.add_argument("--verify", action="store_true",
                        help="apply the package to a copy of --old and compare with --new")
    parser.add_argument("--reply", help="write the whole update-info reply here")
    parser.add_argument("--increment", help="write the increment element alone here")
    parser.add_argument("--service-config",
                        help="write a local update service configuration serving both")
    parser.add_argument("--version-code", type=int,
                        help="version code of the new version (above 186)")
    parser.add_argument("--full-url", help="also offer this full installer")
    full = parser.add_mutually_exclusive_group()
    full.add_argument("--full-md5", help="MD5 of the full installer")
    full.add_argument("--full-package", help="the full installer file, to take its MD5")
    parser.add_argument("--full-version-code", type=int,
                        help="version code of the full installer (default: --version-code)")
    parser.add_argument("--source-prefix", default=DEFAULT_SOURCE_PREFIX,
                        help="payload folder inside the package (default INSTDIR)")
    parser.add_argument("--temp-prefix", help="also declare a $TEMP entry with this folder")
    parser.add_argument("--no-moves", action="store_true",
                        help="never turn a removed and re-added file into a move")
    parser.add_argument("--zstd-level", type=int, default=DEFAULT_ZSTD_LEVEL)
    parser.add_argument("--patch-limit", type=int, default=DEFAULT_PATCH_LIMIT,
                        help="files larger than this many bytes travel whole")
    arguments = parser.parse_args(argv)
    if (arguments.reply or arguments.increment or arguments.service_config) and \
            arguments.version_code is None:
        parser.error("--reply, --increment and --service-config need --version-code")
    if (arguments.full_md5 or arguments.full_package) and not arguments.full_url:
        parser.error("--full-md5 and --full-package need --full-url")
    if arguments.full_url and not (arguments.full_md5 or arguments.full_package):
        parser.error("--full-url needs --full-md5 or --full-package")
    if arguments.full_url and not (arguments.reply or arguments.service_config):
        parser.error("--full-url only makes sense with --reply or --service-config")
    return arguments


def _write(path, data):
    with open(path, "wb") as stream:
        stream.write(data)


def main(argv=None):
    arguments = _arguments(argv)
    try:
        full_md5 = arguments.full_md5
        if arguments.full_package:
            full_md5 = md5_file(arguments.full_package)
        full_code = arguments.full_version_code
        if arguments.full_url and full_code is None:
            full_code = arguments.version_code
        result = build_package(
            arguments.old, arguments.new, arguments.old_version, arguments.new_version,
            arguments.channel, arguments.url, arguments.output,
            patch_tool=arguments.patch_tool, verify=arguments.verify,
            version_code=arguments.version_code, source_prefix=arguments.source_prefix,
            temp_prefix=arguments.temp_prefix, detect_moves=not arguments.no_moves,
            zstd_level=arguments.zstd_level, patch_limit=arguments.patch_limit,
            full_url=arguments.full_url, full_md5=full_md5, full_version_code=full_code)
        if arguments.reply:
            _write(arguments.reply, result.reply)
        if arguments.increment:
            _write(arguments.increment, result.increment)
        if arguments.service_config:
            _write(arguments.service_config,
                   (json.dumps(result.service_config(), indent=2) + "\n").encode("utf-8"))
    except VerifyError as error:
        print("mkpackage: verification failed: %s" % error, file=sys.stderr)
        return EXIT_VERIFY
    except (PackageError, OSError) as error:
        print("mkpackage: error: %s" % error, file=sys.stderr)
        return EXIT_ERROR
    for note in result.notes:
        print("mkpackage: warning: %s" % note, file=sys.stderr)
    counts = {}
    for op in result.plan.ops:
        counts[op.kind] = counts.get(op.kind, 0) + 1
    print("wrote %s (%d bytes, md5 %s): %s" % (
        result.package_path, os.path.getsize(result.package_path), result.package_md5,
        ", ".join("%d %s" % (counts.get(kind, 0), kind)
                  for kind in ("update", "new", "move", "delete"))))
    if result.verify_report:
        print("verified: %d operations turn the old version into the new one"
              % result.verify_report.ops_applied)
    return EXIT_OK


if __name__ == "__main__":
    sys.exit(main())
