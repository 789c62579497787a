// qzfp-confirm: shows one window of the fiscal driver and answers through its exit status.
//
//   qzfp-confirm confirm --title T --message M --options yes,no[,cancel] [--color RRGGBB]
//       exit 0 Yes, 1 No, 2 Cancel (also when the window is closed without a button)
//   qzfp-confirm wait --text CAPTION          until SIGTERM or SIGINT; exit 0
//   qzfp-confirm message --kind info|error --text TEXT [--title T]      exit 0 once closed
//
// Exit 3: a wrong command line; exit 4: no display to show the window on.

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "tools/qzfp-confirm/Windows.h"

namespace {

using qzconfirm::kExitUsage;

constexpr const char* kUsage =
    "usage: qzfp-confirm confirm --title T --message M --options yes,no[,cancel] [--color RRGGBB]\n"
    "       qzfp-confirm wait --text CAPTION\n"
    "       qzfp-confirm message --kind info|error --text TEXT [--title T]\n";

[[noreturn]] void Usage(const std::string& aProblem) {
  std::fprintf(stderr, "qzfp-confirm: %s\n%s", aProblem.c_str(), kUsage);
  std::exit(kExitUsage);
}

// "--name value" pairs after the mode; every option takes a value.
std::map<std::string, std::string> ReadOptions(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 2; i < argc; i += 2) {
    std::string name = argv[i];
    if (name.rfind("--", 0) != 0) Usage("unexpected argument " + name);
    if (i + 1 >= argc) Usage(name + " needs a value");
    options[name.substr(2)] = argv[i + 1];
  }
  return options;
}

void OnlyThese(const std::map<std::string, std::string>& aOptions,
               std::initializer_list<const char*> aNames) {
  for (const auto& [name, value] : aOptions) {
    bool known = false;
    for (const char* allowed : aNames) known = known || name == allowed;
    if (!known) Usage("unknown option --" + name);
  }
}

qzconfirm::Rgb ParseColor(const std::string& aText) {
  if (aText.size() != 6 || aText.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    Usage("--color needs six hexadecimal digits RRGGBB");
  unsigned long value = std::strtoul(aText.c_str(), nullptr, 16);
  return {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value)};
}

qzconfirm::ConfirmRequest ParseConfirm(const std::map<std::string, std::string>& aOptions) {
  OnlyThese(aOptions, {"title", "message", "options", "color"});
  qzconfirm::ConfirmRequest request;
  auto find = [&aOptions](const char* aName) {
    auto it = aOptions.find(aName);
    return it == aOptions.end() ? std::string() : it->second;
  };
  request.fTitle = find("title");
  request.fMessage = find("message");
  std::string list = find("options");
  std::size_t start = 0;
  while (!list.empty() && start <= list.size()) {
    std::size_t comma = list.find(',', start);
    std::string word = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (word == "yes")
      request.fYes = true;
    else if (word == "no")
      request.fNo = true;
    else if (word == "cancel")
      request.fCancel = true;
    else
      Usage("unknown option word \"" + word + "\" in --options");
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (!request.fYes && !request.fNo && !request.fCancel)
    Usage("--options needs at least one of yes, no, cancel");
  if (aOptions.count("color") != 0) request.fColor = ParseColor(find("color"));
  return request;
}

void OpenDisplay() {
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "qzfp-confirm: cannot open the display (is DISPLAY set?)\n");
    std::exit(qzconfirm::kExitNoDisplay);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) Usage("a mode is needed");
  std::string mode = argv[1];
  std::map<std::string, std::string> options = ReadOptions(argc, argv);
  if (mode == "confirm") {
    qzconfirm::ConfirmRequest request = ParseConfirm(options);
    OpenDisplay();
    return qzconfirm::RunConfirm(request);
  }
  if (mode == "wait") {
    OnlyThese(options, {"text"});
    OpenDisplay();
    return qzconfirm::RunWait(options["text"]);
  }
  if (mode == "message") {
    OnlyThese(options, {"kind", "text", "title"});
    const std::string& kind = options["kind"];
    if (kind != "info" && kind != "error") Usage("--kind needs info or error");
    OpenDisplay();
    return qzconfirm::RunMessage(kind == "error" ? 1 : 0,
                                 options.count("title") ? options["title"] : "QZFP_VELMO_10",
                                 options["text"]);
  }
  Usage("unknown mode " + mode);
}
