#!/usr/bin/env python3
"""Generates the benchmark trees.

make-tree.py ROOT BIG_FILES
  ROOT/all: 200,000 files in 20,220 folders, mixed-case names, about 10 % with listed
  extensions (1 to 16 KiB of seeded random bytes each, every one distinct; the first starts
  with the EICAR test string), the rest empty; and BIG_FILES random 512 MiB files in
  all/Big with a listed extension, written to disk.
  ROOT/listed: the listed small files alone, in the same folders (hard links).
  ROOT/big: the first big file alone (a hard link).
"""
import os
import random
import sys

LISTED = [".exe", ".DLL", ".Js", ".bat", ".Msi", ".com", ".OCX", ".jar", ".vb", ".Cpp"]
OTHER = [".txt", ".DAT", ".png", ".log", ".gz", ".xml", ".Cfg", ".h", ".Ini", ".md"]
WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india", "juliet"]
EICAR = b"X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*"
BIG_SIZE = 512 * 1024 * 1024


def mixed(rng, text):
    return "".join(c.upper() if rng.random() < 0.4 else c for c in text)


def small_files(root, rng, content):
    """Writes the walk tree; returns the listed small files' paths relative to root."""
    listed = []
    for top in range(20):
        top_name = mixed(rng, f"top{top:02d}")
        for mid in range(10):
            mid_name = mixed(rng, f"mid{mid}")
            for leaf in range(100):
                relative = os.path.join(top_name, mid_name, mixed(rng, f"leaf_{leaf:03d}"))
                os.makedirs(os.path.join(root, relative))
                for n in range(10):
                    is_listed = rng.random() < 0.10
                    ext = rng.choice(LISTED if is_listed else OTHER)
                    name = os.path.join(relative, mixed(rng, f"{rng.choice(WORDS)}_{n:02d}") + ext)
                    with open(os.path.join(root, name), "wb") as f:
                        if is_listed:
                            data = content.randbytes(rng.randint(1, 16) * 1024)
                            if not listed:
                                data = EICAR + data[len(EICAR):]
                            f.write(data)
                            listed.append(name)
    return listed


def big_files(folder, rng, count):
    os.makedirs(folder)
    paths = []
    for n in range(count):
        path = os.path.join(folder, f"Random{n}.bin")
        with open(path, "wb") as f:
            for _ in range(BIG_SIZE // (1 << 24)):
                f.write(rng.randbytes(1 << 24))
        paths.append(path)
    return paths


def main(root, big_count):
    rng = random.Random(20261210)
    content = random.Random(20261211)
    walk_root = os.path.join(root, "all")
    listed = small_files(walk_root, rng, content)
    big = big_files(os.path.join(walk_root, "Big"), content, big_count)
    for name in listed:
        target = os.path.join(root, "listed", name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        os.link(os.path.join(walk_root, name), target)
    if big:
        os.makedirs(os.path.join(root, "big"))
        os.link(big[0], os.path.join(root, "big", os.path.basename(big[0])))
    print(f"listed={len(listed) + len(big)} small={len(listed)} big={len(big)}")


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
