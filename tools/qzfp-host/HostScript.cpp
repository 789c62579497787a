#include "tools/qzfp-host/HostScript.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qzhost {

namespace {

std::string ReadFile(const std::string& aPath) {
  std::ifstream file(aPath, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + aPath);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ReplaceAll(std::string aText, const std::string& aFrom, const std::string& aTo) {
  for (std::size_t at = aText.find(aFrom); at != std::string::npos; at = aText.find(aFrom, at + aTo.size()))
    aText.replace(at, aFrom.size(), aTo);
  return aText;
}

std::string TrimmedLine(const std::string& aLine) {
  std::size_t first = aLine.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  std::size_t last = aLine.find_last_not_of(" \t\r");
  return aLine.substr(first, last - first + 1);
}

}  // namespace

SmacAnswer ParseSmacAnswer(const std::string& aText) {
  if (aText == "yes") return SmacAnswer::Yes;
  if (aText == "no") return SmacAnswer::No;
  if (aText == "cancel") return SmacAnswer::Cancel;
  if (aText == "helper") return SmacAnswer::Helper;
  throw std::runtime_error("the SMAC answer must be yes, no, cancel or helper, not \"" + aText + "\"");
}

std::string HostScript::ReadRequest(const std::string& aFile) const {
  return ReplaceAll(ReadFile(aFile), "{HANDLE}", std::to_string(fHandle));
}

bool HostScript::RunCall(const std::string& aName, const std::string& aRequestFile, bool aExpectFailure) {
  if (!HostLibrary::IsExportName(aName)) throw std::runtime_error("no export named " + aName);
  std::string request = ReadRequest(aRequestFile);
  std::printf("=== %s %s\n", aName.c_str(), aRequestFile.c_str());
  std::fflush(stdout);
  CallResult result = fLibrary.Call(aName, request);
  std::printf("Result: %d\n", result.fResult);
  if (result.fHandle) {
    std::printf("Handle: %d\n", *result.fHandle);
    if (result.fResult == 0) fHandle = *result.fHandle;
  }
  std::printf("Error: %s\n", result.fError.c_str());
  if (!result.fHandle) {
    std::printf("Output:\n%s", result.fOutput.c_str());
    if (!result.fOutput.empty() && result.fOutput.back() != '\n') std::printf("\n");
  }
  bool asExpected = aExpectFailure ? result.fResult == -1 : result.fResult == 0;
  if (!asExpected)
    std::printf("*** %s answered %d, expected %d\n", aName.c_str(), result.fResult, aExpectFailure ? -1 : 0);
  std::fflush(stdout);
  return asExpected;
}

bool HostScript::RunScript(const std::string& aScriptFile, bool aKeepGoing) {
  std::ifstream script(aScriptFile);
  if (!script) throw std::runtime_error("cannot read " + aScriptFile);
  std::filesystem::path folder = std::filesystem::path(aScriptFile).parent_path();
  bool allAsExpected = true;
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    line = TrimmedLine(line);
    if (line.empty() || line[0] == '#') continue;
    std::size_t blank = line.find_first_of(" \t");
    std::string word = line.substr(0, blank);
    std::string rest = blank == std::string::npos ? std::string() : TrimmedLine(line.substr(blank));
    auto where = [&] { return aScriptFile + ":" + std::to_string(number) + ": "; };
    if (word == "ECHO") {
      std::printf("%s\n", rest.c_str());
      continue;
    }
    if (word == "SMAC") {
      try {
        fLibrary.SetSmacAnswer(ParseSmacAnswer(rest));
      } catch (const std::runtime_error& error) {
        throw std::runtime_error(where() + error.what());
      }
      continue;
    }
    bool expectFailure = !word.empty() && word[0] == '!';
    if (expectFailure) word.erase(0, 1);
    if (!HostLibrary::IsExportName(word)) throw std::runtime_error(where() + "unknown line \"" + line + "\"");
    if (rest.empty()) throw std::runtime_error(where() + word + " needs a request file");
    std::filesystem::path request = rest;
    if (request.is_relative()) request = folder / request;
    if (!RunCall(word, request.string(), expectFailure)) {
      allAsExpected = false;
      if (!aKeepGoing) break;
    }
  }
  return allAsExpected;
}

}  // namespace qzhost
