#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "cii/syntax/cii_layout.h"
#include "cii/syntax/cii_writer.h"
#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi::cii {
namespace {

std::string RunTool(const std::string& args, int& status) {
  std::string command = std::string(EDI_BINARY_DIR) + "/apps/cii-tool " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  status = WEXITSTATUS(pclose(pipe));
  return out;
}

TEST(CiiDump, ListsGroupsMessagesElementsAndChecksTheTrailer) {
  std::array<uint8_t, kRecordSize> header;
  header.fill(' ');
  std::string bpid = "BP000001";
  std::copy(bpid.begin(), bpid.end(), header.begin() + header::kBpid);
  header[header::kStorageMode] = 'M';
  std::string file;
  AppendGroupHeader(file, header);
  MessageBody body;
  EXPECT_EQ(body.AppendElement(12, "ABC"), 0);
  EXPECT_TRUE(body.AppendGroupStart("1", false));
  EXPECT_EQ(body.AppendElement(13, "\x88\x9F"), 0);
  body.AppendGroupEnd();
  AppendMessageBlocks(file, test::Data(1, body.bytes()), 'M');
  test::AppendTrailer(file, 2);  // wrong: one message
  file += "X";
  auto path = test::TempDir("dump") / "in.CII";
  std::ofstream(path, std::ios::binary) << file;

  int status = 0;
  std::string out = RunTool("dump " + path.string(), status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("@0 group header 1"), std::string::npos) << out;
  EXPECT_NE(out.find("JPC10 \"BP00\""), std::string::npos);
  EXPECT_NE(out.find("storage mode 'M'"), std::string::npos);
  EXPECT_NE(out.find("@251 message 00001, short length form"), std::string::npos);
  EXPECT_NE(out.find("tag 12 len 3: 41 42 43 \"ABC\""), std::string::npos);
  EXPECT_NE(out.find("group start 0xFA"), std::string::npos);
  EXPECT_NE(out.find("        @"), std::string::npos);  // the group's element indented
  EXPECT_NE(out.find("count 00002 MISMATCH"), std::string::npos);
  EXPECT_NE(out.find("problem(s) found"), std::string::npos);
}

}  // namespace
}  // namespace edi::cii
