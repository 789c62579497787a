// velmo-proxy-sim: a development VELMO Proxy. Listens on 127.0.0.1:5001 (or --port), reads one request per
// connection, answers it the way the command line says and closes the connection.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/velmo-proxy-sim/ProxyServer.h"

namespace {

int gStopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  char byte = 1;
  ssize_t ignored = write(gStopPipe[1], &byte, 1);
  (void)ignored;
}

constexpr const char* kUsage =
    "usage: velmo-proxy-sim [options]\n"
    "  --port N            port to listen on (default 5001; 0 takes a free port)\n"
    "  --address A         IPv4 address to listen on (default 127.0.0.1)\n"
    "  --mode M[,M...]     behaviour of the 1st, 2nd, ... connection; the last repeats (default accept):\n"
    "                        accept       errorId 0, a time stamp of now and a ticket naming the document\n"
    "                        refuse       the --error-id and --error-msg\n"
    "                        no-errormsg  the --error-id without an errorMsg\n"
    "                        garbage      bytes that are not JSON, then close\n"
    "                        nothing      close without answering\n"
    "                        never-close  the accepted reply, and the connection stays open\n"
    "  --delay MS          wait MS milliseconds before answering\n"
    "  --error-id N        errorId of refusals (default 12)\n"
    "  --error-msg TEXT    errorMsg of refusals\n"
    "  --timestamp-ms-zone time stamps with milliseconds and the zone (2024-05-02T09:15:03.120+02:00)\n"
    "  --log FILE          append the exchange log to FILE instead of stderr\n"
    "The first line on standard output names the address and port listened on.\n"
    "SIGTERM or SIGINT ends the simulator.\n";

[[noreturn]] void Usage(const std::string& aProblem) {
  std::fprintf(stderr, "velmo-proxy-sim: %s\n%s", aProblem.c_str(), kUsage);
  std::exit(2);
}

int ParseInteger(const std::string& aOption, const char* aText, int aMin, int aMax) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(aText, &end, 10);
  if (errno != 0 || end == aText || *end != '\0' || value < aMin || value > aMax)
    Usage(aOption + " needs a whole number from " + std::to_string(aMin) + " to " + std::to_string(aMax));
  return static_cast<int>(value);
}

std::vector<velmosim::Behaviour> ParseModes(const std::string& aList) {
  std::vector<velmosim::Behaviour> modes;
  std::size_t start = 0;
  while (start <= aList.size()) {
    std::size_t comma = aList.find(',', start);
    std::string name = aList.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    auto behaviour = velmosim::ParseBehaviour(name);
    if (!behaviour) Usage("unknown mode \"" + name + "\"");
    modes.push_back(*behaviour);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return modes;
}

struct CommandLine {
  velmosim::ServerSettings fSettings;
  std::string fLogFile;
};

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine result;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Usage(option + " needs a value");
      return argv[++i];
    };
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (option == "--port") {
      result.fSettings.fPort = ParseInteger(option, value(), 0, 65535);
    } else if (option == "--address") {
      result.fSettings.fAddress = value();
    } else if (option == "--mode") {
      result.fSettings.fBehaviours = ParseModes(value());
    } else if (option == "--delay") {
      result.fSettings.fDelayMs = ParseInteger(option, value(), 0, 24 * 3600 * 1000);
    } else if (option == "--error-id") {
      result.fSettings.fReply.fErrorId = ParseInteger(option, value(), -2147483647, 2147483647);
    } else if (option == "--error-msg") {
      result.fSettings.fReply.fErrorMsg = value();
    } else if (option == "--timestamp-ms-zone") {
      result.fSettings.fReply.fTimeStampWithMillisecondsAndZone = true;
    } else if (option == "--log") {
      result.fLogFile = value();
    } else {
      Usage("unknown option " + option);
    }
  }
  return result;
}

void InstallStopSignals() {
  if (pipe2(gStopPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine commandLine = ParseCommandLine(argc, argv);
  std::FILE* logFile = stderr;
  if (!commandLine.fLogFile.empty()) {
    logFile = std::fopen(commandLine.fLogFile.c_str(), "a");
    if (logFile == nullptr) {
      std::fprintf(stderr, "velmo-proxy-sim: cannot open %s: %s\n", commandLine.fLogFile.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  try {
    InstallStopSignals();
    velmosim::ExchangeLog log(logFile);
    velmosim::ProxyServer server(commandLine.fSettings, log);
    int port = server.Listen();
    std::printf("listening on %s:%d\n", commandLine.fSettings.fAddress.c_str(), port);
    std::fflush(stdout);
    log.Line("listening on " + commandLine.fSettings.fAddress + ":" + std::to_string(port));
    server.Run(gStopPipe[0]);
    log.Line("stopped");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velmo-proxy-sim: %s\n", error.what());
    return 1;
  }
  if (logFile != stderr) std::fclose(logFile);
  return 0;
}
