#pragma once
// Transfers of control: goto, gosub and return, user subroutines, loops and
// conditionals.
#include <string_view>
#include <vector>

#include "base/hash.h"

namespace velmora::script {

// One active gosub: where its return comes back to.
struct GosubFrame {
  int slot = 0;          // slot that was active at the call
  ScriptKey script = 0;  // script that was active at the call
  int returnLine = 0;
  int returnPart = 0;
};
const std::vector<GosubFrame>& gosubFrames();

// Both take a label text with its leading '*'; they set the interpreter's
// requests (jump, script switch) and report a missing label.
void gosubLabel(std::string_view label);
void jumpToLabel(std::string_view label);

// Current depths, for saved games and the error trace.
int gosubDepth();
int loopDepth();

// Empties the loop stack, the gosub stack, the if-states (release, tests).
void clearControlState();

// The own-language commands of control flow.
void cmd_for(const char* args);
void cmd_next(const char* args);
void cmd_break(const char* args);
void cmd_continue(const char* args);
void cmd_if(const char* args);
void cmd_elseif(const char* args);
void cmd_else(const char* args);
void cmd_defsub(const char* args);
void cmd_getParam(const char* args);
void cmd_goto(const char* args);
void cmd_gosub(const char* args);
void cmd_return(const char* args);
void cmd_labelExist(const char* args);

}  // namespace velmora::script
