#include "base/transfer_names.h"

#include <gtest/gtest.h>

namespace edi {
namespace {

TEST(TransferNames, CentreFieldsAreTwelveCharacters) {
  EXPECT_EQ(PadCentre("AB C"), "AB_C________");
  EXPECT_EQ(PadCentre("ABCDEFGHIJ L"), "ABCDEFGHIJ_L");
  EXPECT_EQ(PadCentre(""), "____________");
  EXPECT_EQ(PadCentre("センター"), "センター________");
  EXPECT_EQ(LocalCentreField("AB C"), "AB C________") << "the local field keeps inner blanks";
  // A longer code is cut to 12 by every name, so every stage finds the files.
  EXPECT_EQ(PadCentre("ABCDEFGHIJKLMN"), "ABCDEFGHIJKL");
  EXPECT_EQ(LocalCentreField("ABCDEFGHIJKLMN"), "ABCDEFGHIJKL");
}

TEST(TransferNames, EveryKindOfFile) {
  EXPECT_EQ(TransferDigits(56), "00000056");
  EXPECT_EQ(TransferFileName(56, "1234", TransferFile::kReceivedCii), "00000056_RCV_1234________.CII");
  EXPECT_EQ(TransferFileName(7, "AB", TransferFile::kReceivedXml), "00000007_RCV_AB__________.XML");
  EXPECT_EQ(TransferFileName(7, "AB", TransferFile::kReceivedXml, 2), "00000007_RCV_AB__________0002.XML");
  EXPECT_EQ(TransferFileName(7, "AB C", TransferFile::kLocal, 1, "0101"), "00000007_RCV_AB C________0101.LOC");
  EXPECT_EQ(TransferFileName(7, "AB", TransferFile::kSendCii), "00000007_SND_AB__________.CII");
  EXPECT_EQ(TransferFileName(123456789, "AB", TransferFile::kReceivedStem), "123456789_RCV_AB__________");
}

}  // namespace
}  // namespace edi
