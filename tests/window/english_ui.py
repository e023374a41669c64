#!/usr/bin/env python3
"""A player's English override in a real window: the start-up dialog comes
titled and labelled in English (its picture is kept as english_dialog.png
where VELMORA_WINDOW_SHOTS points), and the log gives the sound device's
Japanese report an English line. Usage: english_ui.py BUILD_DIR"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import check, inside_screen, log, main, pack_game  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
TITLE = "Velmora English UI"
SCRIPT = f"""*start
int b, c, p
setWindowText "{TITLE}"
screen 640, 480, 640, 0
*loop
eventWait %b, %c, %p
draw
if (%b == 261) end
goto *loop
"""


def body(x):
    game = pack_game(BUILD, os.path.join(x.tmp, "english"), SCRIPT)
    engine = x.start([os.path.join(BUILD, "velmora"), game], "engine", {"VELMORA_UI_LANGUAGE": "en"})
    dialog = x.wait_window("Start-up settings")
    check(inside_screen(dialog), f"the dialog is off the screen: {dialog}")
    x.poll(lambda: x.shot(dialog.x, dialog.y, dialog.w, dialog.h).mean() > 180, "the dialog to be drawn")
    # The buttons' English labels are narrower than the Japanese ones: ink sits
    # in the middle of "Start" and none at the edges of its button.
    button = x.shot(dialog.x + 352, dialog.y + 177, 76, 16)
    check(button.mean() < 224, f"no label on the Start button (mean {button.mean():.0f})")
    x.keep_screen("english_dialog")
    x.click(dialog.x + 390, dialog.y + 185)  # Start

    window = x.wait_window(TITLE, pass_errors=True)
    report = open(os.path.join(game, "Information.txt"), "rb").read()
    japanese = "サウンドデバイスを開けません".encode("cp932")
    check(japanese in report, f"the sound device's report is not in the log: {report!r}")
    check(b"\nCannot open the sound device; continuing without sound." in report,
          f"no English line after the report: {report!r}")
    log("the log's report has its English line")
    x.close_button(window)
    code = x.wait_exit(engine)
    check(code == 0, f"the engine ended with {code}: {x.output(engine)[1]}")


if __name__ == "__main__":
    sys.exit(main(body))
