#include "cii/format_tables.h"

#include <gtest/gtest.h>

#include "support/test_db.h"

namespace edi::cii {
namespace {

struct RowSpec {
  int serial, level;
  const char* position;
  const char* attribute;
  int length, decimals, repeat;
  int itemNo = 0;
  const char* multiNo = "";
};

class FormatTablesTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(test::OpenEmptyTestDatabase(GetParam(), db_)); }

  void Insert(char kind, const std::vector<RowSpec>& rows) {
    for (const auto& r : rows) {
      ASSERT_TRUE(db_.ExecuteSql(
          "INSERT INTO FL1903レコードフォーマット情報マスタ (フォーマット種別, 情報区分コード, BPID,"
          " 項目通番, 対応項目通番, レベル番号, 項目№, 項目位置, 項目名称, 属性, 長さ, 小数部長さ,"
          " マルチ明細番号, 繰返し数, 固定項目値, 変換エラー対処)"
          " VALUES (:1, '0101', 'BP01', :2, 0, :3, :4, :5, NULL, :6, :7, :8, :9, :10, NULL, NULL)",
          {std::string(1, kind), static_cast<long long>(r.serial), static_cast<long long>(r.level),
           static_cast<long long>(r.itemNo), std::string(r.position), std::string(r.attribute),
           static_cast<long long>(r.length), static_cast<long long>(r.decimals),
           std::string(r.multiNo), static_cast<long long>(r.repeat)}))
          << db_.LastError();
    }
  }

  FormatRows Load(char kind = 'L') {
    FormatRows rows;
    EXPECT_EQ(LoadRecordFormatRows(db_, kind, "0101", "BP01", rows), LoadStatus::kFound);
    return rows;
  }

  Database db_;
};

TEST_P(FormatTablesTest, RepeatedGroupLengthEndAndTemplate) {
  Insert('L', {{1, 0, "1", "X", 10, 0, 0},
               {2, 0, "11", "M", 99, 0, 3},
               {3, 1, "11", "X", 5, 0, 0},
               {4, 1, "16", "9", 4, 2, 0}});
  FormatRows rows = Load();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].length, 10);
  EXPECT_EQ(LocalRecordLength(rows), 40);
  EXPECT_EQ(LocalRecordTemplate(rows, 40),
            std::string(15, ' ') + "00.00" + std::string(5, ' ') + "00.00" + std::string(5, ' ') + "00.00");
}

TEST_P(FormatTablesTest, GroupWithoutRepetitionsTakesOneOccurrence) {
  Insert('L', {{1, 0, "1", "M", 0, 0, 0}, {2, 1, "1", "N", 3, 0, 0}, {3, 1, "4", "X", 2, 0, 0}});
  FormatRows rows = Load();
  EXPECT_EQ(rows[0].length, 5);
  EXPECT_EQ(LocalRecordLength(rows), 5);
  EXPECT_EQ(LocalRecordTemplate(rows, LocalRecordLength(rows)), "000  ");
}

TEST_P(FormatTablesTest, NestedGroupsMultiplyAndPrefillEveryOccurrence) {
  // Outer group of 2 holding a 2-byte field and an inner group of 3 x 1 byte.
  Insert('L', {{1, 0, "1", "M", 0, 0, 2},
               {2, 1, "1", "9", 2, 0, 0},
               {3, 1, "3", "M", 0, 0, 3},
               {4, 2, "3", "9", 1, 0, 0},
               {5, 0, "11", "X", 1, 0, 0}});
  FormatRows rows = Load();
  EXPECT_EQ(rows[2].length, 1);
  EXPECT_EQ(rows[0].length, 5);
  EXPECT_EQ(LocalRecordLength(rows), 11);
  EXPECT_EQ(LocalRecordTemplate(rows, 11), "0000000000 ");
  EXPECT_EQ(OccurrenceOffsets(rows, 3), (std::vector<int>{0, 1, 2, 5, 6, 7}));
}

TEST_P(FormatTablesTest, DoubleByteTemplatesAndDecimalPointAtLevelZero) {
  Insert('L', {{1, 0, "1", "K", 10, 0, 0}, {2, 0, "11", "K", 5, 0, 0}, {3, 0, "16", "N", 5, 2, 0},
               {4, 0, "22", "X", 1, 0, 0}});
  FormatRows rows = Load();
  EXPECT_EQ(LocalRecordLength(rows), 22);
  EXPECT_EQ(LocalRecordTemplate(rows, 22),
            std::string("\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40") + "\x81\x40\x81\x40 " + "000.00" + " ");
}

TEST_P(FormatTablesTest, RowsComeInSerialOrderAndNullsReadEmpty) {
  Insert('E', {{3, 0, "", "X", 1, 0, 0, 30}, {1, 0, "", "X", 1, 0, 0, 10}, {2, 0, "", "K", 2, 0, 0, 20}});
  FormatRows rows = Load('E');
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].itemNo, 10);
  EXPECT_EQ(rows[1].itemNo, 20);
  EXPECT_EQ(rows[2].itemNo, 30);
  EXPECT_EQ(rows[0].name, "");
  FormatRows untouched = rows;
  EXPECT_EQ(LoadRecordFormatRows(db_, 'L', "0101", "BP01", untouched), LoadStatus::kNotFound);
  EXPECT_EQ(untouched.size(), 3u);
}

TEST_P(FormatTablesTest, FormatInfoAndMessageGroupValues) {
  ASSERT_TRUE(db_.ExecuteSql(
      "INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, 様式識別, 格納モード, XML文字コード)"
      " VALUES ('0101', 'BP01', 'F1', 'M', 'U')"));
  FormatInfo info;
  EXPECT_EQ(LoadFormatInfo(db_, "0101", "BP01", info), LoadStatus::kFound);
  EXPECT_EQ(info.formId, "F1");
  EXPECT_EQ(info.xmlCharCode, "U");
  EXPECT_EQ(LoadFormatInfo(db_, "0101", "BP01' OR '1'='1", info), LoadStatus::kNotFound);
  MessageGroupValues values;
  EXPECT_EQ(LoadMessageGroupValues(db_, "P", "O", "0101", values), LoadStatus::kNotFound);
}

INSTANTIATE_TEST_SUITE_P(Backends, FormatTablesTest, ::testing::ValuesIn(test::TestBackends()));

}  // namespace
}  // namespace edi::cii
