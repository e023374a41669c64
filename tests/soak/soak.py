#!/usr/bin/env python3
"""Soak run: the demo, looping title and story, driven headless on the
virtual clock by a seeded random scenario: clicks, auto and skip toggles,
quick saves and loads, the save screen (whose slots the clicks then save to)
and going back a page.

Checks that the run ends cleanly at its end time with nothing on standard
error and no Information.txt, and that the resident memory stays flat after
warm-up.

    tests/soak/soak.py BUILD_DIR [--minutes M] [--seed N] [--keep DIR]
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

# The title's quit button ends the game: random clicks stay off it.
QUIT_BUTTON = (440, 580, 840, 660)
SCREEN = (1280, 720)


# The story ends the game after its last page; here it starts over.
STORY_END = re.compile(r"(setSkip 0\ngosub \*show_backlog\n(?:(?://[^\n]*)?\n)*)end\n")


def make_game(build, src_root, work):
    """The demo's sources with a start script that loops title and story."""
    src = os.path.join(work, "src")
    shutil.copytree(os.path.join(src_root, "demo"), src)
    story_path = os.path.join(src, "script", "story.txt")
    with open(story_path, encoding="utf-8") as f:
        story, ends = STORY_END.subn(r"\1goto *soak_loop\n", f.read())
    with open(story_path, "w", encoding="utf-8") as f:
        f.write(story)
    # Title and story in a loop, without the opening. A story that returns
    # to its caller (a demo without saves) is called.
    story_call = "goto *story_start\n" if ends else "gosub *story_start\ngoto *soak_loop\n"
    with open(os.path.join(src, "script", "0.txt"), "w", encoding="utf-8") as f:
        f.write("*start\n"
                'setWindowText "Velmora soak"\n'
                "screen 1280, 720, 1280, 0\n"
                "*soak_loop\n"
                "gosub *title_menu\n" + story_call)
    game = os.path.join(work, "game")
    os.makedirs(game)
    subprocess.run([os.path.join(build, "velmora-pack"), "scripts", src, os.path.join(game, "script.dat")],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.copy(os.path.join(build, "demo", "arc0.dat"), game)
    return game


# Keys pressed now and then while the clicks go on: (key, shortest and
# longest gap in ms). Shift toggles auto mode, Tab skip mode; Q saves and L
# loads slot 10 at once; S opens the save screen, where the clicks save to
# slots, and Esc leaves it; B goes back a page.
KEYS = [("Shift", 5000, 9000), ("Tab", 8000, 14000), ("Q", 2000, 5000), ("L", 4000, 8000),
        ("S", 9000, 15000), ("Esc", 3000, 6000), ("B", 10000, 16000)]


# Memory is sampled at these steps of virtual time: the scenario takes a
# screenshot, and the run reads the resident memory when the file appears.
# (Real time runs fast while unchanged frames are held, so samples taken by
# the wall clock would crowd into the busy stretches.) A sample is the least
# reading over a short while, so that the screenshot's own picture, still
# held while it is written, does not count.
SAMPLE_STEP_MS = 2000
SAMPLE_WINDOW_S = 0.25


def marker_path(work, t):
    return os.path.join(work, f"at-{t:07d}.png")


def scenario(seed, length_ms, work):
    """Timed input: a click every 0.2-1.5 s and the keys above, the memory
    sample markers; quits at the end."""
    rng = random.Random(seed)
    lines = [f"# soak scenario, seed {seed}"]
    t = 500
    next_key = {key: rng.randrange(low, high) for key, low, high in KEYS}
    next_marker = SAMPLE_STEP_MS
    while t < length_ms:
        while next_marker <= t:
            lines.append(f"at {next_marker} screenshot {marker_path(work, next_marker)}")
            next_marker += SAMPLE_STEP_MS
        x, y = rng.randrange(SCREEN[0]), rng.randrange(SCREEN[1])
        qx0, qy0, qx1, qy1 = QUIT_BUTTON
        if not (qx0 <= x < qx1 and qy0 <= y < qy1):
            lines.append(f"at {t} click {x} {y}")
        for key, low, high in KEYS:
            if t >= next_key[key]:
                lines.append(f"at {t} key {key}")
                next_key[key] += rng.randrange(low, high)
        t += rng.randrange(200, 1500)
    lines.append(f"at {length_ms} quit")
    return "\n".join(lines) + "\n"


# Shown once at start-up on every machine without a readable raster line
# (always headless): a notice, not a fault of the run.
START_NOTICE = "Software が使えないので Hardware で起動します"
# The start-up dialog's headless answer, printed like every question's.
DIALOG_ANSWER = "[起動設定] "


def unexpected_errors(text):
    """Standard error less the start-up notice and the dialog's answer.
    Headless, every box goes there as "[Title] text" (the text may run over
    several lines)."""
    boxes, current = [], []
    for line in text.splitlines():
        if line.startswith("[") and current:
            boxes.append("\n".join(current))
            current = []
        current.append(line)
    if current:
        boxes.append("\n".join(current))
    return "\n".join(b for b in boxes if START_NOTICE not in b and not b.startswith(DIALOG_ANSWER)).strip()


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def median(values):
    s = sorted(values)
    return s[len(s) // 2]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("--minutes", type=float, default=10.0, help="virtual time to run (default 10)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--keep", help="folder to keep the game, scenario and log in")
    ap.add_argument("--warm-up", type=float, default=3.0,
                    help="minutes of virtual time before memory must stay flat (default 3)")
    ap.add_argument("--growth-kib", type=int, default=4096,
                    help="largest allowed rise of the resident memory after warm-up")
    ap.add_argument("--no-memory-check", action="store_true",
                    help="only errors count (sanitizers keep freed memory on purpose)")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    src_root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    work = args.keep or tempfile.mkdtemp(prefix="velmora-soak-")
    os.makedirs(work, exist_ok=True)
    try:
        return run(build, src_root, work, args)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


def run(build, src_root, work, args):
    game = make_game(build, src_root, work)
    length_ms = int(args.minutes * 60000)
    scenario_path = os.path.join(work, "scenario.txt")
    with open(scenario_path, "w") as f:
        f.write(scenario(args.seed, length_ms, work))
    env = dict(os.environ, XDG_RUNTIME_DIR=work)
    err_path = os.path.join(work, "stderr.txt")
    with open(err_path, "wb") as err:
        p = subprocess.Popen([os.path.join(build, "velmora"), "--headless", "--virtual-clock", "--input",
                              scenario_path, game], stdout=subprocess.DEVNULL, stderr=err, env=env)
        samples = []  # (virtual ms, KiB)
        pending = []  # [virtual ms, until, least KiB so far]
        started = time.monotonic()
        next_marker = SAMPLE_STEP_MS
        while p.poll() is None:
            now, r = time.monotonic(), rss_kib(p.pid)
            while os.path.exists(marker_path(work, next_marker)):
                pending.append([next_marker, now + SAMPLE_WINDOW_S, None])
                next_marker += SAMPLE_STEP_MS
            for sample in pending:
                if r:
                    sample[2] = r if sample[2] is None else min(sample[2], r)
            while pending and now >= pending[0][1]:
                t, _, least = pending.pop(0)
                if least:
                    samples.append((t, least))
                os.remove(marker_path(work, t))
            time.sleep(0.02)
        seconds = time.monotonic() - started
    with open(os.path.join(work, "rss.txt"), "w") as f:
        f.write("".join(f"{t} {r}\n" for t, r in samples))
    errors = unexpected_errors(open(err_path, "rb").read().decode("utf-8", "replace"))
    failures = []
    if p.returncode != 0:
        failures.append(f"exit code {p.returncode}")
    if errors:
        failures.append("standard error:\n" + errors[:4000])
    # The run must have saved: else the keys and clicks missed their screens.
    save_folder = os.path.join(game, "save")
    slots = sorted(n for n in os.listdir(save_folder) if re.fullmatch(r"save\d{3}\.txt", n)) \
        if os.path.isdir(save_folder) else []
    has_saves = os.path.exists(os.path.join(src_root, "demo", "script", "saveload.txt"))
    if has_saves and args.minutes >= 1 and not slots:
        failures.append("no save slot was written")
    # Warm-up: pictures, fonts and sounds loaded for the first time, the
    # backlog filling up. Flat: the last fifth no higher than the start of
    # what follows the warm-up, within the allowance.
    warm = [r for t, r in samples if t >= args.warm_up * 60000]
    if len(samples) >= 10 and warm:
        middle = median(warm[:max(1, len(warm) // 3)])
        end = median(warm[-max(1, len(warm) // 5):])
        print(f"soak: {args.minutes:g} min virtual in {seconds:.0f} s, seed {args.seed}, slots {len(slots)}, "
              f"RSS after warm-up {middle} KiB, at the end {end} KiB, peak {max(r for _, r in samples)} KiB")
        if end - middle > args.growth_kib and not args.no_memory_check:
            failures.append(f"resident memory grew by {end - middle} KiB after warm-up")
    elif not args.no_memory_check:
        failures.append(f"too few memory samples ({len(samples)}): the run ended after {seconds:.1f} s")
    for f in failures:
        print("soak: FAILED: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
