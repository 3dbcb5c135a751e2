#!/usr/bin/env python3
"""Checks that a program's version resource carries the project version.

Usage: check-version.py PROGRAM.exe VERSION
VERSION is the CMake project version (1.2 means file version 1.2.0.0 and product version "1.2").
"""
import struct
import sys

FIXED_FILE_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def string_value(data: bytes, name: str) -> str | None:
    """The text of a StringFileInfo entry: its UTF-16 key, padding to 32 bits, then its value."""
    key = (name + "\0").encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        return None
    at += len(key)
    at += (4 - at % 4) % 4
    end = data.find(b"\0\0", at)
    while end >= 0 and (end - at) % 2:
        end = data.find(b"\0\0", end + 1)
    return data[at:end].decode("utf-16-le")


def main() -> int:
    program, version = sys.argv[1], sys.argv[2]
    numbers = [int(part) for part in version.split(".")] + [0] * (4 - len(version.split(".")))
    data = open(program, "rb").read()
    at = data.find(FIXED_FILE_INFO_SIGNATURE)
    if at < 0:
        print(f"{program}: no version resource")
        return 1
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", data, at + 8)
    found = {
        "FILEVERSION": [file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF],
        "PRODUCTVERSION": [product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF],
        "FileVersion": string_value(data, "FileVersion"),
        "ProductVersion": string_value(data, "ProductVersion"),
    }
    expected = {
        "FILEVERSION": numbers,
        "PRODUCTVERSION": numbers,
        "FileVersion": ".".join(map(str, numbers)),
        "ProductVersion": version,
    }
    faults = [f"{key}: {found[key]} instead of {expected[key]}" for key in expected if found[key] != expected[key]]
    for fault in faults:
        print(f"{program}: {fault}")
    print(f"version resource of {program}: {'matches' if not faults else 'differs from'} {version}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
