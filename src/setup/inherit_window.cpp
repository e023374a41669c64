#include "setup/inherit_window.h"

#include "base/report.h"
#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "save/messages.h"
#include "setup/messages.h"
#include "setup/toolkit.h"
#include "render/display_settings.h"

namespace velmora::setup {
namespace {

enum { kHeading = 1, kList = 2, kDecide = 3, kEnd = 4 };

Dialog inheritanceDialog(const std::vector<std::string>& games) {
  Dialog d;
  d.title = uiText(UiText::InheritTitle);
  d.width = 320, d.height = 250;
  Control heading, list, decide, end;
  heading.kind = ControlKind::Static, heading.id = kHeading, heading.rect = {10, 10, 310, 26};
  heading.text = uiText(UiText::InheritHeading);
  list.kind = ControlKind::ListBox, list.id = kList, list.rect = {10, 28, 310, 206};
  list.items = games;
  decide.kind = ControlKind::Button, decide.id = kDecide, decide.rect = {140, 216, 220, 240}, decide.text = uiText(UiText::Decide);
  end.kind = ControlKind::Button, end.id = kEnd, end.rect = {230, 216, 310, 240}, end.text = uiText(UiText::EndButton);
  d.controls = {heading, list, decide, end};
  return d;
}

}  // namespace

save::InheritanceChoice chooseInheritance(const std::vector<std::string>& games) {
  Dialog d = inheritanceDialog(games);
  save::InheritanceChoice choice;
  bool finished = false;
  DialogLoop loop;
  loop.act = [&](int id) {
    Control* list = findControl(d, kList);
    if (id == kEnd) {
      quitRequest = 1;
      choice.quit = finished = true;
    } else if (id == kDecide && list->selected < 0) {
      finished = confirmYesNo(save::questionText(save::Message::SkipInheritance)) == platform::kAnswerYes;
    } else if (id == kDecide) {
      const std::string& name = list->items[static_cast<size_t>(list->selected)];
      if (confirmYesNo(save::questionText(save::Message::InheritQuestionBefore) + name +
                          save::questionText(save::Message::InheritQuestionAfter)) == platform::kAnswerYes) choice.game = list->selected, finished = true;
      else list->selected = -1;
    }
  };
  loop.close = [&] { finished = true; };
  loop.done = [&] { return finished || quitRequest != 0; };
  if (!runDialogWindow(d, render::alwaysOnTop(), loop)) return choice;
  if (quitRequest) choice.quit = true;
  return choice;
}

}  // namespace velmora::setup
