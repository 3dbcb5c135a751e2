#!/usr/bin/env python3
"""Generates the benchmark tree: 200,000 files in 20,220 folders, mixed-case names, about
10 % with listed extensions (1 to 16 KiB of content each, the rest empty), and a few sparse
512 MiB files with a listed extension."""
import os
import random
import sys

LISTED = [".exe", ".DLL", ".Js", ".bat", ".Msi", ".com", ".OCX", ".jar", ".vb", ".Cpp"]
OTHER = [".txt", ".DAT", ".png", ".log", ".gz", ".xml", ".Cfg", ".h", ".Ini", ".md"]
WORDS = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india", "juliet"]


def mixed(rng, text):
    return "".join(c.upper() if rng.random() < 0.4 else c for c in text)


def main(root, big_files):
    rng = random.Random(20261210)
    block = bytes(range(256)) * 64
    listed = 0
    for top in range(20):
        top_name = mixed(rng, f"top{top:02d}")
        for mid in range(10):
            mid_name = mixed(rng, f"mid{mid}")
            for leaf in range(100):
                folder = os.path.join(root, top_name, mid_name, mixed(rng, f"leaf_{leaf:03d}"))
                os.makedirs(folder)
                for n in range(10):
                    is_listed = rng.random() < 0.10
                    ext = rng.choice(LISTED if is_listed else OTHER)
                    name = mixed(rng, f"{rng.choice(WORDS)}_{n:02d}") + ext
                    with open(os.path.join(folder, name), "wb") as f:
                        if is_listed:
                            f.write(block[: rng.randint(1, 16) * 1024])
                            listed += 1
    big = os.path.join(root, "Big")
    os.makedirs(big)
    for n in range(big_files):
        with open(os.path.join(big, f"Sparse{n}.bin"), "wb") as f:
            f.truncate(512 * 1024 * 1024)
    print(f"listed={listed + big_files}")


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
