// Stations on one PostgreSQL database: set up by edi-station init --db,
// moved there by edi-station migrate, and running at the same time.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <map>
#include <set>

#include "db/database.h"
#include "support/command.h"
#include "support/format_fixture.h"
#include "support/jx_server.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;
using test::Command;
using test::Quoted;

class SharedDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::TestBackends().size() < 2) GTEST_SKIP() << "no PostgreSQL data source";
    dsn_ = std::getenv("EDI_TEST_ODBC_DSN");
    ASSERT_TRUE(admin_.OpenOdbc("DSN=" + dsn_ + ";")) << admin_.LastError();
    root_ = test::TempDir("shared");
  }

  // A fresh database of the test cluster, as a connection string.
  std::string FreshDatabase(const std::string& name) {
    EXPECT_TRUE(admin_.ExecuteSql("DROP DATABASE IF EXISTS " + name)) << admin_.LastError();
    EXPECT_TRUE(admin_.ExecuteSql("CREATE DATABASE " + name)) << admin_.LastError();
    return "DSN=" + dsn_ + ";Database=" + name;
  }

  test::CommandResult Station(const std::string& arguments) {
    return Command(test::Program("edi-station") + " " + arguments);
  }

  static long long Count(Database& db, const std::string& sql) {
    ResultSet rs;
    EXPECT_TRUE(db.Query(sql, {}, rs)) << db.LastError();
    return rs.AtEnd() ? -1 : std::stoll(rs.Get("n").value_or("-1"));
  }

  std::string dsn_;
  Database admin_;
  fs::path root_;
};

TEST_F(SharedDatabaseTest, InitCreatesAndJoinsAndMigrateMovesAStation) {
  const std::string shared = FreshDatabase("edi_joined");
  const std::string a = (root_ / "a").string(), b = (root_ / "b").string();
  auto made = Station("init " + a + " --db " + Quoted(shared) + " --demo");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(test::ReadFile(a + "/EDI.ini").find("DBSTRING=" + shared + "\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(a + "/data/edi.sqlite"));
  Database db;
  ASSERT_TRUE(db.OpenOdbc(shared + ";")) << db.LastError();
  ASSERT_TRUE(db.ExecuteSql("UPDATE FL1903EDI制御マスタ SET センター名 = 'changed' WHERE センターコード = 'DEMOW01'"));
  const long long centres = Count(db, "SELECT COUNT(*) AS n FROM FL1903EDI制御マスタ");
  const long long formats = Count(db, "SELECT COUNT(*) AS n FROM FL1903レコードフォーマット情報マスタ");

  // A second station joins the database as it is.
  made = Station("init " + b + " --db " + Quoted(shared) + " --demo");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(Count(db, "SELECT COUNT(*) AS n FROM FL1903EDI制御マスタ"), centres);
  EXPECT_EQ(Count(db, "SELECT COUNT(*) AS n FROM FL1903レコードフォーマット情報マスタ"), formats);
  EXPECT_EQ(Count(db, "SELECT COUNT(*) AS n FROM FL1903EDI制御マスタ WHERE センター名 = 'changed'"), 1);
  const auto listed = Station("list " + b);
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("DEMOW01\tchanged"), std::string::npos) << listed.out;
  EXPECT_EQ(Station("init " + (root_ / "c").string() + " --db " + Quoted("DSN=no_such_source")).status, 1);
  const auto named = Station("init " + a + " --db " + Quoted(shared + "x"));
  EXPECT_EQ(named.status, 1);
  EXPECT_NE(named.err.find("edi-station migrate"), std::string::npos) << named.err;

  // A SQLite station with history moves into an empty database.
  const std::string lone = (root_ / "lone").string();
  ASSERT_EQ(Station("init " + lone + " --demo").status, 0);
  test::DropDemoJxCentre(lone);
  Command(lone + "/system/bin/edi-receive --all");
  const std::string before = Station("history " + lone + " --format json").out;
  ASSERT_NE(before.find("DEMOW01"), std::string::npos);
  // The target was set up by a station of its own (tables and categories,
  // no history): its rows are kept, the others copied.
  const std::string target = FreshDatabase("edi_moved");
  ASSERT_EQ(Station("init " + (root_ / "prepared").string() + " --db " + Quoted(target)).status, 0);
  const auto moved = Station("migrate " + lone + " --to " + Quoted(target));
  ASSERT_EQ(moved.status, 0) << moved.err;
  EXPECT_NE(moved.out.find("FL1102処理履歴ファイル"), std::string::npos) << moved.out;
  EXPECT_NE(moved.out.find("already there kept"), std::string::npos) << moved.out;
  const std::string ini = test::ReadFile(lone + "/EDI.ini");
  EXPECT_NE(ini.find("; DBSTRING=sqlite:data/edi.sqlite"), std::string::npos) << ini;
  EXPECT_NE(ini.find("\r\nDBSTRING=" + target + "\r\n"), std::string::npos) << ini;
  EXPECT_EQ(Station("history " + lone + " --format json").out, before);

  // A database that holds history already is refused, nothing changed.
  const std::string other = (root_ / "other").string();
  ASSERT_EQ(Station("init " + other + " --demo").status, 0);
  Command(other + "/system/bin/edi-receive --centre DEMOW01");
  const std::string otherIni = test::ReadFile(other + "/EDI.ini");
  const auto refused = Station("migrate " + other + " --to " + Quoted(target));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("already holds history"), std::string::npos) << refused.err;
  EXPECT_EQ(test::ReadFile(other + "/EDI.ini"), otherIni);
}

TEST_F(SharedDatabaseTest, TwoStationsRunAtOnceWithUniqueTransfersAndSharedLedger) {
  const std::string shared = FreshDatabase("edi_two");
  const std::string a = (root_ / "a").string(), b = (root_ / "b").string();
  ASSERT_EQ(Station("init " + a + " --db " + Quoted(shared) + " --demo").status, 0);
  ASSERT_EQ(Station("init " + b + " --db " + Quoted(shared) + " --demo").status, 0);
  Database db;
  ASSERT_TRUE(db.OpenOdbc(shared + ";")) << db.LastError();
  // Fifty centres whose partners leave a CII file in a folder both reach.
  const std::string orders = test::ReadFile(a + "/recv/DEMOW01/orders.CII");
  auto code = [](int n) { return "PW" + std::string(n < 10 ? "0" : "") + std::to_string(n); };
  auto deliver = [&](int from, int to) {
    for (int n = from; n <= to; ++n) test::WriteFile((root_ / "partners" / code(n) / "orders.CII").string(), orders);
  };
  for (int n = 1; n <= 50; ++n) {
    fs::create_directories(root_ / "partners" / code(n));
    ASSERT_TRUE(db.ExecuteSql("INSERT INTO FL1903EDI制御マスタ (センターコード, センター名, 送受信方式, 送受信データ形式,"
                              " 相手先種別, NTS受信ファイルパス) VALUES (:1, :2, 'W', 'C', '1', :3)",
                              {code(n), code(n), (root_ / "partners" / code(n) / "orders.CII").string()}));
    ASSERT_TRUE(db.ExecuteSql("INSERT INTO FL1915センタ利用企業マスタ (センターコード, 相手先企業コード) VALUES (:1, 'C0003')",
                              {code(n)}));
  }
  auto centres = [&](int from, int to) {
    std::string args;
    for (int n = from; n <= to; ++n) args += " --centre " + code(n);
    return args;
  };
  auto both = [&](const std::string& argsA, const std::string& argsB) {
    auto runA = std::async(std::launch::async, [&] { return Command(a + "/system/bin/edi-receive" + argsA); });
    auto runB = std::async(std::launch::async, [&] { return Command(b + "/system/bin/edi-receive" + argsB); });
    return std::make_pair(runA.get(), runB.get());
  };

  // Different centres: every transfer done, each station's files its own.
  deliver(1, 50);
  const auto [firstA, firstB] = both(centres(1, 25), centres(26, 50));
  EXPECT_EQ(firstA.status, 0) << firstA.out << firstA.err;
  EXPECT_EQ(firstB.status, 0) << firstB.out << firstB.err;
  ResultSet rows;
  ASSERT_TRUE(db.Query("SELECT h.通番, h.センターコード, h.終了コード, l.ファイル名, l.局 FROM FL1102処理履歴ファイル h"
                       " JOIN FL9101受信ファイル台帳 l ON l.通番 = h.通番 WHERE h.枝番 = 0",
                       {}, rows));
  std::map<std::string, std::string> firstTransfer;  // centre → its transfer
  for (; !rows.AtEnd(); rows.MoveNext()) {
    const std::string centre = *rows.Get("センターコード");
    EXPECT_EQ(rows.Get("終了コード").value_or(""), "0000") << centre;
    EXPECT_TRUE(firstTransfer.emplace(centre, *rows.Get("通番")).second) << centre << " received twice";
    const std::string& own = centre <= "PW25" ? a : b;
    EXPECT_NE(rows.Get("局")->find(own), std::string::npos) << centre;
    EXPECT_TRUE(fs::exists(own + "/old/" + *rows.Get("ファイル名"))) << centre << " backed up elsewhere";
  }
  EXPECT_EQ(firstTransfer.size(), 50u);

  // The same centres: each file is taken by one station only, and it is
  // known as a duplicate of the first round whichever station took it.
  deliver(1, 25);
  both(centres(1, 25), centres(1, 25));
  ASSERT_TRUE(db.Query("SELECT l.センターコード, l.重複元通番 FROM FL9101受信ファイル台帳 l"
                       " WHERE l.通番 > :1",
                       {static_cast<long long>(50)}, rows));
  std::set<std::string> again;
  for (; !rows.AtEnd(); rows.MoveNext()) {
    const std::string centre = *rows.Get("センターコード");
    EXPECT_TRUE(again.insert(centre).second) << centre << " taken by both stations";
    EXPECT_EQ(rows.Get("重複元通番").value_or(""), firstTransfer[centre]) << centre;
  }
  EXPECT_EQ(again.size(), 25u);
  // (A centre the other station holds is skipped without a transfer; one
  // whose file was taken already is a transfer that found nothing.)
  EXPECT_EQ(Count(db, "SELECT COUNT(DISTINCT 通番) AS n FROM FL1102処理履歴ファイル"),
            Count(db, "SELECT COUNT(*) AS n FROM FL1102処理履歴ファイル WHERE 枝番 = 0"));
  EXPECT_EQ(Count(db, "SELECT COUNT(*) AS n FROM FL1102処理履歴ファイル h WHERE 枝番 = 0 AND NOT EXISTS"
                      " (SELECT 1 FROM FL1102処理履歴ファイル s WHERE s.通番 = h.通番 AND s.枝番 > 0)"),
            0) << "a transfer without its steps";

  // Station B re-runs a transfer station A received, from A's backup.
  const auto rerun = Command(b + "/system/bin/edi-receive --rerun " + firstTransfer["PW01"]);
  EXPECT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_EQ(Count(db, "SELECT COUNT(*) AS n FROM FL9101受信ファイル台帳 WHERE 再処理元通番 = " + firstTransfer["PW01"]), 1);
}

}  // namespace
}  // namespace edi
