"""A real X server for one test: Xvfb on a free display, openbox as the
window manager, xdotool for the player's input and ImageMagick's import for
screenshots. Every wait polls with a generous limit, so the tests hold on a
loaded machine; everything started here is stopped on exit."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1600, 1000
WAIT = float(os.environ.get("VELMORA_WINDOW_WAIT", "180"))  # seconds for any one wait

# xwininfo -tree: id "name": (class)  WxH+relX+relY  +absX+absY (offsets may be negative: "+-206").
# Children of the root are indented by five spaces; a window the window
# manager has taken in lies deeper, inside its frame.
_TREE_LINE = re.compile(r'^(?P<indent>\s+)(?P<id>0x[0-9a-f]+) "(?P<name>.*)": \(.*\)\s+(?P<w>\d+)x(?P<h>\d+)\+-?\d+\+-?\d+'
                        r'\s+\+(?P<x>-?\d+)\+(?P<y>-?\d+)\s*$')
_ROOT_CHILD_INDENT = 5


class Failure(Exception):
    pass


def _die_with_parent():
    """In a child before exec: SIGTERM when the test process goes, however
    it goes (a CTest timeout kills it outright), so no X server is left."""
    import ctypes
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def check(condition, message):
    if not condition:
        raise Failure(message)


def log(message):
    print(message, flush=True)


class Window:
    def __init__(self, wid, name, x, y, w, h):
        self.id, self.name, self.x, self.y, self.w, self.h = wid, name, x, y, w, h

    def __repr__(self):
        return f'{self.name!r} {self.w}x{self.h}+{self.x}+{self.y}'


class Picture:
    """Pixels as bytes, three per pixel, rows top to bottom."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def mean(self):
        return sum(self.data) / max(len(self.data), 1)

    def difference(self, other):
        """Mean absolute difference per channel (0-255) of two same-sized pictures."""
        check((self.width, self.height) == (other.width, other.height), "pictures of different sizes")
        return sum(abs(a - b) for a, b in zip(self.data, other.data)) / max(len(self.data), 1)

    def rows(self, top, bottom):
        return Picture(self.width, bottom - top, self.data[top * self.width * 3:bottom * self.width * 3])


def _ppm(raw):
    """Parses binary PPM (P6, maxval 255) as ImageMagick writes it."""
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        if raw[pos:pos + 1] == b"#":
            pos = raw.index(b"\n", pos)
            continue
        end = pos
        while not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    check(fields[0] == b"P6" and fields[3] == b"255", "unexpected picture format")
    width, height = int(fields[1]), int(fields[2])
    return Picture(width, height, raw[pos + 1:pos + 1 + width * height * 3])


def picture_file(path, size, rect=None):
    """A picture file (or a rectangle (x, y, w, h) of it) scaled to size (w, h)."""
    crop = ["-crop", "{2}x{3}+{0}+{1}".format(*rect), "+repage"] if rect else []
    raw = subprocess.run(["convert", path] + crop + ["-scale", f"{size[0]}x{size[1]}!", "ppm:-"],
                         check=True, stdout=subprocess.PIPE).stdout
    return _ppm(raw)


class XSession:
    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="velmora-window-")
        self.procs = []
        self.display = None
        self.runtime = os.path.join(self.tmp, "runtime")
        os.mkdir(self.runtime, 0o700)
        os.mkdir(os.path.join(self.tmp, "home"))

    # --- set-up and tear-down -------------------------------------------
    def __enter__(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                                 "-nolisten", "tcp", "-noreset"], pass_fds=[write_fd], preexec_fn=_die_with_parent,
                                stdout=subprocess.DEVNULL, stderr=open(os.path.join(self.tmp, "xvfb.log"), "w"))
        self.procs.append(xvfb)
        os.close(write_fd)
        number = b""
        deadline = time.time() + WAIT
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        check(number.strip().isdigit(), "Xvfb did not start")
        self.display = ":" + number.strip().decode()
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env(), stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent))
        self.poll(lambda: b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]), "the window manager")
        log(f"X server on {self.display}")
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)
        return False

    def env(self, extra=None):
        e = dict(os.environ)
        e.update({"DISPLAY": self.display, "XDG_RUNTIME_DIR": self.runtime, "HOME": os.path.join(self.tmp, "home"),
                  # No sound device, whatever the machine has: the engine goes on silently.
                  "SDL_AUDIODRIVER": "velmora-test-none"})
        for name in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):  # the suite's headless default is not for these
            e.pop(name, None)
        if extra:
            e.update(extra)
        return e

    def run(self, argv, **kw):
        return subprocess.run(argv, env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, **kw).stdout

    def start(self, argv, name, extra_env=None):
        """Starts a program in the session; its output goes to files in the session folder."""
        out = open(os.path.join(self.tmp, name + ".out"), "wb")
        err = open(os.path.join(self.tmp, name + ".err"), "wb")
        p = subprocess.Popen(argv, env=self.env(extra_env), stdout=out, stderr=err, preexec_fn=_die_with_parent)
        p.output_files = (out.name, err.name)
        self.procs.append(p)
        return p

    @staticmethod
    def output(p):
        return tuple(open(f, "rb").read().decode("utf-8", "replace") for f in p.output_files)

    # --- waiting ----------------------------------------------------------
    def poll(self, ready, what, limit=None):
        deadline = time.time() + (limit or WAIT)
        while True:
            value = ready()
            if value:
                return value
            if time.time() > deadline:
                raise Failure(f"timed out waiting for {what}")
            time.sleep(0.25)

    def windows(self):
        """Every named client window on screen that the window manager has
        taken in (framed and placed)."""
        found = []
        for line in self.run(["xwininfo", "-root", "-tree"]).decode("utf-8", "replace").splitlines():
            m = _TREE_LINE.match(line)
            if not m or len(m["indent"]) <= _ROOT_CHILD_INDENT:
                continue
            if b"IsViewable" not in self.run(["xwininfo", "-id", m["id"]]):
                continue
            found.append(Window(m["id"], m["name"], int(m["x"]), int(m["y"]), int(m["w"]), int(m["h"])))
        return found

    def window(self, name):
        for w in self.windows():
            if w.name == name:
                return w
        return None

    def wait_window(self, name, limit=None, pass_errors=False):
        """Waits for a window; with pass_errors, error boxes that come first
        (a start on a machine without some device) are answered on the way."""
        last = [None]

        def settled():
            # Found twice in a row where it was: placed, not on its way there.
            w = self.window(name) or (pass_errors and self.window("Error"))
            same = w and last[0] and repr(w) == repr(last[0]) and w.id == last[0].id
            last[0] = w
            return w if same else None
        while True:
            w = self.poll(settled, f'the window "{name}"', limit)
            if w.name == name:
                log(f"window {w}")
                return w
            log(f"answered on the way: {w}")
            self.poll(lambda: same_client(self.active_window(), w), "the error box to take the keyboard", 60)
            self.key("Return")
            self.wait_gone("Error")

    def wait_gone(self, name, limit=None):
        self.poll(lambda: self.window(name) is None, f'"{name}" to go', limit)

    def wait_exit(self, p, limit=None):
        self.poll(lambda: p.poll() is not None, "the engine to end", limit)
        return p.returncode

    def active_window(self):
        m = re.search(rb"window id # (0x[0-9a-f]+)", self.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"]))
        return int(m.group(1), 16) if m else 0

    # --- input ------------------------------------------------------------
    def click(self, x, y, button=1):
        self.run(["xdotool", "mousemove", str(x), str(y), "sleep", "0.2", "click", str(button)])

    def key(self, name):
        self.run(["xdotool", "key", name])

    def minimise(self, w):
        self.run(["xdotool", "windowminimize", str(int(w.id, 16))])

    def close_button(self, w):
        """The close button at the right end of openbox's title bar."""
        self.click(w.x + w.w - 8, w.y - 10)

    # --- pictures ---------------------------------------------------------
    def capture(self):
        """The whole screen, into a file of the session (for crop)."""
        path = os.path.join(self.tmp, "screen.png")
        subprocess.run(["import", "-window", "root", path], env=self.env(), check=True)
        return path

    @staticmethod
    def crop(path, x, y, w, h, size=None):
        """A rectangle of a captured screen, scaled to size (w, h) when given."""
        args = ["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        if size:
            args += ["-scale", f"{size[0]}x{size[1]}!"]
        return _ppm(subprocess.run(args + ["ppm:-"], check=True, stdout=subprocess.PIPE).stdout)

    def shot(self, x, y, w, h, size=None):
        """The screen's pixels in a rectangle, scaled to size (w, h) when given."""
        return self.crop(self.capture(), x, y, w, h, size)

    def keep_screen(self, name):
        """A copy of the whole screen for a failure report (beside the test's output)."""
        out = os.environ.get("VELMORA_WINDOW_SHOTS")
        if out:
            os.makedirs(out, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(out, name + ".png")], env=self.env())


def write_png(path, width, height, colour_at):
    """An RGB PNG; colour_at(x, y) gives (r, g, b)."""
    import struct
    import zlib
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in colour_at(x, y)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def pack_game(build, folder, script, pictures=None):
    """A game folder from one UTF-8 start script and pictures {name: (w, h, colour_at)}."""
    os.makedirs(os.path.join(folder, "src", "script"))
    with open(os.path.join(folder, "src", "script", "0.txt"), "w", encoding="utf-8") as f:
        f.write(script)
    game = os.path.join(folder, "game")
    os.makedirs(game)
    for name, (w, h, colour_at) in (pictures or {}).items():
        write_png(os.path.join(game, name), w, h, colour_at)
    subprocess.run([os.path.join(build, "velmora-pack"), "scripts", os.path.join(folder, "src"),
                    os.path.join(game, "script.dat")], check=True, stdout=subprocess.DEVNULL)
    return game


def same_client(window_id, w):
    """Whether an X window id belongs to the program that made w (one X
    connection hands out ids from one base; a box's frame and its window
    differ)."""
    return window_id != 0 and (window_id & ~0x1FFFFF) == (int(w.id, 16) & ~0x1FFFFF)


def inside_screen(w):
    return w.x >= 0 and w.y >= 0 and w.x + w.w <= SCREEN_W and w.y + w.h <= SCREEN_H


def main(body):
    """Runs a test body with a session; exit code 0 on success, 1 on failure."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # tear the session down on a timeout too
    with XSession() as session:
        try:
            body(session)
        except Failure as failure:
            session.keep_screen("failure")
            for w in session.windows():
                log(f"on screen: {w}")
            log(f"FAILED: {failure}")
            return 1
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit("a library for the window tests")
