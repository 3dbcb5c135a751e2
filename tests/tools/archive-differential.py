#!/usr/bin/env python3
"""Differential test of the look inside archives against Debian's clamscan.

Usage: archive-differential.py --wine-run BUILD/wine-run --build BUILD --work FOLDER

Writes zip (stored and deflated), 7z, tar, tar.gz and lone .gz files whose members hold planted
signatures, near misses and files named by their MD5, at the top, at the end and in nested
archives, adds the archives of clamav-testfiles (holding clam.exe, named by its MD5: an object
gives one name, clamscan --allmatch every one), scans the folder with quorvane-scan --archives and with clamscan
--scan-archive=yes, and checks that both report the same set of signature names per file on disk.
Differences by design are excluded by named rule, never by file; each is counted.
"""
import argparse
import hashlib
import io
import json
import os
import random
import shutil
import subprocess
import sys
import tarfile
import gzip
import zipfile

TESTFILES = "/usr/share/clamav-testfiles"
CLAM_ARCHIVES = ["clam.zip", "clam.7z", "clam.tar.gz", "clam.exe.bz2", "clam.bz2.zip", "clam.cab", "clam.impl.zip",
                 "clam_cache_emax.tgz"]
CLAMSCAN_OPTIONS = [
    "--allmatch", "--no-summary", "--infected", "--stdout", "--bytecode=no", "--disable-cache",
    "--scan-archive=yes", "--max-filesize=300M", "--max-scansize=300M",
    "--scan-pe=no", "--scan-ole2=no", "--scan-pdf=no", "--scan-html=no", "--scan-mail=no",
]

# Rules under which the two sides differ by design: (name, reason, predicate(not_scanned_threats)).
EXCLUSIONS = [
    ("unsupported-method",
     "libarchive cannot unpack the method (clam.impl.zip is imploded); the scan says unsupported: ...",
     lambda threats: any(t.startswith("unsupported") for t in threats)),
]


def write_zip(members, compression):
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", compression) as archive:
        for name, content in members:
            archive.writestr(name, content)
    return data.getvalue()


def write_tar(members):
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for name, content in members:
            info = tarfile.TarInfo(name)
            info.size = len(content)
            archive.addfile(info, io.BytesIO(content))
    return data.getvalue()


def write_7z(members, scratch):
    folder = os.path.join(scratch, "7z-members")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, content in members:
        with open(os.path.join(folder, name), "wb") as out:
            out.write(content)
    target = os.path.join(scratch, "out.7z")
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["7zz", "a", "-bd", target] + [name for name, _ in members], cwd=folder, check=True,
                   stdout=subprocess.DEVNULL)
    with open(target, "rb") as made:
        return made.read()


class Generator:
    def __init__(self, seed, scratch):
        self.rng = random.Random(seed)
        self.scratch = scratch
        self.patterns = {"Arc.Body.%d" % i: bytes(self.rng.randrange(256) for _ in range(12)) for i in range(30)}
        self.hashed = {}

    def member(self, index):
        """Random bytes, holding a planted pattern, a near miss, or named by its MD5."""
        data = bytearray(self.rng.randrange(256) for _ in range(self.rng.randint(100, 6000)))
        roll = self.rng.random()
        if roll < 0.5:
            name, pattern = self.rng.choice(sorted(self.patterns.items()))
            if roll < 0.2:
                pattern = bytearray(pattern)
                pattern[self.rng.randrange(len(pattern))] ^= 0x5A
            at = self.rng.randrange(len(data))
            data[at:at] = pattern
        elif roll < 0.6:
            self.hashed["Arc.Md5.%d" % index] = bytes(data)
        return "m%d.bin" % index, bytes(data)

    def members(self, count):
        return [self.member(self.rng.randrange(10 ** 6)) for _ in range(count)]

    def archive(self, kind, members):
        if kind == "stored.zip":
            return write_zip(members, zipfile.ZIP_STORED)
        if kind == "deflate.zip":
            return write_zip(members, zipfile.ZIP_DEFLATED)
        if kind == "tar":
            return write_tar(members)
        if kind == "tar.gz":
            return gzip.compress(write_tar(members), mtime=0)
        if kind == "7z":
            return write_7z(members, self.scratch)
        raise ValueError(kind)

    def write_sigs(self, sigdir, clam_exe):
        lines = ["%s:0:*:%s" % (name, pattern.hex()) for name, pattern in sorted(self.patterns.items())]
        with open(os.path.join(sigdir, "arc.ndb"), "w") as out:
            out.write("\n".join(lines) + "\n")
        hashes = ["%s:%d:%s" % (hashlib.md5(data).hexdigest(), len(data), name) for name, data in sorted(self.hashed.items())]
        hashes.append("%s:%d:Arc.ClamExe.Md5" % (hashlib.md5(clam_exe).hexdigest(), len(clam_exe)))
        with open(os.path.join(sigdir, "arc.hdb"), "w") as out:
            out.write("\n".join(hashes) + "\n")


def make_files(folder, scratch):
    generator = Generator(7, scratch)
    for index in range(60):
        kind = ["stored.zip", "deflate.zip", "tar", "tar.gz", "7z"][index % 5]
        members = generator.members(generator.rng.randint(1, 4))
        if index % 3 == 0:  # one member is an archive of its own
            inner_kind = generator.rng.choice(["stored.zip", "deflate.zip", "tar"])
            members.append(("inner.%s" % inner_kind.split(".")[-1], generator.archive(inner_kind, generator.members(2))))
        with open(os.path.join(folder, "a%02d.%s" % (index, kind)), "wb") as out:
            out.write(generator.archive(kind, members))
    for index in range(10):
        _, data = generator.member(generator.rng.randrange(10 ** 6))
        with open(os.path.join(folder, "lone%02d.gz" % index), "wb") as out:
            out.write(gzip.compress(data, mtime=0))
    for name in CLAM_ARCHIVES:
        shutil.copy(os.path.join(TESTFILES, name), os.path.join(folder, name))
    with open(os.path.join(TESTFILES, "clam.exe"), "rb") as exe:
        return generator, exe.read()


def windows_path(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def run_quorvane(wine_run, build, sigdir, folder):
    database = os.path.join(sigdir, "arc.dat")
    tool = [wine_run]
    sigfiles = [windows_path(os.path.join(sigdir, f)) for f in ("arc.ndb", "arc.hdb")]
    subprocess.run(tool + [os.path.join(build, "quorvane-sigtool.exe"), "build", windows_path(database)] + sigfiles,
                   check=True, stdout=subprocess.DEVNULL)
    done = subprocess.run(tool + [os.path.join(build, "quorvane-scan.exe"), "--archives", "--json", "--quiet",
                                  "--database", windows_path(database), windows_path(folder)],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")
    if done.returncode not in (0, 1):
        sys.exit("quorvane-scan failed (%d): %s" % (done.returncode, done.stderr[-2000:]))
    infected, not_scanned = {}, {}
    for line in done.stdout.splitlines():
        record = json.loads(line)
        if "object" not in record:
            continue
        disk = record["object"].split("->", 1)[0]
        path = os.path.realpath(disk[2:].replace("\\", "/"))
        if record["kind"] == "infected":
            infected.setdefault(path, set()).add(record["threat"])
        else:
            not_scanned.setdefault(path, set()).add(record["threat"])
    return infected, not_scanned


def run_clamscan(sigdir, folder):
    command = ["clamscan", "-d", sigdir] + CLAMSCAN_OPTIONS + ["-r", folder]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace")
    if done.returncode not in (0, 1):
        sys.exit("clamscan failed (%d): %s" % (done.returncode, done.stderr[-2000:]))
    found = {}
    for line in done.stdout.splitlines():
        if not line.endswith(" FOUND"):
            continue
        path, _, name = line[: -len(" FOUND")].rpartition(": ")
        found.setdefault(os.path.realpath(path), set()).add(name.removesuffix(".UNOFFICIAL"))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if shutil.which("clamscan") is None or shutil.which("7zz") is None:
        sys.exit("clamscan or 7zz not found: run scripts/setup.sh")
    shutil.rmtree(args.work, ignore_errors=True)
    folder, sigdir, scratch = (os.path.join(args.work, name) for name in ("files", "sigs", "scratch"))
    for made in (folder, sigdir, scratch):
        os.makedirs(made)
    generator, clam_exe = make_files(folder, scratch)
    generator.write_sigs(sigdir, clam_exe)
    ours, not_scanned = run_quorvane(args.wine_run, args.build, sigdir, folder)
    theirs = run_clamscan(sigdir, folder)
    excluded = {name: 0 for name, _, _ in EXCLUSIONS}
    failures = 0
    matched = 0
    for name in sorted(os.listdir(folder)):
        path = os.path.realpath(os.path.join(folder, name))
        want, got = theirs.get(path, set()), ours.get(path, set())
        matched += len(want)
        if want == got:
            continue
        rule = next((rule for rule, _, applies in EXCLUSIONS if applies(not_scanned.get(path, set()))), None)
        if rule is not None:
            excluded[rule] += 1
            continue
        failures += 1
        print("%s: clamscan %s, quorvane-scan %s, not scanned %s" % (name, sorted(want), sorted(got),
                                                                     sorted(not_scanned.get(path, set()))))
    print("%d files, %d names by clamscan, excluded by rule: %s" % (len(os.listdir(folder)), matched, excluded))
    if matched < 20:
        print("too few matches to compare anything")
        failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
