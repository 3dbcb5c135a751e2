#!/usr/bin/env python3
"""Writes deterministic random signature sets for the matcher benchmark.

bench.hdb: random MD5 signatures with sizes from 1 KiB to 16 MiB, plus EICAR.
bench.ndb: random body signatures of 12 to 40 bytes, 20 % with a ?? and 10 % with a
{2-8} gap, plus EICAR at offset 0.
"""
import argparse
import os
import random

EICAR = b"X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*"
EICAR_MD5 = "44d88612fea8a8f36de82e1278abb02f"
NAME_CHARS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"


def random_name(rng, prefix):
    return prefix + "".join(rng.choice(NAME_CHARS) for _ in range(20 - len(prefix)))


def random_body(rng):
    length = rng.randint(12, 40)
    data = [rng.randrange(256) for _ in range(length)]
    hexed = ["%02x" % b for b in data]
    roll = rng.random()
    if roll < 0.2:
        hexed[rng.randrange(4, length - 4)] = "??"
    elif roll < 0.3:
        cut = rng.randrange(4, length - 4)
        hexed.insert(cut, "{2-8}")
    return "".join(hexed)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("outdir")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--hdb", type=int, default=100000)
    parser.add_argument("--ndb", type=int, default=2000)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    os.makedirs(args.outdir, exist_ok=True)
    with open(os.path.join(args.outdir, "bench.hdb"), "w", newline="\n") as out:
        for _ in range(args.hdb):
            digest = "%032x" % rng.getrandbits(128)
            size = rng.randint(1024, 16 * 1024 * 1024)
            out.write("%s:%d:%s\n" % (digest, size, random_name(rng, "Bench.Hash.")))
        out.write("%s:%d:Eicar-Test-Signature\n" % (EICAR_MD5, len(EICAR)))
    with open(os.path.join(args.outdir, "bench.ndb"), "w", newline="\n") as out:
        for _ in range(args.ndb):
            out.write("%s:0:*:%s\n" % (random_name(rng, "Bench.Body."), random_body(rng)))
        out.write("Eicar-Test-Signature:0:0:%s\n" % EICAR.hex())


if __name__ == "__main__":
    main()
