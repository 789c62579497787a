#include "platform/CommandLine.h"

#include <fstream>
#include <iterator>

namespace qzplatform {

std::vector<std::string> CommandLineParameters() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  if (!file) return {};
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The arguments follow one another, each ended by a 0 byte; the first is the program itself.
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < content.size()) {
    auto end = content.find('\0', start);
    if (end == std::string::npos) end = content.size();
    arguments.emplace_back(content, start, end - start);
    start = end + 1;
  }
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

}  // namespace qzplatform
