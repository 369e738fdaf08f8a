#!/usr/bin/env python3
"""Keeps the Mac sources and the CoreFoundation stand-in to Apple's public API.

python3 check_apple_api.py TABLE STANDIN_INCLUDE_DIR SOURCE_DIR

TABLE lists every CoreFoundation and CFNetwork name with its declaration as Apple documents it.
Fails when a source under SOURCE_DIR names a CF name the table lacks, when the stand-in declares
anything the table lacks, or when a declaration (or its deprecation) differs from the table's.
"""

import pathlib
import re
import sys

CF_NAME = re.compile(r"\bk?CF[A-Z]\w*")
IDENTIFIER = re.compile(r"[A-Za-z_]\w*")
# The stand-in's own spelling of what Apple's headers put around a declaration.
EXPORT = re.compile(r"^(?:CF_EXPORT|CFN_EXPORT|extern)\s+")
DEPRECATED = re.compile(r"CF_DEPRECATED\s*\(([^()]*)\)")


def strip_comments_and_strings(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    return re.sub(r'"(?:\\.|[^"\\])*"', '""', text)


def canonical(declaration):
    """One spelling for a declaration: single blanks, none beside punctuation."""
    text = " ".join(declaration.split())
    text = re.sub(r"\s*([*(),;{}=\[\]])\s*", r"\1", text)
    return text.rstrip(";")


def read_table(path):
    table = {}
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = [field.strip() for field in line.split("|")]
        if len(fields) not in (2, 3) or (len(fields) == 3 and not fields[2].startswith("deprecated")):
            sys.exit("%s:%d: expected 'name | declaration [| deprecated VERSION]'" % (path, number))
        name, declaration = fields[0], canonical(fields[1])
        if name in table:
            sys.exit("%s:%d: %s listed twice" % (path, number, name))
        if name not in IDENTIFIER.findall(declaration):
            sys.exit("%s:%d: the declaration does not name %s" % (path, number, name))
        table[name] = (declaration, fields[2].split()[-1] if len(fields) == 3 else None)
    return table


def statements(header_text):
    """The header's declarations, each ended by a ';' outside braces."""
    lines = []
    joined = strip_comments_and_strings(header_text).replace("\\\n", " ")
    for line in joined.splitlines():
        stripped = line.strip()
        if stripped.startswith("#") or stripped in ('extern "" {', "}"):
            continue
        lines.append(line)
    text = "\n".join(lines)
    depth, start = 0, 0
    for at, char in enumerate(text):
        if char == "{":
            depth += 1
        elif char == "}":
            depth -= 1
        elif char == ";" and depth == 0:
            yield text[start:at]
            start = at + 1
    if text[start:].strip():
        sys.exit("text after the last declaration: %r" % text[start:].strip())


def declared(statement):
    """(name, canonical declaration, deprecated) for each name a declaration introduces."""
    # Apple writes the version that deprecated a name as 10_11, its documentation as 10.11.
    deprecation = DEPRECATED.search(statement)
    deprecated = deprecation.group(1).split(",")[1].strip().replace("_", ".") if deprecation else None
    text = canonical(EXPORT.sub("", DEPRECATED.sub("", " ".join(statement.split()))))
    enum = re.match(r"^(typedef CF_(?:ENUM|OPTIONS)\(\w+,(\w+)\))\{(.*)\}$", text)
    if enum:
        yield enum.group(2), enum.group(1), deprecated
        for enumerator in filter(None, enum.group(3).split(",")):
            yield enumerator.split("=")[0], enumerator, deprecated
        return
    pointer = re.search(r"\(\*(\w+)\)\(", text)
    if text.startswith("typedef struct{"):
        # A structure's members are no names of their own, function pointers among them.
        yield IDENTIFIER.findall(text)[-1], text, deprecated
    elif text.startswith("typedef") and pointer:
        yield pointer.group(1), text, deprecated
    elif "(" in text and not text.startswith("typedef"):
        yield IDENTIFIER.findall(text[: text.index("(")])[-1], text, deprecated
    else:
        yield IDENTIFIER.findall(text)[-1], text, deprecated


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    table = read_table(pathlib.Path(argv[1]))
    failures = []

    standin = {}
    for header in sorted(pathlib.Path(argv[2]).rglob("*.h")):
        for statement in statements(header.read_text()):
            for name, declaration, deprecated in declared(statement):
                standin[name] = declaration
                if name not in table:
                    failures.append("%s declares %s, which the table lacks" % (header, name))
                elif table[name][0] != declaration:
                    failures.append("%s: the stand-in declares\n    %s\n  Apple:\n    %s"
                                    % (name, declaration, table[name][0]))
                elif table[name][1] != deprecated:
                    failures.append("%s: deprecated by Apple in %s, by the stand-in in %s"
                                    % (name, table[name][1], deprecated))
    for name in sorted(set(table) - set(standin)):
        failures.append("the table lists %s, which the stand-in does not declare" % name)

    for source in sorted(pathlib.Path(argv[3]).rglob("*")):
        if source.suffix not in (".cpp", ".h"):
            continue
        code = "\n".join(line for line in strip_comments_and_strings(source.read_text()).splitlines()
                         if not line.lstrip().startswith("#"))
        for name in sorted(set(CF_NAME.findall(code)) | (set(IDENTIFIER.findall(code)) & set(standin))):
            if name not in table:
                failures.append("%s uses %s, which the table lacks" % (source, name))

    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        return 1
    print("%d names, every one declared as Apple declares it" % len(table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
