// The behaviour every handler inherits, shown through the TCP handler (no connection is opened here).

#include <gtest/gtest.h>

#include <memory>

#include "LogLines.h"
#include "io/uQZIOHandler.h"
#include "platform/Currency.h"

namespace {

const std::string kStart = "*************************** START ***************************";
const std::string kStop = "*************************** STOP ****************************";

kConnection Settings(int aReadTimeout = 1000) {
  kConnection c;
  c.SetConnectionType(qzConnectionType::TCP);
  c.SetAddress("127.0.0.1");
  c.SetPort(1);
  c.SetReadTimeOut(aReadTimeout);
  return c;
}

// Runs aUse on a handler logging to a fresh folder and answers the log's lines once the handler is gone.
template <typename F>
std::vector<LogLine> LogOf(F&& aUse, const kConnection& aSettings = Settings()) {
  TempFolder folder;
  std::string fileName;
  {
    kIOHandler_TCP handler(&aSettings, folder.Str(), "QZFP_VELMO_10_7");
    fileName = handler.GetLogFileName();
    aUse(handler);
  }
  const auto files = folder.Files();
  EXPECT_EQ(files.size(), 1u);
  EXPECT_EQ(files.empty() ? std::string() : files[0].string(), fileName);
  return files.empty() ? std::vector<LogLine>{} : ReadLogLines(files[0]);
}

TEST(IOHandlerBaseTest, LogIsNamedDailyAndFramedByStartAndStopBanners) {
  TempFolder folder;
  const kConnection settings = Settings();
  std::string fileName;
  {
    kIOHandler_TCP handler(&settings, folder.Str(), "QZFP_VELMO_10_7");
    fileName = std::filesystem::path(handler.GetLogFileName()).filename().string();
    handler.Debug(let_info, "middle");
  }
  EXPECT_TRUE(std::regex_match(fileName, std::regex(R"(QZFP_VELMO_10_7_\d{8}\.log)"))) << fileName;
  EXPECT_EQ(ReadLogLines(folder.Files().at(0)),
            (std::vector<LogLine>{Info(kStart), Info("middle"), Info(kStop)}));
}

TEST(IOHandlerBaseTest, NoLogWithoutBothDirectoryAndFileName) {
  TempFolder folder;
  const kConnection settings = Settings();
  const std::string missingDirectory = (folder.Path() / "never").string();
  for (const auto& [directory, fileName] : {std::pair<std::string, std::string>{"", "QZFP_VELMO_10_7"},
                                            std::pair<std::string, std::string>{missingDirectory, ""}}) {
    kIOHandler_TCP handler(&settings, directory, fileName);
    EXPECT_EQ(handler.GetLogFileName(), "");
    handler.SetHexLog(true);
    handler.WriteLog(let_error, "Write", "ABC");
    handler.Debug(let_info, "plain");
    handler.SetTemporaryReadTimeout(5000);
    handler.ResetTemporaryReadTimeout();
    EXPECT_EQ(handler.ReadTimeout(), 1000);
  }
  EXPECT_TRUE(folder.Files().empty());
  EXPECT_FALSE(std::filesystem::exists(missingDirectory));
}

TEST(IOHandlerBaseTest, LineBodiesOfWriteLogAndDebug) {
  const auto lines = LogOf([](kIOHandler& h) {
    h.WriteLog(let_info, "Write", "ABC");
    h.SetHexLog(true);
    h.WriteLog(let_info, "Write", "ABC");
    h.WriteLog(let_error, "Empty", "");
    h.Debug(let_info, "never hex");
    h.WriteLog(let_info, "Euro", "\xE2\x82\xAC\t");
  });
  EXPECT_EQ(lines, (std::vector<LogLine>{Info(kStart), Info("Write:ABC"), Info("Write:ABC [41 42 43]"),
                                         Error("Empty: []"), Info("never hex"),
                                         Info("Euro:\xE2\x82\xAC\t [20ac 09]"), Info(kStop)}));
}

TEST(IOHandlerBaseTest, TemporaryReadTimeoutStretchesRestoresAndLogs) {
  std::vector<int> seen;
  const auto lines = LogOf([&seen](kIOHandler& h) {
    h.SetHexLog(true);              // the time-out lines never carry a rendering
    h.ResetTemporaryReadTimeout();  // nothing saved yet: changes nothing
    seen.push_back(h.ReadTimeout());
    h.SetTemporaryReadTimeout(180000);
    seen.push_back(h.ReadTimeout());
    h.SetTemporaryReadTimeout(0);  // refused, but logged
    seen.push_back(h.ReadTimeout());
    h.ResetTemporaryReadTimeout();
    seen.push_back(h.ReadTimeout());
    // No nesting: the second set saves the first stretched value, and the reset restores that one.
    h.SetTemporaryReadTimeout(5000);
    h.SetTemporaryReadTimeout(9000);
    h.ResetTemporaryReadTimeout();
    seen.push_back(h.ReadTimeout());
  });
  EXPECT_EQ(seen, (std::vector<int>{1000, 180000, 180000, 1000, 5000}));
  EXPECT_EQ(lines, (std::vector<LogLine>{
                       Info(kStart),
                       Info("Reset Timeout to 0 ms"),
                       Info("Set Read Timeout to 180000ms from 1000 ms"),
                       Info("Set Read Timeout to 0ms from 180000 ms"),
                       Info("Reset Timeout to 1000 ms"),
                       Info("Set Read Timeout to 5000ms from 1000 ms"),
                       Info("Set Read Timeout to 9000ms from 5000 ms"),
                       Info("Reset Timeout to 5000 ms"),
                       Info(kStop),
                   }));
}

TEST(IOHandlerBaseTest, ErrorStateStaysUntilReset) {
  const kConnection settings = Settings();
  kIOHandler_TCP handler(&settings, "", "");
  EXPECT_FALSE(handler.ErrorFound());
  handler.SetCustomError(101, "Unable to connect to device 127.0.0.1:1");
  handler.Connect();  // fails (nothing listens on port 1) but records nothing itself
  handler.Disconnect();
  EXPECT_TRUE(handler.ErrorFound());
  EXPECT_EQ(handler.ErrorCode(), 101);
  EXPECT_EQ(handler.ErrorMessage(), "Unable to connect to device 127.0.0.1:1");
  handler.ResetCustomError();
  EXPECT_FALSE(handler.ErrorFound());
  EXPECT_EQ(handler.ErrorCode(), 0);
  EXPECT_EQ(handler.ErrorMessage(), "");
}

TEST(IOHandlerBaseTest, TimeOutsAreCopiedOnceFromTheSettings) {
  kConnection settings = Settings(2500);
  settings.SetConnectTimeOut(3000);
  kIOHandler_TCP handler(&settings, "", "");
  settings.SetReadTimeOut(9999);
  EXPECT_EQ(handler.ReadTimeout(), 2500);
  EXPECT_EQ(handler.ConnectTimeout(), 3000);
  EXPECT_EQ(handler.TCPClient().ConnectTimeout(), 3000);
}

TEST(IOHandlerBaseTest, TextToHexRendersUtf16Units) {
  const struct {
    const char* Text;
    const char* Hex;
  } cases[] = {
      {"", ""},
      {"AB\r", "41 42 0d"},
      {"\r\n", "0d 0a"},
      {"\xC3\xA9", "e9"},                 // é: one unit below 256
      {"\xE2\x82\xAC", "20ac"},           // €: four digits
      {"\xC4\x80", "100"},                // Ā: three digits
      {"\xF0\x9F\x98\x80", "d83d de00"},  // outside the basic plane: two units
  };
  for (const auto& c : cases) EXPECT_EQ(kIOHandler::TextToHex(c.Text), c.Hex) << c.Text;
  EXPECT_EQ(kIOHandler::TextToHex(std::string("\0A", 2)), "00 41");
}

TEST(IOHandlerBaseTest, FormatAmountDropsTrailingZeros) {
  const struct {
    std::int64_t Raw;
    const char* Text;
  } cases[] = {{125000, "12.5"}, {30000, "3"}, {-100, "-0.01"}, {0, "0"}, {12345678, "1234.5678"}};
  for (const auto& c : cases) EXPECT_EQ(kIOHandler::FormatAmount(Currency::FromRaw(c.Raw)), c.Text);
}

}  // namespace
