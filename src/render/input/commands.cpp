// The button and event-wait command cores.
#include "bindings/bridge.h"
#include "bindings/catalogue.h"
#include "core/report.h"
#include "core/textconv.h"
#include "render/input/internal.h"
#include "render/messages.h"
#include "sprite/motion.h"

namespace velmora::input {
namespace {

using namespace velmora::bindings;

void cmd_setBtn(CommandContext c) {
  setButton(intArg(c, 1), intArg(c, 2), intArg(c, 3));
}

void cmd_getBtn(CommandContext c) {
  const int button = intArg(c, 1);
  intResult(c, 2, buttonShown(button) ? buttons().records[static_cast<size_t>(button & 255)].sprite : -1);
}

void cmd_setBtnTool(CommandContext c) {
  const int button = intArg(c, 1);
  if (!buttonMapped(button)) {
    reportError(render::messageText(render::Message::BadButtonNumber));
    return;
  }
  setTooltipText(button, stringArg(c, 2));
}

void cmd_eraseBtn(CommandContext c) {
  const int n = intArg(c, 1);
  if (buttons().map.erase(n) == 0) return;
  sprite::finishSpriteMotion(n);
}

void cmd_clearBtn(CommandContext) {
  buttons().map.clear();
}

void cmd_getBtnNow(CommandContext c) {
  intResult(c, 1, buttons().current);
}

void cmd_setBtnNow(CommandContext c) {
  selectByKeys(intArg(c, 1));
}

void cmd_setPosition(CommandContext) {}

void returnEvent(CommandContext c, const InputEvent& e, bool withText) {
  beginList(c);
  intResult(c, 1, e.button);
  appendListElement(c);
  intResult(c, 2, e.code);
  appendListElement(c);
  intResult(c, 3, e.phase);
  appendListElement(c);
  if (!withText) return;
  stringResult(c, 4, e.text);
  appendListElement(c);
}

void cmd_eventWait(CommandContext c) {
  returnEvent(c, pollEvent(WaitMode::Plain), false);
}

void cmd_eventWaitPT(CommandContext c) {
  returnEvent(c, pollEvent(WaitMode::PassThrough), false);
}

void cmd_eventWaitDD(CommandContext c) {
  returnEvent(c, pollEvent(WaitMode::DragDrop), true);
}

const CoreBinding kButtonCores[] = {
    {"setBtn", cmd_setBtn},         {"getBtn", cmd_getBtn},           {"setBtnTool", cmd_setBtnTool},
    {"eraseBtn", cmd_eraseBtn},     {"clearBtn", cmd_clearBtn},       {"getBtnNow", cmd_getBtnNow},
    {"setBtnNow", cmd_setBtnNow},   {"eventWait", cmd_eventWait},     {"eventWaitPT", cmd_eventWaitPT},
    {"eventWaitDD", cmd_eventWaitDD}, {"setPosition", cmd_setPosition},
};

}  // namespace

void bindButtonCores() { bindCores(kButtonCores); }

}  // namespace velmora::input
