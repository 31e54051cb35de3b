#!/usr/bin/env python3
"""The reader benchmark's medians as one row per file, with the ratios.

    build/bin/reader_bench --benchmark_repetitions=5 --benchmark_min_time=0.2 \
        --benchmark_report_aggregates_only=true --benchmark_out=reader.json
    bench/reader_ratios.py reader.json

(c)/(a) is the one the readers are held to: the whole LoadModelFile against
reading the same bytes, at most 2.
"""
import json
import sys

KINDS = ("Bytes", "Ours", "Load", "Assimp")


def main(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    times, sizes, order = {}, {}, []
    for run in runs:
        # Repeated runs give aggregates; a single run gives the run itself.
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        if run.get("error_occurred"):
            continue
        kind, _, name = run["run_name"].partition("/")
        if kind not in KINDS:
            continue
        if name not in times:
            times[name] = {}
            order.append(name)
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[run["time_unit"]]
        times[name][kind] = run["real_time"] * scale
        if "bytes" in run:
            sizes[name] = int(run["bytes"])

    def ratio(a, b):
        return f"{a / b:.2f}" if a is not None and b else "-"

    def us(t):
        return f"{t:.1f}" if t is not None else "-"

    print("| file | bytes | read bytes (a) µs | ours in memory (b) µs | ours whole (c) µs "
          "| assimp (d) µs | (c)/(a) | (b)/(a) | (d)/(b) | (d)/(c) |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for name in order:
        t = times[name]
        a, b, c, d = (t.get(k) for k in KINDS)
        print(f"| {name} | {sizes.get(name, '-')} | {us(a)} | {us(b)} | {us(c)} | {us(d)} "
              f"| {ratio(c, a)} | {ratio(b, a)} | {ratio(d, b)} | {ratio(d, c)} |")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "reader.json")
