#!/usr/bin/env python3
"""A player's first start of the demo in a real window: the start-up dialog
and its advanced page, 起動, the boxes that follow (on screen, answered by
Enter), the title under the attached menu bar, START, a page read, the
backlog, the save screen, and the close button, which asks before the story
ends. The pictures are compared with a headless run of the same build at the
same points. Usage: first_start.py BUILD_DIR"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import check, inside_screen, log, main, picture_file, same_client  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
DESIGN_W, DESIGN_H, STRIP = 1280, 720, 20
SMALL = (160, 90)     # whole pictures are compared at this size
SAME = 12.0           # mean difference per channel below which two screens are the same
# The message window's part of the picture, compared in more detail: a page
# still typing, or another page, differs there by a line of text.
TEXT = (0, 520, DESIGN_W, 200)
TEXT_SMALL = (640, 100)
TEXT_SAME = 0.5  # a page still typing is a few characters short: about 2

# The points of the walk, taken headless on the virtual clock once each page
# is all shown; in the window the typing simply ends.
EXPECTATIONS = ["title", "page1", "page2", "backlog", "save"]
SCENARIO = """wait-event
wait 1000
screenshot {d}/title.png
click 640 380
wait-text
wait 500
screenshot {d}/page1.png
click 640 600
wait-text
wait 500
screenshot {d}/page2.png
wheel 1
wait-event
wait 300
screenshot {d}/backlog.png
click 640 360
wait-event
key S
wait-event
wait 300
screenshot {d}/save.png
quit
"""

def expected_pictures(work):
    game = os.path.join(work, "headless-game")
    shutil.copytree(os.path.join(BUILD, "demo"), game)
    scenario = os.path.join(work, "scenario.txt")
    with open(scenario, "w") as f:
        f.write(SCENARIO.format(d=work))
    runtime = tempfile.mkdtemp(dir=work)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    run = subprocess.run([os.path.join(BUILD, "velmora"), "--headless", "--virtual-clock", "--frame-ms", "50",
                          "--input", scenario, game],
                         env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=1200)
    check(run.returncode == 0, "the headless run failed: " + run.stderr.decode("utf-8", "replace"))
    return {name: (picture_file(os.path.join(work, name + ".png"), SMALL),
                   picture_file(os.path.join(work, name + ".png"), TEXT_SMALL, TEXT)) for name in EXPECTATIONS}


def body(x):
    work = x.tmp
    expected = expected_pictures(work)
    game = os.path.join(work, "game")
    shutil.copytree(os.path.join(BUILD, "demo"), game)
    engine = x.start([os.path.join(BUILD, "velmora"), game], "engine")

    # The start-up dialog, and its advanced page in its place and back.
    dialog = x.wait_window("起動設定")
    check(inside_screen(dialog), f"the dialog is off the screen: {dialog}")
    x.poll(lambda: x.shot(dialog.x, dialog.y, dialog.w, dialog.h).mean() > 180, "the dialog to be drawn")
    x.click(dialog.x + 280, dialog.y + 185)  # 詳細設定
    page = x.wait_window("詳細設定")
    check(engine.poll() is None, "詳細設定 ended the game")
    check(x.window("起動設定") is None, "the dialog stayed beside its advanced page")
    x.click(page.x + 350, page.y + 292)  # キャンセル
    dialog = x.wait_window("起動設定")
    x.click(dialog.x + 390, dialog.y + 185)  # 起動

    # Every box that comes is on the screen, over the window once it shows,
    # and Enter answers it. Without a sound device one says so, after the
    # host's reason went to Information.txt.
    def sound_logged():
        path = os.path.join(game, "Information.txt")
        return os.path.exists(path) and "サウンドデバイスを開けません".encode("cp932") in open(path, "rb").read()

    answered, sound_answered = 0, False
    while not sound_answered:
        box = x.wait_window("Error")
        check(inside_screen(box), f"a box is off the screen: {box}")
        over = x.window("Velmora demo")
        centre = over.x + over.w // 2 if over else 800
        check(abs(box.x + box.w // 2 - centre) <= 40, f"the box {box} is not centred over {over or 'the display'}")
        x.poll(lambda: same_client(x.active_window(), box), "the box to take the keyboard", 60)
        sound_answered = sound_logged()
        x.key("Return")
        x.wait_gone("Error")
        answered += 1
    log(f"{answered} box(es) answered by Enter")

    # The title, under the menu bar: the client holds the bar above the whole picture.
    main_window = x.wait_window("Velmora demo")
    check((main_window.w, main_window.h) == (DESIGN_W, DESIGN_H + STRIP), f"client is not picture + bar: {main_window}")

    def wait_screen(name):
        """Until the picture is the expected one and its text is all there."""
        top = main_window.y + STRIP

        def matches():
            screen = x.capture()
            whole = x.crop(screen, main_window.x, top, DESIGN_W, DESIGN_H, SMALL)
            diffs = {n: whole.difference(p[0]) for n, p in expected.items()}
            if diffs[name] >= SAME or min(diffs, key=diffs.get) != name:
                return None
            text = x.crop(screen, main_window.x + TEXT[0], top + TEXT[1], TEXT[2], TEXT[3], TEXT_SMALL)
            detail = text.difference(expected[name][1])
            return detail < TEXT_SAME and (diffs, detail)
        diffs, detail = x.poll(matches, f"the {name} screen")
        log(f"{name}: " + ", ".join(f"{n} {d:.1f}" for n, d in diffs.items()) + f"; its text {detail:.2f}")

    wait_screen("title")
    client = x.shot(main_window.x, main_window.y, DESIGN_W, DESIGN_H + STRIP)
    check(client.rows(0, STRIP).mean() < 80, "the menu bar is not above the picture")
    title = picture_file(os.path.join(work, "title.png"), (DESIGN_W, DESIGN_H))
    top = client.rows(STRIP, STRIP + 40).difference(title.rows(0, 40))
    check(top < SAME, f"the top of the picture is covered ({top:.1f})")

    x.click(main_window.x + 640, main_window.y + STRIP + 380)  # START
    wait_screen("page1")
    x.click(main_window.x + 640, main_window.y + STRIP + 360)
    wait_screen("page2")
    x.click(main_window.x + 640, main_window.y + STRIP + 360, button=4)  # the wheel turned away
    wait_screen("backlog")
    x.click(main_window.x + 640, main_window.y + STRIP + 360)
    wait_screen("page2")
    x.key("s")
    wait_screen("save")
    x.key("Escape")
    wait_screen("page2")

    # The close button in the story asks; Enter says yes.
    x.close_button(main_window)
    box = x.wait_window("Confirm")
    check(inside_screen(box) and abs(box.x + box.w // 2 - (main_window.x + main_window.w // 2)) <= 40,
          f"the question is not over the window: {box}")
    x.poll(lambda: same_client(x.active_window(), box), "the question to take the keyboard", 60)
    x.key("Return")
    code = x.wait_exit(engine)
    out, err = x.output(engine)
    check(code == 0, f"exit code {code}: {err}")


if __name__ == "__main__":
    sys.exit(main(body))
