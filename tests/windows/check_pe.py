#!/usr/bin/env python3
"""Checks a Windows plug-in as Windows and FileMaker see it.

python3 check_pe.py PLUGIN BITS VERSION

The file is a DLL for BITS (32 or 64) that exports FMExternCallProc only, imports only Windows
system libraries and the host's FMWrapper.dll, and carries the version resource of VERSION
(four numbers: 5.2.0.0).
"""

import sys

import pefile

MACHINES = {32: pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
            64: pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}
IMPORTS = ["FMWRAPPER.DLL", "IPHLPAPI.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "WININET.DLL",
           "WS2_32.DLL"]
STRINGS = {
    "CompanyName": "Tenvale",
    "ProductName": "Paygrove Plug-In",
    "FileDescription": "Paygrove plugin for Filemaker",
    "InternalName": "Quilla",
    "OriginalFilename": "Brenmar.fmx",
}


def version_strings(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update((key.decode(), value.decode()) for key, value in table.entries.items())
    return strings


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    path, bits, version = argv[1], int(argv[2]), argv[3]
    pe = pefile.PE(path)
    failures = []

    def expect(what, found, wanted):
        if found != wanted:
            failures.append("%s: expected %r, found %r" % (what, wanted, found))

    expect("machine", pe.FILE_HEADER.Machine, MACHINES[bits])
    expect("a DLL", pe.is_dll(), True)
    expect("exports", [symbol.name.decode() for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols],
           ["FMExternCallProc"])
    expect("imports", sorted(entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT),
           IMPORTS)

    numbers = [int(part) for part in version.split(".")]
    fixed = pe.VS_FIXEDFILEINFO[0]
    packed = ((numbers[0] << 16 | numbers[1]), (numbers[2] << 16 | numbers[3]))
    expect("file version", (fixed.FileVersionMS, fixed.FileVersionLS), packed)
    expect("product version", (fixed.ProductVersionMS, fixed.ProductVersionLS), packed)
    strings = version_strings(pe)
    for key, value in dict(STRINGS, FileVersion=version, ProductVersion=version).items():
        expect(key, strings.get(key), value)

    for failure in failures:
        print("%s: %s" % (path, failure), file=sys.stderr)
    if failures:
        return 1
    print("%s: a %d-bit plug-in, version %s" % (path, bits, version))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
