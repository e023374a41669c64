#!/usr/bin/env python3
"""The browser test: packs the demo with velmora-pack web, serves it on
127.0.0.1 with the isolation headers and drives headless Chromium over its
DevTools protocol (a pipe, no extra modules): title, START, the first page,
the page's settings panel (sound, full screen), the next page, a quick save
(Q), a reload of the page, START and a quick load (L). Each screen is compared with the desktop engine's own picture of it; the
loaded page proves the save survived the reload in IndexedDB.

Usage: browser.py BUILD_DIR WEB_BUILD_DIR [--keep DIR] [--json]
Exit 0 when every check passed, 1 on a failed check, 77 when Chromium is
missing or cannot start (skipped). --json prints the measures bench/table.py
shows: seconds from the page's start to the engine's first frame and to the
standing title, the engine's .wasm + .js compressed (MB) and the browser's
share of a core while a page waits for a click."""
import argparse
import base64
import functools
import gzip
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "web"))
import pictures  # noqa: E402
import serve as page_server  # noqa: E402  the bundle's own server, headers and all

SKIP = 77
TITLE_TIMEOUT_S = 120
SCREEN_TIMEOUT_S = 60
FLUSH_TIMEOUT_S = 30
# Between two looks at the canvas (each look takes a second or two to decode).
POLL_S = 0.25
IDLE_SETTLE_S = 5
PAGE_LOAD_TRIES = 3
# The demo's buttons and pages, in its 1280 x 720 screen.
START_BUTTON = (640, 380)
PAGE_CLICK = (640, 360)
STARTER_START_BUTTON = (640, 390)
# The browser draws with SwiftShader, the desktop with llvmpipe: edges and
# gradients differ by a few levels, the layout and colours must not.
MEAN_TOLERANCE = 4.0
FAR_SHARE_TOLERANCE = 0.02


class PlainHandler(http.server.SimpleHTTPRequestHandler):
    """A host that sends no isolation headers."""
    def log_message(self, *args):
        pass


def serve(folder, handler=page_server.IsolatedHandler):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(handler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Browser:
    """Headless Chromium with --remote-debugging-pipe: commands on fd 3,
    answers and events on fd 4, each message ended by a zero byte."""

    def __init__(self, profile):
        exe = shutil.which("chromium") or shutil.which("chromium-browser")
        if not exe:
            raise FileNotFoundError("chromium")
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()

        def child_fds():
            os.dup2(to_r, 3)
            os.dup2(from_w, 4)

        self.proc = subprocess.Popen(
            [exe, "--headless=new", "--remote-debugging-pipe", "--no-sandbox", "--no-first-run",
             "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--force-device-scale-factor=1",
             "--window-size=1400,900",
             f"--user-data-dir={profile}", "about:blank"],
            pass_fds=(3, 4), preexec_fn=child_fds, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_r)
        os.close(from_w)
        self.buffer = b""
        self.next_id = 0
        self.session = None
        self.console = []
        self.measures = {}

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            if time.time() > deadline:
                raise TimeoutError("no answer from Chromium")
            chunk = os.read(self.from_r, 1 << 16)
            if not chunk:
                raise ConnectionError("Chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, timeout=60, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if self.session and not method.startswith("Target."):
            message["sessionId"] = self.session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            if reply.get("method") == "Runtime.exceptionThrown":
                details = reply["params"]["exceptionDetails"]
                self.console.append("exception: " + details.get("exception", {}).get("description", details.get("text", "")))
            if reply.get("method") == "Runtime.consoleAPICalled":
                text = " ".join(str(a.get("value", a.get("description", ""))) for a in reply["params"]["args"])
                self.console.append(text)

    def open_page(self, url):
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")
        self.url = url
        self.call("Page.navigate", url=url)

    def load_again(self):
        """Loads the page again and returns once the new document is there."""
        self.evaluate("window.velmoraOldPage = true")
        self.call("Page.navigate", url=self.url)
        deadline = time.time() + 60
        while time.time() < deadline:
            try:
                if self.evaluate("document.readyState !== 'loading' && !window.velmoraOldPage"):
                    return
            except RuntimeError:  # between the documents
                pass
            time.sleep(0.25)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")

    def canvas_rect(self):
        return self.evaluate("(() => { const r = document.getElementById('canvas').getBoundingClientRect();"
                             " return [r.left, r.top, r.width, r.height]; })()")

    def click(self, x, y):
        """A left click at a point of the game's screen (the canvas is 1:1)."""
        rect = self.canvas_rect()
        at = {"x": rect[0] + x, "y": rect[1] + y}
        self.call("Input.dispatchMouseEvent", type="mouseMoved", **at)
        time.sleep(0.1)
        self.call("Input.dispatchMouseEvent", type="mousePressed", button="left", clickCount=1, **at)
        time.sleep(0.05)
        self.call("Input.dispatchMouseEvent", type="mouseReleased", button="left", clickCount=1, **at)

    def letter(self, char):
        code = ord(char.upper())
        keys = {"key": char.lower(), "code": "Key" + char.upper(), "windowsVirtualKeyCode": code,
                "nativeVirtualKeyCode": code}
        self.call("Input.dispatchKeyEvent", type="keyDown", text=char.lower(), **keys)
        time.sleep(0.05)
        self.call("Input.dispatchKeyEvent", type="keyUp", **keys)

    def canvas_screenshot(self, path):
        rect = self.canvas_rect()
        shot = self.call("Page.captureScreenshot", format="png",
                         clip={"x": rect[0], "y": rect[1], "width": rect[2], "height": rect[3], "scale": 1})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def desktop_pictures(build, work, game_dir=None, name="demo", start=None, title_wait=500):
    """The desktop engine's title, first and second page of a game, headless
    on the virtual clock."""
    start = start or START_BUTTON
    game = os.path.join(work, f"desktop-{name}")
    shutil.copytree(game_dir or os.path.join(build, "demo"), game)
    shutil.rmtree(os.path.join(game, "save"), ignore_errors=True)
    pictures_at = {shot: os.path.join(work, f"desktop-{name}-{shot}.png") for shot in ("title", "page1", "page2")}
    scenario = os.path.join(work, f"scenario-{name}.txt")
    with open(scenario, "w") as f:
        f.write(f"wait-event\nwait {title_wait}\nscreenshot {pictures_at['title']}\n"
                f"click {start[0]} {start[1]}\nwait-text\nwait 500\nscreenshot {pictures_at['page1']}\n"
                f"click {PAGE_CLICK[0]} {PAGE_CLICK[1]}\nwait-text\nwait 500\nscreenshot {pictures_at['page2']}\nquit\n")
    runtime = os.path.join(work, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    subprocess.run([os.path.join(build, "velmora"), "--headless", "--virtual-clock", "--answer", "yes",
                    "--scenario-timeout", "300000", "--input", scenario,
                    "--save-dir", os.path.join(work, f"desktop-saves-{name}"), game],
                   check=True, timeout=300, env={**os.environ, "XDG_RUNTIME_DIR": runtime},
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return pictures_at


def starter_bundle(build, web_build, work):
    """The game velmora-pack new writes, packed, and its browser bundle."""
    pack = os.path.join(build, "velmora-pack")
    subprocess.run([pack, "new", "starter"], cwd=work, check=True, stdout=subprocess.DEVNULL)
    subprocess.run([pack, "game", "starter", "starter-out"], cwd=work, check=True, stdout=subprocess.DEVNULL)
    bundle = os.path.join(work, "starter-bundle")
    subprocess.run([pack, "web", os.path.join(work, "starter-out"), bundle, "--engine", web_build],
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(work, "starter-out"), bundle


def starter_check(browser, build, web_build, work):
    """A game made with velmora-pack new plays its title and first page."""
    game, bundle = starter_bundle(build, web_build, work)
    golden = desktop_pictures(build, work, game, "starter", STARTER_START_BUTTON, 2500)
    server = serve(bundle)
    try:
        browser.url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        browser.load_again()
        failure = engine_started(browser) or screen_matches(browser, work, golden["title"], "starter title",
                                                            TITLE_TIMEOUT_S)
        if not failure:
            browser.click(*STARTER_START_BUTTON)
            failure = screen_matches(browser, work, golden["page1"], "starter page 1")
        return failure and failure + " (the game velmora-pack new writes)"
    finally:
        server.shutdown()


def tree_cpu_seconds(root):
    """User and system time of a process and all its descendants."""
    ticks = os.sysconf("SC_CLK_TCK")
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append((int(entry), int(fields[11]) + int(fields[12])))
            except OSError:
                continue
    total, todo = 0, [root]
    while todo:
        pid = todo.pop()
        for child, t in children.get(pid, []):
            total += t
            todo.append(child)
    try:
        with open(f"/proc/{root}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += int(fields[11]) + int(fields[12])
    except OSError:
        pass
    return total / ticks


def idle_share(browser, seconds=10):
    """The browser's share of one core (%) while nothing moves on the page,
    from a few seconds after the page stood: the GPU process tidies up once,
    a few seconds after the last picture."""
    time.sleep(IDLE_SETTLE_S)
    before, start = tree_cpu_seconds(browser.proc.pid), time.time()
    time.sleep(seconds)
    return 100.0 * (tree_cpu_seconds(browser.proc.pid) - before) / (time.time() - start)


def compressed_mb(folder):
    total = 0
    for name in ("velmora.js", "velmora.wasm", "velmora.worker.js"):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            with open(path, "rb") as f:
                total += len(gzip.compress(f.read(), 9))
    return total / 1e6


def wait_for(browser, expression, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if browser.evaluate(expression):
            return True
        time.sleep(0.25)
    return False


def engine_started(browser):
    """The page loaded and the engine runs; a page whose load failed (the
    server or the browser busy) is loaded again."""
    for attempt in range(PAGE_LOAD_TRIES):
        if wait_for(browser, "document.getElementById('canvas').style.display === 'block'", TITLE_TIMEOUT_S):
            return None
        if attempt + 1 < PAGE_LOAD_TRIES:
            browser.load_again()
    return "the engine never started (page log: %s)" % browser.evaluate("document.getElementById('log').textContent")


def screen_matches(browser, work, golden, name, timeout=SCREEN_TIMEOUT_S):
    """Waits until the canvas matches one of the desktop's pictures; None or
    what went wrong."""
    started = time.time()
    shot = os.path.join(work, f"browser-{name}.png")
    expected = pictures.read_png(golden)
    last = None
    while time.time() - started < timeout:
        time.sleep(POLL_S)
        try:
            # The page's clock at the capture: the picture stood by then.
            taken_at = browser.evaluate("performance.now()")
            browser.canvas_screenshot(shot)
        except (RuntimeError, TypeError) as e:  # the page between documents
            last = str(e)
            continue
        try:
            mean, far = pictures.difference(pictures.read_png(shot), expected)
        except ValueError as e:  # not the desktop's size
            last = str(e)
            continue
        last = f"mean {mean:.2f}, {far:.2%} far"
        if mean <= MEAN_TOLERANCE and far <= FAR_SHARE_TOLERANCE:
            print(f"{name}: matches the desktop picture (mean difference {mean:.2f}, {far:.2%} far)")
            browser.matched_at = taken_at / 1000.0
            return None
    return f"{name}: never matched the desktop picture (last: {last}; {shot})"


def saves_flushed(browser, before):
    """The page copied its saves into IndexedDB after the count `before`."""
    return wait_for(browser, f"Module.savesFlushed > {before} && !Module.savesPending()", FLUSH_TIMEOUT_S)


def audio_state(browser):
    return browser.evaluate("(Module.SDL2 && Module.SDL2.audioContext) ? Module.SDL2.audioContext.state : 'none'")


def page_click(browser, selector):
    """A left click on an element of the page outside the canvas."""
    at = browser.evaluate(f"(() => {{ const r = document.querySelector('{selector}').getBoundingClientRect();"
                          " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
    for kind in ("mousePressed", "mouseReleased"):
        browser.call("Input.dispatchMouseEvent", type=kind, button="left", clickCount=1, x=at[0], y=at[1])
        time.sleep(0.05)


def toggle_sound(browser, state):
    """Sound off or on in the page's settings panel; None or what went wrong."""
    page_click(browser, "#gear")
    if browser.evaluate("document.getElementById('panel').hidden"):
        return "the settings button opened no panel"
    page_click(browser, "#sound")
    if not wait_for(browser, f"Module.SDL2.audioContext.state === '{state}'", 5):
        return f"the sound switch left the audio context {audio_state(browser)}, not {state}"
    page_click(browser, "#gear")
    return None


def settings_panel_check(browser, work, golden):
    """The page's settings in place of the start-up dialog: sound off (kept
    off, see play_through), full screen with the game's shape kept, and back."""
    failure = toggle_sound(browser, "suspended")
    if failure:
        return failure
    page_click(browser, "#gear")
    page_click(browser, "#fullscreen")
    if not wait_for(browser, "!!document.fullscreenElement", 5):
        return "full screen was not entered"
    shape = browser.evaluate("(() => { const c = Module.canvas, r = c.getBoundingClientRect();"
                             " return [r.width, r.height, innerWidth, innerHeight, c.width / c.height]; })()")
    if abs(shape[0] / shape[1] - shape[4]) > 0.01 or (shape[0] < shape[2] - 1 and shape[1] < shape[3] - 1):
        return f"full screen showed the canvas at {shape[0]}x{shape[1]} in {shape[2]}x{shape[3]}"
    browser.evaluate("document.exitFullscreen()")
    if not wait_for(browser, "!document.fullscreenElement && !Module.canvas.style.width", 5):
        return "full screen was not left"
    print("settings panel: sound off, full screen and back")
    return screen_matches(browser, work, golden["page1"], "page 1 after full screen")


def play_through(browser, work, golden, measure):
    """Title, START, two pages, a quick save, a reload, START and a quick
    load; the first failure ends it."""
    failure = engine_started(browser)
    if failure:
        return failure
    failure = screen_matches(browser, work, golden["title"], "title", TITLE_TIMEOUT_S)
    if failure:
        return failure
    browser.measures["title"] = browser.matched_at
    browser.measures["start"] = (browser.evaluate("Module.firstFrameAt || 0") or 0) / 1000.0
    print(f"title standing {browser.measures['title']:.1f} s, first frame {browser.measures['start']:.1f} s "
          "after the page's start")
    browser.click(*START_BUTTON)
    # Sound starts with the player's first click, as browsers require.
    if not wait_for(browser, "!(Module.SDL2 && Module.SDL2.audioContext) || "
                             "Module.SDL2.audioContext.state === 'running'", 10):
        return f"sound did not start on the first click (audio context {audio_state(browser)})"
    print(f"sound after the first click: {audio_state(browser)}")
    failure = screen_matches(browser, work, golden["page1"], "page 1")
    if failure:
        return failure
    if measure:
        browser.measures["page"] = idle_share(browser)
    failure = settings_panel_check(browser, work, golden)
    if failure:
        return failure
    browser.click(*PAGE_CLICK)
    failure = screen_matches(browser, work, golden["page2"], "page 2")
    if failure:
        return failure
    before = browser.evaluate("Module.savesFlushed")
    browser.letter("q")
    if not saves_flushed(browser, before):
        return "the quick save was never flushed to IndexedDB"
    browser.load_again()
    failure = engine_started(browser) or screen_matches(browser, work, golden["title"], "title after the reload",
                                                        TITLE_TIMEOUT_S)
    if failure:
        return failure
    browser.click(*START_BUTTON)
    failure = screen_matches(browser, work, golden["page1"], "page 1 after the reload")
    if failure:
        return failure
    if audio_state(browser) != "suspended":
        return f"sound turned off before the reload came back on the first click ({audio_state(browser)})"
    failure = toggle_sound(browser, "running")
    if failure:
        return failure
    browser.letter("l")
    failure = screen_matches(browser, work, golden["page2"], "page 2 loaded from the save")
    return failure and failure + " (the save did not survive the reload)"


def unisolated_check(browser, bundle, work, golden):
    """A host without the isolation headers gets the thread-free engine, which
    plays the title and a page; without that engine, the page's reason and
    no failing engine."""
    server = serve(bundle, PlainHandler)
    try:
        thrown = len([line for line in browser.console if line.startswith("exception:")])
        browser.url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        browser.load_again()
        if os.path.exists(os.path.join(bundle, "velmora-single.js")):
            failure = engine_started(browser) or screen_matches(browser, work, golden["title"],
                                                                "title without isolation", TITLE_TIMEOUT_S)
            if not failure:
                browser.click(*START_BUTTON)
                failure = screen_matches(browser, work, golden["page1"], "page 1 without isolation")
            if failure:
                return failure + " (the thread-free engine)"
            print("without isolation headers: the thread-free engine plays")
        else:
            if not wait_for(browser, "document.getElementById('status').textContent.includes('cross-origin isolated')", 30):
                return "a page without isolation headers gave no reason"
            time.sleep(1)
            print("without isolation headers: the page says why the engine cannot start")
        if len([line for line in browser.console if line.startswith("exception:")]) > thrown:
            return "a page without isolation headers threw"
        return None
    finally:
        server.shutdown()


def start_browser(work):
    """Chromium, or None when it cannot start here (the test is skipped)."""
    try:
        browser = Browser(os.path.join(work, "profile"))
        browser.call("Browser.getVersion", timeout=60)
        return browser
    except (OSError, ConnectionError, TimeoutError) as e:
        print(f"browser test skipped: Chromium does not start here ({e})")
        return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("web_build")
    parser.add_argument("--keep", help="leave the bundle and pictures in this folder")
    parser.add_argument("--json", action="store_true", help="print the measures as JSON")
    args = parser.parse_args()
    args.build, args.web_build = os.path.abspath(args.build), os.path.abspath(args.web_build)
    if not (shutil.which("chromium") or shutil.which("chromium-browser")):
        print("browser test skipped: no chromium (scripts/setup-web.sh installs it)")
        return SKIP
    work = args.keep or tempfile.mkdtemp(prefix="velmora-web-")
    os.makedirs(work, exist_ok=True)
    bundle = os.path.join(work, "bundle")
    subprocess.run([os.path.join(args.build, "velmora-pack"), "web", os.path.join(args.build, "demo"), bundle,
                    "--engine", args.web_build, "--title", "Velmora demo"], check=True, stdout=subprocess.DEVNULL)
    golden = desktop_pictures(args.build, work)
    browser = start_browser(work)
    if not browser:
        return SKIP
    server = serve(bundle)
    failures = []
    try:
        browser.open_page(f"http://127.0.0.1:{server.server_address[1]}/index.html")
        failure = play_through(browser, work, golden, args.json)
        if failure:
            failures.append(failure)
        failure = unisolated_check(browser, bundle, work, golden)
        if failure:
            failures.append(failure)
        failure = starter_check(browser, args.build, args.web_build, work)
        if failure:
            failures.append(failure)
        errors = [line for line in browser.console if line.startswith("exception:")]
        if errors:
            failures.append("the page threw: " + "; ".join(errors[:5]))
        browser.measures["size"] = compressed_mb(bundle)
    finally:
        browser.close()
        server.shutdown()
        if failures:
            print("page console:\n  " + "\n  ".join(browser.console[-40:]))
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    if args.json:
        for f in failures:
            print("FAILED " + f, file=sys.stderr)
        print(json.dumps(browser.measures))
        return 1 if failures else 0
    for f in failures:
        print("FAILED " + f)
    print(f"{1 - bool(failures)} passed, {int(bool(failures))} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
