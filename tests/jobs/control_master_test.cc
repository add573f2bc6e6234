#include "jobs/control_master.h"

#include <gtest/gtest.h>

#include "support/test_db.h"

namespace edi {
namespace {

class ControlMasterTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(test::OpenEmptyTestDatabase(GetParam(), db_)) << db_.LastError(); }

  void AddCentre(const std::string& code, const std::string& method, const std::string& kind,
                 const SqlParam& path) {
    ASSERT_TRUE(db_.ExecuteSql(
        "INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式, 送受信データ形式,"
        " 相手先種別, NTS受信相手先番号, NTS受信ファイル番号, NTS受信ファイルパス)"
        " VALUES (:1, :2, :3, 'C', :4, 1, 2, :5)",
        {code, "名前" + code, method, kind, path}))
        << db_.LastError();
  }

  Database db_;
};

TEST_P(ControlMasterTest, ListHoldsPartnerKindOneCentresInCodeOrder) {
  std::vector<CentreRow> rows(3);
  EXPECT_EQ(LoadCentreList(db_, rows).endCode, "9999");
  AddCentre("C03", "M", "1", std::string("/r"));
  AddCentre("C01", "Z", "1", std::string("/r/a.cii"));
  AddCentre("C02", "W", "2", std::string("/r"));
  rows.resize(3);
  rows[0].state = kRowError;
  ASSERT_TRUE(LoadCentreList(db_, rows).ok());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].centreCode, "C01");
  EXPECT_EQ(rows[0].centreName, "名前C01");
  EXPECT_EQ(rows[0].transferMethod, "Z");
  EXPECT_EQ(rows[0].state, kRowNormal);
  EXPECT_EQ(rows[0].selected, 0);
  EXPECT_EQ(rows[1].centreCode, "C03");
}

TEST_P(ControlMasterTest, LookupResultCodes) {
  AddCentre("ZOK", "Z", "1", std::string("/r/a.cii"));
  AddCentre("ZBLANK", "Z", "1", std::string("   "));
  AddCentre("ZNULL", "Z", "1", std::monostate{});
  AddCentre("MEMPTY", "M", "1", std::string(""));
  CentreMaster centre;
  EXPECT_TRUE(LookupCentre(db_, "ZOK", centre).ok());
  EXPECT_EQ(centre.ntsFileNo, 2);
  EXPECT_EQ(centre.ReceivePath(), "/r/a.cii");
  EXPECT_EQ(LookupCentre(db_, "ZBLANK", centre).endCode, "6101");
  EXPECT_EQ(LookupCentre(db_, "ZNULL", centre).endCode, "6101");
  EXPECT_TRUE(LookupCentre(db_, "MEMPTY", centre).ok());
  EXPECT_EQ(LookupCentre(db_, "NONE", centre).endCode, "7002");
  EXPECT_EQ(LookupCentre(db_, "ZOK' OR 'a'='a", centre).endCode, "7002");
}

TEST_P(ControlMasterTest, CentreCompanies) {
  CentreCompanies companies;
  companies.codes = {"stale"};
  EXPECT_EQ(LoadCentreCompanies(db_, "C01", companies).Codes(), "7300/0001");
  EXPECT_TRUE(companies.codes.empty());
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ VALUES ('C01', 'K1'), ('C01', 'K2')"));
  EXPECT_TRUE(LoadCentreCompanies(db_, "C01", companies).ok());
  ASSERT_EQ(companies.codes.size(), 2u);
  EXPECT_EQ(companies.codes[0], "K1");
  EXPECT_EQ(LoadCentreCompanies(db_, "C01'--", companies).endCode, "7300");
}

INSTANTIATE_TEST_SUITE_P(Backends, ControlMasterTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi
