#!/usr/bin/env python3
"""Writes the framework stubs the Mac cross build links Kestova against.

python3 make_stubs.py APPLE_API_TABLE FMWRAPPER_HEADER OUT_DIR

OUT_DIR gets CoreFoundation.framework, CFNetwork.framework and FMWrapper.framework, each holding
a text stub (.tbd, tapi-tbd version 4) with the framework's install name and versions and the
symbols it exports, and nothing more. CoreFoundation and CFNetwork export the functions and
constants of the table (names under a heading "CFNetwork: ..." are CFNetwork's); FMWrapper exports
the host operations the header declares. A call to any other name fails the link.

A bundle records each library's install name and compatibility version as the stub gives them,
and dyld looks for that name and, for a library built for macOS before 10.14, refuses one whose
compatibility version is lower. So each stub says what the real framework says of itself: Apple's
as the macOS 11 SDK has them, FileMaker's as every FMWrapper.framework from FileMaker 16 on does.
Its @rpath resolves where FileMaker Pro's executable keeps its frameworks: a bundle loaded into a
process searches the executable's run paths too, so the bundle needs none of its own.
"""

import pathlib
import re
import sys

# Install name, current version (None: not given) and compatibility version of each framework.
APPLE = "/System/Library/Frameworks/{0}.framework/Versions/A/{0}"
FRAMEWORKS = {
    "CoreFoundation": (APPLE.format("CoreFoundation"), "1775.118.101", "150"),
    "CFNetwork": (APPLE.format("CFNetwork"), "1237", "1"),
    "FMWrapper": ("@rpath/FMWrapper.framework/Versions/A/FMWrapper", None, "0"),
}
TARGETS = "[ x86_64-macos, arm64-macos ]"
HEADING = re.compile(r"^# (\w+)(?::\s*\w+)?$")
ENUMERATOR = re.compile(r"^\w+\s*=")
HOST_OPERATION = re.compile(r"\bFMX_API\b[^;]*?\b(FM_\w+)\s*\(", re.S)


def apple_symbols(table):
    """{framework: [name]} for the table's functions and constants; types and enumerators are no
    symbols."""
    frameworks = {"CoreFoundation": [], "CFNetwork": []}
    framework = "CoreFoundation"
    for line in table.read_text().splitlines():
        heading = HEADING.match(line)
        if heading:
            framework = "CFNetwork" if heading.group(1) == "CFNetwork" else "CoreFoundation"
        if not line.strip() or line.startswith("#"):
            continue
        name, declaration = [field.strip() for field in line.split("|")[:2]]
        if not declaration.startswith("typedef") and not ENUMERATOR.match(declaration):
            frameworks[framework].append(name)
    return frameworks


def host_operations(header):
    text = re.sub(r"/\*.*?\*/", " ", header.read_text(), flags=re.S)
    return HOST_OPERATION.findall(text)


def write_stub(out_dir, framework, names):
    if not names:
        sys.exit("no symbols found for %s" % framework)
    install_name, current_version, compatibility_version = FRAMEWORKS[framework]
    symbols = ",\n                       ".join("_" + name for name in sorted(names))
    folder = out_dir / (framework + ".framework")
    folder.mkdir(parents=True, exist_ok=True)
    versions = "compatibility-version: %s\n" % compatibility_version
    if current_version:
        versions = "current-version: %s\n" % current_version + versions
    (folder / (framework + ".tbd")).write_text(
        "--- !tapi-tbd\n"
        "tbd-version:     4\n"
        "targets:         %s\n"
        "install-name:    '%s'\n"
        "%s"
        "exports:\n"
        "  - targets:         %s\n"
        "    symbols:         [ %s ]\n"
        "...\n" % (TARGETS, install_name, versions, TARGETS, symbols))


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    out_dir = pathlib.Path(argv[3])
    for framework, names in apple_symbols(pathlib.Path(argv[1])).items():
        write_stub(out_dir, framework, names)
    write_stub(out_dir, "FMWrapper", host_operations(pathlib.Path(argv[2])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
