// Feeds arbitrary record data, keyed for the fuzz format, through local ->
// CII -> local in memory. None may crash or hang; a failed conversion keeps
// nothing; and once a line has been through the converters, a further round
// trip gives it back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cii/local_converter.h"
#include "fuzz_format.h"

namespace {

// local -> CII -> local; "" when a step fails.
std::string RoundTrip(fuzz::FormatFixture& fixture, edi::cii::ConverterState& state, const std::string& lines) {
  state.errLog = edi::cii::ErrLog::InMemory();
  edi::cii::MemoryOutputs cii;
  if (edi::cii::LocalToCii(state, fixture.db, edi::cii::ConversionInput::Memory(lines), cii, "out.CII") != 0) {
    if (!cii.kept.empty()) std::abort();
    return "";
  }
  const std::string& ciiBytes = cii.kept["out.CII"];
  if (ciiBytes.empty()) return "";  // blank lines only
  edi::cii::MemoryOutputs back;
  const int toLocal = edi::cii::CiiToLocal(state, fixture.db, edi::cii::ConversionInput::Memory(ciiBytes), back, "B.LOC");
  if (toLocal != 0) std::abort();  // what the converter wrote, it must read
  return back.kept["B0101.LOC"];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  static edi::cii::ConverterState state = fuzz::MemoryState();
  std::string lines;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    lines += fuzz::kKey + std::string(rest.substr(0, end)) + "\r\n";
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  const std::string once = RoundTrip(fixture, state, lines);
  if (once.empty()) return 0;
  if (RoundTrip(fixture, state, once) != once) std::abort();
  return 0;
}
