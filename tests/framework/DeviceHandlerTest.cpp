// The request envelope: what is read, what is refused and with which words, what is written back, and the
// I/O handler it creates.

#include <gtest/gtest.h>

#include <filesystem>

#include "FrameworkFixtures.h"
#include "framework/uQzDeviceHandler.h"
#include "io/uQZIOHandler.h"
#include "platform/DateTime.h"
#include "platform/QzError.h"

namespace {

std::string Envelope(const std::string& aChildren) { return "<Request>" + aChildren + "</Request>"; }

std::string ErrorOf(const std::string& aXml) {
  kDeviceHandler handler;
  try {
    handler.Deserialize(aXml);
  } catch (const QzError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string Today() {
  const DateTime::Parts now = DateTime::Now().Decode();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", now.Year, now.Month, now.Day);
  return text;
}

TEST(DeviceHandlerTest, ReadsEveryEnvelopeFieldAndTheTcpSettings) {
  kDeviceHandler handler;
  const auto document = handler.Deserialize(Envelope(
      "<Parameters><FPTillSerial>0042</FPTillSerial><HexLog>TRUE</HexLog><Extra>a=b=c</Extra></Parameters>"
      "<Connection><Type>Tcp</Type><ConnectTimeout>0</ConnectTimeout><ReadTimeout>2500</ReadTimeout>"
      "<Address>pos-proxy</Address><Port>6001</Port><URL>u</URL><AuthType>digest</AuthType><User>me</User>"
      "<Password>pw</Password><SerialPort>COM3</SerialPort><DeviceName>FP1</DeviceName></Connection>"
      "<LogId>L9</LogId><Handle>12</Handle><Method>ProcessReceipt</Method><Driver>D</Driver><Type>T</Type>"
      "<Type>second</Type><Receipt/>"));

  ASSERT_TRUE(document);
  EXPECT_STREQ(document->document_element().name(), "Request");
  EXPECT_EQ(handler.Type(), "T");  // only the first child of a name counts
  EXPECT_EQ(handler.Driver(), "D");
  EXPECT_EQ(handler.Method(), "ProcessReceipt");
  EXPECT_EQ(handler.DeviceHandle(), 12);
  EXPECT_EQ(handler.LogId(), "L9");

  const kConnection& c = handler.Connection();
  EXPECT_EQ(c.ConnectionType(), qzConnectionType::TCP);
  EXPECT_EQ(c.ConnectTimeOut(), 1000);  // 0 keeps the current value
  EXPECT_EQ(c.ReadTimeOut(), 2500);
  EXPECT_EQ(c.Address(), "pos-proxy");
  EXPECT_EQ(c.Port(), 6001);
  EXPECT_EQ(c.URL(), "u");
  EXPECT_EQ(c.AuthType(), at_Digest);
  EXPECT_EQ(c.User(), "me");
  EXPECT_EQ(c.Password(), "pw");
  // Elements of other connection types are ignored.
  EXPECT_EQ(c.SerialPort(), "");
  EXPECT_EQ(c.DeviceName(), "");

  EXPECT_EQ(handler.Parameters(),
            (std::vector<std::string>{"fptillserial=0042", "hexlog=TRUE", "extra=a=b=c"}));
  EXPECT_EQ(handler.GetParameter("FPTillSerial"), "0042");
  EXPECT_EQ(handler.GetParameter("EXTRA"), "a=b=c");
  EXPECT_EQ(handler.GetParameter("Missing"), "");
  EXPECT_TRUE(handler.ParameterExists("hexLOG"));
  EXPECT_FALSE(handler.ParameterExists("Missing"));
}

TEST(DeviceHandlerTest, ConnectionDefaultsAndPerTypeSettings) {
  kDeviceHandler bare;
  bare.Deserialize(Envelope("<Type>x</Type>"));
  EXPECT_EQ(bare.Connection().ConnectionType(), qzConnectionType::OPOS);
  EXPECT_EQ(bare.Connection().ConnectTimeOut(), 1000);
  EXPECT_EQ(bare.Connection().ReadTimeOut(), 1000);
  EXPECT_EQ(bare.DeviceHandle(), 0);
  EXPECT_TRUE(bare.Parameters().empty());

  kDeviceHandler serial;
  serial.Deserialize(Envelope(
      "<Connection><Type>SERIAL</Type><SerialPort>COM2</SerialPort><Speed>9600</Speed><DataBits>8</DataBits>"
      "<Parity>Even</Parity><StopBits>2</StopBits><Address>ignored</Address><Port>9</Port></Connection>"));
  const kConnection& s = serial.Connection();
  EXPECT_EQ(s.ConnectionType(), qzConnectionType::Serial);
  EXPECT_EQ(s.SerialPort(), "COM2");
  EXPECT_EQ(s.Speed(), 9600);
  EXPECT_EQ(s.DataBits(), 8);
  EXPECT_EQ(s.Parity(), qzParity::Even);
  EXPECT_EQ(s.StopBits(), 2);
  EXPECT_EQ(s.Address(), "");
  EXPECT_EQ(s.Port(), 0);

  kDeviceHandler opos;
  opos.Deserialize(Envelope("<Connection><Type>opos</Type><DeviceName>FP1</DeviceName></Connection>"));
  EXPECT_EQ(opos.Connection().DeviceName(), "FP1");

  kDeviceHandler dll;
  dll.Deserialize(Envelope("<Connection><Type>Dll</Type><LibraryName>fp.so</LibraryName></Connection>"));
  EXPECT_EQ(dll.Connection().LibraryName(), "fp.so");

  kDeviceHandler spool;
  spool.Deserialize(Envelope("<Connection><Type>spool</Type><PrinterName>Cap</PrinterName></Connection>"));
  EXPECT_EQ(spool.Connection().PrinterName(), "Cap");
}

TEST(DeviceHandlerTest, ParametersOverrideTheConnection) {
  kDeviceHandler handler;
  handler.Deserialize(
      Envelope("<Connection><Type>TCP</Type><ConnectTimeout>2000</ConnectTimeout></Connection>"
               "<Parameters><ConnectTimeout>10000</ConnectTimeout><DeviceName>FromParameter</DeviceName></"
               "Parameters>"));
  EXPECT_EQ(handler.Connection().ConnectTimeOut(), 10000);
  EXPECT_EQ(handler.Connection().DeviceName(), "FromParameter");

  kDeviceHandler ignored;
  ignored.Deserialize(Envelope("<Parameters><ConnectTimeout>-5</ConnectTimeout></Parameters>"));
  EXPECT_EQ(ignored.Connection().ConnectTimeOut(), 1000);
}

TEST(DeviceHandlerTest, DuplicateParametersBothCarryTheFirstValue) {
  kDeviceHandler handler;
  handler.Deserialize(Envelope("<Parameters><A>1</A><B/><A>2</A></Parameters>"));
  EXPECT_EQ(handler.Parameters(), (std::vector<std::string>{"a=1", "b=", "a=1"}));
}

TEST(DeviceHandlerTest, RefusedEnvelopesSayWhy) {
  const std::string integer = "\r\n'";
  struct Case {
    const char* what;
    std::string xml;
    std::string message;
  };
  const Case cases[] = {
      {"unknown connection type", Envelope("<Connection><Type>usb</Type></Connection>"),
       "Connection Type usb is not valid"},
      {"missing connection type", Envelope("<Connection><Port>1</Port></Connection>"),
       "Connection Type  is not valid"},
      {"serial without parity", Envelope("<Connection><Type>serial</Type></Connection>"),
       "Connection Parity  is not valid"},
      {"serial with a wrong parity",
       Envelope("<Connection><Type>serial</Type><Parity>mark</Parity></Connection>"),
       "Connection Parity mark is not valid"},
      {"handle not a number", Envelope("<Handle>abc</Handle>"),
       "Error in processing node Handle as integer." + integer + "abc' is not a valid integer value"},
      {"port not a whole number", Envelope("<Connection><Type>tcp</Type><Port>50.1</Port></Connection>"),
       "Error in processing node Port as integer." + integer + "50.1' is not a valid integer value"},
      {"time-out not a number",
       Envelope("<Connection><Type>tcp</Type><ReadTimeout>x</ReadTimeout></Connection>"),
       "Error in processing node ReadTimeout as integer." + integer + "x' is not a valid integer value"},
      {"text element holding elements", Envelope("<LogId><X/></LogId>"),
       "Error in processing node LogId as string.\r\nElement \"LogId\" does not contain a single text node"},
      {"parameter holding elements", Envelope("<Parameters><Till><X>1</X></Till></Parameters>"),
       "Error in processing node Till as string.\r\nElement \"Till\" does not contain a single text node"},
      {"ConnectTimeout parameter not a number",
       Envelope("<Parameters><ConnectTimeout>fast</ConnectTimeout></Parameters>"),
       "'fast' is not a valid integer value"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.xml), c.message) << c.what;
}

TEST(DeviceHandlerTest, TextThatIsNotXmlFailsWithTheParserMessage) {
  for (const std::string& text : {std::string(), std::string("not xml"), std::string("<A><B></A>")}) {
    const std::string message = ErrorOf(text);
    EXPECT_NE(message, "(no error)") << text;
    EXPECT_NE(message.find("at offset"), std::string::npos) << message;
  }
}

TEST(DeviceHandlerTest, SetParameterReplacesAppendsAndRemoves) {
  kDeviceHandler handler;
  handler.Deserialize(Envelope("<Parameters><HexLog>false</HexLog><X>1</X></Parameters>"));
  handler.SetParameter("HEXLOG", "true");
  handler.SetParameter("NewOne", "v=w");
  handler.SetParameter("x", "");
  handler.SetParameter("absent", "");
  EXPECT_EQ(handler.Parameters(), (std::vector<std::string>{"hexlog=true", "NewOne=v=w"}));
}

TEST(DeviceHandlerTest, SerializeWritesEveryFieldAndReadsBack) {
  kDeviceHandler original;
  original.Deserialize(Envelope(
      "<Type>FP</Type><Driver>QZFP_VELMO_10</Driver><Method>GetStatus</Method><LogId>7</LogId><Handle>3</"
      "Handle>"
      "<Connection><Type>http</Type><ConnectTimeout>1500</ConnectTimeout><ReadTimeout>4000</ReadTimeout>"
      "<Address>h</Address><Port>80</Port><URL>http://h/x</URL><AuthType>basic</AuthType><User>u</User>"
      "<Password>p</Password></Connection><Parameters><FPTillSerial>0042</FPTillSerial></Parameters>"));
  const std::string text = original.Serialize();

  EXPECT_EQ(
      text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ReceiptPrinterManager Version=\"1.0\">", 0),
      0u)
      << text;
  EXPECT_TRUE(text.ends_with("</ReceiptPrinterManager>\r\n"));
  EXPECT_NE(text.find("<Type>HTTP</Type>"), std::string::npos);
  EXPECT_NE(text.find("<AuthType>BASIC</AuthType>"), std::string::npos);
  EXPECT_NE(text.find("<Parity>NONE</Parity>"), std::string::npos);
  EXPECT_NE(text.find("<fptillserial>0042</fptillserial>"), std::string::npos);

  kDeviceHandler copy;
  copy.Deserialize(text);
  EXPECT_EQ(copy.Type(), "FP");
  EXPECT_EQ(copy.Driver(), "QZFP_VELMO_10");
  EXPECT_EQ(copy.Method(), "GetStatus");
  EXPECT_EQ(copy.LogId(), "7");
  EXPECT_EQ(copy.DeviceHandle(), 3);
  EXPECT_EQ(copy.Connection().ConnectionType(), qzConnectionType::HTTP);
  EXPECT_EQ(copy.Connection().ConnectTimeOut(), 1500);
  EXPECT_EQ(copy.Connection().ReadTimeOut(), 4000);
  EXPECT_EQ(copy.Connection().URL(), "http://h/x");
  EXPECT_EQ(copy.Connection().AuthType(), at_Basic);
  EXPECT_EQ(copy.Connection().Password(), "p");
  EXPECT_EQ(copy.Parameters(), original.Parameters());
}

TEST(DeviceHandlerTest, SerializeOfAnOpenWritesNoHandle) {
  kDeviceHandler handler;
  handler.SetMethod("oPeN");
  handler.SetDeviceHandle(5);
  EXPECT_EQ(handler.Serialize().find("<Handle"), std::string::npos);
  handler.SetMethod("Close");
  EXPECT_NE(handler.Serialize().find("<Handle>5</Handle>"), std::string::npos);
}

TEST(DeviceHandlerTest, CreatesTheTcpHandlerWithItsDailyLog) {
  qzfwtest::HostFolders folders;
  kDeviceHandler handler;
  handler.Deserialize(Envelope(
      "<Driver>QZFP_VELMO_10</Driver><Connection><Type>TCP</Type><ConnectTimeout>3000</ConnectTimeout>"
      "<Address>localhost</Address><Port>5001</Port></Connection><Parameters><HexLog>TRUE</HexLog></"
      "Parameters>"));
  const std::string logDir = folders.LogFolder().string();
  std::unique_ptr<kIOHandler> io = handler.CreateIOHandler(logDir);

  auto* tcp = dynamic_cast<kIOHandler_TCP*>(io.get());
  ASSERT_NE(tcp, nullptr);
  EXPECT_TRUE(io->HexLog());
  EXPECT_EQ(io->ConnectTimeout(), 3000);
  EXPECT_EQ(tcp->TCPClient().Host(), "localhost");
  EXPECT_EQ(tcp->TCPClient().Port(), 5001);
  // An empty log id still gives a log; the name just ends with "_" before the date.
  EXPECT_EQ(io->GetLogFileName(), logDir + "/QZFP_VELMO_10__" + Today() + ".log");

  kDeviceHandler plain;
  plain.Deserialize(
      Envelope("<Connection><Type>TCP</Type></Connection><Parameters><HexLog>yes</HexLog></Parameters>"));
  EXPECT_FALSE(plain.CreateIOHandler(logDir)->HexLog());
}

TEST(DeviceHandlerTest, RefusesHandlersItCannotBuildAndLogIdsThatLeaveTheFolder) {
  qzfwtest::HostFolders folders;
  const std::string logDir = folders.LogFolder().string();
  struct Case {
    std::string envelope;
    std::string message;
  };
  const Case cases[] = {
      {"<Connection><Type>HTTP</Type></Connection>", "Connection type HTTP is not available"},
      {"<Connection><Type>serial</Type><Parity>none</Parity></Connection>",
       "Connection type SERIAL is not available"},
      {"", "Connection type OPOS is not available"},
      {"<Connection><Type>TCP</Type></Connection><LogId>../../etc/x</LogId>", "Invalid characters in path"},
      {"<Connection><Type>TCP</Type></Connection><LogId>a\\b</LogId>", "Invalid characters in path"},
      {"<Connection><Type>TCP</Type></Connection><LogId>..</LogId>", "Invalid characters in path"},
      {"<Connection><Type>TCP</Type></Connection><LogId>a|b</LogId>", "Invalid characters in path"},
  };
  for (const Case& c : cases) {
    kDeviceHandler handler;
    handler.Deserialize(Envelope(c.envelope));
    try {
      handler.CreateIOHandler(logDir);
      ADD_FAILURE() << "no error for " << c.envelope;
    } catch (const QzError& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.envelope;
    }
  }
  // A refused handler leaves no log behind.
  EXPECT_FALSE(std::filesystem::exists(folders.LogFolder()));
}

}  // namespace
