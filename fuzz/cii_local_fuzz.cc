// Feeds arbitrary CII files to the CII-to-local converter: none may crash,
// hang or write outside a record, every line written has the record's
// length, and a conversion that fails leaves no local file.
#include <cstddef>
#include <cstdint>

#include "cii/local_converter.h"
#include "fuzz_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  const std::string input = fixture.Path("in.CII"), local = fixture.Path("R.LOC"), written = fixture.Path("R0101.LOC");
  fuzz::WriteBytes(input, data, size);
  fuzz::Remove(written);
  edi::cii::ConverterState state;
  state.errLog = edi::cii::ErrLog(fixture.Path("ERR.LOG"));
  const std::string result =
      edi::cii::ConvertLocal(state, fixture.db, 1, edi::cii::LocalDirection::kCiiToLocal, input, local);
  const std::string lines = fuzz::ReadBytes(written);
  if (result != "0000" && !lines.empty()) std::abort();
  const size_t lineLength = fuzz::kKeyLength + fuzz::kRecordLength + 2;
  if (lines.size() % lineLength != 0) std::abort();
  for (size_t at = 0; at < lines.size(); at += lineLength) {
    if (lines.compare(at + lineLength - 2, 2, "\r\n") != 0) std::abort();
  }
  fuzz::Remove(fixture.Path("ERR.LOG"));
  return 0;
}
