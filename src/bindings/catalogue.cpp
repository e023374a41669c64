#include "bindings/catalogue.h"

#include <array>
#include <new>
#include <cstring>
#include <utility>

#include "bindings/families.h"
#include "bindings/messages.h"
#include "core/report.h"
#include "core/textconv.h"
#include "script/interp.h"
#include "script/value.h"

namespace velmora::bindings {
namespace {

// In the order the commands are registered; lookup is by name, so the order
// carries no meaning beyond that.
constexpr CatalogueEntry kCatalogue[] = {
    // Message windows and text
    {"getTag", Family::Message, "", "", kOwnOnly, "", "",
     "Splits the current page's speaker name (the text in 【】) at commas into the string variables given, e.g. `getTag $name, $voice`"},
    {"n", Family::Message, "", "", 0, "", "",
     "Breaks the text row (as `[n]` inside text)"},
    {"i", Family::Message, "n", "", 0, "column", "",
     "Moves the text position to a half-width column of the current row"},
    {"setMessCreate", Family::Message, "nn", "", 0, "textCapacity, rubyCapacity", "",
     "Creates the message window's text, with room for that many glyphs of text and of ruby; call it after setMessXY and setMessWH"},
    {"setMessLine", Family::Message, "nn", "", 0, "lineEndWait, paragraphWait", "",
     "Wait at the end of a text line and before an empty line: 0 none, 1 click wait, 2 page wait; paragraphWait 4 waits for a click before one empty line and for the page before two"},
    {"setMessIndent", Family::Message, "nn", "", 0, "bracketIndent, rowIndent", "",
     "Non-zero bracketIndent indents the wrapped rows of a line that opens with 「, 『 or （; non-zero rowIndent starts every row one full-width character in"},
    {"setMessXY", Family::Message, "nnn", "", 0, "x, y, aspectShift", "",
     "Places the top left of the text grid in screen pixels; a non-zero aspectShift moves the text down with the 4:3 picture of a 16:9 game"},
    {"setMessWH", Family::Message, "nnnnnn", "", 0, "columns, rows, fontSize, rowHeight, charGap, rowGap", "",
     "Sets the text grid: full-width characters per row, rows, glyph size, row height, and the gaps added between characters and rows"},
    {"setMessLog", Family::Message, "nnnnnn", "", 0, "columns, a2, a3, a4, charGap, rowGap", "",
     "Lays out the text sprites of logsp: rows of columns + 2 full-width characters with these gaps (a2 to a4 are only stored)"},
    {"setMessSpeed", Family::Message, "nn", "", 0, "current, default", "",
     "Typing speed in ms per character, 0 shows text at once; a negative current takes the default, a non-negative default replaces the TextSpeed setting"},
    {"getMessSpeed", Family::Message, "", "n", 0, "", "speed",
     "The default typing speed in ms per character (the TextSpeed setting)"},
    {"getMessLast", Family::Message, "", "nn", kList, "", "x, y",
     "The screen point right of the last glyph laid out (y: the top of its row), where a click-wait marker goes"},
    {"setAutoWait", Family::Message, "nn", "", 0, "current, default", "",
     "Auto mode's wait after each text wait in ms, with the current/default rule of setMessSpeed (setting AutoWait)"},
    {"getAutoWait", Family::Message, "", "n", 0, "", "ms",
     "The default auto-mode wait in ms (the AutoWait setting)"},
    {"formatMess", Family::Message, "", "", 0, "", "",
     "Resets the message window and empties the backlog; call it once before the first page"},
    {"clearMess", Family::Message, "", "", 0, "", "",
     "Closes the current page into the backlog and clears the text"},
    {"clearMess2", Family::Message, "", "", 0, "", "",
     "Ends a text wait in `*text_lb`: after a page wait it clears the page as clearMess does, after a click wait the text stays"},
    {"resetMess", Family::Message, "", "", 0, "", "",
     "Draws the laid-out text again with the current font, style and colours"},
    {"preMessGosub", Family::Message, "s", "", 0, "label", "",
     "From now on every new page calls `*pretext_lb` first; the label given must exist in the script that runs this command"},
    {"sufMessGosub", Family::Message, "s", "", 0, "label", "",
     "From now on every text wait calls `*text_lb`; the label given must exist in the script that runs this command; without it text never waits"},
    {"formatMessDraw", Family::Message, "", "", 0, "", "",
     "Starts revealing the waiting text (in `*text_lb`)"},
    {"setMessDraw", Family::Message, "", "n", 0, "", "more",
     "Reveals the text as far as the typing speed allows; 1 while characters are still to come, 0 when all are shown (always 0 while skipping)"},
    {"endMessDraw", Family::Message, "", "", 0, "", "",
     "Shows all the waiting text at once and ends the reveal"},
    {"getPage", Family::Message, "", "n", 0, "", "pageWait",
     "1 when the current text wait is a page wait, 0 for a click wait"},
    {"setWindowVisible", Family::Message, "n", "", 0, "flags", "",
     "Shows the message window: bit 0 its sprites (those loaded with flag 1), bit 1 its text; 0 hides both, 3 shows both"},
    {"getWindowVisible", Family::Message, "", "n", 0, "", "flags",
     "The flags of setWindowVisible"},
    // Fonts
    {"addFontFile", Family::Font, "s", "", 0, "path", "",
     "Registers a font file (loose or in an archive), so that setFontFile and ssp_set find its face name"},
    {"setFontFile", Family::Font, "ss", "", 0, "name, default", "",
     "The message font: a font file or an installed face name; empty takes the default, a non-empty default replaces the FontFile setting"},
    {"getFontFile", Family::Font, "", "s", 0, "", "name",
     "The default message font (the FontFile setting)"},
    {"setFontStyle", Family::Font, "nn", "", 0, "current, default", "",
     "Message font style bits: 1 bold, 2 shadow, 4 outline, 8 gradient, 16 anti-aliasing; current/default rule of setMessSpeed (setting FontStyle)"},
    {"getFontStyle", Family::Font, "", "n", 0, "", "style",
     "The default font style (the FontStyle setting)"},
    {"setFontColor", Family::Font, "nn", "", 0, "current, default", "",
     "Text colour as 0xRRGGBB; current/default rule of setMessSpeed (setting FontColor1)"},
    {"setFontColor2", Family::Font, "nn", "", 0, "current, default", "",
     "Gradient end colour 0xRRGGBB (style bit 8); current/default rule of setMessSpeed (setting FontColor2)"},
    {"setFontColor3", Family::Font, "nn", "", 0, "current, default", "",
     "Shadow and outline colour 0xRRGGBB; current/default rule of setMessSpeed (setting FontColor3)"},
    {"getFontListNum", Family::Font, "n", "n", 0, "flags", "count",
     "Lists the installed Japanese fonts and gives their number; flags bit 0 adds vertical (@) faces, bit 1 keeps fixed-pitch faces only"},
    {"getFontListStr", Family::Font, "n", "s", 0, "index", "name",
     "The face name at an index (from 0) of the list that getFontListNum made"},
    // Read marks, auto and skip, backlog
    {"getAlreadyReadFlag", Family::ReadMark, "", "nn", 0, "", "read, total",
     "The number of text blocks read and of all text blocks, over every script"},
    {"getAlreadyRead", Family::ReadMark, "", "n", 0, "", "read",
     "1 when the current text block had been read before it was entered this time"},
    {"setAuto", Family::ReadMark, "n", "", 0, "mode", "",
     "Auto mode: 0 stops auto and skip, 1 starts auto, 2 toggles it; the event wait reports the change as event 257"},
    {"setSkip", Family::ReadMark, "n", "", 0, "mode", "",
     "Skip mode: 0 stops auto and skip, 1 starts skip (on read text, or any text with AlreadyReadSkip), 2 toggles it; reported as event 257"},
    {"setJump", Family::ReadMark, "", "", 0, "", "",
     "Starts jump mode: text and pictures pass silently until the next unread text"},
    {"stopMode", Family::ReadMark, "", "", 0, "", "",
     "Stops skip or auto when the SelectSkipMode or SelectAutoMode setting asks for it at a choice, and ends jump mode"},
    {"getMode", Family::ReadMark, "", "n", 0, "", "bits",
     "Reading modes: bit 0 auto, bit 1 skip, bit 2 fast-forward now, bit 3 a return position is set, bit 4 jump"},
    {"getSkip", Family::ReadMark, "", "n", 0, "", "skip",
     "1 in skip mode, plus 2 while text is being passed over right now"},
    {"setLog", Family::ReadMark, "snn", "", 0, "text, rows, append", "",
     "Replaces (append 0) or extends the current backlog page's text and sets its row count"},
    {"getLog", Family::ReadMark, "n", "s", 0, "back", "text",
     "Text of a backlog page: 0 the current one, 1 the one before, up to 199 (rows separated by the byte 0x0C)"},
    {"getLogLine", Family::ReadMark, "n", "n", 0, "back", "rows",
     "Row count of a backlog page (0 the current one)"},
    {"setTagLog", Family::ReadMark, "s", "", 0, "name", "",
     "Sets the speaker name of the current backlog page"},
    {"getTagLog", Family::ReadMark, "n", "s", 0, "back", "name",
     "Speaker name of a backlog page (0 the current one)"},
    {"getImgLog", Family::ReadMark, "nn", "", 0, "sprite, back", "",
     "Puts into a sprite the picture that was on screen when a backlog page closed"},
    {"getLogCount", Family::ReadMark, "", "n", 0, "", "count",
     "The number of pages in the backlog (1 to 200)"},
    {"saveAlready", Family::ReadMark, "", "", 0, "", "",
     "Writes the read marks of all text blocks to save/already.dat (nothing keeps them otherwise)"},
    // Game, window and presentation settings
    {"getGameName", Family::Presentation, "", "s", 0, "", "title",
     "The engine's title text, \"Velmora\""},
    {"setWindowText", Family::Presentation, "s", "", 0, "title", "",
     "Creates the window with this title, or renames it; when the same game already runs, this copy quits"},
    {"getScreenRate", Family::Presentation, "", "n", 0, "", "percent",
     "The window's scale against the logical screen, in percent"},
    {"getScreenWidth", Family::Presentation, "", "n", 0, "", "width",
     "Width of the logical screen in pixels"},
    {"getScreenHeight", Family::Presentation, "", "n", 0, "", "height",
     "Height of the logical screen in pixels (the design height scaled like the width)"},
    {"setWallPaper", Family::Presentation, "s", "", 0, "file", "",
     "Picture shown around the game picture in full screen (setting WallPaper)"},
    {"getWallPaper", Family::Presentation, "", "s", 0, "", "file",
     "The wall-paper file (setting WallPaper)"},
    {"setCursor", Family::Presentation, "s", "", 0, "file", "",
     "Mouse cursor file (.cur, .ani or a picture), loaded at once (setting CursorFile)"},
    {"getCursor", Family::Presentation, "", "s", 0, "", "file",
     "The cursor file (setting CursorFile)"},
    {"setConfirmDialog", Family::Presentation, "rn", "", 0, "on, index", "",
     "Sets confirmation flag index (0 to 15, settings ConfirmSave to ConfirmExit for 0 to 11) for the game's own dialogs"},
    {"getConfirmDialog", Family::Presentation, "n", "n", 0, "index", "on",
     "A confirmation flag (the index is taken modulo 16)"},
    {"setFullScreen", Family::Presentation, "n", "", 0, "on", "",
     "Switches between window (0) and full screen (1) (setting FullScreen)"},
    {"getFullScreen", Family::Presentation, "", "n", 0, "", "on",
     "1 in full screen"},
    {"setScreenAspect", Family::Presentation, "n", "", 0, "on", "",
     "Switches the 4:3 (1) or 16:9 (0) picture of a 16:9 game (setting ScreenAspect)"},
    {"getScreenAspect", Family::Presentation, "", "n", 0, "", "on",
     "The ScreenAspect setting"},
    {"getScreenAspect2", Family::Presentation, "", "n", 0, "", "applies",
     "1 when the game's design is 16:9, so that the 4:3 choice applies"},
    {"setEffectSkip", Family::Presentation, "n", "", 0, "flags", "",
     "Bit 0 makes every effect show its after picture at once (setting EffectSkip)"},
    {"getEffectSkip", Family::Presentation, "", "n", 0, "", "flags",
     "The EffectSkip setting"},
    {"setEffectCancel", Family::Presentation, "n", "", 0, "on", "",
     "With 1, Enter, Ctrl, a left click or the wheel end a running effect early (setting EffectCancel)"},
    {"getEffectCancel", Family::Presentation, "", "n", 0, "", "on",
     "The EffectCancel setting"},
    {"setPointWait", Family::Presentation, "n", "", 0, "count", "",
     "Extra character times the typing pauses after 、 and 。 (0 to 255, setting PointWait)"},
    {"getPointWait", Family::Presentation, "", "n", 0, "", "count",
     "The PointWait setting"},
    {"setWindowAlpha", Family::Presentation, "n", "", 0, "alpha", "",
     "Stores the player's message-window opacity for the game's own use (setting WindowAlpha)"},
    {"getWindowAlpha", Family::Presentation, "", "n", 0, "", "alpha",
     "The WindowAlpha setting"},
    {"setMessageClick", Family::Presentation, "n", "", 0, "on", "",
     "Stores a click-handling choice for the game's own use (setting MessageClick)"},
    {"getMessageClick", Family::Presentation, "", "n", 0, "", "on",
     "The MessageClick setting"},
    {"setMessageFade", Family::Presentation, "n", "", 0, "on", "",
     "With 1 characters fade in as they are revealed, with 0 they appear at once (setting MessageFade)"},
    {"getMessageFade", Family::Presentation, "", "n", 0, "", "on",
     "The MessageFade setting"},
    {"setAlreadyReadSkip", Family::Presentation, "n", "", 0, "on", "",
     "With 1 skip mode also passes unread text (setting AlreadyReadSkip)"},
    {"getAlreadyReadSkip", Family::Presentation, "", "n", 0, "", "on",
     "The AlreadyReadSkip setting"},
    {"setAlreadyReadAutoSkip", Family::Presentation, "n", "", 0, "on", "",
     "With 1 skip mode starts by itself on read text and stops at unread text (setting AlreadyReadAutoSkip)"},
    {"getAlreadyReadAutoSkip", Family::Presentation, "", "n", 0, "", "on",
     "The AlreadyReadAutoSkip setting (1, or 3 while it skips)"},
    {"setAlreadyReadMoment", Family::Presentation, "n", "", 0, "on", "",
     "With 1 read text is shown at once instead of being typed (setting AlreadyReadMoment)"},
    {"getAlreadyReadMoment", Family::Presentation, "", "n", 0, "", "on",
     "The AlreadyReadMoment setting"},
    {"setSelectAutoMode", Family::Presentation, "n", "", 0, "on", "",
     "With 1 stopMode ends auto mode (setting SelectAutoMode)"},
    {"getSelectAutoMode", Family::Presentation, "", "n", 0, "", "on",
     "The SelectAutoMode setting"},
    {"setSelectSkipMode", Family::Presentation, "n", "", 0, "on", "",
     "With 1 stopMode ends skip mode (setting SelectSkipMode)"},
    {"getSelectSkipMode", Family::Presentation, "", "n", 0, "", "on",
     "The SelectSkipMode setting"},
    // Volume settings
    {"setMasterVolume", Family::Volume, "n", "", 0, "volume", "",
     "Volume of all sound, 0 to 100 (setting MasterVolume)"},
    {"getMasterVolume", Family::Volume, "", "n", 0, "", "volume",
     "The MasterVolume setting"},
    {"setMasterMute", Family::Volume, "n", "", 0, "audible", "",
     "0 silences all sound, 1 makes it audible again (setting MasterMute)"},
    {"getMasterMute", Family::Volume, "", "n", 0, "", "audible",
     "The MasterMute setting (1 audible)"},
    {"setBgmVolume", Family::Volume, "n", "", 0, "volume", "",
     "Music volume (channels 1 and 2), 0 to 100 (setting BgmVolume)"},
    {"getBgmVolume", Family::Volume, "", "n", 0, "", "volume",
     "The BgmVolume setting"},
    {"setBgmMute", Family::Volume, "n", "", 0, "audible", "",
     "0 silences music, 1 makes it audible (setting BgmMute)"},
    {"getBgmMute", Family::Volume, "", "n", 0, "", "audible",
     "The BgmMute setting"},
    {"setSeVolume", Family::Volume, "n", "", 0, "volume", "",
     "Sound-effect volume (channels 3 and 4), 0 to 100 (setting SeVolume)"},
    {"getSeVolume", Family::Volume, "", "n", 0, "", "volume",
     "The SeVolume setting"},
    {"setSeMute", Family::Volume, "n", "", 0, "audible", "",
     "0 silences sound effects, 1 makes them audible (setting SeMute)"},
    {"getSeMute", Family::Volume, "", "n", 0, "", "audible",
     "The SeMute setting"},
    {"setSysSeVolume", Family::Volume, "n", "", 0, "volume", "",
     "System-effect volume (channels 5 to 9), 0 to 100 (setting SysSeVolume)"},
    {"getSysSeVolume", Family::Volume, "", "n", 0, "", "volume",
     "The SysSeVolume setting"},
    {"setSysSeMute", Family::Volume, "n", "", 0, "audible", "",
     "0 silences system effects, 1 makes them audible (setting SysSeMute)"},
    {"getSysSeMute", Family::Volume, "", "n", 0, "", "audible",
     "The SysSeMute setting"},
    {"setVoVolume", Family::Volume, "n", "", 0, "volume", "",
     "Voice volume (channels 15 to 24), 0 to 100 (setting VoVolume)"},
    {"getVoVolume", Family::Volume, "", "n", 0, "", "volume",
     "The VoVolume setting"},
    {"setVoMute", Family::Volume, "n", "", 0, "audible", "",
     "0 silences voices, 1 makes them audible (setting VoMute)"},
    {"getVoMute", Family::Volume, "", "n", 0, "", "audible",
     "The VoMute setting"},
    {"setSysVoVolume", Family::Volume, "n", "", 0, "volume", "",
     "System-voice volume (channels 10 to 14), 0 to 100 (setting SysVoVolume)"},
    {"getSysVoVolume", Family::Volume, "", "n", 0, "", "volume",
     "The SysVoVolume setting"},
    {"setSysVoMute", Family::Volume, "n", "", 0, "audible", "",
     "0 silences system voices, 1 makes them audible (setting SysVoMute)"},
    {"getSysVoMute", Family::Volume, "", "n", 0, "", "audible",
     "The SysVoMute setting"},
    {"setVoiceCancel", Family::Volume, "r", "", 0, "on", "",
     "Stores whether advancing the text should stop the voice, for the game's own text handler (setting VoiceCancel)"},
    {"getVoiceCancel", Family::Volume, "", "n", 0, "", "on",
     "The VoiceCancel setting"},
    {"setVoiceWait", Family::Volume, "r", "", 0, "on", "",
     "Stores whether auto mode should wait for the voice, for the game's own text handler (setting VoiceWait)"},
    {"getVoiceWait", Family::Volume, "", "n", 0, "", "on",
     "The VoiceWait setting"},
    {"setBgmVolDown", Family::Volume, "r", "", 0, "on", "",
     "With 1 music is turned down while channel 15 plays a voice (setting BgmVolDown)"},
    {"getBgmVolDown", Family::Volume, "", "n", 0, "", "on",
     "The BgmVolDown setting"},
    {"setSeVolDown", Family::Volume, "r", "", 0, "on", "",
     "With 1 sound effects are turned down while channel 15 plays a voice (setting SeVolDown)"},
    {"getSeVolDown", Family::Volume, "", "n", 0, "", "on",
     "The SeVolDown setting"},
    // Settings file and global data
    {"saveSetting", Family::SettingsFile, "", "", 0, "", "",
     "Writes the settings, the s_ variables and the save protections to save/setting.dat (the end of a game that called loadSetting writes them too)"},
    {"loadSetting", Family::SettingsFile, "ss", "", 0, "maker, game", "",
     "Chooses the save folder (asking on the first run), then reads the settings and s_ variables, the read marks and the volumes; call it first"},
    {"makeSave", Family::SettingsFile, "", "", 0, "", "",
     "Takes a snapshot of the game for saveSave and pushSave, unless one is held already"},
    {"clearSave", Family::SettingsFile, "", "", 0, "", "",
     "Drops the held snapshot, so that the next makeSave takes a new one"},
    // Save slots
    {"pushSave", Family::SaveSlot, "ns", "", 0, "append, label", "",
     "Keeps a snapshot in memory for going back (append 1 adds to the history, 0 starts it anew); a label makes the restored game resume there"},
    {"saveSave", Family::SaveSlot, "nn", "", 0, "slot, binary", "",
     "Writes the held snapshot (taking one when none is held) to save/saveNNN.txt, or .dat packed when binary is non-zero"},
    {"loadSave", Family::SaveSlot, "nn", "", 0, "slot, binary", "",
     "Restores a saved game; the game goes on at `*load_lb` and its return resumes where the game was saved"},
    {"popSave", Family::SaveSlot, "n", "", 0, "back", "",
     "Restores a pushed snapshot: -1 the newest, n the one of the backlog page n pages back"},
    {"setSaveText", Family::SaveSlot, "s", "", 0, "comment", "",
     "Sets the comment written with the next save"},
    {"getSaveText", Family::SaveSlot, "", "s", 0, "", "comment",
     "The comment set by setSaveText"},
    {"loadSaveText", Family::SaveSlot, "nn", "s", 0, "slot, binary", "comment",
     "The comment of a slot file, up to its first comma"},
    {"existSave", Family::SaveSlot, "nn", "n", 0, "slot, binary", "exists",
     "1 when the slot file exists"},
    {"deleteSave", Family::SaveSlot, "nn", "n", 0, "slot, binary", "deleted",
     "Deletes a slot file; non-zero on success"},
    {"getSaveTime", Family::SaveSlot, "nn", "s", 0, "slot, binary", "time",
     "When a slot file was written, as \"YYYY/MM/DD hh:mm:ss\" in local time"},
    {"getSaveNew", Family::SaveSlot, "nnn", "n", 0, "first, last, binary", "slot",
     "The slot from first to last whose file is newest, -1 when none exists"},
    {"setSaveProtect", Family::SaveSlot, "nn", "", 0, "slot, mode", "",
     "Protection flag of a slot (0 to 99) for the game's own save screen: 0 clears, 1 sets, other values toggle; kept by saveSetting"},
    {"getSaveProtect", Family::SaveSlot, "n", "n", 0, "slot", "on",
     "The protection flag of a slot"},
    // Screenshots
    {"setScreenShot", Family::Screenshot, "nn", "", 0, "width, height", "",
     "Captures the screen now, scaled to width × height, for saveScreenShot"},
    {"saveScreenShot", Family::Screenshot, "snnnn", "", 0, "file, format, depth, value, option", "",
     "Writes the captured screen to a file: format 0 BMP, 1 PNG, 2 JPEG; depth 0, 8, 24 or 32; value PNG level or JPEG quality"},
    // System services, input and time
    {"getCurrentDirectory", Family::System, "", "s", 0, "", "root",
     "The save root chosen by loadSetting: empty when saves live in the game folder"},
    {"screen", Family::System, "nnnn", "", 0, "width, height, pictureWidth, flags", "",
     "Opens the window for a game designed at width × height (pictureWidth: the width its pictures are drawn for); flags bit 1 skips the start-up dialog"},
    {"shellExecute", Family::System, "ss", "n", 0, "file, parameters", "result",
     "Opens a file or web address with the desktop's program; a result above 32 means success (own language: exactly two texts and a number variable, else 引数の数が不正です)"},
    {"setClipboard", Family::System, "s", "", 0, "text", "",
     "Puts the text on the clipboard"},
    {"findText", Family::System, "", "", 0, "", "",
     "Opens the engine's Find box; its answer arrives as event 263 of the event wait"},
    {"setCursorPos", Family::System, "nnn", "", 0, "x, y, speed", "",
     "Moves the mouse cursor to a screen point: speed 0 jumps, larger values glide more slowly (nothing when the CursorMove setting is 0)"},
    {"getCursorPos", Family::System, "", "nn", kList, "", "x, y",
     "The mouse position on the logical screen"},
    {"getPushKey", Family::System, "n", "n", 0, "key", "down",
     "Non-zero while the key (a Windows virtual-key code, e.g. 16 Shift, 17 Ctrl) is held down"},
    {"getLocalTime", Family::System, "", "nnnnnn", kList, "", "year, month, day, hour, minute, second",
     "The local date and time"},
    {"getWeek", Family::System, "nnn", "n", 0, "year, month, day", "weekday",
     "Day of the week of a date, 0 Sunday to 6 Saturday"},
    {"getStartTime", Family::System, "", "n", 0, "", "ms",
     "The millisecond clock when the game started"},
    {"getTimer", Family::System, "", "n", 0, "", "ms",
     "Milliseconds since the game started"},
    {"timeGetTime", Family::System, "", "n", 0, "", "ms",
     "The millisecond clock"},
    {"sleep", Family::System, "n", "", 0, "ms", "",
     "Waits that many milliseconds without drawing"},
    // Script hosts
    {"funcLua", Family::ScriptHost, "sn", "", 0, "name, kind", "",
     "Lets the own language call a Lua function by name: kind 0 no result, 1 a number and 2 a text into the call's last argument"},
    {"funcSqu", Family::ScriptHost, "sn", "", 0, "name, kind", "",
     "Lets the own language call a Squirrel function by name, with the kinds of funcLua"},
    {"loadLua", Family::ScriptHost, "s", "", 0, "file", "",
     "Runs a Lua file (loose or in an archive); its functions stay defined"},
    {"loadSqu", Family::ScriptHost, "s", "", 0, "file", "",
     "Runs a Squirrel file (loose or in an archive); its functions stay defined"},
    // Look-ahead loading
    {"lookahead_set", Family::Lookahead, "ss", "", 0, "command, pattern", "",
     "Registers how a command's arguments name a picture (a s/…/…/ pattern), so that look-ahead can preload the pictures of coming lines"},
    {"lookahead_stop", Family::Lookahead, "s", "", 0, "file", "",
     "Never preloads this picture"},
    {"lookahead", Family::Lookahead, "", "", 0, "", "",
     "Preloads the pictures that the coming lines will load"},
    {"lookahead2", Family::Lookahead, "", "", 0, "", "",
     "Preloads the voices named in the next voiced speaker line (【name,voice,…】)"},
    // Frame drawing and effects
    {"draw", Family::Drawing, "", "", 0, "", "",
     "Shows every sprite change made since the last draw or effect and presents one frame"},
    {"draw2", Family::Drawing, "", "", 0, "", "",
     "As draw, but only when something moves; otherwise sleeps 1 ms (for wait loops)"},
    {"draw3", Family::Drawing, "", "", 0, "", "",
     "Applies the pending sprite changes without drawing a frame"},
    {"effect", Family::Drawing, "nnnsnn", "", 0, "pass, ms, easing, name, vagueness, lookahead", "",
     "Transition to the changed sprites over ms: pass 0 a pause, 1 cross-fade, 2 the named effect, 3 through the mask picture name"},
    {"existStretch", Family::Drawing, "s", "n", 0, "name", "exists",
     "1 when an effect of that name exists for effect pass 2"},
    // Buttons and event waits
    {"setBtn", Family::Button, "nnn", "", 0, "button, sprite, options", "",
     "Makes a sprite button number 0 to 255; options: alpha threshold (0 the whole rectangle) + 256 × skip by arrow keys + 4096 × arrow mask"},
    {"getBtn", Family::Button, "n", "n", 0, "button", "sprite",
     "The sprite of a button, -1 when it has no picture or is hidden"},
    {"setBtnTool", Family::Button, "ns", "", 0, "button, text", "",
     "Sets the tooltip shown while the cursor is on a button"},
    {"eraseBtn", Family::Button, "n", "", 0, "sprite", "",
     "Removes the button of a sprite (the argument is the sprite number) and finishes its motions"},
    {"clearBtn", Family::Button, "", "", 0, "", "",
     "Removes every button"},
    {"getBtnNow", Family::Button, "", "n", 0, "", "button",
     "The button under the cursor or chosen by the arrow keys, -1 for none"},
    {"setBtnNow", Family::Button, "n", "", 0, "button", "",
     "Makes a button the current one"},
    {"eventWait", Family::Button, "", "nnn", kList, "", "button, code, phase",
     "Takes one input event without waiting; no event gives 256, 256, 256 (see the guide for the codes)"},
    {"eventWaitPT", Family::Button, "", "nnn", kList, "", "button, code, phase",
     "As eventWait, but Ctrl and the middle button fast-forward (a skip click -1, 1, 3)"},
    {"eventWaitDD", Family::Button, "", "nnns", kList, "", "button, code, phase, file",
     "As eventWait, and a file dropped on the window gives 259, 259, 259 with its path"},
    {"setPosition", Family::Button, "n", "", 0, "value", "",
     "Accepted and ignored"},
    // Sprites
    {"sp", Family::Sprite, "nsnn", "", 0, "sprite, file, flags, frames", "",
     "Loads a picture into a sprite (0 to 999, lower numbers in front), centred on its position; shown at the next draw or effect"},
    {"sp_cut", Family::Sprite, "nsnnnnnn", "", 0, "sprite, file, flags, frames, x, y, w, h", "",
     "As sp, with only the rectangle x, y, w × h of the picture (x -1 centres it)"},
    {"sp_st", Family::Sprite, "nsnnnnn", "", 0, "sprite, file, flags, w, h, ms, delay", "",
     "Puts a picture at the bottom centre of a w × h canvas; with ms it cross-fades from the sprite's old picture after delay ms"},
    {"sp_mask", Family::Sprite, "nsnnn", "", 0, "sprite, file, reverse, progress, vagueness", "",
     "Gives a sprite a grey mask picture: progress (0 to 512, moved by sp_am) decides how much of the sprite shows, reverse turns it round"},
    {"spg", Family::Sprite, "nnnn", "", 0, "sprite, w, h, flags", "",
     "Makes a sprite an empty w × h canvas that other sprites can be drawn into with sp_g"},
    {"sp_g", Family::Sprite, "nn", "", 0, "sprite, group", "",
     "Draws a sprite into the canvas sprite group instead of the screen (0 the screen)"},
    {"sp_d", Family::Sprite, "n", "", 0, "sprite", "",
     "Deletes a sprite at the next draw or effect"},
    {"sp_dx", Family::Sprite, "nnn", "", 0, "first, last, ignored", "",
     "Deletes the sprites first to last at the next draw or effect (the third argument is not used)"},
    {"ssp_set", Family::Sprite, "snnnnn", "", 0, "face, size, style, colour1, colour2, colour3", "",
     "Font for ssp and logsp: face or font file, size, style bits as setFontStyle, text, gradient and shadow colours"},
    {"ssp", Family::Sprite, "nsn", "", 0, "sprite, text, flags", "",
     "Makes a sprite a picture of one line of text in the ssp_set font"},
    {"ssp_reset", Family::Sprite, "n", "", 0, "sprite", "",
     "Renders a text sprite's text again"},
    {"ssp_draw", Family::Sprite, "nsnn", "", 0, "sprite, text, x, y", "",
     "Writes text onto the picture a sprite is loading, from x, y of the picture"},
    {"logsp", Family::Sprite, "nsnn", "", 0, "sprite, text, flags, rows", "",
     "Makes a sprite a picture of backlog text (getLog) with its ruby, laid out by setMessLog"},
    {"logsp_reset", Family::Sprite, "n", "", 0, "sprite", "",
     "Renders a logsp sprite's text again"},
    {"sp_b", Family::Sprite, "nn", "", 0, "sprite, mode", "",
     "Blend mode: 0 replace, 1 normal (default), 2 add, 3 subtract, 4 multiply, 5 screen, 6 lighten, 7 darken, 8 exclusion"},
    {"sp_o", Family::Sprite, "nn", "", 0, "sprite, order", "",
     "Draw order: lower numbers in front; a negative order puts the sprite in front of the message text"},
    {"sp_cxy", Family::Sprite, "nnn", "", 0, "sprite, ax, ay", "",
     "Which point of the picture its position means: 0 left or top, 1 centre (default), 2 right or bottom"},
    {"sp_x", Family::Sprite, "nr", "", 0, "sprite, x", "",
     "Horizontal position on the logical screen"},
    {"sp_y", Family::Sprite, "nr", "", 0, "sprite, y", "",
     "Vertical position on the logical screen"},
    {"sp_xy", Family::Sprite, "nrr", "", 0, "sprite, x, y", "",
     "Position on the logical screen (of the picture's centre unless sp_cxy says otherwise)"},
    {"sp_a", Family::Sprite, "nn", "", 0, "sprite, alpha", "",
     "Opacity, 0 invisible to 255 opaque"},
    {"sp_wh", Family::Sprite, "nrr", "", 0, "sprite, w, h", "",
     "Horizontal and vertical scale in percent"},
    {"sp_rxyz", Family::Sprite, "nrrr", "", 0, "sprite, rx, ry, rz", "",
     "Rotation around the x, y and z axes in degrees"},
    {"sp_l", Family::Sprite, "nn", "", 0, "sprite, frame", "",
     "Shows one frame of a picture loaded with several frames stacked vertically"},
    {"sp_c", Family::Sprite, "nnn", "", 0, "sprite, mode, colour", "",
     "Tints the sprite with 0xRRGGBB: mode 4 multiplies, 7 adds, 10 subtracts, 3 paints the colour; 0 turns it off"},
    {"sp_ref", Family::Sprite, "n", "", 0, "sprite", "",
     "Shows the pending changes of one sprite at once, without a frame"},
    {"sp_exist", Family::Sprite, "n", "n", 0, "sprite", "state",
     "0 no picture, 1 a picture that is about to be deleted, 2 a picture"},
    {"sp_gsz", Family::Sprite, "n", "nn", kList, "sprite", "w, h",
     "Size of the sprite's picture (one frame)"},
    {"sp_gxy", Family::Sprite, "nnn", "nn", kList, "sprite, ax, ay", "x, y",
     "Where a point of the picture lies on screen (ax, ay: 0 left or top, 1 centre, 2 right or bottom), after running motions"},
    {"sp_ga", Family::Sprite, "n", "n", 0, "sprite", "alpha",
     "Opacity, after running motions"},
    {"sp_gwh", Family::Sprite, "n", "nn", kList, "sprite", "w, h",
     "Scale in percent, after running motions"},
    {"sp_go", Family::Sprite, "n", "n", 0, "sprite", "order",
     "Draw order set by sp_o"},
    {"sp_gn", Family::Sprite, "n", "s", 0, "sprite", "file",
     "The picture file or the text of a sprite"},
    {"sp_reload", Family::Sprite, "n", "", 0, "sprite", "",
     "Loads the sprite's picture again, applying the image operations set since"},
    // Sprite image operations
    {"sp_neg", Family::SpriteImage, "nr", "", 0, "sprite, on", "",
     "Negative picture from the next load (sp_reload or a new picture)"},
    {"sp_gray", Family::SpriteImage, "nr", "", 0, "sprite, on", "",
     "Grey picture from the next load"},
    {"sp_rot", Family::SpriteImage, "nn", "", 0, "sprite, kind", "",
     "From the next load: 1 flips horizontally, 2 vertically, 3 turns by 180°"},
    {"sp_bc", Family::SpriteImage, "nnn", "", 0, "sprite, brightness, contrast", "",
     "Adds brightness (-128 to 127) and changes contrast in percent from the next load"},
    {"sp_color", Family::SpriteImage, "nnnn", "", 0, "sprite, r, g, b", "",
     "Brightens (positive) or darkens (negative) the red, green and blue channels from the next load"},
    {"sp_hsl", Family::SpriteImage, "nnnn", "", 0, "sprite, h, s, l", "",
     "Hue, saturation and lightness change from the next load"},
    {"sp_blur", Family::SpriteImage, "nnn", "", 0, "sprite, rx, ry", "",
     "Blurs the picture with radii rx and ry from the next load"},
    {"sp_mosaic", Family::SpriteImage, "nnn", "", 0, "sprite, w, h", "",
     "Turns the picture into w × h blocks from the next load"},
    // Movies
    {"theora_create", Family::Movie, "", "", 0, "", "",
     "Accepted for old scripts: movies play without it"},
    {"sp_ani", Family::Movie, "nsnnnn", "", 0, "sprite, file, flags, plays, mode, delay", "",
     "Plays a movie in a sprite after delay ms; plays: MJPG repeats (0 for ever); mode bit 0 decodes while playing, bit 1 streams the file"},
    // Sprite motion
    {"sp_ax", Family::Motion, "nnnnn", "", 0, "sprite, x, ms, easing, mode", "",
     "Moves the sprite's x to a value over ms along an easing curve (-20 to 20); mode 256 plays it once, 0 repeats it for ever, +1 queues it after the running one"},
    {"sp_ay", Family::Motion, "nnnnn", "", 0, "sprite, y, ms, easing, mode", "",
     "Moves y, as sp_ax"},
    {"sp_axy", Family::Motion, "nnnnnn", "", 0, "sprite, x, y, ms, easing, mode", "",
     "Moves x and y, as sp_ax"},
    {"sp_aa", Family::Motion, "nnnnn", "", 0, "sprite, alpha, ms, easing, mode", "",
     "Fades the opacity, as sp_ax"},
    {"sp_axya", Family::Motion, "nnnnnnn", "", 0, "sprite, x, y, alpha, ms, easing, mode", "",
     "Moves x and y and fades the opacity, as sp_ax"},
    {"sp_aw", Family::Motion, "nnnnn", "", 0, "sprite, w, ms, easing, mode", "",
     "Scales the width in percent, as sp_ax"},
    {"sp_ah", Family::Motion, "nnnnn", "", 0, "sprite, h, ms, easing, mode", "",
     "Scales the height in percent, as sp_ax"},
    {"sp_awh", Family::Motion, "nnnnnn", "", 0, "sprite, w, h, ms, easing, mode", "",
     "Scales width and height in percent, as sp_ax"},
    {"sp_arx", Family::Motion, "nnnnn", "", 0, "sprite, rx, ms, easing, mode", "",
     "Turns around the x axis in degrees, as sp_ax"},
    {"sp_ary", Family::Motion, "nnnnn", "", 0, "sprite, ry, ms, easing, mode", "",
     "Turns around the y axis in degrees, as sp_ax"},
    {"sp_arz", Family::Motion, "nnnnn", "", 0, "sprite, rz, ms, easing, mode", "",
     "Turns around the z axis in degrees, as sp_ax"},
    {"sp_arxyz", Family::Motion, "nnnnnnn", "", 0, "sprite, rx, ry, rz, ms, easing, mode", "",
     "Turns around all three axes, as sp_ax"},
    {"sp_al", Family::Motion, "nnnnn", "", 0, "sprite, frame, ms, easing, mode", "",
     "Shows a frame for ms (frame animation, stepped by draw and draw2), as sp_ax"},
    {"sp_ac", Family::Motion, "nnnnn", "", 0, "sprite, colour, ms, easing, mode", "",
     "Changes the sp_c colour, as sp_ax"},
    {"sp_am", Family::Motion, "nnnnnn", "", 0, "sprite, reverse, progress, ms, easing, mode", "",
     "Moves the mask progress of sp_mask, as sp_ax"},
    {"sp_ae", Family::Motion, "n", "", 0, "sprite", "",
     "Ends every motion of the sprite at its target at once"},
    {"sp_alv", Family::Motion, "nn", "n", 0, "first, last", "moving",
     "Non-zero while a sprite from first to last moves or plays a movie (bits of the motion kinds)"},
    {"sp_qx", Family::Motion, "nnnnnnn", "", 0, "sprite, amplitude, period, count, easing, type, delay", "",
     "Shakes a sprite sideways: amplitude in pixels, period in ms, count of periods (0 for ever), starting after delay ms"},
    {"sp_qy", Family::Motion, "nnnnnnn", "", 0, "sprite, amplitude, period, count, easing, type, delay", "",
     "Shakes a sprite up and down, as sp_qx"},
    {"sc_qx", Family::Motion, "nnnnnnn", "", 0, "targets, amplitude, period, count, easing, type, delay", "",
     "Shakes the screen sideways: targets bit 0 the sprites, bit 1 the message window; amplitude 0 stops it"},
    {"sc_qy", Family::Motion, "nnnnnnn", "", 0, "targets, amplitude, period, count, easing, type, delay", "",
     "Shakes the screen up and down, as sc_qx"},
    {"sc_mb", Family::Motion, "nn", "", 0, "on, strength", "",
     "Motion blur: on 1 leaves trails behind moving sprites (strength 255 none, 0 freezes the picture), 0 turns it off"},
    // Sound
    {"sd_create", Family::Sound, "", "", 0, "", "",
     "Opens the sound device; every other sd command does nothing before it"},
    {"sd", Family::Sound, "nsnnnnnn", "", 0, "channel, file, fade, delay, volume, pan, count, start", "",
     "Plays a WAVE or Ogg Vorbis file on a channel (0 to 24): fade-in ms, delay ms, volume 0 to 100, pan -100 to 100, count 0 endless or n times, start frame"},
    {"sd_load", Family::Sound, "ns", "", 0, "channel, file", "",
     "Opens a file on a channel without playing it"},
    {"sd_play", Family::Sound, "nnnnnn", "", 0, "channel, fade, volume, pan, count, start", "",
     "Plays the file opened on a channel, arguments as sd"},
    {"sd_pause", Family::Sound, "nn", "", 0, "channel, paused", "",
     "1 pauses a channel, 0 resumes it"},
    {"sd_stop", Family::Sound, "nnn", "", 0, "channel, fade, delay", "",
     "Stops a channel, fading out over fade ms, after delay ms"},
    {"sd_volume", Family::Sound, "nnn", "", 0, "channel, volume, fade", "",
     "Changes a channel's volume (0 to 100) over fade ms"},
    {"sd_volume2", Family::Sound, "nnn", "", 0, "channel, volume, fade", "",
     "Changes a channel's second volume (0 to 100, multiplied with the first) over fade ms"},
    {"sd_panpot", Family::Sound, "nnn", "", 0, "channel, pan, fade", "",
     "Changes a channel's pan (-100 left to 100 right) over fade ms"},
    {"sd_status", Family::Sound, "n", "n", 0, "channel", "state",
     "0 playing, 1 paused, 2 stopped"},
    {"sd_getFile", Family::Sound, "n", "s", 0, "channel", "file",
     "The file open on a channel, empty when none"},
    {"sd_seekTime", Family::Sound, "nn", "", 0, "channel, ms", "",
     "Moves a channel's play position to a time"},
    {"sd_nowTime", Family::Sound, "n", "n", 0, "channel", "ms",
     "A channel's play position in ms"},
    {"sd_totalTime", Family::Sound, "n", "n", 0, "channel", "ms",
     "The length of a channel's file in ms"},
    {"sd_loopTime", Family::Sound, "nnnn", "", 0, "channel, a, b, c", "",
     "Loop points in ms: play from a; at c jump back to b"},
    {"sd_seekSample", Family::Sound, "nn", "", 0, "channel, frame", "",
     "Moves a channel's play position to a sample frame"},
    {"sd_nowSample", Family::Sound, "n", "n", 0, "channel", "frame",
     "A channel's play position in sample frames"},
    {"sd_totalSample", Family::Sound, "n", "n", 0, "channel", "frames",
     "The length of a channel's file in sample frames"},
    {"sd_loopSample", Family::Sound, "nnnn", "", 0, "channel, a, b, c", "",
     "Loop points in sample frames: play from a; at c jump back to b"},
};
static_assert(std::size(kCatalogue) == kCatalogueSize, "the catalogue has 264 commands");

// One name per argument and result letter, and a summary for every entry,
// so that the generated reference cannot fall out of step with the table.
constexpr bool namesFitLetters(const char* names, const char* letters) {
  size_t count = *names ? 1 : 0;
  for (const char* p = names; *p; ++p)
    if (*p == ',') ++count;
  size_t length = 0;
  while (letters[length]) ++length;
  return count == length;
}

constexpr bool everyEntryDocumented() {
  for (const CatalogueEntry& e : kCatalogue)
    if (!namesFitLetters(e.argumentNames, e.arguments) || !namesFitLetters(e.resultNames, e.results) || !*e.summary)
      return false;
  return true;
}
static_assert(everyEntryDocumented(), "every command names its arguments and results and has a summary");

struct CatalogueState {
  std::array<CommandCore, kCatalogueSize> cores{};
  std::array<bool, kCatalogueSize> reportedMissing{};
};
CatalogueState C;

// A family that has not landed must not let its commands silently do
// nothing; the box comes once per command so a per-frame call cannot flood.
void reportNotBuilt(size_t index) {
  if (C.reportedMissing[index]) return;
  C.reportedMissing[index] = true;
  reportError(messageText(Message::NotInThisBuild));
}

// The wrappers name the command for the error location, so no core has to.
template <size_t I>
void ownWrapper(const char* args) {
  setErrcmd(kCatalogue[I].name);
  if (!C.cores[I]) {
    reportNotBuilt(I);
    return;
  }
  script::ArgumentList list = script::parseArguments(args);
  C.cores[I](&list);
}

template <size_t... I>
constexpr std::array<script::CommandHandler, kCatalogueSize> makeOwnWrappers(std::index_sequence<I...>) {
  return {ownWrapper<I>...};
}
constexpr auto kOwnWrappers = makeOwnWrappers(std::make_index_sequence<kCatalogueSize>{});

}  // namespace

std::span<const CatalogueEntry> catalogue() { return kCatalogue; }

int catalogueIndex(std::string_view name) {
  for (size_t i = 0; i < kCatalogueSize; ++i)
    if (name == kCatalogue[i].name) return static_cast<int>(i);
  return -1;
}

int luaResultCount(const CatalogueEntry& entry) { return static_cast<int>(std::strlen(entry.results)); }
bool offeredToForeignLanguages(const CatalogueEntry& entry) { return !(entry.flags & kOwnOnly); }

void bindCores(std::span<const CoreBinding> cores) {
  for (const CoreBinding& b : cores) {
    int i = catalogueIndex(b.name);
    if (i < 0) {
      showErrorBox(std::string("bindCores: ") + b.name);
      continue;
    }
    C.cores[static_cast<size_t>(i)] = b.core;
  }
}

CommandCore boundCore(size_t index) { return index < kCatalogueSize ? C.cores[index] : nullptr; }

int callCatalogueCommand(size_t index, CommandContext context) {
  if (index >= kCatalogueSize) return 0;
  setErrcmd(kCatalogue[index].name);
  // Lua and Squirrel code calls commands here; an allocation that fails in
  // one must not unwind through their interpreters.
  try {
    if (C.cores[index]) C.cores[index](context);
    else reportNotBuilt(index);
  } catch (const std::bad_alloc&) {
    script::stopAtLimit(messageText(Message::OutOfMemory));
    return 0;
  }
  return luaResultCount(kCatalogue[index]);
}

void registerCatalogue() {
  bindCores(presentationCores());
  bindCores(systemCores());
  installOwnBridge();
  C.reportedMissing.fill(false);
  for (size_t i = 0; i < kCatalogueSize; ++i) script::registerCommand(kCatalogue[i].name, kOwnWrappers[i]);
}

std::vector<std::string> commandsNotBuilt() {
  std::vector<std::string> names;
  for (size_t i = 0; i < kCatalogueSize; ++i)
    if (!C.cores[i]) names.emplace_back(kCatalogue[i].name);
  return names;
}

}  // namespace velmora::bindings
