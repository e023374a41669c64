#!/usr/bin/env python3
"""Boxes, the attached menu bar and the close button in a real window, with a
small game: a box before the window is shown sits on the display, boxes
after it over the window; Enter says yes and Esc no. The menu bar takes a
strip above the picture, clicks land where the picture shows, Esc closes an
open menu. A game that ignores the close button is ended by a second press
after the engine asked. Usage: boxes_and_menu.py BUILD_DIR"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import SCREEN_W, check, inside_screen, log, main, pack_game, same_client  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
TITLE = "Velmora window test"
W, H, STRIP = 640, 480, 20
RED, GREY, BLUE = (220, 30, 30), (90, 90, 90), (30, 30, 220)

# A picture with a red top edge; a 40 x 16 button centred at (520, 320).
SCRIPT = f"""*start
int b, c, p, r
setWindowText "{TITLE}"
inform "画面の前のお知らせ"
screen {W}, {H}, {W}, 2
sp 10, "bg.png", 0, 1
sp_xy 10, 320, 240
sp 20, "btn.png", 0, 1
sp_xy 20, 520, 320
setBtn 0, 20, 0
draw
confirm "Enter は「はい」", %r
print "confirm", %r
confirm "Esc は「いいえ」", %r
print "confirm", %r
*loop
eventWait %b, %c, %p
if ((%p == 3) && (%c == 1)) print "button", %b
if (%b == 261) print "close ignored"
draw
goto *loop
"""
PICTURES = {"bg.png": (W, H, lambda x, y: RED if y < 20 else GREY), "btn.png": (40, 16, lambda x, y: BLUE)}


def body(x):
    game = pack_game(BUILD, os.path.join(x.tmp, "box"), SCRIPT, PICTURES)
    engine = x.start([os.path.join(BUILD, "velmora"), game], "engine")

    def printed(text):
        return x.poll(lambda: text in x.output(engine)[0], f'"{text}" on standard output')

    def answer(title, key, over):
        box = x.wait_window(title, pass_errors=True)
        check(inside_screen(box), f"the box is off the screen: {box}")
        centre = over.x + over.w // 2 if over else SCREEN_W // 2
        check(abs(box.x + box.w // 2 - centre) <= 40, f"{box} is not centred over {over or 'the display'}")
        x.poll(lambda: same_client(x.active_window(), box), f"{title} to take the keyboard", 60)
        x.key(key)
        x.wait_gone(title)

    answer("Information", "Return", None)  # the main window is not shown yet
    window = x.wait_window(TITLE, pass_errors=True)
    check((window.w, window.h) == (W, H + STRIP), f"the client is not the picture and the bar: {window}")
    answer("Confirm", "Return", window)
    printed("confirm1")
    answer("Confirm", "Escape", window)
    printed("confirm0")

    # The bar above the picture: the picture's red top edge lies under it.
    # The window is drawn again only after the last box has gone.
    def strip_and_edge():
        client = x.shot(window.x, window.y, W, H + STRIP)
        return client.rows(0, STRIP), client.rows(STRIP, STRIP + 20)

    def edge_is_red(edge):
        red = edge.data[0::3]
        return sum(red) / len(red) > 180 and edge.mean() < 120

    x.poll(lambda: edge_is_red(strip_and_edge()[1]), "the picture's top edge to be drawn below the bar", 30)
    bar, edge = strip_and_edge()
    check(bar.mean() < 70, f"no menu bar above the picture (mean {bar.mean():.0f})")
    check(edge_is_red(edge), "the picture's top edge is covered")

    # A click lands on the button where the picture shows it.
    x.click(window.x + 520, window.y + STRIP + 320)
    printed("button0")

    # Esc closes the open menu; the game does not see it.
    def under_menu():
        return x.shot(window.x + W - 200, window.y + STRIP + 10, 180, 100).mean()
    x.click(window.x + W - 48, window.y + STRIP // 2)  # "画面"
    x.poll(lambda: abs(under_menu() - GREY[0]) > 15, "the menu to open")
    x.key("Escape")
    x.poll(lambda: abs(under_menu() - GREY[0]) < 3, "Esc to close the menu")

    # A game that ignores the close button: the second press asks, and yes ends it.
    x.close_button(window)
    printed("close ignored")
    x.close_button(window)
    answer("Confirm", "Return", window)
    code = x.wait_exit(engine)
    out, err = x.output(engine)
    check(code == 0, f"exit code {code}: {err}")
    check(out.count("close ignored") == 1, f"the second close reached the game: {out}")
    log(out)


if __name__ == "__main__":
    sys.exit(main(body))
