#pragma once
#include <string>

namespace velmora::tools {

// The command reference in Markdown, made from the catalogue table itself.
std::string commandReference();

}  // namespace velmora::tools
