#include "support/converter_fixture.h"

#include "support/format_fixture.h"
#include "support/test_db.h"

namespace edi::test {

void ConverterFixture::SetUp() {
  ASSERT_TRUE(OpenEmptyTestDatabase(GetParam(), db_));
  dir_ = TempDir("converter");
  state_.errLog = cii::ErrLog(dir_ / "ERR.LOG");
}

std::string ConverterFixture::Log() const { return ReadFile(state_.errLog.path().string()); }

}  // namespace edi::test
