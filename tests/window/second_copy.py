#!/usr/bin/env python3
"""One game per user session: while it is open in a window, a headless run of
it works with files of its own, and a second start in a window brings the
minimised first one back to the front, says so and ends.
Usage: second_copy.py BUILD_DIR"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import WAIT, check, log, main, pack_game, same_client  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
TITLE = "Velmora second copy"
SCRIPT = f"""*start
int b, c, p
setWindowText "{TITLE}"
screen 640, 480, 640, 2
*loop
eventWait %b, %c, %p
draw
if (%b == 261) end
goto *loop
"""


def body(x):
    game = pack_game(BUILD, os.path.join(x.tmp, "copy"), SCRIPT)
    velmora = os.path.join(BUILD, "velmora")
    first = x.start([velmora, game], "first")
    window = x.wait_window(TITLE, pass_errors=True)
    report = open(os.path.join(game, "Information.txt"), "rb").read()

    scenario = os.path.join(x.tmp, "scenario.txt")
    with open(scenario, "w") as f:
        f.write("wait-event\nquit\n")
    headless = subprocess.run([velmora, "--headless", "--virtual-clock", "--input", scenario, game], env=x.env(),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=WAIT)
    err = headless.stderr.decode("utf-8", "replace")
    check(headless.returncode == 0, f"the headless run failed ({headless.returncode}): {err}")
    check("in use elsewhere" in err, f"the headless run did not take files of its own: {err}")
    check(open(os.path.join(game, "Information.txt"), "rb").read() == report, "the headless run wrote the game's files")

    x.minimise(window)
    x.poll(lambda: x.window(TITLE) is None, "the window to be minimised")
    second = x.start([velmora, game], "second")
    code = x.wait_exit(second, 120)
    out, err = x.output(second)
    check(code == 0, f"the second copy ended with {code}: {err}")
    lines = err.splitlines()
    check(len(lines) == 1 and "already running" in lines[0], f"the second copy did not say why it ended: {err!r}")
    log(lines[0])
    back = x.wait_window(TITLE, 60)
    x.poll(lambda: same_client(x.active_window(), back), "the first window to come to the front", 60)
    check(first.poll() is None, "the first copy ended")

    x.close_button(back)
    code = x.wait_exit(first)
    check(code == 0, f"the first copy ended with {code}: {x.output(first)[1]}")


if __name__ == "__main__":
    sys.exit(main(body))
