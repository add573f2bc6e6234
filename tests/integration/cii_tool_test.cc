// The converters' command lines against a demo station: exit status, the
// printed result code, messages on standard error, the station's own
// settings and log when no --db and --log are given.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/command.h"
#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi {
namespace {

using test::Command;
using test::CommandResult;

class CiiToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = test::TempDir("station").string();
    ASSERT_EQ(Command(std::string(EDI_BINARY_DIR) + "/apps/edi-station init " + station_ + " --demo").status, 0);
    tool_ = station_ + "/system/bin/cii-tool";
    db_ = " --db sqlite:" + station_ + "/data/edi.sqlite";
  }

  std::string station_, tool_, db_;
};

TEST_F(CiiToolTest, StationSettingsAndLogAreTheDefaults) {
  CommandResult run = Command(tool_ + " from-local --in " + station_ + "/out/DEMO_ORDERS.LOC --out " + station_ + "/out/D.CII --transfer 42");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(test::ReadFile(station_ + "/system/bin/ERR.LOG").substr(0, 29), "0000--M470540 start--00000042");
  run = Command(tool_ + " to-local" + db_ + " --in " + station_ + "/out/D.CII --out " + station_ + "/in/R.LOC --log " +
                station_ + "/my.log");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFile(station_ + "/in/R0101.LOC"), test::ReadFile(station_ + "/out/DEMO_ORDERS.LOC"));
  EXPECT_NE(test::ReadFile(station_ + "/my.log").find("--M470540 start--00000000  "), std::string::npos);
}

TEST_F(CiiToolTest, AFailedConversionPrintsItsCodeAndExitsOne) {
  test::WriteFile(station_ + "/bad.CII",
                  test::CiiGroup(test::GroupHeader("NOSUCH01", "0101", 'M'), {std::string("\x01\x01" "A", 3)}));
  CommandResult run = Command(tool_ + " to-local" + db_ + " --in " + station_ + "/bad.CII --out " + station_ + "/R.LOC --log " +
                    station_ + "/e.log");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0001\n");
  EXPECT_NE(test::ReadFile(station_ + "/e.log").find("0001\r\n"), std::string::npos);
}

TEST_F(CiiToolTest, XmlConversionsThatWriteNothingFail) {
  test::WriteFile(station_ + "/broken.xml", "<?xml version=\"1.0\"?><CII><JPMGH><JPC10>DEMO");
  CommandResult run = Command(tool_ + " from-xml" + db_ + " --in " + station_ + "/broken.xml --out " + station_ + "/x.CII --log " +
                    station_ + "/e.log");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0023\n");
  EXPECT_FALSE(run.err.empty());

  test::WriteFile(station_ + "/empty.xml", "<?xml version=\"1.0\"?><CII><nothing/></CII>");
  run = Command(tool_ + " from-xml" + db_ + " --in " + station_ + "/empty.xml --out " + station_ + "/x.CII --log " +
                station_ + "/e.log");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("nothing was written"), std::string::npos) << run.err;

  ASSERT_EQ(Command(tool_ + " from-local --in " + station_ + "/out/DEMO_ORDERS.LOC --out " + station_ + "/d.CII").status, 0);
  std::string cii = test::ReadFile(station_ + "/d.CII");
  test::WriteFile(station_ + "/cut.CII", cii.substr(0, cii.size() - 251));  // no trailer
  run = Command(tool_ + " to-xml" + db_ + " --in " + station_ + "/cut.CII --out " + station_ + "/cut.xml --log " +
                station_ + "/e.log");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0007\n") << "a group without its trailer is a file cut short";
  EXPECT_FALSE(std::filesystem::exists(station_ + "/cut.xml"));

  run = Command(tool_ + " to-xml" + db_ + " --in " + station_ + "/d.CII --out " + station_ + "/d.xml --log " + station_ +
                "/e.log");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadFile(station_ + "/d.xml").substr(0, 44), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n");
}

TEST_F(CiiToolTest, UsageAndConnectionErrors) {
  EXPECT_EQ(Command(tool_ + " to-local --in x").status, 2);
  EXPECT_EQ(Command(tool_ + " frobnicate").status, 2);
  CommandResult run = Command(tool_ + " to-local --db sqlite:" + station_ + "/none.sqlite --in a --out b");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("接続エラー"), std::string::npos);
}

}  // namespace
}  // namespace edi
