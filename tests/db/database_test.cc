#include "db/database.h"

#include <gtest/gtest.h>

#include "db/category.h"
#include "db/null_value.h"
#include "db/open_database.h"
#include "support/test_db.h"

namespace edi {
namespace {

class DatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(test::OpenEmptyTestDatabase(GetParam(), db_)) << db_.LastError(); }
  Database db_;
};

TEST_P(DatabaseTest, NoDataFlagFollowsEveryQuery) {
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ, 区分名称) VALUES (:1, :2, :3)",
                             {std::string("送受信方式"), std::string("Z"), std::string("ＴＣＰ")}));
  ResultSet rs;
  ASSERT_TRUE(db_.Query("SELECT * FROM 区分マスタ WHERE 区分ｺｰﾄﾞ = :1",
                                        {std::string("none")}, rs));
  EXPECT_EQ(db_.NoDataFlag(), "9");
  EXPECT_TRUE(rs.AtEnd());
  ASSERT_TRUE(db_.Query("SELECT * FROM 区分マスタ", {}, rs));
  EXPECT_EQ(db_.NoDataFlag(), "0");
  EXPECT_EQ(rs.Get("区分名称"), "ＴＣＰ");
  EXPECT_EQ(rs.Get("区分ｺｰﾄﾞ"), "Z");
}

TEST_P(DatabaseTest, NullsNumbersAndColumnNamesOfAnyCase) {
  ASSERT_TRUE(db_.ExecuteSql(
      "INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, \"1バイト文字集合\", XML文字コード)"
      " VALUES (:1, :2, :3, :4)",
      {std::string("0101"), std::string("BP000001"), std::string("1"), std::monostate{}}));
  ResultSet rs;
  ASSERT_TRUE(db_.Query("SELECT * FROM FL1902フォーマット情報マスタ WHERE BPID = :1",
                                        {std::string("BP000001")}, rs));
  ASSERT_FALSE(rs.AtEnd());
  EXPECT_EQ(rs.Get("bpid"), "BP000001");
  EXPECT_EQ(rs.Get("BPID"), "BP000001");
  EXPECT_EQ(rs.Get("1バイト文字集合"), "1");
  EXPECT_EQ(rs.Get("XML文字コード"), std::nullopt);
  EXPECT_EQ(rs.Get("no such column"), std::nullopt);
  rs.MoveNext();
  EXPECT_TRUE(rs.AtEnd());
  EXPECT_EQ(NullToTrimmed(std::string("  abc  "), "x"), "abc");
  EXPECT_EQ(NullToTrimmed(std::nullopt, "d"), "d");
  EXPECT_EQ(NullToDefault(std::string("  abc "), "x"), "  abc ");
}

TEST_P(DatabaseTest, CategoryLookup) {
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ, 区分名称) VALUES (:1, :2, :3)",
                             {std::string("送受信方式"), std::string("M"), std::string("電子メール")}));
  EXPECT_EQ(LookupCategoryName(db_, "送受信方式", "M"), "電子メール");
  EXPECT_EQ(LookupCategoryName(db_, "送受信方式", "Q"), "");
  EXPECT_EQ(db_.NoDataFlag(), "9");
  // A quote is data: no SQL error, no row.
  EXPECT_EQ(LookupCategoryName(db_, "送受信方式", "M' OR '1'='1"), "");
  EXPECT_EQ(LookupCategoryName(db_, "送受信方式'", "M"), "");
}

TEST_P(DatabaseTest, ErrorsAreReportedNotThrown) {
  ResultSet rs;
  EXPECT_FALSE(db_.Query("SELECT * FROM no_such_table", {}, rs));
  EXPECT_FALSE(db_.LastError().empty());
  EXPECT_EQ(db_.NoDataFlag(), "9");
  EXPECT_FALSE(db_.ExecuteSql("INSERT INTO no_such_table VALUES (1)"));
  // The connection is still usable.
  EXPECT_TRUE(db_.Query("SELECT * FROM 区分マスタ", {}, rs));
}

TEST_P(DatabaseTest, TransactionsCommitAndRollBack) {
  EXPECT_TRUE(db_.CommitTransaction());  // nothing open: no error
  ASSERT_TRUE(db_.BeginTransaction());
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ) VALUES ('a', '1')"));
  ASSERT_TRUE(db_.RollbackTransaction());
  ResultSet rs;
  ASSERT_TRUE(db_.Query("SELECT * FROM 区分マスタ", {}, rs));
  EXPECT_TRUE(rs.AtEnd());
  ASSERT_TRUE(db_.BeginTransaction());
  ASSERT_TRUE(db_.ExecuteSql("INSERT INTO 区分マスタ (区分, 区分ｺｰﾄﾞ) VALUES ('a', '1')"));
  ASSERT_TRUE(db_.CommitTransaction());
  ASSERT_TRUE(db_.Query("SELECT * FROM 区分マスタ", {}, rs));
  EXPECT_FALSE(rs.AtEnd());
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest, ::testing::ValuesIn(test::TestBackends()));

TEST(ConnectionString, PlainAndBraceQuotedValues) {
  EXPECT_EQ(BuildConnectionString("EDIDB", "edi", "secret"), "DSN=EDIDB;UID=edi;PWD=secret;");
  EXPECT_EQ(BuildConnectionString("EDIDB", "", ""), "DSN=EDIDB;UID=;PWD=;");
  EXPECT_EQ(BuildConnectionString("EDI;DB", "u{1}", "p;w}d"),
            "DSN={EDI;DB};UID={u{1}}};PWD={p;w}}d};");
}

TEST(OpenDatabase, TrimsValuesAndResolvesRelativeSqlitePaths) {
  auto dir = test::TempDir("open");
  {
    Database create;
    ASSERT_TRUE(create.CreateSqlite((dir / "edi.sqlite").string()));
  }
  Database db;
  std::string used;
  ASSERT_TRUE(OpenDatabase({"  sqlite:edi.sqlite   ", "  user ", "  pw "}, dir.string(), db, used));
  EXPECT_EQ(used, "sqlite:" + (dir / "edi.sqlite").string());
  Database missing;
  EXPECT_FALSE(OpenDatabase({"sqlite:none.sqlite", "", ""}, dir.string(), missing, used));
  EXPECT_FALSE(std::filesystem::exists(dir / "none.sqlite"));
  Database odbc;
  EXPECT_FALSE(OpenDatabase({" no_such_dsn ", "  u", "  p  "}, dir.string(), odbc, used));
  EXPECT_EQ(used, "DSN=no_such_dsn;UID=u;PWD=p;");
}

}  // namespace
}  // namespace edi
