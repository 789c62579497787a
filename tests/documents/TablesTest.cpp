#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>

#include "documents/uQzReceipt.h"
#include "platform/QzError.h"

namespace {

pugi::xml_document Request(const std::string& aBody) {
  pugi::xml_document doc;
  const std::string xml = "<Request>" + aBody + "</Request>";
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  return doc;
}

template <typename TTable>
std::string ReadError(TTable& aTable, const std::string& aBody) {
  try {
    aTable.Deserialize(Request(aBody));
  } catch (const QzError& e) {
    return e.what();
  }
  return "<no error>";
}

std::unique_ptr<kVat> Vat(std::int32_t aIndex, const char* aCode, std::int64_t aRateUnits) {
  auto vat = std::make_unique<kVat>();
  vat->SetIndex(aIndex);
  vat->SetCode(aCode);
  vat->SetRate(Currency::FromUnits(aRateUnits));
  return vat;
}

TEST(Tables, VatTableReadsEveryChildElementAsARow) {
  kVatTable table;
  table.Deserialize(Request(
      "<VATTable>\n <Vat><Code>A</Code><Description>Ordinaria</Description><Rate>22</Rate></Vat>\n"
      " <Anything><Code>B</Code><Rate>4.5</Rate><Extra>x</Extra></Anything><!-- no row --></VATTable>"));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0]->Code(), "A");
  EXPECT_EQ(table[0]->Description(), "Ordinaria");
  EXPECT_EQ(table[0]->Rate(), Currency::FromUnits(22));
  EXPECT_EQ(table[0]->Index(), 0);
  EXPECT_EQ(table[1]->Rate(), Currency::FromRaw(45000));
  EXPECT_EQ(table.Get("B"), table[1].get());
  EXPECT_EQ(table.Get("b"), nullptr);
}

TEST(Tables, VatTableFailures) {
  kVatTable table;
  EXPECT_EQ(ReadError(table, "<VatTable/>"), "VATTable node not found");
  EXPECT_EQ(ReadError(table,
                      "<VATTable><V><Code>A</Code><Rate>22</Rate></V><V><Code>B</Code><Rate>10%</Rate></V>"
                      "</VATTable>"),
            "Error in processing node Rate as currency.\r\n'10%' is not a valid floating point value");
  // Rows before the bad one stay.
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0]->Code(), "A");
}

TEST(Tables, FirstAvailableVatIndexSkipsZeroRates) {
  kVatTable empty;
  empty.Deserialize(Request("<VATTable/>"));
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.GetFirstAvailableIndex(), 1);

  kVatTable table;
  table.push_back(Vat(1, "A", 22));
  table.push_back(Vat(5, "E", 0));
  table.push_back(Vat(2, "B", 10));
  EXPECT_EQ(table.GetFirstAvailableIndex(), 3);
  EXPECT_EQ(table.GetByIndex(5), table[1].get());
  EXPECT_EQ(table.GetByIndex(4), nullptr);

  kVatTable zeros;
  zeros.push_back(Vat(3, "Z", 0));
  EXPECT_EQ(zeros.GetFirstAvailableIndex(), 1);
}

const char* const kDepartments =
    "<DeptTable>"
    "<Dept><Code>D1</Code><Description>Food</Description><VATCode>A</VATCode><SalesType>Service</SalesType>"
    "<EACode>A</EACode><EADescription>First A</EADescription><EAVATMode>1</EAVATMode></Dept>"
    "<Dept><Code>D2</Code><SalesType>services</SalesType><EACode>B</EACode><EADescription>B "
    "desc</EADescription>"
    "<EAVATMode>true</EAVATMode></Dept>"
    "<Dept><Code>D3</Code><EACode>A</EACode><EADescription>Second "
    "A</EADescription><EAVATMode>0</EAVATMode></Dept>"
    "<Dept><Code>D4</Code><SalesType>SERVICE</SalesType><EACode></EACode></Dept>"
    "<Dept><Code>D5</Code><EACode>C</EACode></Dept>"
    "</DeptTable>";

TEST(Tables, DepartmentRows) {
  kDeptTable table;
  table.Deserialize(Request(kDepartments));
  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table[0]->Code(), "D1");
  EXPECT_EQ(table[0]->Description(), "Food");
  EXPECT_EQ(table[0]->VATCode(), "A");
  EXPECT_EQ(table[0]->EACode(), "A");
  EXPECT_EQ(table[0]->SalesType(), st_Service);
  EXPECT_EQ(table[1]->SalesType(), st_Product);
  EXPECT_EQ(table[2]->SalesType(), st_Product);
  EXPECT_EQ(table[3]->SalesType(), st_Service);
  EXPECT_EQ(table.Get("D4"), table[3].get());
  EXPECT_EQ(table.Get("d4"), nullptr);
  EXPECT_EQ(table.GetByIndex(0), table[0].get());  // indexes are not carried by the request
}

TEST(Tables, EconomicActivitiesAreTheDistinctCodesOfTheDepartmentRows) {
  kEconomicActivityTable table;
  table.Deserialize(Request(kDepartments));
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0]->Code(), "A");
  EXPECT_EQ(table[0]->Index(), 1);
  EXPECT_EQ(table[0]->Description(), "First A");
  EXPECT_TRUE(table[0]->Ventilazione());
  EXPECT_EQ(table[1]->Code(), "B");
  EXPECT_EQ(table[1]->Index(), 2);
  EXPECT_FALSE(table[1]->Ventilazione());  // only the text 1 sets the mode
  EXPECT_EQ(table[2]->Code(), "C");
  EXPECT_EQ(table[2]->Index(), 3);
  EXPECT_EQ(table.GetByIndex(3), table[2].get());
  EXPECT_EQ(table.Get("a"), nullptr);

  // A second read appends, and a code already held is not added again.
  table.Deserialize(Request("<DeptTable><D><EACode>C</EACode></D><D><EACode>D</EACode></D></DeptTable>"));
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[3]->Code(), "D");
  EXPECT_EQ(table[3]->Index(), 4);
}

TEST(Tables, BothDepartmentReadersNeedTheDepartmentElement) {
  kDeptTable departments;
  kEconomicActivityTable activities;
  EXPECT_EQ(ReadError(departments, "<VATTable/>"), "DeptTable node not found");
  EXPECT_EQ(ReadError(activities, "<VATTable/>"), "DeptTable node not found");
}

}  // namespace
