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
  ResultSet rs;
  EXPECT_EQ(QueryCentreList(db_, rs), "9999");
  AddCentre("C03", "M", "1", std::string("/r"));
  AddCentre("C01", "Z", "1", std::string("/r/a.cii"));
  AddCentre("C02", "W", "2", std::string("/r"));
  ASSERT_EQ(QueryCentreList(db_, rs), "0000");
  std::vector<CentreRow> rows(3);
  rows[0].state = kRowError;
  ASSERT_EQ(LoadCentreRows(rs, rows), "0000");
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
  ResultSet rs;
  EXPECT_EQ(LookupCentre(db_, "ZOK", rs), "0000");
  EXPECT_EQ(rs.Get("NTS受信ファイル番号"), "2");
  EXPECT_EQ(LookupCentre(db_, "ZBLANK", rs), "6101");
  EXPECT_EQ(LookupCentre(db_, "ZNULL", rs), "6101");
  EXPECT_EQ(LookupCentre(db_, "MEMPTY", rs), "0000");
  EXPECT_EQ(LookupCentre(db_, "NONE", rs), "7002");
  EXPECT_EQ(LookupCentre(db_, "ZOK' OR 'a'='a", rs), "7002");
}

TEST_P(ControlMasterTest, CentreCompanies) {
  CentreCompanies companies;
  companies.codes = {"stale"};
  std::string result, detail;
  LoadCentreCompanies(db_, "C01", companies, result, detail);
  EXPECT_EQ(result, "7300");
  EXPECT_EQ(detail, "0001");
  EXPECT_EQ(companies.count(), 0);
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ VALUES ('C01', 'K1'), ('C01', 'K2')"));
  LoadCentreCompanies(db_, "C01", companies, result, detail);
  EXPECT_EQ(result, "0000");
  EXPECT_EQ(detail, "0000");
  ASSERT_EQ(companies.count(), 2);
  EXPECT_EQ(companies.codes[0], "K1");
  LoadCentreCompanies(db_, "C01'--", companies, result, detail);
  EXPECT_EQ(result, "7300");
}

INSTANTIATE_TEST_SUITE_P(Backends, ControlMasterTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi
