// PROCESSRECEIPT through the loaded library against the development proxy on 127.0.0.1:5001, the SMAC
// question answered through the host callback export.

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <regex>

#include "LibraryFixture.h"

namespace qze2e {
namespace {

// velmo-proxy-sim on the fixed proxy port for one test; stopped (SIGTERM) at the end.
class ProxySimulator {
 public:
  explicit ProxySimulator(std::vector<std::string> aOptions) {
    fLog = Folders::Get().Root / ("proxy-" + std::to_string(++fCount) + ".log");
    std::vector<std::string> args = {QZ_BINARY_DIR "/tools/velmo-proxy-sim/velmo-proxy-sim", "--log",
                                     fLog.string()};
    args.insert(args.end(), aOptions.begin(), aOptions.end());
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    fPid = fork();
    if (fPid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    // The first line on its standard output says it listens.
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') {
    }
    close(out[0]);
  }
  ~ProxySimulator() {
    kill(fPid, SIGTERM);
    int status = 0;
    waitpid(fPid, &status, 0);
  }
  std::string Log() const { return ReadFile(fLog); }

 private:
  static inline int fCount = 0;
  pid_t fPid = -1;
  fs::path fLog;
};

// The host's answerer: records each question and answers what the test set.
struct Questions {
  int Answer = 0;  // 0 Yes, 1 No, 2 Cancel
  int Asked = 0;
  std::string Title, Message;
  unsigned Options = 0, Color = 0;
};
Questions gQuestions;

extern "C" int AnswerQuestion(void*, const char* aTitle, const char* aMessage, unsigned aOptions,
                              unsigned aColor) {
  ++gQuestions.Asked;
  gQuestions.Title = aTitle;
  gQuestions.Message = aMessage;
  gQuestions.Options = aOptions;
  gQuestions.Color = aColor;
  return gQuestions.Answer;
}

std::string ReceiptBody(const std::string& aType, const std::string& aSubType, const std::string& aTotal,
                        const std::string& aExtra = "",
                        const std::string& aTrailer =
                            "<TrailerMessages><Text><Alignment>Left</Alignment>"
                            "<Value>Grazie</Value><Size>1</Size></Text></TrailerMessages>") {
  return "<Receipt><Type>" + aType + "</Type><SubType>" + aSubType + "</SubType><TotalAmount>" + aTotal +
         "</TotalAmount>" + aExtra +
         "<Lines><ProductSale><Description>Caff\xC3\xA8 \xE2\x82\xAC</Description><Quantity>2</Quantity>"
         "<Amount>" +
         aTotal +
         "</Amount></ProductSale><ProductSale><Quantity>1</Quantity></ProductSale></Lines>"
         "<Taxes/><Payments><Payment><Type>Cash</Type><Amount>" +
         aTotal + "</Amount></Payment></Payments>" + aTrailer + "</Receipt>";
}

class Receipts : public ::testing::Test {
 protected:
  void SetUp() override {
    auto setCallback =
        reinterpret_cast<void (*)(int (*)(void*, const char*, const char*, unsigned, unsigned), void*)>(
            Library::Get().Symbol("QZFP_SetConfirmCallback"));
    ASSERT_NE(setCallback, nullptr);
    setCallback(&AnswerQuestion, nullptr);
    gQuestions = Questions();
    std::ofstream(Folders::Get().AppDir / "QZPA_VELMO_10.ini")
        << "[Other]\r\nGift=XX\r\n[ReceiptSubTypes]\r\nNoEquals\r\nGift=GC\r\nGift=G2\r\nTicket=TK\r\n";
    fTill = NewTill("R");
    OpenTill(fTill);
  }

  Reply Send(const std::string& aBody) {
    return Library::Get().Call(Library::Export::PROCESSRECEIPT, fTill.Request("PROCESSRECEIPT", aBody));
  }
  std::string Counters() const { return ReadFile(fTill.CountersFile()); }
  std::vector<fs::path> Journal() const {
    std::vector<fs::path> files;
    if (fs::exists(fTill.ProcessedToday()))
      for (auto& entry : fs::directory_iterator(fTill.ProcessedToday()))
        files.push_back(entry.path().filename());
    return files;
  }

  Till fTill;
};

TEST_F(Receipts, SaleAskedAndFiscalisedComesBackJournaledAndCounted) {
  ProxySimulator proxy({"--mode", "accept"});
  Reply reply = Send(
      ReceiptBody("Sale", "GIFT", "12.50", "<Number>99</Number><DateTime>2020-01-01T00:00:00</DateTime>"));
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_TRUE(reply.ErrorNull);

  EXPECT_EQ(gQuestions.Asked, 1);
  EXPECT_EQ(gQuestions.Title, "Conferma utilizzo SMAC");
  EXPECT_EQ(gQuestions.Message, "Il cliente dispone di una SMAC Card?");
  EXPECT_EQ(gQuestions.Options, 3u);
  EXPECT_EQ(gQuestions.Color, 0xF77F00u);
  EXPECT_NE(proxy.Log().find(R"({"type":"smac","data":{"isPresent":true,"amount":12.5,"numberPieces":3,)"
                             R"("numberDocument":1,"typeDocument":"GC"}})"),
            std::string::npos)
      << proxy.Log();

  const std::string& out = reply.Output;
  EXPECT_EQ(ElementText(out, "Number"), "1");
  EXPECT_TRUE(
      std::regex_search(out, std::regex("<DateTime>20[0-9]{2}-[0-9]{2}-[0-9]{2}T[0-9:]{8}</DateTime>")));
  EXPECT_EQ(out.find("2020-01-01"), std::string::npos);
  EXPECT_EQ(out.find("<Number>", out.find("<Number>") + 1), std::string::npos) << "one Number only";
  EXPECT_EQ(ElementText(out, "ZReportNumber"), "1");
  // The ticket, framed by two empty lines, comes before the host's own trailer line; EURO leads.
  const std::size_t trailer = out.find("<TrailerMessages>");
  ASSERT_NE(trailer, std::string::npos);
  const std::string empty = "<Text><Alignment>Center</Alignment><Value></Value><Size>1</Size></Text>";
  const std::string emptyShort = "<Text><Alignment>Center</Alignment><Value/><Size>1</Size></Text>";
  const std::size_t firstLine = out.find("<Text>", trailer);
  EXPECT_TRUE(out.compare(firstLine, empty.size(), empty) == 0 ||
              out.compare(firstLine, emptyShort.size(), emptyShort) == 0)
      << out.substr(firstLine, 80);
  EXPECT_LT(out.find("Alignment>Center"), out.find("<Value>Grazie</Value>"));
  EXPECT_NE(out.find("<LeaderLines><Text><Alignment>Right</Alignment><Value>EURO</Value><Size>1</Size></"
                     "Text></LeaderLines>"),
            std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 2), "\r\n");

  // The journal holds the same text, in UTF-8, named Z number - receipt number.
  const fs::path journal = fTill.ProcessedToday() / "0001-0001.fprd";
  ASSERT_TRUE(fs::exists(journal));
  EXPECT_EQ(ReadFile(journal), out);
  EXPECT_NE(ReadFile(journal).find("Caff\xC3\xA8 \xE2\x82\xAC"), std::string::npos);

  EXPECT_EQ(ElementText(Counters(), "CurrentReceiptNo"), "1");
  EXPECT_EQ(ElementText(Counters(), "DailySales"), "12.5");
  EXPECT_NE(WaitForFileText(fTill.LogFile(), "PROCESSRECEIPT:Updated Receipt:").find("PROCESSRECEIPT:END"),
            std::string::npos);
}

TEST_F(Receipts, DocumentTypeAndCardAnswerReachTheProxy) {
  ProxySimulator proxy({"--mode", "accept"});
  struct Case {
    const char* type;
    const char* subType;
    const char* total;
    int answer;
    const char* request;
    const char* counter;
  } cases[] = {
      {"Refund", "Gift", "12.50", 0,
       R"("isPresent":true,"amount":12.5,"numberPieces":3,"numberDocument":1,"typeDocument":"RS")",
       "DailyRefunds"},
      {"Sale", "", "-7.25", 1,
       R"("isPresent":false,"amount":7.25,"numberPieces":3,"numberDocument":2,"typeDocument":"RS")",
       "DailySales"},
      {"Sale", "Unknown", "10.00", 2,
       R"("isPresent":false,"amount":10,"numberPieces":3,"numberDocument":3,"typeDocument":"SC")",
       "DailySales"},
      {"Void", "Ticket", "1.00", 0, R"("amount":1,"numberPieces":3,"numberDocument":4,"typeDocument":"RS")",
       "DailyVoids"},
      {"Sale", "ticket", "0.35", 0,
       R"("amount":0.35,"numberPieces":3,"numberDocument":5,"typeDocument":"TK")", "DailySales"},
  };
  for (const auto& c : cases) {
    gQuestions.Answer = c.answer;
    Reply reply = Send(ReceiptBody(c.type, c.subType, c.total));
    ASSERT_EQ(reply.Result, 0) << c.type << " " << reply.Error;
    EXPECT_NE(proxy.Log().find(c.request), std::string::npos) << c.request << "\n" << proxy.Log();
  }
  EXPECT_EQ(ElementText(Counters(), "DailyRefunds"), "12.5");
  EXPECT_EQ(ElementText(Counters(), "DailyVoids"), "1");
  EXPECT_EQ(ElementText(Counters(), "DailySales"), "17.6");
  EXPECT_EQ(ElementText(Counters(), "CurrentReceiptNo"), "5");
}

TEST_F(Receipts, ZeroTotalAndSmacPaymentSkipQuestionAndProxy) {
  // No proxy runs: a receipt that needs none must not try to connect.
  Reply zero = Send(ReceiptBody("Sale", "", "0", "", ""));
  ASSERT_EQ(zero.Result, 0) << zero.Error;
  Reply smac = Send(ReceiptBody("Sale", "SmacPayment", "25.00"));
  ASSERT_EQ(smac.Result, 0) << smac.Error;
  EXPECT_EQ(gQuestions.Asked, 0);

  EXPECT_EQ(ElementText(zero.Output, "Number"), "1");
  EXPECT_EQ(ElementText(zero.Output, "DateTime"), "1899-12-30T00:00:00");
  // Without TrailerMessages the element is created at the end and holds only the two empty lines.
  const std::size_t trailer = zero.Output.find("<TrailerMessages>");
  ASSERT_NE(trailer, std::string::npos);
  const std::string trailerText =
      zero.Output.substr(trailer, zero.Output.find("</TrailerMessages>") - trailer);
  const std::string emptyLine = "<Text><Alignment>Center</Alignment><Value></Value><Size>1</Size></Text>";
  EXPECT_EQ(trailerText, "<TrailerMessages>" + emptyLine + emptyLine);
  EXPECT_EQ(zero.Output.find("</TrailerMessages>") + 18, zero.Output.find("<LeaderLines>")) << zero.Output;
  EXPECT_EQ(ElementText(smac.Output, "Number"), "2");
  EXPECT_EQ(ElementText(Counters(), "DailySales"), "25");
  EXPECT_EQ(Journal().size(), 2u);
  EXPECT_NE(WaitForFileText(fTill.LogFile(), "END [Zero Amount]").find("PROCESSRECEIPT:END [Zero Amount]"),
            std::string::npos);
}

TEST_F(Receipts, FailedExchangesCountNothingAndJournalNothing) {
  struct Case {
    std::vector<std::string> proxy;  // empty: no proxy at all
    const char* error;
  } cases[] = {
      {{}, "Unable to connect to device localhost:5001"},
      {{"--mode", "refuse", "--error-id", "7", "--error-msg", "Carta SMAC non valida"},
       "Carta SMAC non valida"},
      {{"--mode", "no-errormsg", "--error-id", "5"}, "Value 'errorMsg' not found"},
      {{"--mode", "garbage"}, "Invalid reply from Velmo Proxy: the reply is not JSON"},
      {{"--mode", "nothing"}, "Invalid reply from Velmo Proxy: the reply is empty"},
  };
  const std::string countersBefore = Counters();
  for (const auto& c : cases) {
    std::unique_ptr<ProxySimulator> proxy;
    if (!c.proxy.empty()) proxy = std::make_unique<ProxySimulator>(c.proxy);
    const int asked = gQuestions.Asked;
    Reply reply = Send(ReceiptBody("Sale", "", "3.00"));
    EXPECT_EQ(reply.Result, -1);
    EXPECT_EQ(reply.Error, c.error);
    EXPECT_TRUE(reply.OutputNull);
    EXPECT_EQ(gQuestions.Asked, asked + 1) << "the question comes before any connection";
    EXPECT_EQ(Counters(), countersBefore);
    EXPECT_TRUE(Journal().empty());
  }
  EXPECT_NE(WaitForFileText(fTill.LogFile(), "Carta SMAC non valida")
                .find("ERROR - PROCESSRECEIPT:Carta SMAC non valida"),
            std::string::npos);

  // The next receipt gets the number the failed ones would have had.
  ProxySimulator proxy({"--mode", "accept", "--timestamp-ms-zone"});
  Reply reply = Send(ReceiptBody("Sale", "", "3.00"));
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_EQ(ElementText(reply.Output, "Number"), "1");
  // The time stamp came with milliseconds and a zone; only its date and time are kept.
  std::smatch sent;
  const std::string log = proxy.Log();
  ASSERT_TRUE(
      std::regex_search(log, sent, std::regex(R"re("timeStamp":"([0-9T:-]{19})\.[0-9]{3}[+-][0-9:]{5}")re")))
      << log;
  EXPECT_EQ(ElementText(reply.Output, "DateTime"), sent[1].str());
}

TEST_F(Receipts, FailuresOutsideTheExchange) {
  ProxySimulator proxy({"--mode", "accept"});

  // A damaged counters file stops the receipt before the question and before the proxy.
  const std::string counters = Counters();
  std::ofstream(fTill.CountersFile(), std::ios::binary | std::ios::trunc)
      << "<FPRCounters><CurrentReceiptNo>x";
  Reply damaged = Send(ReceiptBody("Sale", "", "3.00"));
  EXPECT_EQ(damaged.Result, -1);
  EXPECT_FALSE(damaged.Error.empty());
  EXPECT_EQ(gQuestions.Asked, 0);
  EXPECT_EQ(proxy.Log().find("request:"), std::string::npos) << proxy.Log();
  std::ofstream(fTill.CountersFile(), std::ios::binary | std::ios::trunc) << counters;

  // A journal that cannot be written fails the call after the receipt was counted.
  fs::create_directories(fTill.Folder() / "Processed");
  std::ofstream(fTill.ProcessedToday()) << "a file where the day's folder goes";
  Reply unjournaled = Send(ReceiptBody("Sale", "", "3.00"));
  EXPECT_EQ(unjournaled.Result, -1);
  EXPECT_FALSE(unjournaled.Error.empty());
  EXPECT_TRUE(unjournaled.OutputNull);
  EXPECT_EQ(ElementText(Counters(), "CurrentReceiptNo"), "1");
}

TEST_F(Receipts, TenThousandthReceiptKeepsFourDigitsInItsJournalName) {
  std::string counters = Counters();
  counters = std::regex_replace(counters, std::regex("<CurrentReceiptNo>0</CurrentReceiptNo>"),
                                "<CurrentReceiptNo>9999</CurrentReceiptNo>");
  std::ofstream(fTill.CountersFile(), std::ios::binary | std::ios::trunc) << counters;
  Reply reply = Send(ReceiptBody("Sale", "", "0"));
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_EQ(ElementText(reply.Output, "Number"), "10000");
  EXPECT_TRUE(fs::exists(fTill.ProcessedToday() / "0001-0000.fprd"));
}

TEST_F(Receipts, JournalIsUtf8WhateverTheHostDeclared) {
  std::string request = fTill.Request("PROCESSRECEIPT", ReceiptBody("Sale", "", "0"));
  request.replace(request.find("utf-8"), 5, "ISO-8859-1");
  Reply reply = Library::Get().Call(Library::Export::PROCESSRECEIPT, request);
  ASSERT_EQ(reply.Result, 0) << reply.Error;
  EXPECT_EQ(reply.Output.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<", 0), 0u)
      << reply.Output;
  const std::string journal = ReadFile(fTill.ProcessedToday() / "0001-0001.fprd");
  EXPECT_EQ(journal.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<", 0), 0u) << journal;
  EXPECT_NE(journal.find("Caff\xC3\xA8 \xE2\x82\xAC"), std::string::npos);
}

// A peer on the proxy port that answers with more than the driver will hold.
TEST_F(Receipts, OversizedProxyReplyFailsTheReceipt) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(5001);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  std::thread peer([listener] {
    int connection = accept(listener, nullptr, nullptr);
    std::string request;
    char buffer[4096];
    while (request.find("}}") == std::string::npos) {
      ssize_t n = recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 17; ++i)
      if (send(connection, block.data(), block.size(), MSG_NOSIGNAL) < 0) break;
    close(connection);
  });
  const std::string countersBefore = Counters();
  Reply reply = Send(ReceiptBody("Sale", "", "3.00"));
  peer.join();
  close(listener);
  EXPECT_EQ(reply.Result, -1);
  EXPECT_EQ(reply.Error, "The reply from Velmo Proxy is larger than 16 MiB: it was not read");
  EXPECT_EQ(Counters(), countersBefore);
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
}  // namespace qze2e
