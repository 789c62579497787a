#pragma once
// The one error type of the system. Every failure inside the library is raised as a QzError carrying its
// message exactly as the system words it (UTF-8); only the export wrappers catch it and hand the text to
// the host.

#include <stdexcept>
#include <string>

class QzError : public std::runtime_error {
 public:
  explicit QzError(const std::string& aMessage) : std::runtime_error(aMessage) {}
  explicit QzError(const char* aMessage) : std::runtime_error(aMessage) {}
};
