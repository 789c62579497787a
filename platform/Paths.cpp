#include "platform/Paths.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace qzplatform {

namespace {

std::string WithTrailingSlash(std::string aPath) {
  if (aPath.empty() || aPath.back() != '/') aPath += '/';
  return aPath;
}

std::string Environment(const char* aName) {
  const char* value = std::getenv(aName);
  return value == nullptr ? std::string() : std::string(value);
}

std::string FileNamePart(const std::string& aPath) {
  const auto slash = aPath.rfind('/');
  return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

}  // namespace

std::string HostExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string ApplicationDirectory() {
  const std::string overridden = Environment("QZFP_APP_DIR");
  if (!overridden.empty()) return WithTrailingSlash(overridden);
  const std::string executable = HostExecutablePath();
  const auto slash = executable.rfind('/');
  if (slash == std::string::npos) return "./";
  return executable.substr(0, slash + 1);
}

std::string ApplicationName() {
  std::string name = FileNamePart(HostExecutablePath());
  const auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string DataRoot() {
  const std::string overridden = Environment("QZFP_DATA_ROOT");
  return overridden.empty() ? std::string("/var/lib/QZ_FPR_DB/") : WithTrailingSlash(overridden);
}

}  // namespace qzplatform
