// Feeds arbitrary record data, keyed for the fuzz format, through local ->
// CII -> local. None may crash or hang; a failed conversion writes nothing;
// and once a line has been through the converters, a further round trip
// gives it back byte for byte.
#include <cstddef>
#include <cstdint>

#include "cii/local_converter.h"
#include "fuzz_format.h"

namespace {

// local -> CII -> local; "" when a step fails.
std::string RoundTrip(fuzz::FormatFixture& fixture, const std::string& lines) {
  const std::string local = fixture.Path("in.LOC"), cii = fixture.Path("out.CII");
  const std::string back = fixture.Path("B.LOC"), written = fixture.Path("B0101.LOC");
  std::ofstream(local, std::ios::binary | std::ios::trunc) << lines;
  fuzz::Remove(cii);
  fuzz::Remove(written);
  edi::cii::ConverterState state;
  state.errLog = edi::cii::ErrLog(fixture.Path("ERR.LOG"));
  const auto toCii = edi::cii::ConvertLocal(state, fixture.db, 1, edi::cii::LocalDirection::kLocalToCii, local, cii);
  const std::string ciiBytes = fuzz::ReadBytes(cii);
  if (toCii != "0000") {
    if (!ciiBytes.empty()) std::abort();
    return "";
  }
  if (ciiBytes.empty()) return "";  // blank lines only
  const auto toLocal = edi::cii::ConvertLocal(state, fixture.db, 1, edi::cii::LocalDirection::kCiiToLocal, cii, back);
  if (toLocal != "0000") std::abort();  // what the converter wrote, it must read
  fuzz::Remove(fixture.Path("ERR.LOG"));
  return fuzz::ReadBytes(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  std::string lines;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    lines += fuzz::kKey + std::string(rest.substr(0, end)) + "\r\n";
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  const std::string once = RoundTrip(fixture, lines);
  if (once.empty()) return 0;
  if (RoundTrip(fixture, once) != once) std::abort();
  return 0;
}
