// Feeds arbitrary CII files to the CII-to-local converter, in memory: none
// may crash, hang or write outside a record, every line written has the
// record's length, and a conversion that fails keeps no local line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cii/local_converter.h"
#include "fuzz_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  static edi::cii::ConverterState state = fuzz::MemoryState();
  state.errLog = edi::cii::ErrLog::InMemory();
  static edi::cii::MemoryOutputs outputs;
  fuzz::Forget(outputs);
  const int code = edi::cii::CiiToLocal(state, fixture.db, fuzz::Input(data, size), outputs, "R.LOC");
  if (code != 0 && !fuzz::KeptNothing(outputs)) std::abort();
  const size_t lineLength = fuzz::kKeyLength + fuzz::kRecordLength + 2;
  for (const auto& [name, lines] : outputs.kept) {
    if (lines.size() % lineLength != 0) std::abort();
    for (size_t at = 0; at < lines.size(); at += lineLength) {
      if (lines.compare(at + lineLength - 2, 2, "\r\n") != 0) std::abort();
    }
  }
  return 0;
}
