#pragma once
// What the tools' tests share: the built programs, a child process whose standard output is kept in a
// file, a private X server, a screenshot read back as pixels, and loopback exchanges with the simulator.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace toolstest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string ProxySimPath() {
  return std::string(QZ_BINARY_DIR) + "/tools/velmo-proxy-sim/velmo-proxy-sim";
}
inline std::string ConfirmHelperPath() { return std::string(QZ_BINARY_DIR) + "/qzfp-confirm"; }

inline std::string ReadFile(const fs::path& aPath) {
  std::ifstream file(aPath, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void WriteFile(const fs::path& aPath, const std::string& aText) {
  std::ofstream file(aPath, std::ios::binary);
  file << aText;
}

// A fresh folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "qz-tools-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    fPath = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(fPath, ignored);
  }
  const fs::path& Path() const { return fPath; }

 private:
  fs::path fPath;
};

// A child process with its standard output (and error) in a file; killed and reaped when dropped.
class Child {
 public:
  Child(const std::vector<std::string>& aArgv, const fs::path& aOutput,
        const std::vector<std::string>& aEnv = {})
      : fOutput(aOutput) {
    std::vector<std::string> args = aArgv;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envTexts;
    for (char** e = environ; *e != nullptr; ++e) envTexts.push_back(*e);
    for (const auto& e : aEnv) envTexts.push_back(e);
    std::vector<char*> env;
    for (auto& e : envTexts) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, aOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    int error = posix_spawn(&fPid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("cannot start " + aArgv[0]);
  }
  ~Child() {
    if (fPid > 0) {
      kill(fPid, SIGKILL);
      waitpid(fPid, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return fPid; }
  std::string Output() const { return ReadFile(fOutput); }

  // The exit status, or nullopt when the child is still running after aLimit (-1 for a signal).
  std::optional<int> WaitFor(std::chrono::milliseconds aLimit) {
    auto end = std::chrono::steady_clock::now() + aLimit;
    while (true) {
      int status = 0;
      pid_t done = waitpid(fPid, &status, WNOHANG);
      if (done == fPid) {
        fPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (std::chrono::steady_clock::now() > end) return std::nullopt;
      std::this_thread::sleep_for(10ms);
    }
  }

  // Waits until the output holds a complete first line and answers it ("" on time-out).
  std::string FirstLine(std::chrono::milliseconds aLimit = 5000ms) const {
    auto end = std::chrono::steady_clock::now() + aLimit;
    while (std::chrono::steady_clock::now() < end) {
      std::string text = Output();
      std::size_t newline = text.find('\n');
      if (newline != std::string::npos) return text.substr(0, newline);
      std::this_thread::sleep_for(10ms);
    }
    return {};
  }

 private:
  pid_t fPid = -1;
  fs::path fOutput;
};

// A private X server on a display number of its own choosing (-displayfd).
class XServer {
 public:
  // Display numbers are chosen from the process id, away from the low numbers people use, and the next
  // one is tried when taken. (Letting Xvfb search with -displayfd alone is not safe with servers starting
  // in parallel: a server probing a number in use can take the socket file from the one running there.)
  XServer() {
    int first = 1000 + static_cast<int>(getpid() % 20000) * 3;
    for (int number = first; number < first + 30 && fPid < 0; ++number) TryStart(number);
    if (fPid < 0) throw std::runtime_error("cannot start Xvfb");
  }
  ~XServer() {
    kill(fPid, SIGTERM);
    waitpid(fPid, nullptr, 0);
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& Display() const { return fDisplay; }

  // Runs a command with DISPLAY set to this server; answers its standard output.
  std::string Run(const std::string& aCommand) const {
    std::string command = "DISPLAY=" + fDisplay + " " + aCommand;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    pclose(pipe);
    return output;
  }

  // The id of the first window whose name matches aPattern, waiting for it to be shown ("" on time-out).
  std::string FindWindow(const std::string& aPattern, std::chrono::milliseconds aLimit = 10000ms) const {
    auto end = std::chrono::steady_clock::now() + aLimit;
    while (std::chrono::steady_clock::now() < end) {
      std::string ids = Run("xdotool search --onlyvisible --name '" + aPattern + "' 2>/dev/null");
      if (!ids.empty()) return ids.substr(0, ids.find('\n'));
      std::this_thread::sleep_for(50ms);
    }
    return {};
  }

 private:
  void TryStart(int aNumber) {
    if (fs::exists("/tmp/.X" + std::to_string(aNumber) + "-lock")) return;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> args = {"/usr/bin/Xvfb", ":" + std::to_string(aNumber),
                                     "-displayfd",    std::to_string(pipeFds[1]),
                                     "-screen",       "0",
                                     "1024x768x24",   "-nolisten",
                                     "tcp",           "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error != 0) {
      close(pipeFds[0]);
      throw std::runtime_error("cannot start Xvfb");
    }
    // The server writes its display number once it accepts clients; a server that cannot have the number
    // ends without writing it.
    std::string reported;
    char c;
    pollfd watched{pipeFds[0], POLLIN, 0};
    while (poll(&watched, 1, 10000) > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n') reported += c;
    close(pipeFds[0]);
    if (reported != std::to_string(aNumber)) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
      return;
    }
    fPid = pid;
    fDisplay = ":" + reported;
  }

  pid_t fPid = -1;
  std::string fDisplay;
};

struct Pixel {
  int r = -1;
  int g = -1;
  int b = -1;
  bool operator==(const Pixel&) const = default;
};

inline std::ostream& operator<<(std::ostream& aOut, const Pixel& aPixel) {
  return aOut << "(" << aPixel.r << "," << aPixel.g << "," << aPixel.b << ")";
}

// The whole screen, read back from the X server.
class Screenshot {
 public:
  explicit Screenshot(const XServer& aServer) {
    std::string ppm = aServer.Run("xwd -root -silent | convert xwd:- ppm:-");
    std::istringstream in(ppm);
    std::string magic;
    in >> magic;
    // The header's numbers may be preceded by "#" comment lines.
    auto number = [&in] {
      in >> std::ws;
      while (in.peek() == '#') {
        std::string comment;
        std::getline(in, comment);
        in >> std::ws;
      }
      int value = 0;
      in >> value;
      return value;
    };
    fWidth = number();
    fHeight = number();
    int maxValue = number();
    in.get();
    if (magic != "P6" || maxValue != 255) throw std::runtime_error("no screenshot");
    fPixels.assign(std::istreambuf_iterator<char>(in), {});
  }
  Pixel At(int aX, int aY) const {
    std::size_t at = (static_cast<std::size_t>(aY) * fWidth + aX) * 3;
    if (aX < 0 || aY < 0 || aX >= fWidth || aY >= fHeight || at + 2 >= fPixels.size()) return {};
    return {static_cast<unsigned char>(fPixels[at]), static_cast<unsigned char>(fPixels[at + 1]),
            static_cast<unsigned char>(fPixels[at + 2])};
  }
  int Width() const { return fWidth; }
  int Height() const { return fHeight; }

 private:
  int fWidth = 0;
  int fHeight = 0;
  std::string fPixels;
};

// Left and top of a window on the screen.
inline std::pair<int, int> WindowOrigin(const XServer& aServer, const std::string& aWindow) {
  std::string geometry = aServer.Run("xdotool getwindowgeometry " + aWindow);
  int x = -1;
  int y = -1;
  std::size_t at = geometry.find("Position:");
  if (at != std::string::npos) std::sscanf(geometry.c_str() + at, "Position: %d,%d", &x, &y);
  return {x, y};
}

// A window is mapped before it is painted: waits (up to 5 s) until the pixel at aX, aY of the window shows.
inline void WaitUntilPainted(const XServer& aServer, const std::string& aWindow, Pixel aExpected, int aX = 2,
                             int aY = 2) {
  auto [x, y] = WindowOrigin(aServer, aWindow);
  for (int i = 0; i < 100 && Screenshot(aServer).At(x + aX, y + aY) != aExpected; ++i)
    std::this_thread::sleep_for(50ms);
}

// One exchange with a listening simulator: sends aRequest (in pieces, with a pause between, when asked),
// keeps the connection open as the driver does, and reads until the simulator closes or aLimit passes.
struct Exchange {
  std::string fReply;
  bool fClosedByPeer = false;
  std::chrono::milliseconds fElapsed{0};
};

inline Exchange Talk(int aPort, const std::vector<std::string>& aPieces,
                     std::chrono::milliseconds aLimit = 5000ms) {
  Exchange result;
  int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(aPort));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  auto start = std::chrono::steady_clock::now();
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(sock);
    throw std::runtime_error("cannot connect to the simulator");
  }
  for (std::size_t i = 0; i < aPieces.size(); ++i) {
    if (i > 0) std::this_thread::sleep_for(150ms);
    send(sock, aPieces[i].data(), aPieces[i].size(), MSG_NOSIGNAL);
  }
  auto end = start + aLimit;
  char buffer[4096];
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd watched{sock, POLLIN, 0};
    if (poll(&watched, 1, static_cast<int>(left.count())) <= 0) break;
    ssize_t count = recv(sock, buffer, sizeof buffer, 0);
    if (count <= 0) {
      result.fClosedByPeer = true;
      break;
    }
    result.fReply.append(buffer, static_cast<std::size_t>(count));
  }
  result.fElapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  close(sock);
  return result;
}

}  // namespace toolstest
