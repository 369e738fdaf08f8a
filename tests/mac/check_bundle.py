#!/usr/bin/env python3
"""Checks the universal Kestova.fmplugin as macOS and FileMaker load it.

python3 check_bundle.py BUNDLE VERSION

The binary named by the bundle's Info.plist holds both architectures; each is a bundle (MH_BUNDLE)
for macOS 11.0 and later that loads libSystem, CoreFoundation, CFNetwork and the host's FMWrapper
only (the C++ runtime is inside), each by the install name and compatibility version the real
library gives itself, exports FMExternCallProc only, and takes every symbol it does not define
from one of those four by name. The Info.plist is Kestova's of VERSION.
"""

import pathlib
import re
import subprocess
import sys

import check_plist

ARCHITECTURES = ["arm64", "x86_64"]
# Each library the bundle loads: its install name, the compatibility version the bundle records
# for it (dyld refuses a library that says less of itself, for one built for macOS before 10.14,
# as FileMaker 16 to 19.4's FMWrapper are), and the short name nm gives it.
LIBRARIES = {
    "/usr/lib/libSystem.B.dylib": ("1.0.0", "libSystem"),
    "/System/Library/Frameworks/CoreFoundation.framework/Versions/A/CoreFoundation":
        ("150.0.0", "CoreFoundation"),
    "/System/Library/Frameworks/CFNetwork.framework/Versions/A/CFNetwork": ("1.0.0", "CFNetwork"),
    "@rpath/FMWrapper.framework/Versions/A/FMWrapper": ("0.0.0", "FMWrapper"),
}
DYLIB_COMMANDS = ("LC_LOAD_DYLIB", "LC_LOAD_WEAK_DYLIB", "LC_REEXPORT_DYLIB",
                  "LC_LAZY_LOAD_DYLIB", "LC_LOAD_UPWARD_DYLIB")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def file_type(binary, arch):
    header = run("llvm-otool-14", "-hv", "-arch", arch, binary).splitlines()[-1].split()
    return header[4]


def load_commands(binary, arch):
    """(cmd, {field: value}) for each load command; a field's name may be two words ("current
    version")."""
    commands = []
    for line in run("llvm-otool-14", "-l", "-arch", arch, binary).splitlines():
        field = re.match(r"^\s*((?:current|compatibility) version|\S+)\s+(.*)$", line)
        if field and field.group(1) == "cmd":
            commands.append((field.group(2), {}))
        elif field and commands:
            commands[-1][1][field.group(1)] = field.group(2)
    return commands


def minimum_macos(binary, arch):
    return [(fields.get("platform"), fields.get("minos"))
            for cmd, fields in load_commands(binary, arch) if cmd == "LC_BUILD_VERSION"]


def libraries(binary, arch):
    """(install name, compatibility version) of each library loaded."""
    return sorted((re.sub(r" \(offset \d+\)$", "", fields["name"]),
                   fields.get("compatibility version"))
                  for cmd, fields in load_commands(binary, arch) if cmd in DYLIB_COMMANDS)


def exports(binary, arch):
    trie = run("llvm-objdump-14", "--macho", "--exports-trie", "--arch", arch, binary)
    return re.findall(r"^0x[0-9A-F]+\s+(\S+)", trie, re.M)


def unbound(binary, arch):
    """Undefined symbols not taken by name from one of the four libraries."""
    lines = run("llvm-nm-14", "-m", "-u", "--arch", arch, binary).splitlines()
    bound = re.compile(r"\(from (%s)\)$" % "|".join(short for _, short in LIBRARIES.values()))
    return [line.strip() for line in lines if not bound.search(line)]


CHECKS = [
    ("file type", file_type, "BUNDLE"),
    ("platform and oldest macOS", minimum_macos, [("macos", "11.0")]),
    ("libraries loaded", libraries,
     sorted((name, version) for name, (version, _) in LIBRARIES.items())),
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
