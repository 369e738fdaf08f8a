#!/usr/bin/env python3
"""Checks a Windows plug-in as Windows and FileMaker see it.

python3 check_pe.py PLUGIN BITS VERSION

The file is a DLL for BITS (32 or 64) that exports FMExternCallProc only, imports only Windows
system libraries and the host's FMWrapper.dll, and carries the version resource of VERSION
(four numbers: 5.2.0.0). A 32-bit plug-in's registered functions are __stdcall, as the host calls
them: each is decorated @16 (four 4-byte arguments) and every return in it pops those 16 bytes
(ret $0x10), read from its symbol table and its code without running it.
"""

import re
import subprocess
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
# The functions the plug-in registers with the host, each called with four arguments.
REGISTERED = ["PluginVersion", "BeginTransaction", "SetParameters", "SendTransaction", "GetResult",
              "SelectPortal"]
STDCALL_RETURN = "ret    $0x10"


def code_by_symbol(path):
    """Each symbol's instructions, as objdump disassembles the file."""
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", path],
                             check=True, capture_output=True, text=True).stdout
    code = {}
    instructions = None
    for line in listing.splitlines():
        start = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if start:
            instructions = code.setdefault(start.group(1), [])
        elif instructions is not None and "\t" in line:
            instructions.append(line.split("\t", 1)[1].strip())
    return code


def stdcall_failures(path):
    failures = []
    code = code_by_symbol(path)
    for name in REGISTERED:
        # C++ names: __Z, the name's length, the name, its arguments, then the decoration.
        pattern = re.compile(r"^__Z%d%s" % (len(name), name))
        symbols = [symbol for symbol in code if pattern.match(symbol)]
        entry = [symbol for symbol in symbols if not symbol.endswith(".cold")]
        if len(entry) != 1 or not entry[0].endswith("@16"):
            failures.append("%s: expected one symbol decorated @16, found %r" % (name, entry))
            continue
        returns = [instruction for symbol in symbols for instruction in code[symbol]
                   if instruction.startswith("ret")]
        wrong = [instruction for instruction in returns if instruction != STDCALL_RETURN]
        if not returns or wrong:
            failures.append("%s: expected every return to be %r, found %r"
                            % (name, STDCALL_RETURN, returns))
    return failures


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

    if bits == 32:
        failures.extend(stdcall_failures(path))

    for failure in failures:
        print("%s: %s" % (path, failure), file=sys.stderr)
    if failures:
        return 1
    print("%s: a %d-bit plug-in, version %s" % (path, bits, version))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
