#pragma once
// The command families of the text library, bound by bindTextCores.
#include <cstdint>
#include <span>

#include "base/settings.h"
#include "bindings/catalogue.h"

namespace velmora::text {

// Current/default pairs: a non-negative second argument replaces the
// default, a negative first argument selects it.
void applyCurrentDefault(int32_t& current, SettingKey defaultKey, int32_t first, int32_t second);

std::span<const bindings::CoreBinding> messageCores();
std::span<const bindings::CoreBinding> fontCores();
std::span<const bindings::CoreBinding> backlogCores();
std::span<const bindings::CoreBinding> textSpriteCores();

}  // namespace velmora::text
