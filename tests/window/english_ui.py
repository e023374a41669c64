#!/usr/bin/env python3
"""A player's English override in a real window: the start-up dialog comes
titled and labelled in English (its picture is kept as english_dialog.png
where VELMORA_WINDOW_SHOTS points), and an error report keeps its Japanese
text with an English line after it. Usage: english_ui.py BUILD_DIR"""

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
goto *nowhere
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
    # The Start button carries its label (a bare button face is 225 grey).
    button = x.shot(dialog.x + 352, dialog.y + 177, 76, 16)
    check(button.mean() < 224, f"no label on the Start button (mean {button.mean():.0f})")
    x.keep_screen("english_dialog")
    x.click(dialog.x + 390, dialog.y + 185)  # Start

    window = x.wait_window(TITLE, pass_errors=True)
    log_file = os.path.join(game, "Information.txt")

    def report():
        return open(log_file, "rb").read() if os.path.exists(log_file) else b""
    x.poll(lambda: b"The label does not exist." in report(), "the report's English line in the log")
    text = report()
    japanese = text.find("ラベルが存在しません".encode("cp932"))
    check(0 <= japanese < text.find(b"\nThe label does not exist."), f"the report is not followed by its line: {text[-300:]!r}")
    log("the report has its English line")
    if x.window("Error"):  # the box may come after the main window
        x.key("Return")
        x.wait_gone("Error")
    x.close_button(window)
    code = x.wait_exit(engine)
    check(code == 0, f"the engine ended with {code}: {x.output(engine)[1]}")


if __name__ == "__main__":
    sys.exit(main(body))
