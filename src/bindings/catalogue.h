#pragma once
// The engine's command catalogue: 264 names, each bound to one core. The own
// language, Lua and Squirrel all register from this one table.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "bindings/bridge.h"
#include "script/interp.h"

namespace velmora::bindings {

enum class Family : uint8_t {
  Message, Font, ReadMark, Presentation, Volume, SettingsFile, SaveSlot, Screenshot, System,
  ScriptHost, Lookahead, Drawing, Button, Sprite, SpriteImage, Movie, Motion, Sound, Count
};

enum CatalogueFlags : uint8_t {
  kOwnOnly = 1,  // not offered to Lua and Squirrel
  kList = 2,     // several results that form one list (a Squirrel array)
};

struct CatalogueEntry {
  const char* name;
  Family family;
  const char* arguments;  // one letter per argument: n integer, r real, s string
  const char* results;    // the results in order, same letters
  uint8_t flags;
  // For the command reference (velmora-pack reference): one name per letter
  // above, separated by ", ", and one line saying what the command does.
  const char* argumentNames;
  const char* resultNames;
  const char* summary;
};

constexpr size_t kCatalogueSize = 264;

std::span<const CatalogueEntry> catalogue();
// Position of a name in the catalogue, or -1.
int catalogueIndex(std::string_view name);
// What a Lua wrapper returns: the number of values the command pushes.
int luaResultCount(const CatalogueEntry& entry);
bool offeredToForeignLanguages(const CatalogueEntry& entry);

// Families bind their cores by name; a name outside the catalogue is a
// programming error and is reported.
struct CoreBinding {
  const char* name;
  CommandCore core;
};
void bindCores(std::span<const CoreBinding> cores);
CommandCore boundCore(size_t index);

// Runs the core of a catalogue entry with a context of the active language;
// a core not built yet reports that. Returns the Lua result count. The Lua
// and Squirrel hosts register one closure per entry offered to them, holding
// the index, that calls this (Lua returns the count, Squirrel always 1).
int callCatalogueCommand(size_t index, CommandContext context);

// Fills the own-language command table with all 264 names, in catalogue
// order, and binds the cores this library owns. Each command not built yet
// reports that on its first call after this.
void registerCatalogue();

// The own language calls a handler without context, so each core gets an
// instance of ownWrapper; it looks its core up on every call because
// families bind theirs after registration. A missing core reports that.
void runOwnCore(const CoreBinding& binding, const char* args);
template <CoreBinding (*bindingAt)(size_t), size_t I>
void ownWrapper(const char* args) {
  runOwnCore(bindingAt(I), args);
}
// The wrappers go into an array first: a fold over all 264 calls passes
// clang's expression nesting limit.
template <CoreBinding (*bindingAt)(size_t), size_t... I>
void registerOwnWrappers(std::index_sequence<I...>) {
  const script::CommandHandler wrappers[] = {ownWrapper<bindingAt, I>...};
  for (size_t i = 0; i < sizeof...(I); ++i) script::registerCommand(bindingAt(i).name, wrappers[i]);
}

}  // namespace velmora::bindings
