#include "text/stream.h"

#include <cstdio>

#include "base/settings.h"
#include "base/encoding.h"
#include "base/sjis.h"
#include "base/textconv.h"
#include "platform/input.h"

namespace velmora::text {
namespace {

constexpr char kRowSeparator = '\x0C';
constexpr char kRubyOpen = '{', kRubySeparator = '/', kRubyClose = '}';
constexpr const char* kStandardOutput = "stdout";
constexpr const char* kClipboard = "clipboard";

struct TextStream {
  std::string override;  // UTF-8, as the command line gave it
  std::string openPath;  // the file open now (UTF-8)
  std::FILE* file = nullptr;
};
TextStream textStream;

std::FILE* fileFor(const std::string& target) {
  if (textStream.file && textStream.openPath == target) return textStream.file;
  closeTextStream();
  textStream.file = std::fopen(target.c_str(), "ab");
  if (textStream.file) textStream.openPath = target;
  return textStream.file;
}

}  // namespace

std::string plainPage(std::string_view text, bool readings) {
  std::string page;
  bool inRuby = false, inReading = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool kept = !inRuby || inReading == readings;
    if (const size_t n = charLength(text, i); n > 1) {
      if (kept) page.append(text.substr(i, n));
      i += n - 1;
    } else if (c == kRubyOpen || (inRuby && c == kRubyClose)) {
      inRuby = c == kRubyOpen;
      inReading = false;
    } else if (inRuby && c == kRubySeparator) {
      inReading = true;
    } else if (kept && c != kRowSeparator && c != '\r' && c != '\n') {
      page += c;
    }
  }
  return page;
}

void setTextStreamOverride(std::string_view target) { textStream.override = target; }

std::string streamLine(std::string_view name, std::string_view text) {
  const std::string page = plainPage(text);
  if (page.empty()) return {};
  std::string line = name.empty() ? std::string() : gameToUtf8(name) + ": ";
  return line + gameToUtf8(page);
}

void streamPage(std::string_view name, std::string_view text) {
  // The command line's path is the host's; the setting's is game text.
  const std::string target =
      textStream.override.empty() ? gameToUtf8(settingText(SettingKey::TextStream)) : textStream.override;
  if (target.empty()) return;
  const std::string line = streamLine(name, text);
  if (line.empty()) return;
  if (target == kClipboard) {
    platform::setClipboardText(line);
    return;
  }
  std::FILE* out = target == kStandardOutput ? stdout : fileFor(target);
  if (!out) return;
  std::fputs((line + "\n").c_str(), out);
  std::fflush(out);
}

void closeTextStream() {
  if (textStream.file) std::fclose(textStream.file);
  textStream.file = nullptr;
  textStream.openPath.clear();
}

}  // namespace velmora::text
