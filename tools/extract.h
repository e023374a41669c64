#pragma once
// Writing files named by an archive's or a names list's contents: a member
// name is an outside input, so it may only ever land inside the output folder.
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::tools {

// Why name cannot be a path under an output folder (absolute, a ".."
// component with '/' or '\' as separators, empty, or holding a NUL), or empty
// when it can.
std::string memberNameProblem(std::string_view name);

// Writes bytes to outDir/name (separators '/' and '\'), making the folders in
// between. The file never lands outside outDir: the name is checked as above,
// the resolved path must stay under outDir, and no symbolic link inside outDir
// is followed. A failed write keeps the previous file. false with the reason
// in error.
bool writeMemberFile(const std::filesystem::path& outDir, std::string_view name, const std::string& bytes,
                     std::string& error);

}  // namespace velmora::tools
