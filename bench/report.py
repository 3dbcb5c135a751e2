#!/usr/bin/env python3
"""Reads the name=value lines of bench/run.sh (runN.KIND.name for the rounds, KIND.name for
single measures) and prints the targets, then the phases behind them.

A ratio is taken within each round, between steps run back to back, and the median of those
per-round ratios is reported with their range; absolute times are medians over the rounds."""
import statistics
import sys

MB = 1e6
MIB = 1048576


def load(path):
    rounds, single = {}, {}
    for line in open(path):
        name, _, value = line.strip().partition("=")
        if not value:
            continue
        head, _, rest = name.partition(".")
        if head.startswith("run") and head[3:].isdigit():
            rounds.setdefault(int(head[3:]), {})[rest] = float(value)
        else:
            try:
                single[name] = float(value)
            except ValueError:
                single[name] = value
    return [rounds[n] for n in sorted(rounds)], single


class Figures:
    def __init__(self, rounds, single):
        self.rounds = rounds
        self.single = single

    def values(self, key):
        return [r[key] for r in self.rounds if key in r]

    def median(self, key):
        values = self.values(key)
        return statistics.median(values) if values else float("nan")

    def ratios(self, function):
        """function(round) per round; rounds missing a figure are left out."""
        out = []
        for r in self.rounds:
            try:
                out.append(function(r))
            except (KeyError, ZeroDivisionError):
                pass
        return out


def spread(values):
    if not values:
        return float("nan"), "no rounds"
    return statistics.median(values), f"[{min(values):.2f}-{max(values):.2f}]"


def verdict(ok):
    return "ok" if ok else "FAIL"


def targets(f, s):
    read = f.ratios(lambda r: r["all_opaque.engine_read_ms"] / r["bare.bare_read_ms"])
    whole = f.ratios(lambda r: r["all_db.engine_scan_ms"] / r["all_opaque.engine_scan_ms"])
    files = f.ratios(lambda r: (r["listed_db.engine_files"] / r["listed_db.process_ms"]) /
                     (r["clam_listed.files"] / r["clam_listed.process_ms"]))
    bytes_ = f.ratios(lambda r: r["clam_big.process_ms"] / r["big_db.process_ms"])
    sig_db = f.median("sig_db.engine_sig_ms")
    sig_full = f.median("sig_full.engine_sig_ms")
    hash_db = f.median("sig_db.engine_db_hash_bytes") / f.median("sig_db.engine_db_hash_count")
    hash_full = f.median("sig_full.engine_db_hash_bytes") / f.median("sig_full.engine_db_hash_count")
    peak = s["full_db.engine_process_peak_mib"]

    print(f"targets ({len(f.rounds)} rounds; ratio = median of the per-round ratios [range])")
    rows = []
    m, r = spread(read)
    rows.append(("1. read phase, opaque payload: engine / bare loop", f"{m:.2f} {r}", "<= 1.2", m <= 1.2))
    m, r = spread(whole)
    rows.append(("2. whole file scan: database / opaque payload", f"{m:.2f} {r}", "<= 1.3", m <= 1.3))
    m, r = spread(files)
    rows.append(("3a. files/s: engine / clamscan (listed tree, whole process)", f"{m:.2f} {r}",
                 ">= 1.25 (aim 1.5)", m >= 1.25))
    m, r = spread(bytes_)
    rows.append(("3b. MB/s: engine / clamscan (512 MiB random file)", f"{m:.2f} {r}", ">= 3 (aim 6)", m >= 3))
    rows.append(("4a. load + compile, benchmark database (ms)", f"{sig_db:.0f}", "<= 1000", sig_db <= 1000))
    rows.append(("4b. load + compile, full database (ms)", f"{sig_full:.0f}", "<= 2000", sig_full <= 2000))
    rows.append(("5. compiled memory per hash signature, bench / full (bytes)", f"{hash_db:.4f} / {hash_full:.4f}",
                 "<= 64", max(hash_db, hash_full) <= 64))
    rows.append(("6. peak working set with the full database, 64-bit (MiB)", f"{peak:.1f}",
                 "< 1024", peak < 1024))
    tool_files = f.ratios(lambda r: (r["tool_listed.files"] / r["tool_listed.process_ms"]) /
                          (r["clam_listed.files"] / r["clam_listed.process_ms"]))
    tool_bytes = f.ratios(lambda r: r["clam_big.process_ms"] / r["tool_big.process_ms"])
    m, r = spread(tool_files)
    rows.append(("7a. files/s: quorvane-scan / clamscan (listed tree, whole process)", f"{m:.2f} {r}", ">= 1.5",
                 m >= 1.5))
    m, r = spread(tool_bytes)
    rows.append(("7b. MB/s: quorvane-scan / clamscan (512 MiB random file)", f"{m:.2f} {r}", ">= 6", m >= 6))
    stops = [v for k, v in s.items() if k.startswith("tool_stop_") and k.endswith(".stop_ms")]
    worst = max(stops) if stops else float("nan")
    rows.append(("7c. quorvane-scan: Ctrl+C to the process's end, worst (ms)", f"{worst:.0f}", "<= 250", worst <= 250))
    for name, value, target, ok in rows:
        print(f"  {name:66}{value:>20}  {target:>14} {verdict(ok)}")
    m, r = spread(f.ratios(lambda r: r["listed_db.process_ms"] / r["listed_opaque.process_ms"]))
    print(f"  (2 on the listed tree alone, small files only, whole process: {m:.2f} {r})")
    print("  (6: the 32-bit edition could not be run on this machine; its peak, with 4-byte pointers,"
          " is at most the 64-bit one)")


def phases(f, s):
    print("\nphases, medians over the rounds (ms)")
    print(f"  {'':44}{'engine opaque':>14}{'engine db':>12}{'bare':>10}{'native':>10}")
    rows = [
        ("list building (walk + sort)", "engine_list_ms", "bare.bare_list_ms", "native.list_ms"),
        ("read phase", "engine_read_ms", "bare.bare_read_ms", "native.read_ms"),
        ("whole file scan (list + read)", "engine_scan_ms", "bare.bare_scan_ms", None),
        ("whole process", "process_ms", None, None),
    ]
    for name, key, bare, native in rows:
        cells = [f.median("all_opaque." + key), f.median("all_db." + key),
                 f.median(bare) if bare else float("nan"), f.median(native) if native else float("nan")]
        print(f"  {name:44}" + "".join(f"{c:{w}.1f}" for c, w in zip(cells, (14, 12, 10, 10))))
    list_ratio = spread(f.ratios(lambda r: r["all_opaque.engine_list_ms"] / r["bare.bare_list_ms"]))
    scan_ratio = spread(f.ratios(lambda r: r["all_opaque.engine_scan_ms"] / r["bare.bare_scan_ms"]))
    read_db = spread(f.ratios(lambda r: r["all_db.engine_read_ms"] / r["all_opaque.engine_read_ms"]))
    print(f"  engine/bare: list {list_ratio[0]:.2f} {list_ratio[1]}, whole scan {scan_ratio[0]:.2f} {scan_ratio[1]}; "
          f"read phase database/opaque {read_db[0]:.2f} {read_db[1]}")
    read_mb = (s["tree.listed_bytes"] + s["tree.big_bytes"]) / MB
    print(f"  read phase throughput: bare {read_mb / f.median('bare.bare_read_ms') * 1000:.0f} MB/s, "
          f"engine opaque {read_mb / f.median('all_opaque.engine_read_ms') * 1000:.0f} MB/s, "
          f"engine db {read_mb / f.median('all_db.engine_read_ms') * 1000:.0f} MB/s ({read_mb:.0f} MB)")

    print("\nagainst clamscan, whole processes with their database load, medians")
    files = f.median("listed_db.engine_files")
    eng, clam = f.median("listed_db.process_ms"), f.median("clam_listed.process_ms")
    print(f"  listed tree, {files:.0f} files ({s['tree.listed_bytes'] / MB:.0f} MB): engine {eng:.0f} ms = "
          f"{files / eng * 1000:.0f} files/s, clamscan {clam:.0f} ms = "
          f"{f.median('clam_listed.files') / clam * 1000:.0f} files/s")
    big = s["tree.big_bytes"] / MB
    eng, clam = f.median("big_db.process_ms"), f.median("clam_big.process_ms")
    print(f"  512 MiB random file: engine {eng:.0f} ms = {big / eng * 1000:.1f} MB/s, "
          f"clamscan {clam:.0f} ms = {big / clam * 1000:.1f} MB/s")
    print(f"  findings: engine {f.median('listed_db.engine_findings'):.0f} (whole tree "
          f"{f.median('all_db.engine_findings'):.0f}), clamscan "
          f"{f.median('clam_listed.findings'):.0f} (the tree holds one file starting with EICAR)")
    print(f"  clamscan on an empty folder (start, database load, exit): {f.median('clam_load.process_ms'):.0f} ms")
    tool_files = f.median("tool_listed.files")
    tool = f.median("tool_listed.process_ms")
    print(f"  quorvane-scan: listed tree {tool_files:.0f} files in {tool:.0f} ms = {tool_files / tool * 1000:.0f} files/s "
          f"(findings {f.median('tool_listed.findings'):.0f}); 512 MiB file {f.median('tool_big.process_ms'):.0f} ms = "
          f"{big / f.median('tool_big.process_ms') * 1000:.1f} MB/s")
    print(f"  quorvane-scan start-up to its first line (one small file): {f.median('tool_start.first_line_ms'):.0f} ms, "
          f"whole process {f.median('tool_start.process_ms'):.0f} ms; clamscan on an empty folder "
          f"{f.median('clam_load.process_ms'):.0f} ms")
    stops = sorted((k, v) for k, v in s.items() if k.startswith("tool_stop_") and k.endswith(".stop_ms"))
    print("  quorvane-scan Ctrl+C to exit (ms): " + ", ".join(f"{k[10:-8]} {v:.0f}" for k, v in stops))

    print("\nsignatures, medians (ms)")
    print(f"  load on the worker's thread: benchmark database {f.median('sig_db.engine_sig_ms'):.0f} "
          f"({f.median('sig_db.engine_db_payload_bytes') / MIB:.1f} MiB payload), full database "
          f"{f.median('sig_full.engine_sig_ms'):.0f} ({f.median('sig_full.engine_db_payload_bytes') / MIB:.1f} MiB), "
          f"opaque 48 MiB {f.median('sig_opaque.engine_sig_ms'):.0f}; bare read + MD5 of it "
          f"{f.median('sig_bare.bare_sig_ms'):.0f}")
    for tag, name in (("sig_db", "benchmark"), ("sig_full", "full")):
        hashes, bodies = f.median(tag + ".engine_db_hash_count"), f.median(tag + ".engine_db_body_count")
        print(f"  {name} database: {hashes:.0f} hash and {bodies:.0f} body signatures; compiled beyond the "
              f"payload: hash {f.median(tag + '.engine_db_hash_bytes'):.0f} bytes, body "
              f"{f.median(tag + '.engine_db_body_bytes'):.0f} bytes ({f.median(tag + '.engine_db_body_bytes') / max(bodies, 1):.0f}"
              f" per body signature); working set growth beyond the payload "
              f"{f.median(tag + '.engine_sig_growth_beyond_payload') / MIB:.1f} MiB")


def others(f, s):
    print("\nother figures")
    checks = [
        ("finished list, bytes per file beyond the path's UTF-16", f.median("all_opaque.engine_list_bytes_per_file"),
         "<= 64", lambda v: v <= 64),
        ("peak while building, bytes per file", f.median("all_opaque.engine_peak_bytes_per_file"), "< 450",
         lambda v: v < 450),
        ("release during the walk, worst of 5 (ms)", s["stop.engine_stop_ms_worst"], "<= 250", lambda v: v <= 250),
        ("release during the full database's load, worst (ms)", s["sigstop.engine_sigstop_ms_worst"], "<= 250",
         lambda v: v <= 250),
        ("longest gap between the load's stop checks (ms)", s["sigstop.engine_sigstop_poll_gap_ms"], "<= 50",
         lambda v: v <= 50),
        ("signature 48 MiB opaque: engine / bare", spread(f.ratios(
            lambda r: r["sig_opaque.engine_sig_ms"] / r["sig_bare.bare_sig_ms"]))[0], "<= 1.2", lambda v: v <= 1.2),
    ]
    for name, value, target, test in checks:
        print(f"  {name:62}{value:10.2f}  {target:>7} {verdict(test(value))}")
    print(f"  process peaks: engine opaque {f.median('all_opaque.engine_process_peak_mib'):.1f} MiB, "
          f"engine db {f.median('all_db.engine_process_peak_mib'):.1f} MiB, full db {s['full_db.engine_process_peak_mib']:.1f} MiB, "
          f"bare {f.median('bare.bare_process_peak_mib'):.1f} MiB, native find {s['native.find_peak_kib'] / 1024:.1f} MiB")


def main(path):
    rounds, single = load(path)
    f = Figures(rounds, single)
    print(f"edition {single.get('machine.edition')}; load average at the start {single.get('machine.load_start')},"
          f" at the end {single.get('machine.load')}")
    print(f"tree: {single['tree.files']:.0f} files in {single['tree.folders']:.0f} folders; listed: engine "
          f"{f.median('all_opaque.engine_files'):.0f}, bare {f.median('bare.bare_files'):.0f}; average listed path "
          f"{f.median('all_opaque.engine_path_chars_avg'):.1f} chars")
    targets(f, single)
    phases(f, single)
    others(f, single)


if __name__ == "__main__":
    main(sys.argv[1])
