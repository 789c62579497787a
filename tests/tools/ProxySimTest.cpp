// velmo-proxy-sim as the driver meets it: a loopback connection on a port of its own, one compact JSON
// request written without a terminator, the reply read until the simulator closes.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "ToolsTestSupport.h"

namespace {

using namespace toolstest;
using Json = nlohmann::ordered_json;

const std::string kSale =
    R"({"type":"smac","data":{"isPresent":true,"amount":12.5,"numberPieces":3,"numberDocument":42,"typeDocument":"SC"}})";

// A simulator started with the given options on a free port, its exchange log in a file.
class Simulator {
 public:
  explicit Simulator(std::vector<std::string> aOptions) {
    std::vector<std::string> argv = {ProxySimPath(), "--port", "0", "--log",
                                     (fDir.Path() / "proxy.log").string()};
    argv.insert(argv.end(), aOptions.begin(), aOptions.end());
    fChild = std::make_unique<Child>(argv, fDir.Path() / "stdout");
    std::string line = fChild->FirstLine();
    std::smatch match;
    if (!std::regex_match(line, match, std::regex(R"(listening on 127\.0\.0\.1:(\d+))")))
      throw std::runtime_error("simulator did not start: " + fChild->Output());
    fPort = std::stoi(match[1]);
  }
  int Port() const { return fPort; }
  Child& Process() { return *fChild; }
  std::string Log() const { return ReadFile(fDir.Path() / "proxy.log"); }

 private:
  TempDir fDir;
  std::unique_ptr<Child> fChild;
  int fPort = 0;
};

TEST(ProxySim, AcceptsWithATimeStampOfNowAndATicketNamingTheDocument) {
  Simulator sim({});
  Exchange exchange = Talk(sim.Port(), {kSale});
  ASSERT_TRUE(exchange.fClosedByPeer) << "the close is the driver's only end-of-reply mark";
  Json reply = Json::parse(exchange.fReply);
  EXPECT_EQ(reply["errorId"], 0);
  EXPECT_FALSE(reply.contains("errorMsg"));
  std::string stamp = reply["data"]["timeStamp"];
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)"))) << stamp;
  std::string ticket = reply["data"]["ticketFormat"];
  EXPECT_NE(ticket.find("SC n. 42"), std::string::npos) << ticket;
  EXPECT_NE(ticket.find("12.50"), std::string::npos) << ticket;
  EXPECT_NE(ticket.find("\r\n"), std::string::npos) << "several lines";
  // Each request and reply is logged as it happens.
  EXPECT_NE(sim.Log().find("#1 request: " + kSale), std::string::npos) << sim.Log();
}

TEST(ProxySim, EachBehaviourAnswersAsChosen) {
  struct Case {
    std::vector<std::string> fOptions;
    std::string fExpected;  // the exact reply, or a regular expression when fPattern
    bool fPattern = false;
  };
  const Case cases[] = {
      {{"--mode", "refuse", "--error-id", "7", "--error-msg", "Carta SMAC non valida"},
       R"({"errorId":7,"errorMsg":"Carta SMAC non valida"})"},
      {{"--mode", "no-errormsg", "--error-id", "5"}, R"({"errorId":5})"},
      {{"--mode", "nothing"}, ""},
      {{"--mode", "garbage"}, "<html>this is not the VELMO Proxy</html>"},
      {{"--timestamp-ms-zone"},
       R"(\{"errorId":0,"data":\{"timeStamp":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d","ticketFormat":".*"\}\})",
       true},
  };
  for (const Case& c : cases) {
    Simulator sim(c.fOptions);
    Exchange exchange = Talk(sim.Port(), {kSale});
    EXPECT_TRUE(exchange.fClosedByPeer) << c.fOptions[0];
    if (c.fPattern)
      EXPECT_TRUE(std::regex_match(exchange.fReply, std::regex(c.fExpected))) << exchange.fReply;
    else
      EXPECT_EQ(exchange.fReply, c.fExpected) << c.fOptions[1];
  }
}

TEST(ProxySim, ModesServeTheConnectionsInTurnAndTheLastRepeats) {
  Simulator sim({"--mode", "refuse,accept"});
  EXPECT_EQ(Json::parse(Talk(sim.Port(), {kSale}).fReply)["errorId"], 12);
  EXPECT_EQ(Json::parse(Talk(sim.Port(), {kSale}).fReply)["errorId"], 0);
  EXPECT_EQ(Json::parse(Talk(sim.Port(), {kSale}).fReply)["errorId"], 0);
}

TEST(ProxySim, WaitsForTheWholeObjectWhateverItsPiecesAndBraces) {
  Simulator sim({});
  // Braces and an escaped quote inside a string must not end the request early.
  std::string tricky =
      R"({"type":"smac","data":{"isPresent":false,"amount":0.35,"numberPieces":1,"numberDocument":7,"typeDocument":"G}\"{"}})";
  Exchange exchange = Talk(sim.Port(), {tricky.substr(0, 40), tricky.substr(40, 50), tricky.substr(90)});
  Json reply = Json::parse(exchange.fReply);
  ASSERT_EQ(reply["errorId"], 0) << exchange.fReply;
  EXPECT_NE(reply["data"]["ticketFormat"].get<std::string>().find("G}\"{ n. 7"), std::string::npos);
}

TEST(ProxySim, RefusesRequestsARealProxyWouldNotServe) {
  Simulator sim({});
  const std::string bad[] = {
      R"({"type":"smac", "data":{"isPresent":true,"amount":1,"numberPieces":1,"numberDocument":1,"typeDocument":"SC"}})",
      R"({"data":{"isPresent":true,"amount":1,"numberPieces":1,"numberDocument":1,"typeDocument":"SC"},"type":"smac"})",
      R"({"type":"smac","data":{"isPresent":"yes","amount":1,"numberPieces":1,"numberDocument":1,"typeDocument":"SC"}})",
      R"({"type":"smac","data":{"isPresent":true,"amount":1,"numberPieces":1,"numberDocument":1.5,"typeDocument":"SC"}})",
      R"(["type","smac"])",
  };
  for (const std::string& request : bad) {
    Exchange exchange = Talk(sim.Port(), {request});
    Json reply = Json::parse(exchange.fReply);
    EXPECT_EQ(reply["errorId"], 98) << request;
    EXPECT_TRUE(reply["errorMsg"].get<std::string>().rfind("Richiesta non valida: ", 0) == 0)
        << exchange.fReply;
  }
}

TEST(ProxySim, DelayedAndStalledRepliesAndAPromptCleanStop) {
  Simulator late({"--delay", "400"});
  Exchange delayed = Talk(late.Port(), {kSale});
  EXPECT_GE(delayed.fElapsed.count(), 400);
  EXPECT_EQ(Json::parse(delayed.fReply)["errorId"], 0);

  Simulator stalled({"--mode", "never-close"});
  Exchange open = Talk(stalled.Port(), {kSale}, 700ms);
  EXPECT_FALSE(open.fClosedByPeer) << "never-close keeps the connection";
  EXPECT_EQ(Json::parse(open.fReply)["errorId"], 0) << "the reply itself is complete";

  // SIGTERM ends it cleanly even while a connection is held open.
  std::thread holder([port = stalled.Port()] { Talk(port, {kSale}, 3000ms); });
  std::this_thread::sleep_for(200ms);
  kill(stalled.Process().Pid(), SIGTERM);
  std::optional<int> status = stalled.Process().WaitFor(2000ms);
  holder.join();
  ASSERT_TRUE(status.has_value()) << "still running after SIGTERM";
  EXPECT_EQ(*status, 0);
}

TEST(ProxySim, ABusyPortOrAWrongOptionEndsWithAnError) {
  Simulator first({});
  TempDir dir;
  Child second({ProxySimPath(), "--port", std::to_string(first.Port())}, dir.Path() / "out");
  EXPECT_EQ(second.WaitFor(3000ms), 1);
  EXPECT_NE(second.Output().find("bind"), std::string::npos) << second.Output();

  Child wrong({ProxySimPath(), "--mode", "sometimes"}, dir.Path() / "out2");
  EXPECT_EQ(wrong.WaitFor(3000ms), 2);
  EXPECT_NE(wrong.Output().find("unknown mode \"sometimes\""), std::string::npos);
}

}  // namespace
