#!/usr/bin/python3
"""Peer benchmark: python3-xlwt writes the same chart cells as bench_xls's BM_WriteChart/15
(sheet font Tahoma, titles, column widths, lime boxes with borders, right-edge connectors).

usage: bench/xlwt_peer.py [--columns N] [--repeat K] [--bench build/bench/bench_xls]
                         [--cli build/src/app/pedigrafa-cli]

With --bench, runs our writer's benchmark for the same chart and prints both throughputs and
their ratio (cells per second, CPU time). With --cli, runs the command-line tool for the same
chart, the whole process from start to exit, and prints its time as a fraction of xlwt's (CPU
time, the best of the repeats).
"""
import argparse
import io
import json
import os
import resource
import subprocess
import sys
import tempfile
import time

import xlwt


def chart_cells(columns):
    """(row, col) -> kind for every cell of the chart, 0-based, kinds: box, line, title, sub."""
    cells = {(1, c): "title" for c in range(1, 6)}
    cells.update({(2, c): "sub" for c in range(1, 6)})
    for t in range(columns):
        boxes = [4 + 2**t + i * 2 ** (t + 1) for i in range(2 ** (columns - 1 - t))]
        if len(boxes) > 1:
            for row in range(boxes[0], boxes[-1] + 1):
                cells[(row - 1, 1 + t)] = "line"
        for row in boxes:
            cells[(row - 1, 1 + t)] = "box"
    return cells


def write_with_xlwt(columns):
    styles = {
        "box": xlwt.easyxf("font: name Tahoma; pattern: pattern solid, fore_colour lime;"
                           "borders: left thin, right thin, top thin, bottom thin"),
        "line": xlwt.easyxf("font: name Tahoma; borders: right thin"),
        "title": xlwt.easyxf("font: name Tahoma, height 400, colour gray50; align: horiz left"),
        "sub": xlwt.easyxf("font: name Tahoma, height 220; align: horiz left"),
    }
    book = xlwt.Workbook()
    sheet = book.add_sheet("Sheet1")
    sheet.col(0).width = 694
    for c in range(1, 6):
        sheet.col(c).width = 6326
    cells = chart_cells(columns)
    for (row, col), kind in sorted(cells.items()):
        if (row, col) == (1, 1) or (row, col) == (2, 1) or kind not in ("title", "sub"):
            value = {(1, 1): "Family Tree for Tamsin Orrow", (2, 1): "%d Generations" % columns}
            sheet.write(row, col, value.get((row, col), ""), styles[kind])
    sheet.merge(1, 1, 1, 5)
    sheet.merge(2, 2, 1, 5)
    out = io.BytesIO()
    book.save(out)
    return len(cells), len(out.getvalue())


def ours(bench, columns):
    result = subprocess.run(
        [bench, "--benchmark_filter=BM_WriteChart/%d$" % columns, "--benchmark_format=json"],
        check=True, capture_output=True, text=True)
    run = json.loads(result.stdout)["benchmarks"][0]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
    return run["cells"], run["cpu_time"] * scale


def ours_cli(cli, columns, repeat):
    """Best CPU time (user + system) and wall time of the whole command-line tool process."""
    best_cpu = best_wall = None
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "chart.xls")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        for _ in range(repeat):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run([cli, "--force", "Tamsin Orrow", str(columns), out], check=True,
                           env=env, stderr=subprocess.DEVNULL)
            wall = time.perf_counter() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
            best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
            best_wall = wall if best_wall is None else min(best_wall, wall)
    return best_cpu, best_wall


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--columns", type=int, default=15)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--bench")
    parser.add_argument("--cli")
    args = parser.parse_args()

    best = None
    for _ in range(args.repeat):
        start = time.process_time()
        cells, size = write_with_xlwt(args.columns)
        elapsed = time.process_time() - start
        best = elapsed if best is None else min(best, elapsed)
    print("xlwt %s: %d cells, %d bytes, %.1f ms CPU, %.0f cells/s"
          % (xlwt.__VERSION__, cells, size, best * 1e3, cells / best))
    status = 0
    if args.cli:
        cpu, wall = ours_cli(args.cli, args.columns, max(args.repeat, 10))
        ratio = cpu / best
        print("pedigrafa-cli, whole process: %.1f ms CPU, %.1f ms wall; time ratio ours/xlwt: "
              "%.3f (target <= 0.02)" % (cpu * 1e3, wall * 1e3, ratio))
        status = 0 if ratio <= 0.02 else 1
    if args.bench:
        our_cells, our_time = ours(args.bench, args.columns)
        print("ours: %d cells, %.1f ms CPU, %.0f cells/s" % (our_cells, our_time * 1e3,
                                                             our_cells / our_time))
        ratio = (our_cells / our_time) / (cells / best)
        print("throughput ratio ours/xlwt: %.1fx (target >= 20x)" % ratio)
        status = max(status, 0 if ratio >= 20 else 1)
    return status


if __name__ == "__main__":
    sys.exit(main())
