#!/usr/bin/python3
"""Peer benchmark: the npm package parse-gedcom reads the same family-tree file under Node as
bench_gedcom's BM_ParseGedcom reads with our reader, in one run; prints both times and the
ratio.

usage: bench/gedcom_peer.py [--build build] [--file FILE.ged] [--repeat K]

The file defaults to the generated 100,000-person sample, written afresh by
build/bench/make_gedcom to build/bench/people-100000.ged. parse-gedcom is installed on first use with
`npm install --prefix build/npm-peer parse-gedcom@2.0.1`, outside the sources.
"""
import argparse
import json
import os
import subprocess
import sys

NODE_SCRIPT = r"""
const { parse } = require(process.argv[1]);
const text = require('fs').readFileSync(process.argv[2], 'utf8');
let best = Infinity, records = 0;
for (let i = 0; i < Number(process.argv[3]); i++) {
  const start = process.hrtime.bigint();
  const tree = parse(text);
  best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e6);
  records = tree.children.length;
}
console.log(JSON.stringify({ ms: best, records, rssMB: process.memoryUsage().rss / 1e6 }));
"""


def ensure_peer(npm_dir):
    module = os.path.join(npm_dir, "node_modules", "parse-gedcom")
    if not os.path.isdir(module):
        os.makedirs(npm_dir, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", npm_dir, "--no-audit", "--no-fund",
                        "parse-gedcom@2.0.1"], check=True, stdout=subprocess.DEVNULL)
    return os.path.abspath(module)


def theirs(module, path, repeat):
    result = subprocess.run(["node", "--max-old-space-size=8192", "-e", NODE_SCRIPT, module, path,
                             str(repeat)], check=True, capture_output=True, text=True)
    return json.loads(result.stdout)


def ours(bench, path):
    env = dict(os.environ, PQ_GEDCOM_FILE=os.path.abspath(path))
    result = subprocess.run([bench, "--benchmark_filter=BM_ParseGedcom",
                             "--benchmark_format=json"], check=True, capture_output=True,
                            text=True, env=env)
    run = json.loads(result.stdout)["benchmarks"][0]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run["time_unit"]]
    return run["real_time"] * scale, run


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--file")
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    path = args.file or os.path.join(args.build, "bench", "people-100000.ged")
    if not args.file:
        subprocess.run([os.path.join(args.build, "bench", "make_gedcom"), path], check=True)
    size_mb = os.path.getsize(path) / 1e6
    module = ensure_peer(os.path.join(args.build, "npm-peer"))
    version = json.load(open(os.path.join(module, "package.json")))["version"]

    peer = theirs(module, path, args.repeat)
    print("parse-gedcom %s (Node %s): %.0f ms for %.1f MB, %d records, %.0f MB resident"
          % (version, subprocess.run(["node", "--version"], capture_output=True,
                                     text=True).stdout.strip(),
             peer["ms"], size_mb, peer["records"], peer["rssMB"]))
    our_ms, run = ours(os.path.join(args.build, "bench", "bench_gedcom"), path)
    print("ours: %.0f ms for %.1f MB, %d people, peak %.0f MB (%.1fx the file)"
          % (our_ms, size_mb, run["people"], run["peak_MB"], run["peak_x_file"]))
    ratio = peer["ms"] / our_ms
    print("speed ratio ours/parse-gedcom: %.1fx (target >= 10x)" % ratio)
    return 0 if ratio >= 10 else 1


if __name__ == "__main__":
    sys.exit(main())
