// The converters on the command line under bad input and failing disks: no
// crash, no silent loss, clear errors. Each case is a fault that once held.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>

#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_writer.h"
#include "db/database.h"
#include "support/command.h"
#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi {
namespace {

namespace fs = std::filesystem;
using test::Command;
using test::CommandResult;

// The demo order format: key, then order number X10, date Y8, item K20,
// quantity 9(7), three parts of X8 + N5.
const std::string kKey = "     0101      DEMOOWN     DEMOPARTNER ";
std::string Record(const std::string& order, const std::string& date = "20261208",
                   const std::string& quantity = "0000250") {
  std::string item;
  for (int i = 0; i < 10; ++i) item += "\x81\x40";  // full-width blanks, as the converter writes them
  return order + date + item + quantity + "B-100   00012" + "        00000" + "        00000";
}

class ConverterFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = test::TempDir("faults").string();
    ASSERT_EQ(Command(test::Program("edi-station") + " init " + station_ + " --demo").status, 0);
    tool_ = station_ + "/system/bin/cii-tool";
    db_ = " --db sqlite:" + station_ + "/data/edi.sqlite --log " + Path("e.log");
  }

  std::string Path(const std::string& name) const { return station_ + "/" + name; }

  CommandResult Tool(const std::string& command, const std::string& in, const std::string& out) {
    return Command(tool_ + " " + command + db_ + " --in " + test::Quoted(in) + " --out " + test::Quoted(out));
  }

  // The demo orders as CII.
  std::string DemoCii() {
    EXPECT_EQ(Tool("from-local", Path("out/DEMO_ORDERS.LOC"), Path("d.CII")).status, 0);
    return test::ReadFile(Path("d.CII"));
  }

  std::string station_, tool_, db_;
};

// --- CII to XML -------------------------------------------------------------

TEST_F(ConverterFaultsTest, TwoGroupStartsBeforeTheEndMarkFailWithACode) {
  std::string cii = DemoCii();
  const std::string body("\x01\x0a" "ORD0000001" "\xfa\xfa", 14);
  std::string data;
  ASSERT_EQ(cii::MessageData(1, body, data), 0);
  std::string block;
  cii::AppendMessageBlocks(block, data, 'M');
  cii.replace(251, 251, block);  // the first message is one block
  test::WriteFile(Path("two.CII"), cii);
  CommandResult run = Tool("to-xml", Path("two.CII"), Path("two.xml"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0030\n");
  EXPECT_NE(test::ReadFile(Path("e.log")).find("\r\n0030"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("two.xml")));
}

TEST_F(ConverterFaultsTest, TemporaryDocumentsNeverFollowALink) {
  DemoCii();
  test::WriteFile(Path("victim"), "precious");
  fs::create_symlink(Path("victim"), Path("d.xml.part"));
  ASSERT_EQ(Tool("to-xml", Path("d.CII"), Path("d.xml")).status, 0);
  EXPECT_EQ(test::ReadFile(Path("victim")), "precious");
  EXPECT_NE(test::ReadFile(Path("d.xml")).find("<JPTRM"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(station_)) {
    EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << "left behind: " << entry.path();
  }
}

TEST_F(ConverterFaultsTest, NoOutputIsWrittenThroughALinkPlantedAtItsName) {
  const std::string cii = DemoCii();
  test::WriteFile(Path("victim"), "precious");
  fs::create_symlink(Path("victim"), Path("R0101.LOC"));  // the next local file of to-local
  fs::create_symlink(Path("victim"), Path("x.CII"));      // the CII file of an XML centre
  CommandResult run = Tool("to-local", Path("d.CII"), Path("R.LOC"));
  EXPECT_EQ(run.out, "0022\n");
  run = Tool("from-xml", Path("data/demo-orders.xml"), Path("x.CII"));
  EXPECT_EQ(run.out, "0022\n");
  EXPECT_EQ(test::ReadFile(Path("victim")), "precious");
  // A new output appears under its name only complete.
  ASSERT_EQ(Tool("to-local", Path("d.CII"), Path("new.LOC")).status, 0);
  for (const auto& entry : fs::directory_iterator(station_)) {
    EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos) << "left behind: " << entry.path();
  }
  EXPECT_FALSE(test::ReadFile(Path("new0101.LOC")).empty());
}

TEST_F(ConverterFaultsTest, ABpidThatCannotNameTheRootIsRefused) {
  Database db;
  ASSERT_TRUE(db.OpenSqlite(Path("data/edi.sqlite")));
  test::InsertFormat(db, "0101", "BP\"<0001", {{1, 0, 0, 1, "X", 10}}, {});
  test::WriteFile(Path("q.CII"), test::CiiGroup(test::GroupHeader("BP\"<0001", "0101", 'M'), {std::string("\x01\x01" "A", 3)}));
  CommandResult run = Tool("to-xml", Path("q.CII"), Path("q.xml"));
  EXPECT_EQ(run.out, "0037\n");
  EXPECT_FALSE(fs::exists(Path("q.xml")));
}

// --- every direction: the output never names the input -------------------------

TEST_F(ConverterFaultsTest, AnOutputNamingTheInputIsRefusedBeforeAnythingIsWritten) {
  const std::string cii = DemoCii();
  fs::create_symlink(Path("d.CII"), Path("link.CII"));
  for (const char* command : {"to-xml", "to-local", "from-xml", "from-local"}) {
    for (const char* out : {"d.CII", "link.CII"}) {
      CommandResult run = Tool(command, Path("d.CII"), Path(out));
      EXPECT_EQ(run.status, 2) << command << " " << out;
      EXPECT_NE(run.err.find("names the input"), std::string::npos) << run.err;
    }
  }
  EXPECT_EQ(test::ReadFile(Path("d.CII")), cii);
}

// --- local to CII -------------------------------------------------------------

TEST_F(ConverterFaultsTest, AFailedFromLocalAppendsNothing) {
  test::WriteFile(Path("out.CII"), "KEEP");
  // Line 2 has a partner without message group information: 0001.
  test::WriteFile(Path("two.LOC"), kKey + Record("ORD0000001") + "\r\n" +
                                      "     0101      DEMOOWN     NOBODY      " + Record("ORD0000002") + "\r\n");
  CommandResult run = Tool("from-local", Path("two.LOC"), Path("out.CII"));
  EXPECT_EQ(run.out, "0001\n");
  EXPECT_EQ(test::ReadFile(Path("out.CII")), "KEEP");
  EXPECT_EQ(Tool("from-local", Path("two.LOC"), Path("new.CII")).out, "0001\n");
  EXPECT_FALSE(fs::exists(Path("new.CII"))) << "a file the conversion created is removed";
}

TEST_F(ConverterFaultsTest, LinesEndWithCrLfCrOrLfAndCtrlZEndsTheFile) {
  const std::string a = kKey + Record("ORD0000001"), b = kKey + Record("ORD0000002");
  for (const std::string& ending : {std::string("\r"), std::string("\n"), std::string("\r\n")}) {
    test::WriteFile(Path("e.LOC"), a + ending + b + ending + "\x1A");
    fs::remove(Path("e.CII"));
    ASSERT_EQ(Tool("from-local", Path("e.LOC"), Path("e.CII")).status, 0);
    fs::remove(Path("back0101.LOC"));
    ASSERT_EQ(Tool("to-local", Path("e.CII"), Path("back.LOC")).status, 0);
    EXPECT_EQ(test::ReadFile(Path("back0101.LOC")), a + "\r\n" + b + "\r\n") << "ending " << ending.size();
  }
}

TEST_F(ConverterFaultsTest, ALineLongerThanItsRecordStops) {
  test::WriteFile(Path("long.LOC"), kKey + Record("ORD0000001") + "X\r\n");
  EXPECT_EQ(Tool("from-local", Path("long.LOC"), Path("long.CII")).out, "0031\n");
  EXPECT_FALSE(fs::exists(Path("long.CII")));
}

TEST_F(ConverterFaultsTest, TextInNumberAndDateFieldsIsNoNumber) {
  test::WriteFile(Path("date.LOC"), kKey + Record("ORD0000001", "2026ABCD") + "\r\n");
  EXPECT_EQ(Tool("from-local", Path("date.LOC"), Path("x.CII")).out, "0019\n");
  test::WriteFile(Path("qty.LOC"), kKey + Record("ORD0000001", "20261208", "00012.5") + "\r\n");
  EXPECT_EQ(Tool("from-local", Path("qty.LOC"), Path("x.CII")).out, "0019\n");
}

// --- XML to CII ---------------------------------------------------------------

TEST_F(ConverterFaultsTest, AnElementTooLongForItsLengthFieldIsRefused) {
  DemoCii();
  ASSERT_EQ(Tool("to-xml", Path("d.CII"), Path("d.xml")).status, 0);
  std::string xml = test::ReadFile(Path("d.xml"));
  const size_t at = xml.find("ORD0000001");
  ASSERT_NE(at, std::string::npos);
  xml.replace(at, 10, std::string(70000, 'A'));
  test::WriteFile(Path("big.xml"), xml);
  test::WriteFile(Path("big.CII"), "KEEP");
  EXPECT_EQ(Tool("from-xml", Path("big.xml"), Path("big.CII")).out, "0033\n");
  EXPECT_EQ(test::ReadFile(Path("big.CII")), "KEEP");
}

// --- CII to local and the reader ----------------------------------------------

TEST_F(ConverterFaultsTest, AFailedToLocalCutsItsFilesBack) {
  std::string cii = DemoCii();
  test::WriteFile(Path("R0101.LOC"), "KEEP");
  test::WriteFile(Path("two.CII"), cii + cii.substr(0, cii.size() - 251));  // the second group has no trailer
  EXPECT_EQ(Tool("to-local", Path("two.CII"), Path("R.LOC")).out, "0007\n");
  EXPECT_EQ(test::ReadFile(Path("R0101.LOC")), "KEEP");
}

TEST_F(ConverterFaultsTest, WhatIsNoCiiFileIsSaidSo) {
  std::string random(20000, '\0');
  std::mt19937 generator(3);
  for (char& c : random) c = static_cast<char>(generator());
  random[0] = 'Q';
  test::WriteFile(Path("random.CII"), random);
  EXPECT_EQ(Tool("to-local", Path("random.CII"), Path("R.LOC")).out, "0035\n");
  EXPECT_EQ(Tool("to-local", "/dev/zero", Path("R.LOC")).out, "0035\n");
  EXPECT_EQ(Tool("to-xml", "/dev/zero", Path("z.xml")).out, "0035\n");
  fs::create_directory(Path("folder.CII"));
  EXPECT_EQ(Tool("to-local", Path("folder.CII"), Path("R.LOC")).out, "0022\n");
  EXPECT_LT(fs::file_size(Path("e.log")), 2000u) << "the log stays small";
  CommandResult dump = Command(tool_ + " dump " + Path("folder.CII"));
  EXPECT_EQ(dump.status, 1);
  EXPECT_NE(dump.err.find("cannot read"), std::string::npos);
  // A file of nothing but damage stops at the 100th report.
  std::string damaged = DemoCii().substr(0, 251);
  for (int i = 0; i < 1000; ++i) damaged += "X?";
  test::WriteFile(Path("damaged.CII"), damaged);
  EXPECT_EQ(Tool("to-local", Path("damaged.CII"), Path("R.LOC")).out, "0036\n");
}

TEST_F(ConverterFaultsTest, DumpReportsCutFilesAndStaysLinearInDepth) {
  const std::string cii = DemoCii();
  test::WriteFile(Path("cut.CII"), cii.substr(0, cii.size() - 251));
  CommandResult dump = Command(tool_ + " dump " + Path("cut.CII"));
  EXPECT_EQ(dump.status, 1);
  EXPECT_NE(dump.out.find("ERROR 0007"), std::string::npos) << dump.out;
  // A message of 5000 nested group starts, each closed again.
  std::string body(5000, '\xFA');
  body += std::string(5000, '\xFC');
  std::string deep;
  cii::AppendGroupHeader(deep, test::GroupHeader("DEMO0001", "0101", 'M'));
  cii::AppendMessageBlocks(deep, test::Data(1, body), 'M');
  test::AppendTrailer(deep, 1);
  test::WriteFile(Path("deep.CII"), deep);
  dump = Command(tool_ + " dump " + Path("deep.CII"));
  EXPECT_EQ(dump.status, 0) << dump.out.substr(0, 400);
  EXPECT_LT(dump.out.size(), 10000u * 80u);
  EXPECT_NE(dump.out.find("[depth 5000]"), std::string::npos);
}

// --- a full disk ----------------------------------------------------------------

class FullDiskTest : public ConverterFaultsTest {
 protected:
  void SetUp() override {
    ConverterFaultsTest::SetUp();
    disk_ = Path("disk");
    fs::create_directory(disk_);
    if (geteuid() != 0 || mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=128k") != 0) {
      GTEST_SKIP() << "the full-disk cases need root to mount a small tmpfs; skipped";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount(disk_.c_str());
  }
  std::string disk_;
  bool mounted_ = false;
};

TEST_F(FullDiskTest, AFailedWriteIs0022AndLeavesNothing) {
  std::string lines;
  for (int i = 0; i < 3000; ++i) {
    char order[16];
    std::snprintf(order, sizeof order, "ORD%07d", i);
    lines += kKey + Record(order) + "\r\n";
  }
  test::WriteFile(Path("many.LOC"), lines);  // 370 KB: three times the disk
  CommandResult run = Tool("from-local", Path("many.LOC"), disk_ + "/many.CII");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0022\n");
  EXPECT_FALSE(fs::exists(disk_ + "/many.CII"));
  EXPECT_NE(test::ReadFile(Path("e.log")).find("0022cannot write " + disk_ + "/many.CII"), std::string::npos);

  ASSERT_EQ(Tool("from-local", Path("many.LOC"), Path("many.CII")).status, 0);
  run = Tool("to-local", Path("many.CII"), disk_ + "/R.LOC");
  EXPECT_EQ(run.out, "0022\n");
  EXPECT_FALSE(fs::exists(disk_ + "/R0101.LOC"));
  run = Tool("to-xml", Path("many.CII"), disk_ + "/many.xml");
  EXPECT_EQ(run.out, "0022\n");
  EXPECT_TRUE(fs::is_empty(disk_));
}

// --- settings and the command line --------------------------------------------

TEST_F(ConverterFaultsTest, ASettingsFileThatIsAFolderIsASettingsError) {
  fs::remove(Path("EDI.ini"));
  fs::create_directory(Path("EDI.ini"));
  CommandResult run = Command(tool_ + " from-local --in " + Path("out/DEMO_ORDERS.LOC") + " --out " + Path("x.CII"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("INIﾌｧｲﾙ読込エラー"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(Path("EDI.ini") + " is a folder"), std::string::npos) << run.err;
  run = Command(test::Program("edi-station") + " init ''");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(run.err.empty());
}

TEST_F(ConverterFaultsTest, MessagesSayWhatFailedAndWhere) {
  std::string ini = test::ReadFile(Path("EDI.ini"));
  test::WriteFile(Path("EDI.ini"), std::regex_replace(ini, std::regex("TextFocusColor=[^\r]*"), "TextFocusColor=pink"));
  CommandResult run = Command(tool_ + " from-local --in " + Path("out/DEMO_ORDERS.LOC") + " --out " + Path("x.CII"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("INIﾌｧｲﾙ読込エラー: " + Path("EDI.ini") + ": [Setting0] TextFocusColor"), std::string::npos)
      << run.err;
  test::WriteFile(Path("EDI.ini"), std::regex_replace(ini, std::regex("DBSTRING=[^\r]*"), "DBSTRING=no_such_dsn"));
  run = Command(tool_ + " from-local --in " + Path("out/DEMO_ORDERS.LOC") + " --out " + Path("x.CII"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("接続エラー: data source no_such_dsn: "), std::string::npos) << run.err;
}

TEST_F(ConverterFaultsTest, ALongDataSourceIsReadWhole) {
  const std::string name = "data/" + std::string(60, 'd') + ".sqlite";
  fs::copy_file(Path("data/edi.sqlite"), Path(name));
  std::string ini = test::ReadFile(Path("EDI.ini"));
  test::WriteFile(Path("EDI.ini"), std::regex_replace(ini, std::regex("DBSTRING=[^\r]*"), "DBSTRING=sqlite:" + name));
  CommandResult run = Command(tool_ + " from-local --in " + Path("out/DEMO_ORDERS.LOC") + " --out " + Path("x.CII"));
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(ConverterFaultsTest, TheSqlitePathIsAFileName) {
  const std::string odd = Path("b\" vfs=\"unix-none");
  CommandResult run = Command(tool_ + " from-local --db " + test::Quoted("sqlite:" + odd) + " --in " +
                              Path("out/DEMO_ORDERS.LOC") + " --out " + Path("x.CII"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("接続エラー"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("b"))) << "no empty database is created";
  fs::copy_file(Path("data/edi.sqlite"), odd);
  run = Command(tool_ + " from-local --db " + test::Quoted("sqlite:" + odd) + " --in " + Path("out/DEMO_ORDERS.LOC") +
                " --out " + Path("x.CII") + " --log " + Path("e.log"));
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(ConverterFaultsTest, CommandLineErrorsAndHelp) {
  const std::string in = " --in " + Path("out/DEMO_ORDERS.LOC") + " --out " + Path("x.CII");
  EXPECT_EQ(Command(tool_ + " from-local" + in + " --bogus 1").status, 2);
  EXPECT_EQ(Command(tool_ + " from-local" + in + " --transfer 12abc").status, 2);
  EXPECT_EQ(Command(tool_ + " from-local" + in + " -5").status, 2);
  CommandResult help = Command(tool_ + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: cii-tool"), std::string::npos);
  EXPECT_TRUE(help.err.empty());
  CommandResult run = Command(tool_ + " from-local" + db_ + " --in=" + Path("out/DEMO_ORDERS.LOC") + " --out=" +
                              Path("eq.CII") + " --transfer=7");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(Path("eq.CII")));
}

}  // namespace
}  // namespace edi
