#!/usr/bin/env python3
"""Prints the benchmark figures of one run (the JSON files scripts/bench
writes) as times, as ratios to the floor (one open and four reads of the same
25 bytes), and against the targets."""

import json
import pathlib
import sys

SPECIES = 251

# name -> (label, target in microseconds or None, divisor for a per-species
# figure); a divisor of 0 shows the whole sweep without a ratio.
ROWS = [
    ("BM_Floor_OneOpenFourReads", "Floor: 25 bytes, one open, four reads", None, 1),
    ("BM_Bound_23OpenPreadClose", "Bound: 23 x open/pread/close, no checks", None, 1),
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
    ("BM_TableExportCsv_Process", "quillmere-cli export (whole process)", None, 0),
    ("BM_TableImportCsv_Unchanged_Process", "quillmere-cli import, unchanged", None, 0),
    ("BM_TableImportCsv_AllChanged_Process", "quillmere-cli import, every field", None, 0),
]

UNIT_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def main(folder):
    runs = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        for run in json.loads(path.read_text()).get("benchmarks", []):
            if run.get("run_type", "iteration") != "iteration" or run.get("error_occurred"):
                continue
            name = run["name"].split("/")[0]
            runs[name] = run

    floor = runs.get("BM_Floor_OneOpenFourReads")
    floor_us = floor["real_time"] * UNIT_US[floor["time_unit"]] if floor else None
    missed = []
    print(f"{'Measure':<46} {'time':>12} {'x floor':>9}  target")
    for name, label, target, divisor in ROWS:
        run = runs.get(name)
        if run is None:
            continue
        us = run["real_time"] * UNIT_US[run["time_unit"]] / (divisor or 1)
        ratio = f"{us / floor_us:9.1f}" if floor_us and divisor else f"{'-':>9}"
        shown = f"{us / 1000:9.2f} ms" if us >= 1000 else f"{us:9.1f} us"
        verdict = ""
        if target is not None:
            met = us < target
            verdict = ("met" if met else "MISSED") + f" (< {target / 1000:g} ms)" if target >= 1000 else \
                ("met" if met else "MISSED") + f" (< {target:g} us)"
            if not met:
                missed.append(label)
        print(f"{label:<46} {shown:>12} {ratio}  {verdict}")
    start = runs.get("BM_StartToWindowShown")
    if start:
        print(f"{'  of which inside the process':<46} {start['in_process_ms']:9.2f} ms")
        rss = start["peak_rss_MB"]
        met = rss < 60
        if not met:
            missed.append("peak memory")
        print(f"{'Peak memory after the window is shown':<46} {rss:9.1f} MB {'':>9}  "
              f"{'met' if met else 'MISSED'} (< 60 MB)")
    if missed:
        print("Targets missed: " + "; ".join(missed))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bench-results")
