#!/usr/bin/env python3
"""Checks the universal Kestova.fmplugin as macOS and FileMaker load it.

python3 check_bundle.py BUNDLE VERSION

The binary named by the bundle's Info.plist holds both architectures; each is a bundle (MH_BUNDLE)
for macOS 11.0 and later that loads libSystem, CoreFoundation, CFNetwork and the host's FMWrapper
only (the C++ runtime is inside), exports FMExternCallProc only, and takes every symbol it does
not define from one of those four by name. The Info.plist is Kestova's of VERSION.
"""

import pathlib
import re
import subprocess
import sys

import check_plist

ARCHITECTURES = ["arm64", "x86_64"]
# Each library the bundle loads, by its install name and the short name nm gives it.
LIBRARIES = {
    "/usr/lib/libSystem.B.dylib": "libSystem",
    "/System/Library/Frameworks/CoreFoundation.framework/Versions/A/CoreFoundation":
        "CoreFoundation",
    "/System/Library/Frameworks/CFNetwork.framework/Versions/A/CFNetwork": "CFNetwork",
    "@executable_path/../Frameworks/FMWrapper.framework/Versions/A/FMWrapper": "FMWrapper",
}
DYLIB_COMMANDS = ("LC_LOAD_DYLIB", "LC_LOAD_WEAK_DYLIB", "LC_REEXPORT_DYLIB",
                  "LC_LAZY_LOAD_DYLIB", "LC_LOAD_UPWARD_DYLIB")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def file_type(binary, arch):
    header = run("llvm-otool-14", "-hv", "-arch", arch, binary).splitlines()[-1].split()
    return header[4]


def load_commands(binary, arch):
    """(cmd, {field: value}) for each load command."""
    commands = []
    for line in run("llvm-otool-14", "-l", "-arch", arch, binary).splitlines():
        fields = line.split(None, 1)
        if fields and fields[0] == "cmd":
            commands.append((fields[1], {}))
        elif len(fields) == 2 and commands:
            commands[-1][1][fields[0]] = fields[1]
    return commands


def minimum_macos(binary, arch):
    return [(fields.get("platform"), fields.get("minos"))
            for cmd, fields in load_commands(binary, arch) if cmd == "LC_BUILD_VERSION"]


def libraries(binary, arch):
    return sorted(re.sub(r" \(offset \d+\)$", "", fields["name"])
                  for cmd, fields in load_commands(binary, arch) if cmd in DYLIB_COMMANDS)


def exports(binary, arch):
    trie = run("llvm-objdump-14", "--macho", "--exports-trie", "--arch", arch, binary)
    return re.findall(r"^0x[0-9A-F]+\s+(\S+)", trie, re.M)


def unbound(binary, arch):
    """Undefined symbols not taken by name from one of the four libraries."""
    lines = run("llvm-nm-14", "-m", "-u", "--arch", arch, binary).splitlines()
    bound = re.compile(r"\(from (%s)\)$" % "|".join(LIBRARIES.values()))
    return [line.strip() for line in lines if not bound.search(line)]


CHECKS = [
    ("file type", file_type, "BUNDLE"),
    ("platform and oldest macOS", minimum_macos, [("macos", "11.0")]),
    ("libraries loaded", libraries, sorted(LIBRARIES)),
    ("exports", exports, ["_FMExternCallProc"]),
    ("undefined symbols from elsewhere", unbound, []),
]


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    bundle, version = pathlib.Path(argv[1]), argv[2]
    info = check_plist.load(bundle / "Contents" / "Info.plist")
    failures = ["Info.plist: " + failure for failure in check_plist.failures(info, version)]
    binary = bundle / "Contents" / "MacOS" / info.get("CFBundleExecutable", "")
    if not binary.is_file():
        failures.append("CFBundleExecutable names no file: %s" % binary)
    else:
        found = sorted(run("llvm-lipo-14", "-archs", str(binary)).split())
        if found != ARCHITECTURES:
            failures.append("architectures: expected %r, found %r" % (ARCHITECTURES, found))
        for arch in sorted(set(found) & set(ARCHITECTURES)):
            for what, check, expected in CHECKS:
                value = check(str(binary), arch)
                if value != expected:
                    failures.append("%s %s: expected %r, found %r" % (arch, what, expected, value))

    for failure in failures:
        print("%s: %s" % (bundle, failure), file=sys.stderr)
    if failures:
        return 1
    print("%s: universal (%s), Kestova %s" % (bundle, " ".join(ARCHITECTURES), version))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
