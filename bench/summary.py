#!/usr/bin/env python3
"""Prints the benchmark figures of one run (the JSON files scripts/bench
writes). Each benchmark is repeated (scripts/bench asks for 5 repetitions);
every figure is the median of the repetitions with their spread (lowest to
highest), and as ratios to the floor (one open and four reads of the same 25
bytes) and to the bound (23 x open/pread/close). Targets are shown the same
way: their time and what that time is in floors and bounds."""

import json
import pathlib
import statistics
import sys

SPECIES = 251
FLOOR = "BM_Floor_OneOpenFourReads"
BOUND = "BM_Bound_23OpenPreadClose"

# name -> (label, target in microseconds or None, divisor for a per-species
# figure); a divisor of 0 shows the whole sweep without ratios.
ROWS = [
    (FLOOR, "Floor: 25 bytes, one open, four reads", None, 1),
    (BOUND, "Bound: 23 x open/pread/close, no checks", None, 1),
    ("BM_LoadSpecies_23Reads", "Load one species (23 TryReadHexBytes)", 100.0, 1),
    ("BM_SaveSpecies_23Writes", "Save one species (23 WriteHexBytes)", None, 1),
    ("BM_SaveSpecies_23ChecksThen23Writes", "Save as the editor: 23 checks, 23 writes", None, 1),
    ("BM_SweepAll251Species", "Sweep of all 251 species, per species", None, SPECIES),
    ("BM_SweepAll251Species", "Sweep of all 251 species, whole", None, 0),
    ("BM_CreateIps_OneSpecies", "IPS patch, 2 MiB, one species: create", None, 0),
    ("BM_CreateBps_OneSpecies", "BPS patch, 2 MiB, one species: create", None, 0),
    ("BM_ApplyIps_OneSpecies", "IPS patch, 2 MiB, one species: apply", None, 0),
    ("BM_ApplyBps_OneSpecies", "BPS patch, 2 MiB, one species: apply", None, 0),
    ("BM_CreateFileIps_OneSpecies", "IPS patch, 2 MiB, one species: create, files", None, 0),
    ("BM_CreateFileBps_OneSpecies", "BPS patch, 2 MiB, one species: create, files", None, 0),
    ("BM_ApplyFileIps_OneSpecies", "IPS patch, 2 MiB, one species: apply, files", None, 0),
    ("BM_ApplyFileBps_OneSpecies", "BPS patch, 2 MiB, one species: apply, files", None, 0),
    ("BM_CreateIps_OnePercent", "IPS patch, 2 MiB, 1% of bytes: create", None, 0),
    ("BM_CreateBps_OnePercent", "BPS patch, 2 MiB, 1% of bytes: create", None, 0),
    ("BM_ApplyIps_OnePercent", "IPS patch, 2 MiB, 1% of bytes: apply", None, 0),
    ("BM_ApplyBps_OnePercent", "BPS patch, 2 MiB, 1% of bytes: apply", None, 0),
    ("BM_CreateFileIps_OnePercent", "IPS patch, 2 MiB, 1% of bytes: create, files", None, 0),
    ("BM_CreateFileBps_OnePercent", "BPS patch, 2 MiB, 1% of bytes: create, files", None, 0),
    ("BM_ApplyFileIps_OnePercent", "IPS patch, 2 MiB, 1% of bytes: apply, files", None, 0),
    ("BM_ApplyFileBps_OnePercent", "BPS patch, 2 MiB, 1% of bytes: apply, files", None, 0),
    ("BM_WindowLoader_LoadSpeciesFields", "Window loader, one species", 2000.0, 1),
    ("BM_WindowLoader_SpeciesListClickAndPaint", "List click, loader and repaint", None, 1),
    ("BM_WindowSave_SaveSpeciesFields", "Window save, one species", None, 1),
    ("BM_StartToWindowShown", "Process start to window shown", 300000.0, 1),
    ("BM_TableExportCsv_InProcess", "Export all species, CSV, in process", None, 0),
    ("BM_TableExportJson_InProcess", "Export all species, JSON, in process", None, 0),
    ("BM_TableImportCsv_Unchanged_InProcess", "Import unchanged CSV, in process", None, 0),
    ("BM_TableImportJson_Unchanged_InProcess", "Import unchanged JSON, in process", None, 0),
    ("BM_TableImportCsv_AllChanged_InProcess", "Import CSV changing every field, in process", None, 0),
    ("BM_TableImportCsv_AllChanged_InPlace_InProcess", "Import CSV changing every field, --in-place", None, 0),
    ("BM_TableImportCsv_OneSpecies_InProcess", "Import CSV changing one species, in process", None, 0),
    ("BM_TableImportCsv_OneSpecies_InPlace_InProcess", "Import CSV changing one species, --in-place", None, 0),
    ("BM_TableExportCsv_Process", "quillmere-cli export (whole process)", None, 0),
    ("BM_TableImportCsv_Unchanged_Process", "quillmere-cli import, unchanged", None, 0),
    ("BM_TableImportCsv_AllChanged_Process", "quillmere-cli import, every field", None, 0),
    ("BM_TableImportCsv_AllChanged_InPlace_Process", "quillmere-cli import --in-place, every field", None, 0),
    ("BM_WorkbookSpeciesCsvExport_Process", "quillmere-cli export, species CSV (list image)", None, 0),
    ("BM_WorkbookExport_Process", "quillmere-cli export, workbook of every table", 150000.0, 0),
    ("BM_WorkbookImport_Unchanged_Process", "quillmere-cli import, unchanged workbook", 150000.0, 0),
    ("BM_WorkbookImport_Changed_Process", "quillmere-cli import, workbook: HP, one move", 150000.0, 0),
]
MEMORY_TARGET_MB = 60.0

UNIT_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def load(folder):
    """name -> list of the repetitions' runs."""
    runs = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        for run in json.loads(path.read_text()).get("benchmarks", []):
            if run.get("run_type", "iteration") != "iteration" or run.get("error_occurred"):
                continue
            runs.setdefault(run["name"].split("/")[0], []).append(run)
    return runs


def times_us(runs, divisor=1):
    return [run["real_time"] * UNIT_US[run["time_unit"]] / (divisor or 1) for run in runs]


def show_time(us):
    if us >= 1000:
        return f"{us / 1000:.2f} ms"
    return f"{us:.1f} us"


def spread(values, fmt):
    return f"{fmt(min(values))} - {fmt(max(values))}" if len(values) > 1 else "one run"


def ratio(us, base):
    return f"{us / base:.1f}" if base else "-"


def main(folder):
    runs = load(folder)
    floor = statistics.median(times_us(runs[FLOOR])) if FLOOR in runs else None
    bound = statistics.median(times_us(runs[BOUND])) if BOUND in runs else None
    repetitions = max((len(r) for r in runs.values()), default=0)
    print(f"Median of {repetitions} repetitions, spread lowest - highest; ratios of the medians.")
    print(f"{'Measure':<44} {'median':>10}  {'spread':<21} {'x floor':>8} {'x bound':>8}  target")
    missed = []
    for name, label, target, divisor in ROWS:
        if name not in runs:
            continue
        values = times_us(runs[name], divisor)
        us = statistics.median(values)
        per = divisor != 0
        verdict = ""
        if target is not None:
            met = us < target
            verdict = (f"< {show_time(target)} = {ratio(target, floor)} floors = {ratio(target, bound)} bounds: "
                       + ("met" if met else "MISSED"))
            if not met:
                missed.append(label)
        print(f"{label:<44} {show_time(us):>10}  {spread(values, show_time):<21} "
              f"{ratio(us, floor) if per else '-':>8} {ratio(us, bound) if per else '-':>8}  {verdict}")
    start = runs.get("BM_StartToWindowShown")
    if start:
        inside = [run["in_process_ms"] for run in start]
        print(f"{'  of which inside the process':<44} {statistics.median(inside):7.2f} ms  "
              f"{spread(inside, lambda v: f'{v:.2f} ms'):<21}")
        rss = [run["peak_rss_MB"] for run in start]
        met = max(rss) < MEMORY_TARGET_MB
        if not met:
            missed.append("peak memory")
        print(f"{'Peak memory with the window shown':<44} {statistics.median(rss):7.1f} MB  "
              f"{spread(rss, lambda v: f'{v:.1f} MB'):<21} {'':>8} {'':>8}  "
              f"< {MEMORY_TARGET_MB:g} MB: {'met' if met else 'MISSED'}")
    missed += processes(runs)
    missed += pairs(runs)
    if missed:
        print("Targets missed: " + "; ".join(missed))


# Whole quillmere-cli processes with their own CPU time (the counter cpu_ms
# of bench/StartupBench.cpp and bench/WorkbookBench.cpp), against targets in
# milliseconds of CPU.
PROCESSES = [
    ("BM_CliStart_Help_Process", "quillmere-cli --help (start-up)", 10.0),
    ("BM_CliInfo_Process", "quillmere-cli info", 10.0),
    ("BM_CliExportCsv_Process", "quillmere-cli export, species CSV", 10.0),
    ("BM_CliDiff_Process", "quillmere-cli diff, two images", 10.0),
    ("BM_WorkbookExport_Process", "quillmere-cli export, workbook", 150.0),
    ("BM_WorkbookImport_Unchanged_Process", "quillmere-cli import, unchanged workbook", 150.0),
    ("BM_WorkbookImport_Changed_Process", "quillmere-cli import, workbook: HP, one move", 150.0),
]


def processes(runs):
    """CPU time per whole process: median and spread of the repetitions.
    Returns the targets missed."""
    rows = [(name, label, target) for name, label, target in PROCESSES
            if any("cpu_ms" in run for run in runs.get(name, []))]
    if not rows:
        return []
    missed = []
    print()
    print("Whole processes: CPU time (user + system) per process, median of the repetitions")
    print(f"{'Process':<44} {'CPU':>10}  {'spread':<21}  target")
    for name, label, target in rows:
        values = [run["cpu_ms"] for run in runs[name] if "cpu_ms" in run]
        ms = statistics.median(values)
        met = ms <= target
        if not met:
            missed.append(f"{label} ({ms:.1f} ms of CPU)")
        print(f"{label:<44} {ms:7.1f} ms  {spread(values, lambda v: f'{v:.1f} ms'):<21}  "
              f"<= {target:g} ms: {'met' if met else 'MISSED'}")
    return missed


PAIRS = [
    ("OneSpecies", "(a) one species edited"),
    ("Inserted64KiB", "(b) 64 KiB inserted in the middle"),
    ("ScatteredRuns5Percent", "(c) 5% of bytes in scattered runs"),
    ("BanksSwapped", "(d) eight pairs of banks swapped"),
    ("OtherVersionTables", "(e) another version's tables laid over"),
]
CREATE_TARGET_US = 1e6
INSERTED_TARGET = 0.01


def pairs(runs):
    """The synthetic pairs of bench/PatchPairsBench.cpp: sizes, ratios and
    times, with their targets. Returns the targets missed."""
    if not any(f"BM_PairCreateBps_{name}" in runs for name, _ in PAIRS):
        return []
    missed = []
    print()
    print("2 MiB pairs: patch sizes (bytes), BPS size / changed bytes, median times")
    print(f"{'Pair':<40} {'changed':>8} {'BPS':>8} {'IPS':>8} {'BPS/chg':>8} {'BPS/img':>8} "
          f"{'create BPS':>11} {'create IPS':>11} {'apply BPS':>10} {'x no-copy':>9}")
    for name, label in PAIRS:
        bps = runs.get(f"BM_PairCreateBps_{name}")
        ips = runs.get(f"BM_PairCreateIps_{name}")
        apply = runs.get(f"BM_PairApplyBps_{name}")
        plain = runs.get(f"BM_PairApplyBpsWithoutCopies_{name}")
        if not bps:
            continue
        changed = bps[0]["changed_bytes"]
        size = bps[0]["patch_bytes"]
        image = bps[0]["image_bytes"]
        create = statistics.median(times_us(bps))
        apply_us = statistics.median(times_us(apply)) if apply else None
        plain_us = statistics.median(times_us(plain)) if plain else None
        print(f"{label:<40} {changed:>8.0f} {size:>8.0f} {ips[0]['patch_bytes'] if ips else 0:>8.0f} "
              f"{size / changed:>8.3f} {100 * size / image:>7.2f}% {show_time(create):>11} "
              f"{show_time(statistics.median(times_us(ips))) if ips else '-':>11} "
              f"{show_time(apply_us) if apply_us else '-':>10} "
              f"{apply_us / plain_us if apply_us and plain_us else 0:>9.2f}")
        if create >= CREATE_TARGET_US:
            missed.append(f"BPS creation of {label} ({show_time(create)}, target < 1 s)")
        if name == "Inserted64KiB" and size >= INSERTED_TARGET * image:
            missed.append(f"BPS size of {label} ({size:.0f} bytes, target < 1% of the image)")
    print("Targets: creation < 1 s for every pair; (b) BPS < 1% of the image; 'x no-copy' is the time to apply")
    print("the patch against applying one made without copies (SourceRead, TargetRead and runs only).")
    return missed


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bench-results")
