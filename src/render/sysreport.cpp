// The system report of the display start: facts about the machine, each line
// only when its source answers.
#include "render/gl.h"
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "base/hash.h"
#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "render/display.h"

namespace velmora::render {
namespace {

std::string firstLine(const char* path) {
  std::ifstream in(path);
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

std::string osName() {
  std::ifstream in("/etc/os-release");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string v = line.substr(12);
    if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
    return v;
  }
  return {};
}

struct CpuFacts {
  std::string vendor, brand, flags;
  int mhz = 0, logical = 0, cores = 0;
};

CpuFacts readCpu() {
  CpuFacts c;
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  std::set<std::pair<std::string, std::string>> coreIds;
  std::string physical;
  auto value = [](const std::string& l) {
    size_t p = l.find(':');
    return p == std::string::npos ? std::string() : l.substr(p + (p + 1 < l.size() ? 2 : 1));
  };
  while (std::getline(in, line)) {
    if (line.rfind("processor", 0) == 0) ++c.logical;
    else if (line.rfind("vendor_id", 0) == 0 && c.vendor.empty()) c.vendor = value(line);
    else if (line.rfind("model name", 0) == 0 && c.brand.empty()) c.brand = value(line);
    else if (line.rfind("cpu MHz", 0) == 0 && c.mhz == 0) c.mhz = static_cast<int>(std::stod("0" + value(line)));
    else if (line.rfind("flags", 0) == 0 && c.flags.empty()) c.flags = " " + value(line) + " ";
    else if (line.rfind("physical id", 0) == 0) physical = value(line);
    else if (line.rfind("core id", 0) == 0) coreIds.insert({physical, value(line)});
  }
  c.cores = static_cast<int>(coreIds.size());
  if (c.logical == 0) c.logical = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
  return c;
}

std::string featureWords(const std::string& flags) {
  static const std::pair<const char*, const char*> kFeatures[] = {
      {" mmx ", " MMX"},     {" sse ", " SSE"},       {" sse2 ", " SSE2"},     {" pni ", " SSE3"},
      {" ssse3 ", " SSSE3"}, {" sse4_1 ", " SSE4.1"}, {" sse4_2 ", " SSE4.2"},
  };
  std::string out;
  for (const auto& [flag, word] : kFeatures)
    if (flags.find(flag) != std::string::npos) out += word;
  return out;
}

bool memoryMb(long& freeMb, long& totalMb) {
  std::ifstream in("/proc/meminfo");
  std::string key;
  long value = 0, total = -1, avail = -1;
  std::string unit;
  while (in >> key >> value >> unit) {
    if (key == "MemTotal:") total = value;
    else if (key == "MemAvailable:") avail = value;
  }
  if (total < 0 || avail < 0) return false;
  freeMb = avail / 1024;
  totalMb = total / 1024;
  return true;
}

void executableLines(std::ostringstream& out) {
  const std::string folder = platform::executableFolder();
  if (folder.empty()) return;
  out << "Cwd: " << folder << "\n";
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  struct stat st;
  if (n <= 0 || stat("/proc/self/exe", &st) != 0) return;
  exe[n] = 0;
  std::string name(exe);
  name = name.substr(name.find_last_of('/') + 1);
  std::tm tm{};
  localtime_r(&st.st_mtime, &tm);
  char buf[320];
  std::snprintf(buf, sizeof buf, "\t%s: %04d/%02d/%02d %02d:%02d:%02d\n", name.c_str(), tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  out << buf;
}

void identityLines(std::ostringstream& out) {
  char host[256] = {0};
  if (gethostname(host, sizeof host - 1) == 0) {
    const std::string machine = firstLine("/etc/machine-id");
    char buf[300];
    std::snprintf(buf, sizeof buf, "%s%08X", host, crc32_hash(machine));
    char uid[32];
    std::snprintf(uid, sizeof uid, "%016llX", static_cast<unsigned long long>(crc64_hash(buf)));
    out << "UID : " << uid << "\n";
  }
  const std::string vendor = firstLine("/sys/class/dmi/id/sys_vendor");
  const std::string model = firstLine("/sys/class/dmi/id/product_name");
  if (!vendor.empty()) out << "Model : " << vendor << " / " << model << "\n";
  struct utsname u;
  if (uname(&u) == 0) {
    std::string os = osName();
    out << "OS : " << (os.empty() ? u.sysname : os) << (sizeof(void*) == 8 ? " 64bit" : " 32bit") << " (" << u.release
        << ") " << u.version << "\n";
  }
}

void processorLines(std::ostringstream& out) {
  const CpuFacts c = readCpu();
  if (!c.brand.empty()) {
    out << "CPU : " << c.brand;
    if (c.mhz > 0) out << " ~" << c.mhz << "MHz";
    out << "\n";
  }
  out << "\t";
  if (c.cores > 0) out << "PC" << c.cores;
  out << " LC" << c.logical << featureWords(c.flags) << "\n";
  long freeMb = 0, totalMb = 0;
  if (memoryMb(freeMb, totalMb)) out << "Memoy : " << freeMb << "/" << totalMb << "MB\n";
}

void videoLines(std::ostringstream& out) {
  std::string error;
  if (platform::mainWindowExists() && platform::createGLContext(error)) {
    if (const GLubyte* r = glGetString(GL_RENDERER)) out << "GPU : " << reinterpret_cast<const char*>(r) << "\n";
    const GLubyte* v = glGetString(GL_VERSION);
    const GLubyte* vendor = glGetString(GL_VENDOR);
    if (v) out << "Driver : " << (vendor ? reinterpret_cast<const char*>(vendor) : "") << " " << reinterpret_cast<const char*>(v);
  }
  // The mode follows the driver on the same line, as the report always wrote it.
  platform::MonitorInfo m;
  if (platform::mainWindowMonitor(m)) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Mode : %d x %d %dbit %dHz\n", m.width, m.height, m.bitsPerPixel, m.refreshHz);
    out << buf;
  }
}

}  // namespace

void writeSystemReport() {
  std::ostringstream out;
  executableLines(out);
  identityLines(out);
  processorLines(out);
  videoLines(out);
  // A run with a save folder of its own leaves the game folder's report alone.
  std::FILE* f = std::fopen(runOptions().saveDir.empty() ? "Information.txt" : hostPath(logFilePath()).c_str(), "wb");
  if (!f) return;
  const std::string text = out.str();
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

}  // namespace velmora::render
