#include <gtest/gtest.h>

#include <functional>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "documents/krptUtil.h"
#include "platform/QzError.h"

namespace {

pugi::xml_document Parse(const std::string& aXml) {
  pugi::xml_document doc;
  const pugi::xml_parse_result result = doc.load_string(aXml.c_str());
  EXPECT_TRUE(result) << result.description();
  return doc;
}

std::string MessageOf(const std::function<void()>& aCall) {
  try {
    aCall();
  } catch (const QzError& e) {
    return e.what();
  }
  return "<no error>";
}

DateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  return *DateTime::Encode(y, mo, d, h, mi, s, ms);
}

TEST(UtilReaders, MissingChildGivesTheDefaultOfEachReader) {
  const auto doc = Parse("<R><Other>1</Other><amount>5</amount></R>");
  const pugi::xml_node r = doc.child("R");
  EXPECT_EQ(krptUtil::GetNodeValueAsString(r, "Name"), "");
  EXPECT_TRUE(krptUtil::GetNodeValueAsBoolean(r, "Flag", true));
  EXPECT_FALSE(krptUtil::GetNodeValueAsBoolean(r, "Flag", false));
  // Names match with their letter case: "amount" is not "Amount".
  EXPECT_EQ(krptUtil::GetNodeValueAsCurrency(r, "Amount"), Currency());
  EXPECT_EQ(krptUtil::GetNodeValueAsInteger(r, "Count"), 0);
  EXPECT_EQ(krptUtil::GetNodeValueAsDateTime(r, "When").Value(), 0.0);
  EXPECT_FALSE(krptUtil::HasNode(r, "Amount"));
  EXPECT_TRUE(krptUtil::HasNode(r, "amount"));
}

TEST(UtilReaders, EmptyChildIsZeroForNumbersButAnErrorForBooleanAndDateTime) {
  const auto doc = Parse("<R><V/><W>   </W></R>");
  const pugi::xml_node r = doc.child("R");
  EXPECT_EQ(krptUtil::GetNodeValueAsString(r, "V"), "");
  EXPECT_EQ(krptUtil::GetNodeValueAsCurrency(r, "V"), Currency());
  EXPECT_EQ(krptUtil::GetNodeValueAsInteger(r, "V"), 0);
  // White space that the parser drops leaves the element empty.
  EXPECT_EQ(krptUtil::GetNodeValueAsInteger(r, "W"), 0);
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsBoolean(r, "V", true); }),
            "Error in processing node V as boolean.\r\n'' is not a valid boolean value");
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsDateTime(r, "V"); }),
            "Error in processing node V as datetime.\r\nDateTime Format invalid: []");
  EXPECT_EQ(krptUtil::TryGetNodeValueAsDateTime(r, "V").Value(), 0.0);
}

TEST(UtilReaders, FirstChildOfTheNameIsRead) {
  const auto doc = Parse("<R><N>first</N><N>second</N><M><![CDATA[a<b]]></M></R>");
  EXPECT_EQ(krptUtil::GetNodeValueAsString(doc.child("R"), "N"), "first");
  EXPECT_EQ(krptUtil::GetNodeValueAsString(doc.child("R"), "M"), "a<b");
}

struct ConversionCase {
  const char* Text;
  const char* Kind;      // "boolean", "currency", "integer", "datetime"
  const char* Expected;  // the value's text, or the whole message when it fails
};

std::string ReadAsText(const pugi::xml_node& aParent, const std::string& aKind) {
  std::ostringstream out;
  if (aKind == "boolean") out << (krptUtil::GetNodeValueAsBoolean(aParent, "N", false) ? "True" : "False");
  if (aKind == "currency") out << krptUtil::GetNodeValueAsCurrency(aParent, "N").Raw();
  if (aKind == "integer") out << krptUtil::GetNodeValueAsInteger(aParent, "N");
  if (aKind == "datetime") {
    const DateTime::Parts p = krptUtil::GetNodeValueAsDateTime(aParent, "N").Decode();
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second, p.Millisecond);
    out << buffer;
  }
  return out.str();
}

TEST(UtilReaders, ConvertsTextsOrFailsWithTheTwoLineMessage) {
  const ConversionCase cases[] = {
      {"true", "boolean", "True"},
      {"FALSE", "boolean", "False"},
      {"1", "boolean", "True"},
      {"0", "boolean", "False"},
      {"-2.5", "boolean", "True"},
      {" True ", "boolean", "True"},
      {"yes", "boolean", "Error in processing node N as boolean.\r\n'yes' is not a valid boolean value"},
      {"12.5", "currency", "125000"},
      {"-0.1234", "currency", "-1234"},
      {"1,234.5", "currency", "12345000"},
      {"12,5", "currency",
       "Error in processing node N as currency.\r\n'12,5' is not a valid floating point value"},
      {"12.5.1", "currency",
       "Error in processing node N as currency.\r\n'12.5.1' is not a valid floating point value"},
      {"99999999999999999999", "currency",
       "Error in processing node N as currency.\r\n'99999999999999999999' is not a valid floating point "
       "value"},
      {"42", "integer", "42"},
      {"-7", "integer", "-7"},
      {"2147483647", "integer", "2147483647"},
      {"2147483648", "integer",
       "Error in processing node N as integer.\r\n'2147483648' is not a valid integer value"},
      {"1.5", "integer", "Error in processing node N as integer.\r\n'1.5' is not a valid integer value"},
      {"2024-03-05T14:07:09", "datetime", "2024-03-05 14:07:09.000"},
      {"2024-03-05T14:07:09.123", "datetime", "2024-03-05 14:07:09.123"},
      {"2024-03-05T14:07:09Z", "datetime", "2024-03-05 14:07:09.000"},
      {"2024-03-05", "datetime",
       "Error in processing node N as datetime.\r\nDateTime Format invalid: [2024-03-05]"},
      {"2024-02-30T00:00:00", "datetime",
       "Error in processing node N as datetime.\r\nDateTime Format invalid: [2024-02-30T00:00:00]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Kind) + " of '" + c.Text + "'");
    pugi::xml_document doc;
    doc.append_child("R").append_child("N").text().set(c.Text);
    std::string got;
    try {
      got = ReadAsText(doc.child("R"), c.Kind);
    } catch (const QzError& e) {
      got = e.what();
    }
    EXPECT_EQ(got, c.Expected);
  }
}

TEST(UtilReaders, ElementWithoutASingleTextFailsInEveryReader) {
  const auto doc = Parse("<R><N><Inner>1</Inner></N><M>a<b/>c</M></R>");
  const pugi::xml_node r = doc.child("R");
  const std::string cause = "Element \"N\" does not contain a single text node";
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsString(r, "N"); }),
            "Error in processing node N as string.\r\n" + cause);
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsCurrency(r, "N"); }),
            "Error in processing node N as currency.\r\n" + cause);
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsInteger(r, "N"); }),
            "Error in processing node N as integer.\r\n" + cause);
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsBoolean(r, "N", false); }),
            "Error in processing node N as boolean.\r\n" + cause);
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsDateTime(r, "N"); }),
            "Error in processing node N as datetime.\r\n" + cause);
  // Mixed content is not one text either, and is never flattened.
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsString(r, "M"); }),
            "Error in processing node M as string.\r\nElement \"M\" does not contain a single text node");
  EXPECT_EQ(krptUtil::TryGetNodeValueAsDateTime(r, "N").Value(), 0.0);
}

TEST(UtilReaders, CommentsKeptByTheParserAreNotContent) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string("<R><N>5<!-- five --></N><E><!-- none --></E><M>1<!-- x -->2</M></R>",
                              pugi::parse_default | pugi::parse_comments));
  const pugi::xml_node r = doc.child("R");
  EXPECT_EQ(krptUtil::GetNodeValueAsInteger(r, "N"), 5);
  EXPECT_EQ(krptUtil::GetNodeValueAsString(r, "E"), "");
  EXPECT_EQ(krptUtil::GetNodeValueAsCurrency(r, "E"), Currency());
  // Two texts around a comment are still two texts.
  EXPECT_EQ(MessageOf([&] { krptUtil::GetNodeValueAsInteger(r, "M"); }),
            "Error in processing node M as integer.\r\nElement \"M\" does not contain a single text node");
}

TEST(UtilReaders, TryGetDateTimeReadsAGoodValue) {
  const auto doc = Parse("<R><D>2024-03-05T14:07:09.250</D></R>");
  EXPECT_EQ(krptUtil::TryGetNodeValueAsDateTime(doc.child("R"), "D"), At(2024, 3, 5, 14, 7, 9, 250));
}

TEST(UtilReaders, AttributeValueOrEmpty) {
  const auto doc = Parse("<R a=\"x&amp;y\"/>");
  EXPECT_EQ(krptUtil::GetAttributeValueAsString(doc.child("R"), "a"), "x&y");
  EXPECT_EQ(krptUtil::GetAttributeValueAsString(doc.child("R"), "A"), "");
}

TEST(UtilReaders, AddNodeAppendsLastWithItsText) {
  auto doc = Parse("<R><First/></R>");
  const pugi::xml_node added = krptUtil::AddNode(doc.child("R"), "Note", "a < b & c");
  krptUtil::AddNode(doc.child("R"), "Empty", "");
  EXPECT_EQ(added, doc.child("R").child("Note"));
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  EXPECT_EQ(out.str(), "<R><First/><Note>a &lt; b &amp; c</Note><Empty/></R>");
  EXPECT_EQ(krptUtil::GetNodeValueAsString(doc.child("R"), "Note"), "a < b & c");
  EXPECT_THROW(krptUtil::AddNode(pugi::xml_node(), "Lost", "value"), QzError);
}

TEST(UtilReaders, NormalizeTextKeepsPlainAsciiOnly) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {
      {"TOTALE \u20AC", "TOT. E"},
      {"\u00C0\u00D9\u00C8\u00C9\u00D2\u00D6\u00C7\u00CF\u00CC\u20AC", "AUEEOOCIIE"},
      {"caff\u00E8\ttazza", "caff  tazza"},
      // Transliteration comes first, so the euro sign can complete the word.
      {"TOTAL\u20AC", "TOT."},
      {"Totale TOTALETOTALE", "Totale TOT.TOT."},
      {"a\x7F~ ", "a\x7F~ "},
      // A character outside the basic plane is two units, hence two blanks.
      {"x\U0001F600y", "x  y"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(krptUtil::NormalizeText(c.In), c.Out) << c.In;
}

}  // namespace
