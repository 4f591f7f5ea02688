#!/usr/bin/env python3
"""The rooms of the code, checked in the built objects.

Each object file belongs to the folder of its source (app/, check/,
refresh/, ...). An object may refer only to symbols defined in its own
folder or in a folder below it, and only app/ may refer to curses. A
header's inline function is compiled into each object that uses it, so
what is checked is where the code lives, whatever includes what.

Usage: layering_test.py BINARY OBJECT... (objects may come as one
argument separated by ';', as CMake lists them).
"""
import os
import re
import subprocess
import sys

# Who may use whom: each folder, and the folders below it it may refer to.
BELOW = {
    "common": set(),
    "config": {"common"},
    "report": {"common", "config"},
    "fetch": {"common", "config"},
    "refresh": {"common", "config", "report", "fetch"},
    # The outcome of a refresh is a plain header: the screen's code calls
    # nothing of the refresh, and so nothing of the transfer.
    "layout": {"common", "config", "report"},
    "check": {"common", "config", "report", "fetch", "refresh"},
    "app": {"common", "config", "report", "fetch", "refresh", "layout"},
}
# The record is made below the views and never calls up into them: the
# refresh takes no callback to run in the middle of its work (calling a
# std::function refers to this symbol).
CALLBACK_CALL = "_ZSt25__throw_bad_function_callv"
NO_CALLBACKS = {"refresh"}
# Only the entry sees both views.
ENTRY = ("app", "main.cpp")
CURSES_USERS = {"app"}
# Strong definitions: code and data. Weak and unique symbols (inline
# functions, templates) are emitted wherever they are used.
DEFINED = set("TDBRG")


def symbols(path, dynamic=False):
    """(defined, undefined) symbol names of an object or shared library."""
    args = ["nm", "-D", path] if dynamic else ["nm", path]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    defined, undefined = set(), set()
    for line in out.splitlines():
        fields = line.split()
        if len(fields) == 2 and fields[0] == "U":
            undefined.add(fields[1].split("@")[0])
        elif len(fields) == 3 and fields[1] in DEFINED:
            defined.add(fields[2].split("@")[0])
    return defined, undefined


def folder_of(path):
    """("app", "main.cpp") from .../CMakeFiles/orvek.dir/app/main.cpp.o"""
    match = re.search(r"\.dir/(?:.*/)?([a-z_]+)/([^/]+)\.o$", path)
    if not match:
        raise SystemExit(f"no folder in object path {path}")
    return match.group(1), match.group(2)


def curses_symbols(binary):
    """Everything the curses libraries the binary runs with define."""
    out = subprocess.run(["ldd", binary], check=True, capture_output=True, text=True).stdout
    libraries = re.findall(r"=>\s*(\S*(?:ncurses|tinfo)\S*)", out)
    if not libraries:
        raise SystemExit(f"{binary} links no curses library: cannot tell curses symbols")
    names = set()
    for library in libraries:
        names |= symbols(os.path.realpath(library), dynamic=True)[0]
    return names


def main():
    binary, *rest = sys.argv[1:]
    objects = [p for arg in rest for p in arg.split(";") if p.endswith(".o")]
    owner = {}
    used = []
    for path in objects:
        folder, source = folder_of(path)
        if folder not in BELOW:
            raise SystemExit(f"{path}: folder {folder}/ has no place in the rooms")
        defined, undefined = symbols(path)
        for name in defined:
            owner.setdefault(name, folder)
        used.append((folder, source, undefined))
    curses = curses_symbols(binary)
    faults = []
    for folder, source, undefined in used:
        for name in sorted(undefined):
            if name == CALLBACK_CALL and folder in NO_CALLBACKS:
                faults.append(f"{folder}/{source} calls a callback, which may call up into the views")
            if name in curses and folder not in CURSES_USERS:
                faults.append(f"{folder}/{source} calls curses: {name}")
            home = owner.get(name)
            if home is None or home == folder or home in BELOW[folder]:
                continue
            if (folder, source) == ENTRY and home == "check":
                continue
            faults.append(f"{folder}/{source} uses {home}/: {name}")
    if faults:
        shown = subprocess.run(["c++filt"], input="\n".join(faults), capture_output=True, text=True).stdout
        print(shown or "\n".join(faults))
    print(f"{len(objects)} objects, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
