#!/usr/bin/env python3
"""Reads the name=value lines of bench/run.sh (runN.name for repeated runs: the median is
taken) and prints the phases, the ratios and the targets."""
import statistics
import sys


def load(path):
    runs, single = {}, {}
    for line in open(path):
        name, _, value = line.strip().partition("=")
        if not value:
            continue
        if name.startswith("run") and "." in name:
            runs.setdefault(name.split(".", 1)[1], []).append(float(value))
        else:
            single[name] = float(value)
    median = {name: statistics.median(v) for name, v in runs.items()}
    best = {name: min(v) for name, v in runs.items()}
    median.update(single)
    best.update(single)
    return median, best, len(next(iter(runs.values()), []))


def phases(v, label):
    native_scan = v["native_list_ms"] + v["native_read_ms"]
    print(f"{label:34}{'engine':>10}{'bare':>10}{'native':>10}{'engine/bare':>13}{'target':>9}")
    rows = [
        ("list building (walk + sort)", v["engine_list_ms"], v["bare_list_ms"], v["native_list_ms"], 1.2),
        ("whole file scan (list + reading)", v["engine_scan_ms"], v["bare_scan_ms"], native_scan, 1.3),
        ("signature.dat 48 MiB load + MD5", v["engine_sig_ms"], v["bare_sig_ms"], v["native_md5_ms"], 1.2),
    ]
    for name, engine, bare, native, target in rows:
        ratio = engine / bare
        verdict = "ok" if ratio <= target else "MISSED"
        print(f"{name:34}{engine:10.1f}{bare:10.1f}{native:10.1f}{ratio:13.2f}{'<= ' + str(target):>9} {verdict}")


def main(path):
    v, best, runs = load(path)
    print(f"tree: {v['tree_files']:.0f} files in {v['tree_folders']:.0f} folders; "
          f"listed: engine {v['engine_files']:.0f}, bare {v['bare_files']:.0f}; "
          f"average listed path {v['engine_path_chars_avg']:.1f} chars")
    phases(v, f"median of {runs} runs (ms)")
    phases(best, f"best of {runs} runs (ms)")
    print(f"bare walk alone: {v['bare_walk_ms']:.1f} ms; bare reading: {v['bare_read_ms']:.1f} ms "
          f"({v['bare_read_mib']:.0f} MiB)")
    checks = [
        ("finished list, bytes per file beyond the path's UTF-16", v["engine_list_bytes_per_file"], "<= 64",
         v["engine_list_bytes_per_file"] <= 64),
        ("peak while building, bytes per file", v["engine_peak_bytes_per_file"], "< 450",
         v["engine_peak_bytes_per_file"] < 450),
        ("release during the walk, worst of 5 (ms)", v["engine_stop_ms_worst"], "<= 250",
         v["engine_stop_ms_worst"] <= 250),
    ]
    for name, value, target, ok in checks:
        print(f"{name:58}{value:10.1f}  {target:>7} {'ok' if ok else 'MISSED'}")
    if not v["engine_peak_set_by_list"]:
        print("note: the process peak was set before the list was built; the peak figure is an upper bound")
    print(f"process peak: engine {v['engine_process_peak_mib']:.1f} MiB (48 MiB of it the signature), "
          f"bare {v['bare_process_peak_mib']:.1f} MiB, native find {v['native_find_peak_kib'] / 1024:.1f} MiB")


if __name__ == "__main__":
    main(sys.argv[1])
