#include <gtest/gtest.h>

#include "io/uQZIOHandler.h"
#include "platform/QzError.h"

namespace {

template <typename F>
std::string ErrorOf(F&& aCall) {
  try {
    aCall();
  } catch (const QzError& e) {
    return e.what();
  }
  return "<no error>";
}

TEST(ConnectionTest, CreatedWithTheDocumentedDefaults) {
  const kConnection c;
  EXPECT_EQ(c.ConnectionType(), qzConnectionType::OPOS);
  EXPECT_EQ(c.ConnectTimeOut(), 1000);
  EXPECT_EQ(c.ReadTimeOut(), 1000);
  EXPECT_EQ(c.AuthType(), at_None);
  EXPECT_EQ(c.Parity(), qzParity::None);
  EXPECT_EQ(c.Port(), 0);
  EXPECT_EQ(c.Address(), "");
}

TEST(ConnectionTest, TimeOutsKeepTheirValueWhenGivenZeroOrLess) {
  kConnection c;
  for (const int refused : {0, -5}) {
    c.SetReadTimeOut(refused);
    c.SetConnectTimeOut(refused);
    EXPECT_EQ(c.ReadTimeOut(), 1000);
    EXPECT_EQ(c.ConnectTimeOut(), 1000);
  }
  c.SetReadTimeOut(180000);
  c.SetConnectTimeOut(3000);
  c.SetReadTimeOut(-1);
  EXPECT_EQ(c.ReadTimeOut(), 180000);
  EXPECT_EQ(c.ConnectTimeOut(), 3000);
}

TEST(ConnectionTest, ConnectionTypeWordsReadInAnyCaseAndWriteFixed) {
  const struct {
    const char* Read;
    qzConnectionType Value;
    const char* Written;
  } cases[] = {
      {"serial", qzConnectionType::Serial, "SERIAL"}, {"SERIAL", qzConnectionType::Serial, "SERIAL"},
      {"Serial", qzConnectionType::Serial, "SERIAL"}, {"Http", qzConnectionType::HTTP, "HTTP"},
      {"Tcp", qzConnectionType::TCP, "TCP"},          {"opos", qzConnectionType::OPOS, "OPOS"},
      {"DLL", qzConnectionType::DLL, "DLL"},          {"com", qzConnectionType::Com, "COM"},
      {"SpOoL", qzConnectionType::Spool, "SPOOL"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kConnection::ConvertConnectionType(c.Read), c.Value) << c.Read;
    EXPECT_EQ(kConnection::ConnectionTypeToString(c.Value), c.Written) << c.Read;
  }
}

TEST(ConnectionTest, UnknownWordsRaiseWithTheInputUnchanged) {
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType("usb"); }), "Connection Type usb is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType(""); }), "Connection Type  is not valid");
  // Only whole words count: no trimming, no prefixes.
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType(" TCP"); }), "Connection Type  TCP is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertConnectionType("tcpip"); }),
            "Connection Type tcpip is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertParity("Mark"); }), "Connection Parity Mark is not valid");
  EXPECT_EQ(ErrorOf([] { kConnection::ConvertParity(""); }), "Connection Parity  is not valid");
}

TEST(ConnectionTest, ParityWords) {
  const struct {
    const char* Read;
    qzParity Value;
    const char* Written;
  } cases[] = {
      {"none", qzParity::None, "NONE"}, {"ODD", qzParity::Odd, "ODD"}, {"Even", qzParity::Even, "EVEN"}};
  for (const auto& c : cases) {
    EXPECT_EQ(kConnection::ConvertParity(c.Read), c.Value) << c.Read;
    EXPECT_EQ(kConnection::ParityToString(c.Value), c.Written) << c.Read;
  }
}

TEST(ConnectionTest, AuthTypeWordsAndUnknownMeansNone) {
  const struct {
    const char* Read;
    qzHTTPAuthType Value;
  } cases[] = {{"none", at_None},     {"Basic", at_Basic}, {"DIGEST", at_Digest},
               {"bearer", at_Bearer}, {"token", at_None},  {"", at_None}};
  for (const auto& c : cases) EXPECT_EQ(kConnection::ConvertAuthType(c.Read), c.Value) << c.Read;
  EXPECT_EQ(kConnection::AuthTypeToString(at_None), "NONE");
  EXPECT_EQ(kConnection::AuthTypeToString(at_Basic), "BASIC");
  EXPECT_EQ(kConnection::AuthTypeToString(at_Digest), "DIGEST");
  EXPECT_EQ(kConnection::AuthTypeToString(at_Bearer), "BEARER");
}

}  // namespace
