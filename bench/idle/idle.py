#!/usr/bin/env python3
"""The idle cost of a game waiting for its player, in a real X window.

Runs Xvfb with openbox and, in it, the built demo (1280x720, Mesa llvmpipe):
its title menu, a fully shown page at a click wait and the save screen, each
measured as the share of one core the process takes (the scheduler's run
time from /proc over SECONDS). Beside them, in the same X server, ONScripter (the
Debian package, a benchmark peer only) waiting at a click over a 640x480
picture of a tiny game this script writes. Then an animated scene of the
engine (a sprite moving along motion tracks) with its frame rate.

    bench/idle/idle.py BUILD_DIR [--repetitions N] [--seconds S] [--json]
                                 [--shots DIR] [--check] [--voicing]

Prints the medians over N runs (default 3) side by side; --json prints them
as one JSON object instead (bench/table.py reads it). --shots keeps a
screenshot of every scene; --check ends with code 1 when a scene misses its
target (a test can run it so). Needs xvfb, openbox, xdotool, imagemagick
and onscripter (scripts/setup-deps.sh installs them).
"""
import argparse
import json
import os
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TICKS = os.sysconf("SC_CLK_TCK")
SCREEN = "1920x1080x24"
ONSCRIPTER = "/usr/games/onscripter"
ONSCRIPTER_FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
# The demo's opening (movie, fade, welcome) is over well within this.
TITLE_SETTLE_S = 12.0
# Enough for the typing of the first page, and for the screens to come up.
PAGE_SETTLE_S = 6.0
SCREEN_SETTLE_S = 3.0
ANIMATION_S = 5
# The start button of the start-up dialog, in its client area.
START_BUTTON = (390, 185)
START_ATTEMPTS = 3


class Failure(Exception):
    pass


def png(width, height, pixel):
    """A 24-bit PNG whose pixel(x, y) gives (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 6)) +
            chunk(b"IEND", b""))


def gradient(width, height):
    return png(width, height, lambda x, y: (x * 255 // width, y * 255 // height, 96))


def cpu_ticks(stat_path):
    with open(stat_path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def cpu_seconds(pid, main_only=False):
    """Run time so far, of the process or its main thread alone. The
    scheduler's nanoseconds where the kernel keeps them: utime and stime are
    sampled at 100 Hz, a noise of about a percent over a few seconds of a
    game that wakes 60 times a second. The threads' sum leaves out threads
    that ended, which an idle game does not start."""
    tasks = [str(pid)] if main_only else os.listdir(f"/proc/{pid}/task")
    if not os.path.exists(f"/proc/{pid}/task/{pid}/schedstat"):
        return cpu_ticks(f"/proc/{pid}/task/{pid}/stat" if main_only else f"/proc/{pid}/stat") / TICKS
    total = 0
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass  # the thread ended just now
    return total / 1e9


def share(pid, seconds):
    """Percent of one core over the next seconds: the process, and its main
    thread alone (the interpreter, frames and waits; the rest is sound,
    movie and GPU worker threads)."""
    t0, c0 = time.monotonic(), [cpu_seconds(pid), cpu_seconds(pid, True)]
    time.sleep(seconds)
    t1, c1 = time.monotonic(), [cpu_seconds(pid), cpu_seconds(pid, True)]
    return tuple((b - a) / (t1 - t0) * 100.0 for a, b in zip(c0, c1))


class Desktop:
    """Xvfb with openbox on a display number of the server's choosing."""

    def __enter__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", SCREEN, "-nolisten", "tcp"],
                                       pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            self.server.kill()
            self.server.wait()
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        return self

    def __exit__(self, *exc):
        for p in (self.wm, self.server):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True, timeout=30).stdout.split()

    def window_of(self, pid, name, timeout=30.0):
        """The first visible window of the process whose title holds name."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for wid in self.xdotool("search", "--onlyvisible", "--pid", str(pid)):
                if name in " ".join(self.xdotool("getwindowname", wid)):
                    return wid
            time.sleep(0.2)
        raise Failure(f"no window '{name}' appeared")

    def keys(self, wid, *keys):
        """Real key presses (XTEST) into the activated window: SDL ignores
        events sent to a window directly."""
        self.xdotool("windowactivate", "--sync", wid)
        for k in keys:
            self.xdotool("key", k)
            time.sleep(0.3)

    def click(self, wid, x, y):
        self.xdotool("windowactivate", "--sync", wid)
        self.xdotool("mousemove", "--window", wid, str(x), str(y), "click", "1")

    def shot(self, path):
        if path:
            subprocess.run(["import", "-window", "root", path], env=self.env, stderr=subprocess.DEVNULL, timeout=30)


class Run:
    """A process of ours in the desktop, ended when leaving."""

    def __init__(self, desktop, argv, env=None, stdout=subprocess.DEVNULL):
        self.proc = subprocess.Popen(argv, env=dict(desktop.env, **(env or {})), stdout=stdout,
                                     stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def engine_env(work):
    runtime = os.path.join(work, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    # Xvfb has no sound device: the mixer plays into SDL's dummy output.
    return {"XDG_RUNTIME_DIR": runtime, "HOME": home, "SDL_AUDIODRIVER": "dummy"}


def demo_scenes(desktop, build, work, seconds, shots, voicing=False):
    """The demo's three waiting scenes: title, page, save screen; with
    voicing, self-voicing is switched on (V) before the title is measured."""
    game = os.path.join(work, "demo")
    shutil.rmtree(game, ignore_errors=True)
    shutil.copytree(os.path.join(build, "demo"), game)
    out = {}
    with Run(desktop, [os.path.join(build, "velmora"), game], engine_env(work)) as run:
        pid = run.proc.pid
        # The start-up dialog: its start button, or Enter.
        # A click before the dialog is drawn is lost: it is pressed again.
        dialog = desktop.window_of(pid, "")
        main = None
        for attempt in range(START_ATTEMPTS):
            desktop.click(dialog, *START_BUTTON)
            try:
                main = desktop.window_of(pid, "Velmora demo", timeout=5.0)
                break
            except Failure:
                desktop.keys(dialog, "Return")
        if not main:
            if run.proc.poll() is not None:
                raise Failure(f"the demo ended at its start (code {run.proc.returncode})")
            main = desktop.window_of(pid, "Velmora demo")
        time.sleep(TITLE_SETTLE_S)
        if voicing:
            desktop.keys(main, "v")
            time.sleep(SCREEN_SETTLE_S)
        desktop.shot(shots and os.path.join(shots, "title.png"))
        out["title"], out["title_main"] = share(pid, seconds)
        # Away from the buttons, then the first one (START) by the keys.
        desktop.xdotool("mousemove", "--window", main, "8", "700")
        desktop.keys(main, "Down", "Return")
        time.sleep(PAGE_SETTLE_S)
        desktop.shot(shots and os.path.join(shots, "page.png"))
        out["page"], out["page_main"] = share(pid, seconds)
        desktop.keys(main, "s")
        time.sleep(SCREEN_SETTLE_S)
        desktop.shot(shots and os.path.join(shots, "save.png"))
        out["save"], out["save_main"] = share(pid, seconds)
        if run.proc.poll() is not None:
            raise Failure(f"the demo ended early (code {run.proc.returncode})")
    return out


def peer_click_wait(desktop, work, seconds, shots):
    """ONScripter at a click over a 640x480 picture."""
    game = os.path.join(work, "peer")
    os.makedirs(game, exist_ok=True)
    with open(os.path.join(game, "pic.png"), "wb") as f:
        f.write(gradient(640, 480))
    with open(os.path.join(game, "0.txt"), "w", encoding="ascii") as f:
        f.write("*define\ngame\n*start\nbg \"pic.png\",1\nclick\nend\n")
    env = {"HOME": os.path.join(work, "home"), "SDL_AUDIODRIVER": "dummy"}
    with Run(desktop, [ONSCRIPTER, "--window", "-r", game, "-f", ONSCRIPTER_FONT], env) as run:
        desktop.window_of(run.proc.pid, "")
        time.sleep(SCREEN_SETTLE_S)
        desktop.shot(shots and os.path.join(shots, "peer.png"))
        result = share(run.proc.pid, seconds)[0]
        if run.proc.poll() is not None:
            raise Failure("ONScripter ended early")
    return result


ANIMATION_SCRIPT = """*start
screen 1280, 720, 1280, 2
sp 900, "bg.png", 0, 1
sp 10, "ball.png", 0, 1
sp_xy 10, 100, 360
sp_ax 10, 1180, 1000, 0, 0
int t0, t1, n
timeGetTime %t0
*frame
draw
cal %n = %n + 1
timeGetTime %t1
if (%t1 - %t0 < {ms}) goto *frame
print "frames "
print %n
print " ms "
print %t1 - %t0
end
"""


def animated_scene(desktop, build, work):
    """Frames per second and the CPU share of a sprite moving along tracks."""
    src = os.path.join(work, "anim-src")
    game = os.path.join(work, "anim")
    os.makedirs(os.path.join(src, "script"), exist_ok=True)
    os.makedirs(game, exist_ok=True)
    with open(os.path.join(src, "script", "0.txt"), "w", encoding="utf-8") as f:
        f.write(ANIMATION_SCRIPT.replace("{ms}", str(ANIMATION_S * 1000)))
    subprocess.run([os.path.join(build, "velmora-pack"), "scripts", src, os.path.join(game, "script.dat")],
                   check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(game, "bg.png"), "wb") as f:
        f.write(gradient(1280, 720))
    with open(os.path.join(game, "ball.png"), "wb") as f:
        f.write(png(96, 96, lambda x, y: (255, 220, 64) if (x - 48) ** 2 + (y - 48) ** 2 < 48 ** 2 else (40, 40, 40)))
    with Run(desktop, [os.path.join(build, "velmora"), game], engine_env(work), stdout=subprocess.PIPE) as run:
        time.sleep(1.0)
        cpu = share(run.proc.pid, ANIMATION_S - 2)[0]
        text = run.proc.communicate(timeout=30)[0].decode("utf-8", "replace")
    words = text.split()
    try:
        frames, ms = int(words[words.index("frames") + 1]), int(words[words.index("ms") + 1])
    except (ValueError, IndexError):
        raise Failure(f"the animated scene printed no frame count: {text!r}")
    return frames * 1000.0 / ms, cpu


def measure(build, repetitions, seconds, shots, voicing=False):
    runs = {}
    with tempfile.TemporaryDirectory(prefix="velmora-idle-") as work, Desktop() as desktop:
        for i in range(repetitions):
            print(f"idle: run {i + 1} of {repetitions} ...", file=sys.stderr, flush=True)
            values = demo_scenes(desktop, build, work, seconds, shots, voicing)
            values["peer"] = peer_click_wait(desktop, work, seconds, shots)
            values["fps"], values["animation"] = animated_scene(desktop, build, work)
            for key, value in values.items():
                runs.setdefault(key, []).append(value)
    return {k: statistics.median(v) for k, v in runs.items()}


SCENES = [("title", "title menu"), ("page", "page at a click wait"), ("save", "save screen")]
TARGET = 3.0  # percent of one core
MIN_FPS = 55.0


def report(m):
    peer = m["peer"]
    print(f"{'scene (1280x720, llvmpipe)':<30} {'velmora':>9} {'(main)':>8} {'ONScripter':>11} {'ratio':>7}  target")
    for key, name in SCENES:
        ok = "pass" if m[key] <= TARGET else "FAIL"
        ratio = m[key] / peer if peer else 0
        print(f"{name:<30} {m[key]:>8.2f}% {m[key + '_main']:>7.2f}% {peer:>10.2f}% {ratio:>6.2f}x  <= {TARGET:g} % {ok}")
    ok = "pass" if m["fps"] >= MIN_FPS else "FAIL"
    per_frame = m["animation"] * 10.0 / m["fps"] if m["fps"] else 0.0
    print(f"{'animated sprite':<30} {m['fps']:>6.1f} fps at {m['animation']:.1f}% of a core "
          f"({per_frame:.1f} ms of CPU a frame)  >= {MIN_FPS:g} fps {ok}")
    print(f"(load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores: a busy machine starves the frame rate)")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("--repetitions", type=int, default=3)
    ap.add_argument("--seconds", type=float, default=10.0)
    ap.add_argument("--json", action="store_true")
    ap.add_argument("--shots")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--voicing", action="store_true", help="self-voicing on (V) in the demo's scenes")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    shots = os.path.abspath(args.shots) if args.shots else None
    if shots:
        os.makedirs(shots, exist_ok=True)
    missing = [t for t in ("Xvfb", "openbox", "xdotool", "import", ONSCRIPTER) if not shutil.which(t)]
    if missing:
        print(f"idle: missing {' '.join(missing)} (scripts/setup-deps.sh installs them)", file=sys.stderr)
        return 2
    try:
        medians = measure(build, args.repetitions, args.seconds, shots, args.voicing)
    except (Failure, subprocess.SubprocessError, OSError) as e:
        print(f"idle: {e}", file=sys.stderr)
        return 1
    if args.json:
        print(json.dumps(medians))
    else:
        report(medians)
    missed = [k for k, _ in SCENES if medians[k] > TARGET] + (["fps"] if medians["fps"] < MIN_FPS else [])
    return 1 if args.check and missed else 0


if __name__ == "__main__":
    sys.exit(main())
