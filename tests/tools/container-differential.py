#!/usr/bin/env python3
"""Differential test of a database built from a ClamAV container against Debian's clamscan.

Usage: container-differential.py --wine-run BUILD/wine-run --build BUILD --work FOLDER

Writes signature files (.hdb, .hsb, .ndb with a level skip, .fp, .ign2 and an unsupported .ldb),
packs them into a .cvd in ClamAV's layout (512-byte header with the MD5 of a tar.gz holding
COPYING, a .info list and the files) and into a .cld (plain tar), builds a database from each
with quorvane-sigtool build --skip-unsupported, and scans planted files with quorvane-scan and
with clamscan given the same signature files as text (clamscan verifies a container's digital
signature, which a test-made one lacks; the .ldb is left out, as the tool skips it). Both must
report the same signature names per file; the .cvd and the .cld must give the same database, a
.cvd with a changed byte must be refused.
"""
import argparse
import gzip
import hashlib
import io
import json
import os
import random
import shutil
import subprocess
import sys
import tarfile

CLAMSCAN_OPTIONS = ["--allmatch", "--no-summary", "--infected", "--stdout", "--bytecode=no", "--disable-cache",
                    "--scan-archive=no", "--scan-pe=no", "--scan-ole2=no", "--scan-pdf=no", "--scan-html=no",
                    "--scan-mail=no"]
TEXT_TYPES = ["hdb", "hsb", "ndb", "fp", "ign2"]


def make_files(folder, rng):
    """Planted files and the signature texts that name them, by file type."""
    patterns = {"Cont.Body.%d" % i: bytes(rng.randrange(256) for _ in range(10)) for i in range(8)}
    sigs = {kind: [] for kind in TEXT_TYPES + ["ldb"]}
    sigs["ndb"] = ["%s:0:*:%s" % (name, pattern.hex()) for name, pattern in sorted(patterns.items())]
    later = bytes(rng.randrange(256) for _ in range(10))
    sigs["ndb"].append("Cont.Body.Later:0:*:%s:250" % later.hex())
    sigs["ign2"] = ["Cont.Body.3"]
    sigs["ldb"] = ["Cont.Logical;Target:0;0;%s" % patterns["Cont.Body.1"].hex()]
    for index in range(40):
        data = bytearray(rng.randrange(256) for _ in range(rng.randint(200, 5000)))
        roll = index % 8
        if roll < 4:
            name, pattern = rng.choice(sorted(patterns.items()))
            at = rng.randrange(len(data))
            data[at:at] = pattern
        elif roll == 4:
            data[10:10] = later
        elif roll == 5:
            sigs["hdb"].append("%s:%d:Cont.Md5.%d" % (hashlib.md5(data).hexdigest(), len(data), index))
        elif roll == 6:
            sigs["hsb"].append("%s:%d:Cont.Sha256.%d" % (hashlib.sha256(data).hexdigest(), len(data), index))
        with open(os.path.join(folder, "f%02d.bin" % index), "wb") as out:
            out.write(data)
    # Matched by a body signature and by its MD5, and allowed by its MD5: nothing is reported.
    allowed = bytearray(rng.randrange(256) for _ in range(3000))
    allowed[100:100] = patterns["Cont.Body.0"]
    sigs["hdb"].append("%s:%d:Cont.Md5.Allowed" % (hashlib.md5(allowed).hexdigest(), len(allowed)))
    sigs["fp"].append("%s:%d:Cont.Allowed" % (hashlib.md5(allowed).hexdigest(), len(allowed)))
    with open(os.path.join(folder, "allowed.bin"), "wb") as out:
        out.write(allowed)
    return {kind: ("\n".join(lines) + "\n").encode() for kind, lines in sigs.items()}


def write_tar(members):
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for name, content in members:
            info = tarfile.TarInfo(name)
            info.size = len(content)
            archive.addfile(info, io.BytesIO(content))
    return data.getvalue()


def container(texts, compressed):
    """ClamAV's layout: the header, then the tar (gzip-compressed for a .cvd) of COPYING, the
    .info list (a copy of the header's numbers, then name:size:sha256 per file) and the files."""
    numbers = "12 Dec 2026 10-00 +0000:%d:%d:90" % (27001, sum(text.count(b"\n") for text in texts.values()))
    members = [("test.%s" % kind, text) for kind, text in sorted(texts.items())]
    info = "ClamAV-VDB:%s:X:X:tests:1796000000\n" % numbers
    info += "".join("%s:%d:%s\n" % (name, len(text), hashlib.sha256(text).hexdigest()) for name, text in members)
    info += "DSIG:X\n"
    tar = write_tar([("COPYING", b"test licence\n"), ("test.info", info.encode())] + members)
    if compressed:
        tar = gzip.compress(tar, mtime=0)
    header = "ClamAV-VDB:%s:%s:X:tests:1796000000" % (numbers, hashlib.md5(tar).hexdigest())
    return header.ljust(512).encode() + tar


def windows_path(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def tool(args, *words):
    return subprocess.run([args.wine_run, os.path.join(args.build, "quorvane-sigtool.exe")] + list(words),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")


def run_quorvane(args, database, folder):
    done = subprocess.run([args.wine_run, os.path.join(args.build, "quorvane-scan.exe"), "--all-files", "--json",
                           "--quiet", "--database", windows_path(database), windows_path(folder)],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")
    if done.returncode not in (0, 1):
        sys.exit("quorvane-scan failed (%d): %s" % (done.returncode, done.stderr[-2000:]))
    found = {}
    for line in done.stdout.splitlines():
        record = json.loads(line)
        if "object" in record:
            path = os.path.realpath(record["object"][2:].replace("\\", "/"))
            found.setdefault(path, set()).add(record["threat"])
    return found


def run_clamscan(sigdir, folder):
    done = subprocess.run(["clamscan", "-d", sigdir] + CLAMSCAN_OPTIONS + ["-r", folder],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")
    if done.returncode not in (0, 1):
        sys.exit("clamscan failed (%d): %s" % (done.returncode, done.stderr[-2000:]))
    found = {}
    for line in done.stdout.splitlines():
        if line.endswith(" FOUND"):
            path, _, name = line[: -len(" FOUND")].rpartition(": ")
            found.setdefault(os.path.realpath(path), set()).add(name.removesuffix(".UNOFFICIAL"))
    return found


def build(args, work, name, data, failures):
    """Builds a database from the container data as NAME; returns its path."""
    path = os.path.join(work, name)
    with open(path, "wb") as out:
        out.write(data)
    database = path + ".dat"
    done = tool(args, "build", "--skip-unsupported", windows_path(database), windows_path(path))
    if done.returncode != 0 or "Skipped files of type .ldb: 1\n" not in done.stdout:
        failures.append("build from %s: exit %d\n%s%s" % (name, done.returncode, done.stdout, done.stderr))
    return database


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if shutil.which("clamscan") is None:
        sys.exit("clamscan not found: run scripts/setup.sh")
    shutil.rmtree(args.work, ignore_errors=True)
    folder, sigdir = os.path.join(args.work, "files"), os.path.join(args.work, "sigs")
    os.makedirs(folder)
    os.makedirs(sigdir)
    texts = make_files(folder, random.Random(11))
    for kind in TEXT_TYPES:
        with open(os.path.join(sigdir, "test.%s" % kind), "wb") as out:
            out.write(texts[kind])
    failures = []
    cvd = build(args, args.work, "test.cvd", container(texts, True), failures)
    cld = build(args, args.work, "test.cld", container(texts, False), failures)
    with open(cvd, "rb") as one, open(cld, "rb") as other:
        if one.read() != other.read():
            failures.append("the .cvd and the .cld gave different databases")
    damaged = bytearray(container(texts, True))
    damaged[-40] ^= 0x20
    with open(os.path.join(args.work, "damaged.cvd"), "wb") as out:
        out.write(damaged)
    done = tool(args, "build", "--skip-unsupported", windows_path(os.path.join(args.work, "damaged.dat")),
                windows_path(os.path.join(args.work, "damaged.cvd")))
    if done.returncode != 1 or "MD5" not in done.stderr or os.path.exists(os.path.join(args.work, "damaged.dat")):
        failures.append("a damaged .cvd: exit %d, %s" % (done.returncode, done.stderr))

    ours, theirs = run_quorvane(args, cvd, folder), run_clamscan(sigdir, folder)
    matched = 0
    for name in sorted(os.listdir(folder)):
        path = os.path.realpath(os.path.join(folder, name))
        want, got = theirs.get(path, set()), ours.get(path, set())
        matched += len(want)
        if want != got:
            failures.append("%s: clamscan %s, quorvane-scan %s" % (name, sorted(want), sorted(got)))
    print("%d files, %d names by clamscan" % (len(os.listdir(folder)), matched))
    if matched < 15:
        failures.append("too few matches to compare anything")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
