#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/QzError.h"
#include "support/uQZ_LogWriter.h"

namespace fs = std::filesystem;

namespace {

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qz_logwriter_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fRoot = pattern;
  }
  void TearDown() override { fs::remove_all(fRoot); }

  static std::string ReadFile(const fs::path& aPath) {
    std::ifstream file(aPath, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }

  // The lines of a file without their CR LF ends; fails the test on a line not ended by CR LF.
  static std::vector<std::string> ReadLines(const fs::path& aPath) {
    const std::string content = ReadFile(aPath);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
      const auto end = content.find("\r\n", start);
      if (end == std::string::npos) {
        ADD_FAILURE() << "unterminated line: " << content.substr(start);
        break;
      }
      lines.push_back(content.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // The message part of a line, after the time stamp and the separator.
  static std::string MessageOf(const std::string& aLine) {
    const auto separator = aLine.find(" - ");
    return separator == std::string::npos ? std::string() : aLine.substr(separator + 3);
  }

  fs::path fRoot;
};

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[9];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

TEST_F(LogWriterTest, FileNamesAndFolderCreation) {
  const fs::path folder = fRoot / "LogFiles" / "FiscalPrinter";
  {
    tQZ_LogWriter daily("QZFP_VELMO_10_7", folder.string(), 0, true);
    EXPECT_TRUE(fs::is_directory(folder));
    const std::string today = Today();
    EXPECT_EQ(daily.FileName(), (folder / ("QZFP_VELMO_10_7_" + today + ".log")).string());
    // Creating the writer creates no file: only a line does.
    EXPECT_FALSE(fs::exists(daily.FileName()));
  }
  tQZ_LogWriter plain("pos", fRoot.string() + "/", 0, false);
  EXPECT_EQ(plain.FileName(), (fRoot / "pos.log").string());
  EXPECT_EQ(plain.GetLogFileSize(), -1);
  EXPECT_TRUE(plain.CheckLogfileSize());
  EXPECT_EQ(plain.MaxLogFileSize(), 5000);
}

TEST_F(LogWriterTest, LinesCarryTimeStampSeparatorAndUtf8WithCrLf) {
  std::string fileName;
  {
    tQZ_LogWriter writer("app", fRoot.string(), 0, false);
    fileName = writer.FileName();
    writer.Write(let_info, "Write:{\"amount\":12.5}");
    writer.Write(let_error, "Unable to connect to device localhost:5001");
    writer.Write(let_info, "Caffè € 😀 Ελλάδα");
  }
  const std::string content = ReadFile(fileName);
  ASSERT_GE(content.size(), 3u);
  EXPECT_NE(content.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
  const std::vector<std::string> lines = ReadLines(fileName);
  ASSERT_EQ(lines.size(), 3u);
  const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}( - ERROR - | - )(.*)$)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match, stamp)) << lines[0];
  EXPECT_EQ(match[1], " - ");
  EXPECT_EQ(match[2], "Write:{\"amount\":12.5}");
  ASSERT_TRUE(std::regex_match(lines[1], match, stamp)) << lines[1];
  EXPECT_EQ(match[1], " - ERROR - ");
  EXPECT_EQ(match[2], "Unable to connect to device localhost:5001");
  EXPECT_EQ(MessageOf(lines[2]), "Caffè € 😀 Ελλάδα");
}

TEST_F(LogWriterTest, MessageLengthLimitCountsUtf16Units) {
  std::string limitedName;
  std::string unlimitedName;
  const std::string longMessage(70000, 'x');
  {
    tQZ_LogWriter limited("limited", fRoot.string(), 10, false);
    tQZ_LogWriter unlimited("unlimited", fRoot.string(), 0, false);
    limitedName = limited.FileName();
    unlimitedName = unlimited.FileName();
    limited.Write(let_info, "ABCDEFGHIJKLMN");
    limited.Write(let_info, "èèèèèèèèè😀😀");  // nine 2-byte characters, then a pair cut in half
    limited.Write(let_info, "short");
    unlimited.Write(let_info, longMessage);
  }
  const std::vector<std::string> lines = ReadLines(limitedName);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(MessageOf(lines[0]), "ABCDEFGHIJ");
  EXPECT_EQ(MessageOf(lines[1]), "èèèèèèèèè\uFFFD");
  EXPECT_EQ(MessageOf(lines[2]), "short");
  const std::vector<std::string> unlimitedLines = ReadLines(unlimitedName);
  ASSERT_EQ(unlimitedLines.size(), 1u);
  EXPECT_EQ(MessageOf(unlimitedLines[0]), longMessage);
}

TEST_F(LogWriterTest, ExistingFileIsAppendedNeverTruncated) {
  const fs::path file = fRoot / "app.log";
  std::ofstream(file, std::ios::binary) << "earlier line\r\n";
  {
    tQZ_LogWriter writer("app", fRoot.string(), 0, false);
    writer.Write(let_info, "later line");
  }
  const std::vector<std::string> lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "earlier line");
  EXPECT_EQ(MessageOf(lines[1]), "later line");
}

TEST_F(LogWriterTest, RotatesOnlyAboveTheLimit) {
  const fs::path file = fRoot / "DRV_7.log";
  const auto rotatedFiles = [&] {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(fRoot)) {
      if (entry.path() != file) found.push_back(entry.path());
    }
    return found;
  };

  std::ofstream(file).close();
  fs::resize_file(file, 5120000);  // exactly the limit: kept
  {
    tQZ_LogWriter writer("DRV_7", fRoot.string(), 0, false);
    writer.Write(let_info, "at the limit");
  }
  EXPECT_TRUE(rotatedFiles().empty());
  EXPECT_GT(fs::file_size(file), 5120000u);

  fs::resize_file(file, 5120001);  // one byte over: moved aside before the next line
  {
    tQZ_LogWriter writer("DRV_7", fRoot.string(), 0, false);
    writer.Write(let_info, "first line of a new file");
    writer.Write(let_info, "second line");
  }
  const std::vector<fs::path> rotated = rotatedFiles();
  ASSERT_EQ(rotated.size(), 1u);
  EXPECT_TRUE(std::regex_match(rotated[0].filename().string(), std::regex(R"(DRV_7_\d{17}\.log)")))
      << rotated[0];
  EXPECT_EQ(fs::file_size(rotated[0]), 5120001u);
  const std::vector<std::string> lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(MessageOf(lines[0]), "first line of a new file");
}

TEST_F(LogWriterTest, RotationNameKeepsTheDailyNameAndNeverOverwrites) {
  const int lines = 200;
  {
    tQZ_LogWriter writer("DRV_7", fRoot.string(), 0, true);
    writer.SetMaxLogFileSize(0);  // every non-empty file is over the limit
    for (int i = 0; i < lines; ++i) writer.Write(let_info, "line " + std::to_string(i));
  }
  // Each line went to a file of its own; several rotations fall in one millisecond, and none of them may
  // replace an earlier rotated file.
  int found = 0;
  const std::regex rotatedName("DRV_7_" + Today() + R"(_\d{17}\.log)");
  for (const auto& entry : fs::directory_iterator(fRoot)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "DRV_7_" + Today() + ".log" || std::regex_match(name, rotatedName)) << name;
    found += static_cast<int>(ReadLines(entry.path()).size());
  }
  EXPECT_EQ(found, lines);
}

TEST_F(LogWriterTest, DestroyDrainsEveryQueuedLineInOrder) {
  std::string fileName;
  const int count = 5000;
  {
    tQZ_LogWriter writer("drain", fRoot.string(), 0, false);
    fileName = writer.FileName();
    for (int i = 0; i < count; ++i) writer.Write(i % 2 ? let_error : let_info, std::to_string(i));
  }
  const std::vector<std::string> lines = ReadLines(fileName);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    ASSERT_TRUE(lines[i].ends_with((i % 2 ? " - ERROR - " : " - ") + std::to_string(i))) << lines[i];
  }
}

TEST_F(LogWriterTest, TwoWritersOnOneFileNeverMixTheirLines) {
  std::string fileName;
  {
    tQZ_LogWriter first("shared", fRoot.string(), 0, false);
    tQZ_LogWriter second("shared", fRoot.string(), 0, false);
    fileName = first.FileName();
    std::thread other([&] {
      for (int i = 0; i < 1000; ++i) second.Write(let_info, "second " + std::string(200, 'b'));
    });
    for (int i = 0; i < 1000; ++i) first.Write(let_info, "first " + std::string(200, 'a'));
    other.join();
  }
  int firsts = 0;
  int seconds = 0;
  for (const std::string& line : ReadLines(fileName)) {
    const std::string message = MessageOf(line);
    firsts += message == "first " + std::string(200, 'a');
    seconds += message == "second " + std::string(200, 'b');
  }
  EXPECT_EQ(firsts, 1000);
  EXPECT_EQ(seconds, 1000);
}

// No handle is held while the writer is idle, so the file can be moved away from outside and the next line
// starts a new one.
TEST_F(LogWriterTest, IdleWriterHoldsNoHandle) {
  auto writer = std::make_unique<tQZ_LogWriter>("idle", fRoot.string(), 0, false);
  writer->Write(let_info, "one");
  const fs::path file = writer->FileName();
  for (int i = 0; i < 200 && !fs::exists(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ignored;
    EXPECT_NE(fs::read_symlink(entry.path(), ignored), file);
  }
  fs::rename(file, fRoot / "moved.log");
  writer->Write(let_info, "two");
  writer.reset();
  EXPECT_EQ(ReadLines(fRoot / "moved.log").size(), 1u);
  ASSERT_EQ(ReadLines(file).size(), 1u);
  EXPECT_EQ(MessageOf(ReadLines(file)[0]), "two");
}

TEST_F(LogWriterTest, FileNameAndDirectoryProperties) {
  tQZ_LogWriter writer("app", (fRoot / "Logs").string(), 0, false);
  writer.SetFileName("/elsewhere/Other/x.txt");
  EXPECT_EQ(writer.FileName(), (fRoot / "Logs" / "x.txt").string());
  writer.SetDirectory((fRoot / "New" / "Deeper").string());
  EXPECT_TRUE(fs::is_directory(fRoot / "New" / "Deeper"));
  EXPECT_EQ(writer.FileName(), (fRoot / "New" / "Deeper" / "x.txt").string());
  EXPECT_THROW(writer.SetDirectory(""), QzError);
  EXPECT_THROW(tQZ_LogWriter("app", "", 0, false), QzError);
}

TEST_F(LogWriterTest, UnwritableFolderDropsLinesWithoutReporting) {
  const fs::path blocker = fRoot / "not-a-folder";
  std::ofstream(blocker) << "x";
  {
    tQZ_LogWriter writer("app", (blocker / "Logs").string(), 0, false);
    EXPECT_NO_THROW(writer.Write(let_error, "lost after ten attempts"));
  }
  EXPECT_FALSE(fs::exists(blocker / "Logs"));
}

}  // namespace
