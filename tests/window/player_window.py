#!/usr/bin/env python3
"""The player's side of a real window: the window dragged to other sizes
redraws the page at each, the aspect kept and the text as sharp as at 1:1
(the screens are kept as resized_*.png where VELMORA_WINDOW_SHOTS points),
and with --text-stream clipboard the finished page is on the clipboard.
Usage: player_window.py BUILD_DIR"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Failure, check, log, main, pack_game  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
TITLE = "Velmora player window"
W, H = 640, 480
TEXT_TOP, TEXT_BOTTOM = 350, 460  # the message rows at 1:1
PAGE = "ミナ: 「流星を見たよ、きれいだったね。」"
SCRIPT = f"""*start
int b, c, p, r
setWindowText "{TITLE}"
screen {W}, {H}, {W}, 2
sp 900, "bg.png", 3, 1
setMessXY 20, {TEXT_TOP}, 0
setMessWH 20, 3, 28, 28, 2, 8
setMessLine 0, 0
setMessCreate 300, 100
setMessSpeed 0, -1
sufMessGosub "*text_lb"

【ミナ】「流星を見たよ、きれいだったね。」\\

*loop
eventWait %b, %c, %p
draw
if (%b == 261) end
goto *loop

*text_lb
formatMessDraw
setMessDraw %r
endMessDraw
draw
*text_lb_wait
eventWait %b, %c, %p
if (%b == 261) end
if (%c == 1 && %p == 3) goto *text_lb_done
draw
goto *text_lb_wait
*text_lb_done
clearMess2
return
"""


def checker(x, y):
    """Dark blue squares without green, so that only the text has green."""
    return (0, 0, 64 + 64 * ((x // 80 + y // 80) % 2))


def grey_share(picture):
    """Of the text's lit pixels (green), the share below its own brightness:
    the blur of its edges."""
    greens = picture.data[1::3]
    full = max(greens)
    faint = 24
    lit = sum(1 for g in greens if g >= faint)
    grey = sum(1 for g in greens if faint <= g <= full - faint)
    return grey / lit if lit else 1.0


def content_box(x, w, strip):
    """The part of the window's client area under the menu strip that is
    not black (bars), from the top of that area."""
    shot = x.shot(w.x, w.y + strip, w.w, w.h - strip)
    rows = [r for r in range(shot.height) if max(shot.data[(r * shot.width) * 3:(r + 1) * shot.width * 3]) > 16]
    cols = [c for c in range(shot.width) if max(shot.data[(r * shot.width + c) * 3 + 2] for r in range(0, shot.height, 8)) > 16]
    check(rows and cols, f"the window {w} shows nothing")
    return cols[0], rows[0], cols[-1] + 1 - cols[0], rows[-1] + 1 - rows[0]


def ask_size(x, window, width, height):
    x.run(["xdotool", "windowsize", str(int(window.id, 16)), str(width), str(height)])


def drag_corner(x, window, width, height):
    """Drags the frame's bottom right corner (openbox's grip, under the
    client area) in steps, as a hand would."""
    sx, sy = window.x + window.w - 3, window.y + window.h + 4
    dx, dy = width - window.w, height - window.h
    x.run(["xdotool", "mousemove", str(sx), str(sy), "sleep", "0.3", "mousedown", "1"])
    steps = 20
    for i in range(1, steps + 1):
        x.run(["xdotool", "mousemove", str(sx + dx * i // steps), str(sy + dy * i // steps), "sleep", "0.05"])
    x.run(["xdotool", "sleep", "0.3", "mouseup", "1"])


def resized(x, window, strip, how, width, height, reference, sharpness):
    """Asks for a size; the window settles at the game's aspect, with the
    picture redrawn at that size and the text no blurrier than at 1:1."""
    how(x, window, width, height)
    last = [None]

    def settled():
        w = x.window(TITLE)
        same = w and last[0] and (w.w, w.h) == (last[0].w, last[0].h) and (w.w, w.h) != (window.w, window.h)
        last[0] = w
        return w if same else None
    w = x.poll(settled, f"the window to take a size near {width}x{height}")
    log(f"asked for {width}x{height}, took {w}")

    def redrawn():
        left, top, cw, ch = content_box(x, w, strip)
        top += strip
        box = x.shot(w.x + left, w.y + top, cw, ch, (64, 48))
        return (left, top, cw, ch) if box.difference(reference) < 12 else None
    left, top, cw, ch = x.poll(redrawn, f"the picture redrawn at {w.w}x{w.h}", 60)
    x.keep_screen(f"resized_{w.w}x{w.h}")
    check(abs(cw * H - ch * W) <= max(W, H), f"the picture at {cw}x{ch} lost the game's aspect")
    check(abs(left - (w.w - cw - left)) <= 1 and abs(top - strip - (w.h - ch - top)) <= 1, f"the picture is off centre: {left},{top} {cw}x{ch} in {w}")
    check(cw > W * 1.2, f"the picture kept its old size: {cw}x{ch}")
    scale = ch / H
    text = x.shot(w.x + left, w.y + top + int(TEXT_TOP * scale), cw, int((TEXT_BOTTOM - TEXT_TOP) * scale))
    share = grey_share(text)
    log(f"{cw}x{ch}: grey edge share {share:.3f} (1:1 {sharpness:.3f})")
    check(share < sharpness * 1.15, f"the text at {cw}x{ch} is blurred: {share:.3f} against {sharpness:.3f} at 1:1")
    return w


def body(x):
    game = pack_game(BUILD, os.path.join(x.tmp, "player"), SCRIPT, {"bg.png": (W, H, checker)})
    engine = x.start([os.path.join(BUILD, "velmora"), "--text-stream", "clipboard", game], "engine")
    window = x.wait_window(TITLE, pass_errors=True)
    strip = window.h - H  # the window menu's bar above the picture
    check(window.w == W and 0 <= strip < 40, f"the window did not open at 1:1: {window}")
    text_rows = (window.x, window.y + strip + TEXT_TOP, W, TEXT_BOTTOM - TEXT_TOP)
    x.poll(lambda: max(x.shot(*text_rows).data[1::3]) > 200, "the page to be shown")
    reference = x.shot(window.x, window.y + strip, W, H, (64, 48))
    sharpness = grey_share(x.shot(*text_rows))

    window = resized(x, window, strip, ask_size, 1000, 980, reference, sharpness)  # too tall for the aspect
    window = resized(x, window, strip, drag_corner, 1100, 640, reference, sharpness)  # too wide

    x.click(window.x + window.w // 2, window.y + window.h // 2)   # the page read: it is streamed

    seen = [""]

    def clipboard():
        seen[0] = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=x.env(), stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, timeout=10).stdout.decode("utf-8", "replace")
        return seen[0] == PAGE
    try:
        x.poll(clipboard, "the page on the clipboard", 60)
    except Failure:
        raise Failure(f"the clipboard holds {seen[0]!r}, not the page")
    log("the page is on the clipboard")
    x.close_button(window)
    code = x.wait_exit(engine)
    check(code == 0, f"the engine ended with {code}: {x.output(engine)[1]}")


if __name__ == "__main__":
    sys.exit(main(body))
