#pragma once
// Shared between the button, event-wait and command files.
#include <string_view>

#include "render/input/buttons.h"

namespace velmora::render {

void postTooltip(const ButtonRecord& record);
void setTooltipText(int button, std::string_view text);
// True when the map holds an entry for the button's sprite.
bool buttonMapped(int button);

void bindButtonCores();

// The Find answer waiting for the event wait; false when none.
bool takeFindAnswer(InputEvent& event);

}  // namespace velmora::render
