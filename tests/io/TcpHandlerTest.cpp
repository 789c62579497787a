// The TCP handler against real peers on the loopback interface.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "LogLines.h"
#include "TestPeer.h"
#include "io/uQZIOHandler.h"
#include "platform/QzError.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kStart = "*************************** START ***************************";
const std::string kStop = "*************************** STOP ****************************";
const std::string kBanner = "*************************************************************";

// A handler logging to its own folder; Lines() destroys it (draining the log) and reads the log back.
class Session {
 public:
  explicit Session(std::uint16_t aPort, int aReadTimeout = 300, const std::string& aHost = "127.0.0.1") {
    fSettings.SetConnectionType(qzConnectionType::TCP);
    fSettings.SetAddress(aHost);
    fSettings.SetPort(aPort);
    fSettings.SetConnectTimeOut(1000);
    fSettings.SetReadTimeOut(aReadTimeout);
    fHandler = std::make_unique<kIOHandler_TCP>(&fSettings, fFolder.Str(), "QZFP_VELMO_10_T");
  }
  kIOHandler_TCP& H() { return *fHandler; }
  // The log after the stop banner, without the start banner and the Connect banner block.
  std::vector<LogLine> Lines() {
    fHandler.reset();
    auto lines = ReadLogLines(fFolder.Files().at(0));
    EXPECT_FALSE(lines.empty());
    if (!lines.empty()) {
      EXPECT_EQ(lines.front(), Info(kStart));
      EXPECT_EQ(lines.back(), Info(kStop));
      lines.erase(lines.begin());
      lines.pop_back();
    }
    std::vector<LogLine> kept;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == Info(kBanner)) {
        i += 6;  // class name, version, the two time-outs, host and port
        continue;
      }
      kept.push_back(lines[i]);
    }
    return kept;
  }

 private:
  TempFolder fFolder;
  kConnection fSettings;
  std::unique_ptr<kIOHandler_TCP> fHandler;
};

long long MillisecondsSince(Clock::time_point aStart) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - aStart).count();
}

TEST(TcpHandlerTest, ExchangeWithAPeerThatAnswersAndCloses) {
  const std::string reply = "{\"Code\":0,\"Ticket\":\"caf\xE9\"}";  // one byte above 127
  TestPeer peer([&reply](int s, TestPeer& p) {
    p.ReceiveAtLeast(s, 5);
    TestPeer::SendAll(s, reply);
  });
  Session session(peer.Port(), 2000);
  kIOHandler_TCP& h = session.H();
  h.SetVersion("QZFP_VELMO_10 1.0.0.0");
  ASSERT_TRUE(h.Connect());
  EXPECT_TRUE(h.Connected());
  h.ClearBuffers();
  EXPECT_TRUE(h.Write("hello"));
  h.SetTemporaryReadTimeout(5000);
  const std::string answer = h.ReadAll();
  h.ResetTemporaryReadTimeout();
  EXPECT_EQ(answer, "{\"Code\":0,\"Ticket\":\"caf\xC3\xA9\"}");  // each byte is the character with its code
  EXPECT_FALSE(h.Connected());  // the peer's close leaves the handler disconnected
  EXPECT_TRUE(h.Disconnect());
  EXPECT_EQ(peer.Received(), "hello");

  const auto lines = session.Lines();
  EXPECT_EQ(lines, (std::vector<LogLine>{Info("Write:hello"), Info("Set Read Timeout to 5000ms from 2000 ms"),
                                         Info("Read:" + answer), Info("Reset Timeout to 2000 ms")}));
}

TEST(TcpHandlerTest, ConnectWritesTheBannerBlockAndKeepsAnOpenConnection) {
  TestPeer peer([](int s, TestPeer& p) { p.ReceiveUntilClosed(s); });
  TempFolder folder;
  kConnection settings;
  settings.SetAddress("localhost");  // resolved, each address tried in turn
  settings.SetPort(peer.Port());
  settings.SetConnectTimeOut(3000);
  {
    kIOHandler_TCP h(&settings, folder.Str(), "D_1");
    h.SetVersion("1.2.3");
    EXPECT_TRUE(h.Connect());
    EXPECT_TRUE(h.Connect());
    EXPECT_TRUE(h.Write("x"));
    EXPECT_TRUE(h.Disconnect());
    EXPECT_FALSE(h.Connected());
  }
  EXPECT_EQ(peer.Received(), "x");
  EXPECT_EQ(peer.Accepted(), 1);
  const std::vector<LogLine> block{Info(kBanner),
                                   Info("kIOHandler_TCP"),
                                   Info("1.2.3"),
                                   Info("ConnectTimeout=3000"),
                                   Info("ReadTimeout=1000"),
                                   Info("Host=localhost"),
                                   Info("Port=" + std::to_string(peer.Port()))};
  std::vector<LogLine> expected{Info(kStart)};
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), block.begin(), block.end());
  expected.push_back(Info("Write:x"));
  expected.push_back(Info(kStop));
  EXPECT_EQ(ReadLogLines(folder.Files().at(0)), expected);
}

TEST(TcpHandlerTest, ConnectFailuresAnswerFalseWithOneErrorLine) {
  // Refused: nothing listens on a port that was just released.
  std::uint16_t closedPort;
  { closedPort = TestPeer(nullptr).Port(); }
  Session refused(closedPort);
  EXPECT_FALSE(refused.H().Connect());
  EXPECT_FALSE(refused.H().Connected());
  EXPECT_EQ(refused.Lines(), (std::vector<LogLine>{Error("Connect Error:Connection refused")}));

  // No answer within the time-out: a listener whose queue is full drops further connection requests.
  TestPeer full(nullptr, 0);
  kConnection filler;
  filler.SetAddress("127.0.0.1");
  filler.SetPort(full.Port());
  kIOHandler_TCP first(&filler, "", "");
  ASSERT_TRUE(first.Connect());
  Session silent(full.Port());
  const auto start = Clock::now();
  EXPECT_FALSE(silent.H().Connect());
  EXPECT_GE(MillisecondsSince(start), 950);
  EXPECT_EQ(silent.Lines(), (std::vector<LogLine>{Error("Connect Timeout:")}));

  // A name that does not resolve.
  Session unknown(5001, 300, "no-such-host.invalid");
  EXPECT_FALSE(unknown.H().Connect());
  const auto lines = unknown.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].Error);
  EXPECT_EQ(lines[0].Body.rfind("Connect Error:", 0), 0u) << lines[0];
  EXPECT_GT(lines[0].Body.size(), std::string("Connect Error:").size());
}

TEST(TcpHandlerTest, ReadAllFromASilentPeerEndsAfterTheReadTimeout) {
  TestPeer peer([](int s, TestPeer& p) { p.ReceiveUntilClosed(s); });
  Session session(peer.Port(), 300);
  ASSERT_TRUE(session.H().Connect());
  const auto start = Clock::now();
  EXPECT_EQ(session.H().ReadAll(), "");
  const auto elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 295);
  EXPECT_LT(elapsed, 3000);
  EXPECT_TRUE(session.H().Connected());  // silence is no close
  EXPECT_EQ(session.Lines(), (std::vector<LogLine>{Error("ReadAll Unexpected error:Read timed out")}));
}

TEST(TcpHandlerTest, ReadAllFromATricklingPeerStopsOnTheFirstByteAfterTheTimeout) {
  const std::string trickle = "0123456789";
  TestPeer peer([&trickle](int s, TestPeer&) {
    for (const char c : trickle) {
      TestPeer::SendAll(s, std::string(1, c));
      std::this_thread::sleep_for(200ms);
    }
  });
  Session session(peer.Port(), 500);
  ASSERT_TRUE(session.H().Connect());
  const std::string first = session.H().ReadAll();
  // Bytes at about 0, 200, 400 and 600 ms: the one past 500 ms ends the read and is kept.
  EXPECT_GE(first.size(), 2u);
  EXPECT_LE(first.size(), 6u);
  EXPECT_EQ(trickle.substr(0, first.size()), first);
  // The rest is still there for the next read, which ends with the peer's close.
  session.H().SetReadTimeout(5000);
  const std::string rest = session.H().ReadAll();
  EXPECT_EQ(first + rest, trickle);
  EXPECT_EQ(session.Lines(), (std::vector<LogLine>{Error("Read Timeout:" + first), Info("Read:" + rest)}));
}

TEST(TcpHandlerTest, APeerThatResetsIsAnErrorLineOrARaisedWriteNeverACrash) {
  // Reset while the handler reads.
  TestPeer reading([](int s, TestPeer& p) {
    p.ReceiveAtLeast(s, 3);
    TestPeer::Reset(s);
  });
  Session session(reading.Port(), 2000);
  ASSERT_TRUE(session.H().Connect());
  session.H().Write("req");
  EXPECT_EQ(session.H().ReadAll(), "");
  EXPECT_FALSE(session.H().Connected());
  EXPECT_EQ(
      session.Lines(),
      (std::vector<LogLine>{Info("Write:req"), Error("ReadAll Unexpected error:Connection reset by peer")}));

  // Reset before the handler writes: the write raises (no SIGPIPE ends the process).
  TestPeer writing([](int s, TestPeer&) { TestPeer::Reset(s); });
  kConnection settings;
  settings.SetAddress("127.0.0.1");
  settings.SetPort(writing.Port());
  kIOHandler_TCP h(&settings, "", "");
  ASSERT_TRUE(h.Connect());
  writing.Join();
  std::this_thread::sleep_for(100ms);
  const std::string big(1 << 20, 'x');
  EXPECT_THROW(
      {
        h.Write(big);
        h.Write(big);
      },
      QzError);
}

TEST(TcpHandlerTest, ReadUpToStopsAtATerminatorAndLeavesTheRest) {
  TestPeer peer([](int s, TestPeer&) {
    TestPeer::SendAll(s, std::string("AB\x03"
                                     "C\nDE"));
  });
  Session session(peer.Port(), 2000);
  kIOHandler_TCP& h = session.H();
  h.SetHexLog(true);
  ASSERT_TRUE(h.Connect());
  EXPECT_FALSE(h.InputBufferContainsData());
  EXPECT_EQ(h.ReadUpTo({3, 10}), "AB\x03");
  EXPECT_TRUE(h.InputBufferContainsData());
  EXPECT_EQ(h.ReadUpTo({3, 10}), "C\n");
  EXPECT_EQ(h.ReadUpTo({3, 10}), "DE");  // the peer closes before a terminator
  EXPECT_EQ(session.Lines(), (std::vector<LogLine>{
                                 Info("Waiting for:\x03,\n [03,0a]"),
                                 Info("Read:AB\x03 [41 42 03]"),
                                 Info("Waiting for:\x03,\n [03,0a]"),
                                 Info("Read:C\n [43 0a]"),
                                 Info("Waiting for:\x03,\n [03,0a]"),
                                 Error("ReadUpTo Unexpected error:Connection closed by peer [" +
                                       kIOHandler::TextToHex("Connection closed by peer") + "]"),
                             }));
}

TEST(TcpHandlerTest, ReadUpToEndsByTimeOutEvenOnATerminator) {
  // Without terminators only the wait for the next byte ends the read; what came is answered.
  TestPeer silent([](int s, TestPeer& p) {
    TestPeer::SendAll(s, "xyz");
    p.ReceiveUntilClosed(s);
  });
  Session first(silent.Port(), 300);
  ASSERT_TRUE(first.H().Connect());
  EXPECT_EQ(first.H().ReadUpTo({}), "xyz");
  EXPECT_EQ(first.Lines(),
            (std::vector<LogLine>{Info("Waiting for:"), Error("ReadUpTo Unexpected error:Read timed out")}));

  // A terminator that arrives after the time-out has passed still ends the read as a time-out.
  TestPeer slow([](int s, TestPeer& p) {
    for (const char c : std::string("ab\n")) {
      TestPeer::SendAll(s, std::string(1, c));
      std::this_thread::sleep_for(400ms);
    }
    p.ReceiveUntilClosed(s);
  });
  Session second(slow.Port(), 600);
  ASSERT_TRUE(second.H().Connect());
  EXPECT_EQ(second.H().ReadUpTo({'\n'}), "ab\n");
  EXPECT_EQ(second.Lines(), (std::vector<LogLine>{Info("Waiting for:\n"), Error("Read Timeout:ab\n")}));
}

TEST(TcpHandlerTest, ClearBuffersDropsWhatArrivedUnread) {
  TestPeer peer([](int s, TestPeer& p) {
    TestPeer::SendAll(s, "old;");
    p.ReceiveAtLeast(s, 1);
    TestPeer::SendAll(s, "new;");
    p.ReceiveUntilClosed(s);
  });
  Session session(peer.Port(), 2000);
  kIOHandler_TCP& h = session.H();
  ASSERT_TRUE(h.Connect());
  EXPECT_EQ(h.ReadChars(1), "o");
  EXPECT_TRUE(h.InputBufferContainsData());
  h.ClearBuffers();
  EXPECT_FALSE(h.InputBufferContainsData());
  h.Write("?");
  EXPECT_EQ(h.ReadUpTo({';'}), "new;");
}

TEST(TcpHandlerTest, ReadCharsTakesExactlyTheCountOrNothing) {
  TestPeer peer([](int s, TestPeer& p) {
    TestPeer::SendAll(s, "12345");
    p.ReceiveUntilClosed(s);
  });
  Session session(peer.Port(), 300);
  kIOHandler_TCP& h = session.H();
  ASSERT_TRUE(h.Connect());
  EXPECT_EQ(h.ReadChars(3), "123");
  EXPECT_EQ(h.ReadChars(5), "");  // only two more arrive: nothing is taken
  EXPECT_EQ(h.ReadChars(0), "");
  h.SetHexLog(true);
  EXPECT_EQ(h.ReadChars(2), "45");  // the two are still there
  const std::string once = "45 [34 35]";
  EXPECT_EQ(session.Lines(), (std::vector<LogLine>{
                                 Info("Read:123"),
                                 Error("ReadChars Unexpected error:Read timed out"),
                                 Info("Read:"),
                                 Info("Read:" + once + " [" + kIOHandler::TextToHex(once) + "]"),
                             }));
}

TEST(TcpHandlerTest, ReadBytesIsRawSilentAndRaises) {
  TestPeer peer([](int s, TestPeer& p) {
    TestPeer::SendAll(s, std::string("\x00\xFF\x80", 3));
    p.ReceiveUntilClosed(s);
  });
  Session session(peer.Port(), 300);
  kIOHandler_TCP& h = session.H();
  ASSERT_TRUE(h.Connect());
  h.TCPClient().SetReadTimeout(300);
  EXPECT_EQ(h.ReadBytes(2), (std::vector<std::uint8_t>{0x00, 0xFF}));
  EXPECT_THROW(h.ReadBytes(2), QzError);
  EXPECT_EQ(h.ReadBytes(1), (std::vector<std::uint8_t>{0x80}));
  EXPECT_TRUE(h.WriteBytes({'O', 'K', 0xE9}));
  EXPECT_EQ(session.Lines(), (std::vector<LogLine>{Info("Write:OK?")}));
  EXPECT_EQ(peer.Received(), "OK\xE9");
}

TEST(TcpHandlerTest, WriteEncodesWithTheCodePage) {
  const std::string text = "a\xE2\x82\xAC\xC3\xA9";  // a, euro sign, e acute
  const struct {
    int CodePage;
    std::string Wire;
  } cases[] = {
      {0, "a?\xE9"},
      {65001, text},
      {1252, "a\x80\xE9"},
      {28591, "a?\xE9"},
  };
  for (const auto& c : cases) {
    TestPeer peer([](int s, TestPeer& p) { p.ReceiveUntilClosed(s); });
    kConnection settings;
    settings.SetAddress("127.0.0.1");
    settings.SetPort(peer.Port());
    {
      kIOHandler_TCP h(&settings, "", "");
      h.SetCodePage(c.CodePage);
      ASSERT_TRUE(h.Connect());
      EXPECT_TRUE(h.Write(text));
    }
    EXPECT_EQ(peer.Received(), c.Wire) << "code page " << c.CodePage;
  }
}

TEST(TcpHandlerTest, WriteWithoutAConnectionRaisesAfterLogging) {
  Session session(1);
  EXPECT_THROW(session.H().Write("lost"), QzError);
  EXPECT_EQ(session.Lines(), (std::vector<LogLine>{Info("Write:lost")}));
}

TEST(TcpHandlerTest, ReadAllCanBeCappedInSize) {
  const std::string reply(100, 'r');
  for (const std::size_t cap : {std::size_t{64}, std::size_t{100}}) {
    TestPeer peer([&reply](int s, TestPeer&) { TestPeer::SendAll(s, reply); });
    Session session(peer.Port(), 2000);
    session.H().SetMaxReadSize(cap);
    ASSERT_TRUE(session.H().Connect());
    const std::string answer = session.H().ReadAll();
    EXPECT_EQ(answer, reply.substr(0, cap));
    const bool exceeded = cap < reply.size();
    EXPECT_EQ(session.H().ReadLimitExceeded(), exceeded);
    const LogLine expected =
        exceeded ? Error("ReadAll Unexpected error:Answer larger than 64 bytes") : Info("Read:" + reply);
    EXPECT_EQ(session.Lines(), (std::vector<LogLine>{expected}));
  }
}

}  // namespace

namespace {

TEST(TcpHandlerTest, AWriteToAPeerThatReadsNothingFailsAfterTheReadTimeout) {
  std::atomic<bool> done{false};
  TestPeer peer([&done](int, TestPeer&) {
    while (!done) std::this_thread::sleep_for(10ms);
  });
  Session session(peer.Port(), 300);
  ASSERT_TRUE(session.H().Connect());
  const std::string flood(64 << 20, 'f');
  try {
    session.H().Write(flood);
    ADD_FAILURE() << "64 MiB went into a peer that reads nothing";
  } catch (const QzError& e) {
    EXPECT_STREQ(e.what(), "Write timed out");
  }
  done = true;
}

}  // namespace
