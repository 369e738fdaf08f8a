#!/usr/bin/env python3
"""Checks the Mac plug-in's generated Info.plist: python3 check_plist.py INFO_PLIST VERSION."""

import plistlib
import sys


def failures(info, version):
    """What is wrong with the Info.plist `info` of Kestova `version`."""
    expected = {
        "CFBundleDevelopmentRegion": "English",
        "CFBundleExecutable": "Kestova",
        "CFBundleIdentifier": "com.tenvale.paygrove.kestova",
        "CFBundleInfoDictionaryVersion": "6.0",
        "CFBundleName": "Kestova",
        "CFBundlePackageType": "FMXT",
        "CFBundleSignature": "Zkqx",
        "CFBundleShortVersionString": version,
        "CFBundleVersion": version,
    }
    found = []
    for key, value in expected.items():
        if info.get(key) != value:
            found.append("%s: expected %r, found %r" % (key, value, info.get(key)))
    if "Tenvale" not in info.get("NSHumanReadableCopyright", ""):
        found.append("NSHumanReadableCopyright does not name Tenvale: %r"
                     % info.get("NSHumanReadableCopyright"))
    # Every value is filled in: no CMake reference left in the file.
    for key, value in info.items():
        if isinstance(value, str) and ("${" in value or "@" in value):
            found.append("%s left unfilled: %r" % (key, value))
    if len(info.get("CFBundleSignature", "")) != 4:
        found.append("CFBundleSignature is not four characters")
    return found


def load(path):
    with open(path, "rb") as stream:
        return plistlib.load(stream, fmt=plistlib.FMT_XML)


def main(argv):
    if len(argv) != 3:
        print("usage: check_plist.py INFO_PLIST VERSION", file=sys.stderr)
        return 2
    path, version = argv[1], argv[2]
    found = failures(load(path), version)
    for failure in found:
        print(failure, file=sys.stderr)
    if found:
        return 1
    print("%s: a valid Info.plist for Kestova %s" % (path, version))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
