#!/usr/bin/env python3
"""Runs every benchmark that has a speed target and prints one table:
name, median, unit, target, pass/fail. Exit code 1 when a target is missed.

    bench/table.py BUILD_DIR [--repetitions N]

Medians of N repetitions (default 5; the idle benchmark in a real X window,
bench/idle/idle.py, at most 3, for each of its runs takes about a minute).
The machine is shared: other builds running at the same time make every
figure an upper bound; the idle rows count the engine's own CPU time only.
"""
import argparse
import json
import os
import subprocess
import sys

IDLE = "idle"  # bench/idle/idle.py rather than a benchmark executable
WEB = "web"  # tests/web/browser.py --json: the browser build in headless Chromium
IDLE_REPETITIONS = 3

# (row, executable, benchmark name, measure, unit, comparison, target)
# measure: cpu_time or real_time (converted to unit), items_per_second, or
# ratio:OTHER (this benchmark's cpu time over OTHER's).
ROWS = [
    ("start-up, 1000 scripts x 1000 lines", "bench_script", "BM_StartUpIndexUnpackScan/iterations:5", "real_time", "s", "<", 0.2),
    ("start-up, the same as a UTF-8 game", "bench_script", "BM_StartUpUnicodeGame/iterations:5", "real_time", "s", "<", 0.2),
    ("for/cal/next loop", "bench_script", "BM_ForCalNext/10000000/iterations:3", "items_per_second", "M it/s", ">=", 7.5),
    ("funcLua, two numbers", "bench_bindings", "BM_FuncLuaTwoNumbers", "cpu_time", "us", "<", 2.0),
    ("funcSqu, two numbers", "bench_bindings", "BM_FuncSquTwoNumbers", "cpu_time", "us", "<", 2.0),
    ("PNG 1920x1080 / bare libpng", "bench_image", "BM_LoadPng", "ratio:BM_BarePng", "x", "<=", 1.10),
    # The engine decodes with the floating-point DCT: the bare decode with the
    # same DCT is the overhead's measure; the default DCT is shown beside it.
    ("JPEG 1920x1080 / bare libjpeg-turbo, float DCT", "bench_image", "BM_LoadJpeg", "ratio:BM_BareJpeg/1", "x", "<=", 1.10),
    ("JPEG 1920x1080 / bare libjpeg-turbo, default DCT", "bench_image", "BM_LoadJpeg", "ratio:BM_BareJpeg/0", "x", None, None),
    ("TLG6 / PNG decode", "bench_image", "BM_LoadTlg6", "ratio:BM_LoadPng", "x", "<", 1.0),
    ("TLG5 / TLG6 decode", "bench_image", "BM_LoadTlg5", "ratio:BM_LoadTlg6", "x", "<", 1.0),
    ("1000-sprite submission (CPU)", "bench_render", "BM_SubmitThousandSprites", "cpu_time", "ms", "<", 2.0),
    ("cached picture hit, 1920x1080", "bench_sprite", "CachedHit/1920/1080/1", "cpu_time", "ms", "<", 0.1),
    # A sprite whose cut or effects write needs its own copy: not a hit's cost.
    ("cached picture, 1920x1080, own copy", "bench_sprite", "CachedHit/1920/1080/0", "cpu_time", "ms", None, None),
    ("step 1000 sprites, two tracks", "bench_sprite", "StepThousandSpritesTwoTracks", "cpu_time", "ms", "<", 1.0),
    ("25 Vorbis channels, share of a core", "bench_audio", "DecodeAndMix25Vorbis", "cpu_time", "%", "<", 10.0),
    ("3-row page laid out and drawn, Japanese", "bench_text", "BM_PageLayoutAndDraw/0", "cpu_time", "ms", None, None),
    ("3-row page laid out and drawn, English", "bench_text", "BM_PageLayoutAndDraw/1", "cpu_time", "ms", None, None),
    ("3-row page, English / Japanese", "bench_text", "BM_PageLayoutAndDraw/1", "ratio:BM_PageLayoutAndDraw/0", "x", "<=", 1.5),
    # A page over a background presented at 1920x1080 from a 1280x720 game,
    # CPU time of the whole process (the software rasterizer's threads too):
    # sharp text adds the output picture's two full-size copies and the
    # glyphs at the output's size.
    ("frame at 1080p from 720p, text scaled", "bench_text", "BM_FrameAt1080p/0/process_time", "cpu_time", "ms", None, None),
    ("frame at 1080p from 720p, text sharp", "bench_text", "BM_FrameAt1080p/1/process_time", "cpu_time", "ms", None, None),
    ("frame at 1080p, sharp / scaled text", "bench_text", "BM_FrameAt1080p/1/process_time",
     "ratio:BM_FrameAt1080p/0/process_time", "x", "<=", 2.0),
    ("makeSave + saveSave, 200 sprites, text", "bench_save", "MakeAndSave/0", "real_time", "ms", "<", 50.0),
    ("makeSave + saveSave, 200 sprites, packed", "bench_save", "MakeAndSave/1", "real_time", "ms", "<", 50.0),
    ("loadSave, 200 sprites, text", "bench_save", "Load/0", "real_time", "ms", "<", 100.0),
    ("loadSave, 200 sprites, packed", "bench_save", "Load/1", "real_time", "ms", "<", 100.0),
    # Share of one core while the demo waits (1280x720, llvmpipe, a real X
    # window), with ONScripter waiting at a click in the same X server.
    ("idle: title menu", IDLE, "title", "idle", "%", "<=", 3.0),
    ("idle: page at a click wait", IDLE, "page", "idle", "%", "<=", 3.0),
    ("idle: save screen", IDLE, "save", "idle", "%", "<=", 3.0),
    ("idle: ONScripter at a click wait", IDLE, "peer", "idle", "%", None, None),
    ("animated sprite in a window", IDLE, "fps", "idle", "fps", ">=", 55.0),
    ("animated sprite, share of a core", IDLE, "animation", "idle", "%", None, None),
    # The browser build (when build-web/ holds it): the engine's first frame
    # and the standing title (after the demo's opening, about 9 s of game
    # time) from the page's start, the engine's download, the browser while a
    # page waits for a click.
    ("web: first frame after the page's start", WEB, "start", "idle", "s", "<=", 3.0),
    ("web: title standing after the page's start", WEB, "title", "idle", "s", None, None),
    ("web: engine .wasm + .js, gzip", WEB, "size", "idle", "MB", "<=", 6.0),
    ("web: browser at a click wait, share of a core", WEB, "page", "idle", "%", "<", 5.0),
]

TO_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def run(build, executable, names, repetitions):
    """Medians of the named benchmarks of one executable, by name."""
    path = os.path.join(build, "bench", executable)
    if not os.path.exists(path):
        return {}
    pattern = "^(" + "|".join(names) + ")$"
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    out = subprocess.run([path, "--benchmark_filter=" + pattern, f"--benchmark_repetitions={repetitions}",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env).stdout
    medians = {}
    if not out.strip():  # no benchmark of that name: its rows say "not built"
        return medians
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            medians[b["run_name"]] = b
    return medians


def run_idle(build, repetitions):
    """The idle benchmark's medians by scene (empty when it cannot run)."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "idle", "idle.py")
    out = subprocess.run([sys.executable, script, build, "--json", f"--repetitions={repetitions}"],
                         stdout=subprocess.PIPE).stdout
    return {k: {"idle": v} for k, v in json.loads(out).items()} if out.strip() else {}


def run_web(build):
    """The browser build's measures (empty when it is not built)."""
    web_build = os.path.join(os.path.dirname(os.path.abspath(build)), "build-web")
    if not os.path.exists(os.path.join(web_build, "velmora.wasm")):
        return {}
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web", "browser.py")
    out = subprocess.run([sys.executable, script, build, web_build, "--json"], stdout=subprocess.PIPE).stdout
    lines = out.decode().strip().splitlines()
    return {k: {"idle": v} for k, v in json.loads(lines[-1]).items()} if lines else {}


def ratio_note(row, medians):
    """The idle scenes against ONScripter's figure."""
    if row[1] != IDLE or row[4] != "%" or row[2] == "peer" or "peer" not in medians or row[2] not in medians:
        return ""
    peer = medians["peer"]["idle"]
    return f"  {medians[row[2]]['idle'] / peer:.2f}x ONScripter" if peer > 0 else ""


def seconds(b, key):
    return b[key] * TO_SECONDS[b["time_unit"]]


def value(row, medians):
    _, _, name, measure, unit, _, _ = row
    b = medians.get(name)
    if b is None:
        return None
    if measure == "idle":
        return b["idle"]
    if measure.startswith("ratio:"):
        other = medians.get(measure[6:])
        return None if other is None else seconds(b, "cpu_time") / seconds(other, "cpu_time")
    if measure == "items_per_second":
        return b["items_per_second"] / 1e6
    if unit == "%":  # cpu time per second of audio
        return seconds(b, measure) * 100.0
    return seconds(b, measure) / TO_SECONDS[unit]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("--repetitions", type=int, default=5)
    args = ap.parse_args()
    wanted = {}
    for row in ROWS:
        if row[1] in (IDLE, WEB):
            continue
        names = wanted.setdefault(row[1], [])
        names.append(row[2])
        if row[3].startswith("ratio:"):
            names.append(row[3][6:])
    medians = {}
    for executable, names in wanted.items():
        print(f"running {executable} ...", file=sys.stderr, flush=True)
        medians.update(run(args.build, executable, sorted(set(names)), args.repetitions))
    print("running bench/idle/idle.py (a real X window) ...", file=sys.stderr, flush=True)
    idle = run_idle(args.build, min(args.repetitions, IDLE_REPETITIONS))
    print("running tests/web/browser.py (headless Chromium) ...", file=sys.stderr, flush=True)
    web = run_web(args.build)
    width = max(len(r[0]) for r in ROWS)
    print(f"{'benchmark':<{width}}  {'median':>10}  {'unit':<7} {'target':<10} result")
    missed = 0
    for row in ROWS:
        v = value(row, idle if row[1] == IDLE else web if row[1] == WEB else medians)
        target = f"{row[5]} {row[6]:g}" if row[5] else "-"
        if v is None:
            print(f"{row[0]:<{width}}  {'-':>10}  {row[4]:<7} {target:<10} not built")
            continue
        if row[5] is None:  # shown for comparison, no target of its own
            print(f"{row[0]:<{width}}  {v:>10.4g}  {row[4]:<7} {target:<10} -")
            continue
        ok = {"<": v < row[6], "<=": v <= row[6], ">=": v >= row[6]}[row[5]]
        missed += not ok
        note = ratio_note(row, idle) if row[1] == IDLE else ""
        print(f"{row[0]:<{width}}  {v:>10.4g}  {row[4]:<7} {target:<10} {'pass' if ok else 'FAIL'}{note}")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
