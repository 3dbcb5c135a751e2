#!/usr/bin/env python3
"""Reads the name=value lines of bench/bigdb.sh (runN.STEP.name for the rounds, NAME for single
figures) and prints the targets and the figures behind them.

A ratio is taken within each round, between steps run back to back, and the median of those
per-round ratios is reported with their range; absolute figures are medians over the rounds."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from report import Figures, load, spread  # noqa: E402

MIB = 1048576


def verdict(ok):
    return "info" if ok is None else "ok" if ok else "MISSED"


def files_per_s(r, tag):
    return r[tag + ".files"] / r[tag + ".ms"] * 1000


def targets(f, s):
    rows = []
    build = s.get("build.ms", float("nan"))
    rows.append(("build time of the set, quorvane-sigtool (s)", f"{build / 1000:.1f}", "< 60", build < 60000))
    setup = f.median("phases.qdb_map_ms") + f.median("phases.qdb_index_ms")
    rows.append(("mapping + index set-up, no trailer check (ms)", f"{setup:.0f}", "<= 1000", setup <= 1000))
    m, r = spread(f.ratios(lambda r: r["tool_start.ms"] / r["clam_load.ms"]))
    rows.append(("whole start, process on an empty file: quorvane-scan / clamscan", f"{m:.2f} {r}", "<= 0.5",
                 m <= 0.5))
    growth = f.median("start.engine_sig_pagefile_growth") / MIB
    rows.append(("memory: PagefileUsage growth over the load (MiB)", f"{growth:.1f}", "<= 128", growth <= 128))
    # The scan's files/s: each process less its own start on an empty file, which the two rows
    # above hold to their own targets.
    m, r = spread(f.ratios(lambda r: (r["tool_listed_small.ms"] - r["tool_start_small.ms"]) /
                                    (r["tool_listed.ms"] - r["tool_start.ms"])))
    rows.append(("files/s on listed, the scan: large set / small benchmark database", f"{m:.2f} {r}", ">= 0.8",
                 m >= 0.8))
    m, r = spread(f.ratios(lambda r: files_per_s(r, "tool_listed") / files_per_s(r, "tool_listed_small")))
    rows.append(("  the same, whole processes (the start included)", f"{m:.2f} {r}", "-", None))
    m, r = spread(f.ratios(lambda r: files_per_s(r, "tool_listed") / files_per_s(r, "clam_listed")))
    rows.append(("files/s on listed: quorvane-scan / clamscan, same set", f"{m:.2f} {r}", ">= 1.5", m >= 1.5))
    print(f"targets ({len(f.rounds)} rounds; ratio = median of the per-round ratios [range])")
    for name, value, target, ok in rows:
        print(f"  {name:66}{value:>20}  {target:>8} {verdict(ok)}")


def figures(f, s):
    qdb = s.get("qdb_bytes", float("nan"))
    print("\nthe set")
    print(f"  text files {s.get('text_bytes', float('nan')) / MIB:.0f} MiB; .qdb files {qdb / MIB:.1f} MiB; "
          f"hash signatures {f.median('start.engine_db_hash_count'):.0f}, body {f.median('start.engine_db_body_count'):.0f}"
          f" (signature.dat's included)")
    if "generate_ms" in s:
        print(f"  generation of the text set: {s['generate_ms'] / 1000:.1f} s")
    print(f"  build: main.qdb {s.get('build_main.ms', float('nan')) / 1000:.1f} s (peak "
          f"{s.get('build_main.peak_kib', float('nan')) / 1024:.0f} MiB), daily.qdb "
          f"{s.get('build_daily.ms', float('nan')) / 1000:.1f} s (peak {s.get('build_daily.peak_kib', float('nan')) / 1024:.0f} MiB)")

    print("\nstart, medians (ms)")
    trailer = f.median("phases.qdb_trailer_ms")
    print(f"  mapping {f.median('phases.qdb_map_ms'):.1f}, index set-up {f.median('phases.qdb_index_ms'):.1f}, "
          f"trailer check {trailer:.0f} ({f.median('phases.qdb_bytes') / 1e6 / trailer * 1000:.0f} MB/s, SHA-256 of "
          f"{f.median('phases.qdb_bytes') / MIB:.1f} MiB)")
    hashes = f.median("phases_hashes.qdb_index_ms")
    print(f"  of the index set-up: the hash signatures and allow list alone (one .qdb of them, set up the same "
          f"way) {hashes:.1f}, {f.median('phases_hashes.qdb_pagefile_growth') / MIB:.1f} MiB commit; so the 60,000 "
          f"body signatures about {f.median('phases.qdb_index_ms') - hashes:.0f} "
          f"({f.median('phases.qdb_compiled_body_bytes') / MIB:.1f} MiB compiled)")
    print(f"  whole load on the worker's thread (signature.dat, then each .qdb mapped, checked, set up): "
          f"{f.median('start.engine_sig_ms'):.0f}; with the small database alone {f.median('start_small.engine_sig_ms'):.0f}")
    print(f"  whole process on an empty file: quorvane-scan {f.median('tool_start.ms'):.0f} (small database "
          f"{f.median('tool_start_small.ms'):.0f}), clamscan {f.median('clam_load.ms'):.0f}")
    m, r = spread(f.ratios(lambda r: r["start.engine_sig_ms"] / r["clam_load.ms"]))
    print(f"  load on the worker's thread / clamscan's whole process: {m:.3f} {r}")

    start = f.median("tool_start.ms") - f.median("tool_start_small.ms")
    print(f"  the large set's start costs {start:.0f} ms more than the small database's, the trailer check "
          f"{trailer:.0f} of them: against the small database's whole run of listed "
          f"({f.median('tool_listed_small.ms'):.0f}), that alone holds the whole-process ratio to "
          f"{f.median('tool_listed_small.ms') / (f.median('tool_listed_small.ms') + trailer):.2f} with a scan as fast as its own")

    print("\nmemory")
    print(f"  PagefileUsage growth over the load: {f.median('start.engine_sig_pagefile_growth') / MIB:.1f} MiB "
          f"(index set-up alone {f.median('phases.qdb_pagefile_growth') / MIB:.1f} MiB); working set growth "
          f"{f.median('start.engine_sig_workingset_growth') / MIB:.1f} MiB, mapped files {qdb / MIB:.1f} MiB apart")
    print(f"  peak resident: quorvane-scan on an empty file {f.median('tool_start.peak_kib') / 1024:.0f} MiB, on listed "
          f"{f.median('tool_listed.peak_kib') / 1024:.0f} MiB; clamscan on an empty file "
          f"{f.median('clam_load.peak_kib') / 1024:.0f} MiB, on listed {f.median('clam_listed.peak_kib') / 1024:.0f} MiB")

    print("\nfiles/s on listed, whole processes, medians")
    for tag, name in (("tool_listed", "quorvane-scan, large set"), ("tool_listed_small", "quorvane-scan, small database"),
                      ("clam_listed", "clamscan, large set")):
        print(f"  {name:32}{f.median(tag + '.files'):8.0f} files {f.median(tag + '.ms'):9.0f} ms "
              f"{f.median(tag + '.files') / f.median(tag + '.ms') * 1000:7.0f} files/s, findings "
              f"{f.median(tag + '.findings'):.0f}")


def main(path):
    rounds, single = load(path)
    f = Figures(rounds, single)
    print(f"edition {single.get('machine.edition')}; load average at the start {single.get('machine.load_start')},"
          f" at the end {single.get('machine.load')}")
    targets(f, single)
    figures(f, single)


if __name__ == "__main__":
    main(sys.argv[1])
