#!/usr/bin/env python3
"""Writes a deterministic signature set shaped like ClamAV's free database, for bench/bigdb.sh.

make-bigdb.py OUTDIR [--seed N] [--sha256 N] [--md5 N] [--ndb N] [--fp N] [--min-size B] [--max-size B]

Hash signatures each carry a name of their own in ClamAV's style (Win.Trojan.Agent-1234567-0):
a few hundred platform.category.family prefixes, drawn with skewed weights, and a running
number that makes every name unique. Sizes are drawn from MIN..MAX, the scanned tree's range,
so that most scanned files need their digests. The set is split like ClamAV's into main (90 %)
and daily (10 %, with the allow list):
  main.hsb, main.hdb, main.ndb, daily.hsb, daily.hdb, daily.ndb, daily.fp
and eicar.ndb, the EICAR test file's body signature alone.
"""
import argparse
import importlib.util
import os
import random

PLATFORMS = ["Win", "Unix", "Osx", "Andr", "Doc", "Xls", "Pdf", "Html", "Js", "Email", "Multi", "Java"]
CATEGORIES = ["Trojan", "Malware", "Adware", "Downloader", "Dropper", "Exploit", "Virus", "Worm",
              "Spyware", "Packed", "Ransomware", "Coinminer", "Backdoor", "Keylogger", "Phishing"]
FAMILIES = ["Agent", "Generic", "Zbot", "Emotet", "Ramnit", "Sality", "Virut", "Kryptik", "Razy",
            "Ursnif", "Dridex", "Qakbot", "Lokibot", "Formbook", "Nanocore", "Remcos", "AgentTesla",
            "Mirai", "Gafgyt", "Tsunami", "Xmrig", "Upatre", "Bladabindi", "Farfli", "Gamarue",
            "Wannacry", "Locky", "Cerber", "Gandcrab", "Trickbot", "Icedid", "Vobfus", "Expiro",
            "Parite", "Hupigon", "Startpage", "Zusy", "Dinwod", "Tiggre", "Mikey", "Ulise", "Fugrafa",
            "Barys", "Graftor", "Johnnie", "Symmi", "Scar", "Shiz", "Fareit", "Pony", "Azorult",
            "Redline", "Vidar", "Raccoon", "Smokeloader", "Glupteba", "Stop", "Djvu", "Phorpiex", "Nitol"]
PREFIXES = 300
LINES_PER_WRITE = 10000


def load_small_generator():
    """The benchmark's small generator, for the shape of the body signatures."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-sigs.py")
    spec = importlib.util.spec_from_file_location("make_sigs", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


class Names:
    """Unique ClamAV-style names: a weighted prefix and a strictly rising number."""

    def __init__(self, rng):
        self.rng = rng
        combos = [(p, c, f) for p in PLATFORMS for c in CATEGORIES for f in FAMILIES]
        self.prefixes = ["%s.%s.%s-" % combo for combo in rng.sample(combos, PREFIXES)]
        # A few families hold most signatures, as in ClamAV's set (weights 1/rank).
        weights = [1.0 / (rank + 1) for rank in range(PREFIXES)]
        total = 0.0
        self.cumulative = []
        for weight in weights:
            total += weight
            self.cumulative.append(total)
        self.number = 1000000

    def take(self, count):
        rng = self.rng
        prefixes = rng.choices(self.prefixes, cum_weights=self.cumulative, k=count)
        names = []
        for prefix in prefixes:
            self.number += 1 + (rng.getrandbits(2) == 0)
            revision = 0 if rng.getrandbits(3) else rng.getrandbits(1) + 1
            names.append("%s%d-%d" % (prefix, self.number, revision))
        return names


def write_hashes(path, rng, names, count, digits, min_size, max_size):
    bits = digits * 4
    template = "%0" + str(digits) + "x:%d:%s\n"
    with open(path, "w", newline="\n") as out:
        left = count
        while left > 0:
            chunk = min(left, LINES_PER_WRITE)
            out.write("".join(template % (rng.getrandbits(bits), rng.randint(min_size, max_size), name)
                              for name in names.take(chunk)))
            left -= chunk


def write_bodies(path, rng, names, count, small):
    with open(path, "w", newline="\n") as out:
        for name in names.take(count):
            out.write("%s:0:*:%s\n" % (name, small.random_body(rng)))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("outdir")
    parser.add_argument("--seed", type=int, default=20261219)
    parser.add_argument("--sha256", type=int, default=4000000)
    parser.add_argument("--md5", type=int, default=1000000)
    parser.add_argument("--ndb", type=int, default=60000)
    parser.add_argument("--fp", type=int, default=10000)
    parser.add_argument("--min-size", type=int, default=1024)
    parser.add_argument("--max-size", type=int, default=16384)
    args = parser.parse_args()
    small = load_small_generator()
    rng = random.Random(args.seed)
    names = Names(rng)
    os.makedirs(args.outdir, exist_ok=True)
    out = lambda name: os.path.join(args.outdir, name)
    sizes = (args.min_size, args.max_size)
    main_share = lambda count: count - count // 10
    for part, share in (("main", main_share), ("daily", lambda count: count // 10)):
        write_hashes(out(part + ".hsb"), rng, names, share(args.sha256), 64, *sizes)
        write_hashes(out(part + ".hdb"), rng, names, share(args.md5), 32, *sizes)
        write_bodies(out(part + ".ndb"), rng, names, share(args.ndb), small)
    # Allow-list entries name objects of the same sizes, so they too want the scanned files' digests.
    fp_names = Names(random.Random(args.seed + 1))
    fp_names.prefixes = ["Bench.Allowed.%s-" % family for family in FAMILIES]
    fp_names.cumulative = list(range(1, len(FAMILIES) + 1))
    write_hashes(out("daily.fp"), rng, fp_names, args.fp, 32, *sizes)
    with open(out("eicar.ndb"), "w", newline="\n") as eicar:
        eicar.write("Eicar-Test-Signature:0:0:%s\n" % small.EICAR.hex())


if __name__ == "__main__":
    main()
