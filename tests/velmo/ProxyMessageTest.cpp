#include <gtest/gtest.h>

#include "drivers/velmo/VelmoProxyMessage.h"
#include "platform/QzError.h"

namespace {

Currency Amount(const char* aText) { return *Currency::Parse(aText); }

std::string ErrorOf(const std::string& aReply) {
  try {
    ParseVelmoProxyReply(aReply);
  } catch (const QzError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST(ProxyRequest, CompactMembersInOrderAndNumbersInGeneralForm) {
  qzVelmoProxyRequest request{true, Amount("12.50"), Amount("3"), 42, "SC"};
  EXPECT_EQ(BuildVelmoProxyRequest(request),
            R"({"type":"smac","data":{"isPresent":true,"amount":12.5,"numberPieces":3,"numberDocument":42,)"
            R"("typeDocument":"SC"}})");

  struct Case {
    const char* amount;
    const char* json;
  } cases[] = {{"10.00", "10"},
               {"0.35", "0.35"},
               {"0.0001", "0.0001"},
               {"-12.5", "12.5"},
               {"1234.5678", "1234.5678"},
               {"0", "0"},
               {"99999999999.9999", "99999999999.9999"},
               {"123456789012.3456", "123456789012.346"}};
  for (const auto& c : cases) {
    qzVelmoProxyRequest r{false, Amount(c.amount), Amount("1.5"), 1, "RS"};
    EXPECT_EQ(BuildVelmoProxyRequest(r),
              std::string(R"({"type":"smac","data":{"isPresent":false,"amount":)") + c.json +
                  R"(,"numberPieces":1.5,"numberDocument":1,"typeDocument":"RS"}})")
        << c.amount;
  }
  qzVelmoProxyRequest quoted{false, Amount("1"), Amount("1"), 7, "A\"B\\"};
  EXPECT_NE(BuildVelmoProxyRequest(quoted).find(R"("typeDocument":"A\"B\\")"), std::string::npos);
}

TEST(ProxyReply, AcceptedReplyGivesTimeStampAndTicket) {
  auto reply = ParseVelmoProxyReply(
      R"({"extra":1,"data":{"ticketFormat":"L1\r\nL2","timeStamp":"2024-05-02T09:15:03.120+02:00","x":[]},"errorId":0})");
  EXPECT_EQ(reply.fErrorId, 0);
  EXPECT_EQ(reply.fTicketFormat, "L1\r\nL2");
  EXPECT_EQ(reply.fTimeStamp, *DateTime::Encode(2024, 5, 2, 9, 15, 3));

  auto digits =
      ParseVelmoProxyReply(R"({"errorId":"0","data":{"timeStamp":"2024-05-02T09:15:03","ticketFormat":7}})");
  EXPECT_EQ(digits.fTicketFormat, "7");
}

TEST(ProxyReply, RefusalIsReturnedWithCodeAndMessage) {
  auto reply = ParseVelmoProxyReply(R"({"errorId":7,"errorMsg":"Carta non valida"})");
  EXPECT_EQ(reply.fErrorId, 7);
  EXPECT_EQ(reply.fErrorMsg, "Carta non valida");
  EXPECT_EQ(ParseVelmoProxyReply(R"({"errorId":"12","errorMsg":404})").fErrorMsg, "404");
}

TEST(ProxyReply, MalformedRepliesFailWithTheirMessages) {
  struct Case {
    const char* reply;
    const char* error;
  } cases[] = {
      {R"({"errorId":5})", "Value 'errorMsg' not found"},
      {R"({"errorMsg":"x"})", "Value 'errorId' not found"},
      {R"({"errorId":0})", "Value 'data' not found"},
      {R"({"errorId":0,"data":{"ticketFormat":""}})", "Value 'timeStamp' not found"},
      {R"({"errorId":0,"data":{"timeStamp":"2024-05-02T09:15:03"}})", "Value 'ticketFormat' not found"},
      {R"({"errorId":0,"data":{"timeStamp":"2024-05-02","ticketFormat":""}})",
       "DateTime Format invalid: [2024-05-02]"},
      {R"({"errorId":0,"data":{"timeStamp":"2024-02-30T09:15:03","ticketFormat":""}})",
       "DateTime Format invalid: [2024-02-30T09:15:03]"},
      {R"({"errorId":"x"})", "'x' is not a valid integer value"},
      {R"({"errorId":true})", "Conversion error: JSON true value of 'errorId' cannot be read as Integer"},
      {R"({"errorId":0,"data":[]})", "Conversion error: JSON array value of 'data' cannot be read as Object"},
      {R"({"errorId":3,"errorMsg":null})",
       "Conversion error: JSON null value of 'errorMsg' cannot be read as String"},
      {R"([1,2])", "Invalid type cast: the reply from Velmo Proxy is a JSON array, not an object"},
      {"", "Invalid reply from Velmo Proxy: the reply is empty"},
      {"<html>", "Invalid reply from Velmo Proxy: the reply is not JSON"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.reply), c.error) << c.reply;
}
