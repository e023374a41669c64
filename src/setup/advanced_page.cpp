#include "setup/advanced_page.h"

#include <algorithm>

#include "base/settings.h"
#include "base/state.h"
#include "base/textconv.h"
#include "save/location.h"
#include "setup/messages.h"
#include "setup/toolkit.h"
#include "render/display_settings.h"

namespace velmora::setup {
namespace {

using K = SettingKey;
using F = SettingForm;

constexpr int32_t kMegabyte = 1 << 20;
constexpr int32_t kMaxCacheMegabytes = 2032;  // what a 32-bit byte count holds, in 16 MB steps
constexpr int32_t kSmallestTextureLimit = 256, kLargestTextureLimit = 16384;

// On/off keys; volumes in fives; times in their usual steps.
const std::vector<AdvancedRow> kRows = {
    {K::FullMode, 0, 4, 1},          {K::WindowChange, 0, 1, 1},      {K::WindowMenu, 0, 1, 1},
    {K::MenuLock1, 0, 1, 1},         {K::WindowPos, 0, 1, 1},         {K::WindowMost, 0, 1, 1},
    {K::CacheAutoSize, 0, 1, 1},     {K::CacheMaxSize, 0, kMaxCacheMegabytes, 16},
    {K::LookaHead, 0, 1, 1},         {K::HardwareVertex, 0, 1, 1},    {K::VertexShader, 0, 1, 1},
    {K::PixelShader, 0, 1, 1},       {K::Interpolation, 0, 7, 1},
    {K::MaxTextureSize, -1, kLargestTextureLimit, 0, true},
    {K::TexturePow2, 0, 1, 1},       {K::TextureSquare, 0, 1, 1},     {K::MipMap, 0, 1, 1},
    {K::ColorMode, 0, 1, 1},         {K::ColorBlend, 0, 1, 1},        {K::VSyncWait, 0, 3, 1},
    {K::LimitFPS, 0, 240, 5},        {K::MMX, 0, 1, 1},               {K::SSE, 0, 1, 1},
    {K::SSE2, 0, 1, 1},              {K::Thread, 0, 1, 1},            {K::PowerSaver, 0, 1, 1},
    {K::TaskTray, 0, 1, 1},          {K::SystemActive, 0, 1, 1},      {K::CursorClear, 0, 60000, 500},
    {K::CursorMove, 0, 20, 1},       {K::EffectSkip, 0, 1, 1},        {K::EffectCancel, 0, 1, 1},
    {K::ConfirmSave, 0, 1, 1},       {K::ConfirmLoad, 0, 1, 1},       {K::ConfirmQSave, 0, 1, 1},
    {K::ConfirmQLoad, 0, 1, 1},      {K::ConfirmMove, 0, 1, 1},       {K::ConfirmDelete, 0, 1, 1},
    {K::ConfirmBack, 0, 1, 1},       {K::ConfirmNext, 0, 1, 1},       {K::ConfirmFormat, 0, 1, 1},
    {K::ConfirmReplay, 0, 1, 1},     {K::ConfirmTitle, 0, 1, 1},      {K::ConfirmExit, 0, 1, 1},
    {K::TextSpeed, 0, 200, 5},       {K::MessageClick, 0, 1, 1},      {K::AutoWait, 0, 10000, 100},
    {K::AutoChar, 0, 500, 10},       {K::PointWait, 0, 20, 1},        {K::MessageFade, 0, 1, 1},
    {K::AlreadyReadSkip, 0, 1, 1},   {K::AlreadyReadAutoSkip, 0, 1, 1}, {K::AlreadyReadMoment, 0, 1, 1},
    {K::SelectSkipMode, 0, 1, 1},    {K::SelectAutoMode, 0, 1, 1},    {K::FontStyle, 0, 255, 1},
    {K::WindowAlpha, 0, 100, 5},     {K::HardwareSound, 0, 1, 1},     {K::StreamBufferSize, 16, 512, 16},
    {K::GlobalFocus, 0, 1, 1},       {K::MasterVolume, 0, 100, 5},    {K::MasterMute, 0, 1, 1},
    {K::MovieVolume, 0, 100, 5},     {K::MovieMute, 0, 1, 1},         {K::BgmVolume, 0, 100, 5},
    {K::BgmMute, 0, 1, 1},           {K::SeVolume, 0, 100, 5},        {K::SeMute, 0, 1, 1},
    {K::SysSeVolume, 0, 100, 5},     {K::SysSeMute, 0, 1, 1},         {K::VoVolume, 0, 100, 5},
    {K::VoMute, 0, 1, 1},            {K::SysVoVolume, 0, 100, 5},     {K::SysVoMute, 0, 1, 1},
    {K::VoiceCancel, 0, 1, 1},       {K::VoiceWait, 0, 1, 1},         {K::BgmVolDown, 0, 1, 1},
    {K::BgmMax, 0, 100, 5},          {K::BgmMin, 0, 100, 5},          {K::SeVolDown, 0, 1, 1},
    {K::SeMax, 0, 100, 5},           {K::SeMin, 0, 100, 5},           {K::FadeVolDown, 0, 5000, 50},
    {K::Gamepad, 0, 1, 1},           {K::SharpText, 0, 1, 1},         {K::SelfVoicing, 0, 2, 1},
};

F formOf(K key) { return settingInfo(key).form; }

// The page edits every key of its table, so it reads and writes by key.
// The value as the file shows it: megabytes, or bit 0 alone.
int32_t fileValue(K key) {
  const int32_t v = setting(key);
  if (formOf(key) == F::Megabytes) return v / kMegabyte;
  if (formOf(key) == F::LowBit) return v & 1;
  return v;
}

// Stored as reading the file would store it, with the same effects.
void putFileValue(K key, int32_t value) {
  int32_t& v = setting(key);
  if (formOf(key) == F::Megabytes) v = value * kMegabyte;
  else if (formOf(key) == F::LowBit) v = (v & ~1) | (value & 1);
  else v = value;
  settingChanged(key, SettingSource::File);
}

int32_t stepped(const AdvancedRow& r, int32_t v, int direction) {
  if (!r.doubling) return std::clamp(v + direction * r.step, r.low, r.high);
  if (direction > 0) return v < kSmallestTextureLimit ? kSmallestTextureLimit : std::min(v * 2, r.high);
  return v <= kSmallestTextureLimit ? r.low : v / 2;
}

enum ControlId { kList = 1, kLess = 2, kMore = 3, kDefault = 4, kOk = 5, kCancel = 6 };

Dialog pageWindow() {
  Dialog d;
  d.title = uiText(UiText::AdvancedTitle);
  d.width = 400, d.height = 310;
  auto add = [&](ControlKind kind, int id, render::Rect r, const std::string& text) {
    Control c;
    c.kind = kind, c.id = id, c.rect = r, c.text = text;
    d.controls.push_back(c);
  };
  add(ControlKind::ListBox, kList, {10, 10, 390, 274}, "");
  add(ControlKind::Button, kLess, {10, 282, 50, 302}, sj("－"));
  add(ControlKind::Button, kMore, {56, 282, 96, 302}, sj("＋"));
  add(ControlKind::Button, kDefault, {102, 282, 172, 302}, uiText(UiText::DefaultValue));
  add(ControlKind::Button, kOk, {220, 282, 300, 302}, std::string("OK"));
  add(ControlKind::Button, kCancel, {310, 282, 390, 302}, uiText(UiText::Cancel));
  return d;
}

void fillList(Control& list) {
  list.items.clear();
  for (size_t i = 0; i < kRows.size(); ++i) list.items.push_back(advancedRowText(i));
  if (list.selected < 0) list.selected = 0;
}

}  // namespace

const std::vector<AdvancedRow>& advancedRows() { return kRows; }

void openAdvancedPage(AdvancedPage& page) {
  page.opening.clear();
  for (const AdvancedRow& r : kRows) page.opening.push_back(fileValue(r.key));
}

void stepAdvancedRow(size_t row, int direction) {
  if (row >= kRows.size()) return;
  const AdvancedRow& r = kRows[row];
  putFileValue(r.key, stepped(r, fileValue(r.key), direction));
}

void defaultAdvancedRow(size_t row) {
  if (row >= kRows.size()) return;
  const int32_t d = settingInfo(kRows[row].key).defaultValue;
  putFileValue(kRows[row].key, formOf(kRows[row].key) == F::Megabytes ? d / kMegabyte : d);
}

void cancelAdvancedPage(const AdvancedPage& page) {
  for (size_t i = 0; i < kRows.size() && i < page.opening.size(); ++i)
    if (fileValue(kRows[i].key) != page.opening[i]) putFileValue(kRows[i].key, page.opening[i]);
}

std::string advancedRowText(size_t row) {
  if (row >= kRows.size()) return {};
  const K key = kRows[row].key;
  return std::string(settingInfo(key).name) + " = " + std::to_string(fileValue(key));
}

bool runAdvancedPage() {
  AdvancedPage page;
  openAdvancedPage(page);
  Dialog d = pageWindow();
  Control* list = findControl(d, kList);
  fillList(*list);
  bool finished = false, cancelled = false;
  DialogLoop loop;
  loop.act = [&](int id) {
    Control* l = findControl(d, kList);
    const size_t row = static_cast<size_t>(std::max(l->selected, 0));
    if (id == kLess || id == kMore) stepAdvancedRow(row, id == kMore ? 1 : -1);
    else if (id == kDefault) defaultAdvancedRow(row);
    else if (id == kOk) finished = true;
    else if (id == kCancel) finished = cancelled = true;
    fillList(*l);
  };
  loop.close = [&] { finished = cancelled = true; };
  loop.done = [&] { return finished || quitRequest != 0; };
  if (!runDialogWindow(d, render::alwaysOnTop(), loop)) return false;
  if (cancelled || quitRequest) cancelAdvancedPage(page);
  // Volumes read from the file reach the sound channels the same way.
  else if (save::settingsLoadHooks().applyVolumes) save::settingsLoadHooks().applyVolumes();
  return true;
}

}  // namespace velmora::setup
