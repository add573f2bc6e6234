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
const std::string& RoundTrip(fuzz::FormatFixture& fixture, edi::cii::ConverterState& state, const std::string& lines) {
  static const std::string kNothing;
  static edi::cii::MemoryOutputs cii, back;
  fuzz::Forget(cii);
  fuzz::Forget(back);
  state.errLog = edi::cii::ErrLog::InMemory();
  if (edi::cii::LocalToCii(state, fixture.db, edi::cii::ConversionInput::Memory(lines), cii, "out.CII") != 0) {
    if (!fuzz::KeptNothing(cii)) std::abort();
    return kNothing;
  }
  const std::string& ciiBytes = cii.kept["out.CII"];
  if (ciiBytes.empty()) return kNothing;  // blank lines only
  const int toLocal = edi::cii::CiiToLocal(state, fixture.db, edi::cii::ConversionInput::Memory(ciiBytes), back, "B.LOC");
  if (toLocal != 0) std::abort();  // what the converter wrote, it must read
  return back.kept["B0101.LOC"];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  static edi::cii::ConverterState state = fuzz::MemoryState();
  static std::string lines, once;
  lines.clear();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    lines.append(fuzz::kKey).append(rest.substr(0, end)).append("\r\n");
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  once = RoundTrip(fixture, state, lines);
  if (once.empty()) return 0;
  if (RoundTrip(fixture, state, once) != once) std::abort();
  return 0;
}
