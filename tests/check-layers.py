#!/usr/bin/env python3
"""Checks that every `#include "..."` of ours points down the layer table.

Usage: check-layers.py ROOT
Prints each include the table does not allow as FILE:LINE: message, and exits 1 when there is one.
"""
import pathlib
import re
import sys



def read_layers(root: pathlib.Path) -> dict[str, list[str]]:
    """The level table of ROOT/layers.txt: each folder and the folders it may include besides itself."""
    layers = {}
    for line in (root / "layers.txt").read_text(encoding="utf-8").splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            folder, _, below = line.partition(":")
            layers[folder.strip()] = below.split()
    return layers


LAYERS: dict[str, list[str]] = {}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".c", ".rc", ".in"}
SKIPPED = {"build", ".git"}
# Both forms: <...> too, since "#include <detect/X.h>" would otherwise pass unseen.
INCLUDE = re.compile(r'^\s*#\s*include\s+(["<])([^">]+)[">]')


def room_of(relative: pathlib.PurePosixPath) -> str | None:
    """The layer table's row for a file, or None for files outside every room. Files directly
    under tests/ form a room of their own that may include nothing of ours."""
    parts = relative.parts
    if parts[0] == "tests" and len(parts) == 2:
        return "tests"
    if parts[0] == "tests" and len(parts) > 2:
        return "tests/" + parts[1]
    return parts[0] if len(parts) > 1 and parts[0] in LAYERS else None


def allowed(room: str) -> set[str]:
    if room == "tests":
        return set()
    if room.startswith("tests/") and room not in LAYERS:
        folder = room.split("/", 1)[1]
        if folder not in LAYERS:
            return {room, "tests/support"}
        return {room, folder, "tests/support", *LAYERS[folder]}
    return {room, *LAYERS[room]}


def is_ours(include: str, angled: bool) -> bool:
    """Whether an include names a file of the repository: every "..." one, and a <...> one
    whose first folder is a room of ours (system and library headers are not)."""
    first = include.split("/")[0]
    return not angled or first in LAYERS or first == "tests"


def target_room(include: str) -> str | None:
    parts = include.split("/")
    if len(parts) < 2:
        return None
    if parts[0] == "tests" and len(parts) > 2:
        return "tests/" + parts[1]
    return parts[0]


def check(root: pathlib.Path) -> list[str]:
    faults = []
    for path in sorted(root.rglob("*")):
        relative = pathlib.PurePosixPath(path.relative_to(root).as_posix())
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        if relative.parts[0] in SKIPPED or relative.parts[0].startswith("build"):
            continue
        room = room_of(relative)
        if room is None:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or not is_ours(match.group(2), match.group(1) == "<"):
                continue
            include = match.group(2)
            target = target_room(include)
            if target is None:
                faults.append(f"{relative}:{number}: \"{include}\" is not written from the repository's root")
            elif not (root / include).exists():
                faults.append(f"{relative}:{number}: \"{include}\" does not exist")
            elif target not in allowed(room):
                faults.append(f"{relative}:{number}: {room}/ may not include \"{include}\"")
    return faults


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    LAYERS.update(read_layers(root))
    faults = check(root)
    for fault in faults:
        print(fault)
    print(f"layering: {len(faults)} include(s) against the table")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
