// The till day as an integrator first meets it: qzfp-host driving the built library against
// velmo-proxy-sim on 127.0.0.1:5001, and the SMAC question put on a real screen by the qzfp-confirm helper
// the library finds beside itself.

#include <gtest/gtest.h>

#include <regex>

#include "tools/ToolsTestSupport.h"

namespace {

using namespace toolstest;

std::string HostPath() { return std::string(QZ_BINARY_DIR) + "/tools/qzfp-host/qzfp-host"; }

TEST(TillDay, TheScriptRunsAWholeDayAndChecksWhatItLeft) {
  TempDir dir;
  std::string command = "QZ_BUILD_DIR='" + std::string(QZ_BINARY_DIR) + "' QZ_SKIP_BUILD=1 TILL_DAY_DIR='" +
                        (dir.Path() / "day").string() + "' '" + QZ_SOURCE_DIR + "/scripts/till-day.sh' > '" +
                        (dir.Path() / "out").string() + "' 2>&1";
  int status = std::system(command.c_str());
  std::string output = ReadFile(dir.Path() / "out");
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find("till-day: OK"), std::string::npos) << output;
  // The host's view of the day: eight calls, all answered 0, the handle of OPEN carried to the others.
  EXPECT_EQ(std::regex_search(output, std::regex("Result: -1")), false) << output;
  EXPECT_NE(output.find("Handle: 1"), std::string::npos);
  EXPECT_NE(output.find("<DayReceiptsNumber>4</DayReceiptsNumber>"), std::string::npos) << output;
  EXPECT_NE(output.find("Z-REPORT # 0001"), std::string::npos) << output;
}

TEST(TillDay, AScriptStopsAtTheFirstUnexpectedAnswerAndSaysSo) {
  TempDir dir;
  fs::create_directories(dir.Path() / "app");
  WriteFile(dir.Path() / "bad.xml", "<ReceiptPrinterManager><Driver/></ReceiptPrinterManager>");
  WriteFile(dir.Path() / "day.qzh", "!PROCESSRECEIPT bad.xml\nOPEN " + std::string(QZ_SOURCE_DIR) +
                                        "/examples/open.xml\nPROCESSZREPORT bad.xml\nPROCESSGETSTATUS " +
                                        QZ_SOURCE_DIR + "/examples/status.xml\n");
  Child host({HostPath(), "--data-root", (dir.Path() / "data").string() + "/", "--app-dir",
              (dir.Path() / "app").string() + "/", "--script", (dir.Path() / "day.qzh").string()},
             dir.Path() / "out");
  EXPECT_EQ(host.WaitFor(30000ms), 1);
  std::string output = host.Output();
  EXPECT_NE(output.find("=== OPEN"), std::string::npos) << "an expected failure lets the script go on";
  EXPECT_NE(output.find("*** PROCESSZREPORT answered -1, expected 0"), std::string::npos) << output;
  EXPECT_EQ(output.find("=== PROCESSGETSTATUS"), std::string::npos) << "stopped at the unexpected answer";
}

TEST(TillDay, OneCallFromTheCommandLineAndItsFailures) {
  TempDir dir;
  const std::string status = std::string(QZ_SOURCE_DIR) + "/examples/status.xml";
  struct Case {
    std::vector<std::string> fArguments;
    int fExit;
    std::string fShown;
  };
  const Case cases[] = {
      // No handle: the status reply with its initial values.
      {{"--handle", "0", "PROCESSGETSTATUS", status},
       0,
       "<DayOpened>False</DayOpened><DateTime>1899-12-30T00:00:00"},
      {{"--handle", "7", "PROCESSGETSTATUS", status}, 1, "Error: Processor Handle not found"},
      {{"--library", (dir.Path() / "missing.so").string(), "PROCESSGETSTATUS", status}, 2, "missing.so"},
      {{"PROCESSNOTHING", status}, 2, "no export named PROCESSNOTHING"},
      {{"--smac", "perhaps", "PROCESSGETSTATUS", status}, 2, "yes, no, cancel or helper"},
      {{"PROCESSGETSTATUS", (dir.Path() / "none.xml").string()}, 2, "cannot read"},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::vector<std::string> argv = {HostPath(), "--data-root", (dir.Path() / "data").string() + "/",
                                     "--app-dir", dir.Path().string() + "/"};
    argv.insert(argv.end(), c.fArguments.begin(), c.fArguments.end());
    Child host(argv, dir.Path() / ("out" + std::to_string(++n)));
    EXPECT_EQ(host.WaitFor(30000ms), c.fExit) << c.fShown << "\n" << host.Output();
    EXPECT_NE(host.Output().find(c.fShown), std::string::npos) << host.Output();
  }
}

TEST(TillDay, TheSmacQuestionIsAskedOnScreenByTheHelperBesideTheLibrary) {
  TempDir dir;
  XServer x;
  Child proxy({ProxySimPath(), "--log", (dir.Path() / "proxy.log").string()}, dir.Path() / "proxy.out");
  ASSERT_NE(proxy.FirstLine().find("127.0.0.1:5001"), std::string::npos) << proxy.Output();
  fs::create_directories(dir.Path() / "app");
  WriteFile(dir.Path() / "day.qzh", "OPEN " + std::string(QZ_SOURCE_DIR) +
                                        "/examples/open.xml\nPROCESSRECEIPT " + QZ_SOURCE_DIR +
                                        "/examples/sale.xml\n");
  // No callback and no QZFP_CONFIRM_PROGRAM: the library must find build/qzfp-confirm itself.
  Child host({"/usr/bin/env", "-u", "QZFP_CONFIRM_PROGRAM", "DISPLAY=" + x.Display(), HostPath(), "--library",
              QZ_LIBRARY_PATH, "--data-root", (dir.Path() / "data").string() + "/", "--app-dir",
              (dir.Path() / "app").string() + "/", "--script", (dir.Path() / "day.qzh").string()},
             dir.Path() / "host.out");
  std::string window = x.FindWindow("^Conferma utilizzo SMAC$");
  ASSERT_FALSE(window.empty()) << host.Output();
  WaitUntilPainted(x, window, Pixel{12, 25, 117});
  EXPECT_EQ(ReadFile(dir.Path() / "proxy.log").find("request"), std::string::npos)
      << "the cashier is asked before the proxy";
  x.Run("xdotool mousemove --window " + window + " 450 350 click 1");  // No
  ASSERT_EQ(host.WaitFor(30000ms), 0) << host.Output();
  EXPECT_NE(ReadFile(dir.Path() / "proxy.log").find(R"("isPresent":false,"amount":12.5)"), std::string::npos)
      << ReadFile(dir.Path() / "proxy.log");
  EXPECT_NE(host.Output().find("<Number>1</Number>"), std::string::npos) << host.Output();
  kill(proxy.Pid(), SIGTERM);
  EXPECT_EQ(proxy.WaitFor(3000ms), 0);
}

}  // namespace
