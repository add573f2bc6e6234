#include "cii/local_converter.h"

#include "base/local_time.h"

namespace edi::cii {
namespace {

void LogStart(ConverterState& state, TransferNo transferNo) {
  state.errLog.Write(0, "--M470540 start--" + TransferDigits(transferNo) + "  " + CurrentLocalTime().DateTime());
}

}  // namespace

std::string ConvertLocal(ConverterState& state, Database& db, TransferNo transferNo, LocalDirection direction,
                         const std::string& input, const std::string& output) {
  LogStart(state, transferNo);
  const int code = direction == LocalDirection::kLocalToCii ? LocalToCii(state, db, input, output)
                                                            : CiiToLocal(state, db, input, output);
  return FourDigits(code);
}

void ConvertLocalCii(ConverterState& state, Database& db, TransferNo transferNo, std::string_view mode,
                     const std::string& path1, const std::string& path2, std::string& result) {
  if (mode == "1") {
    result = ConvertLocal(state, db, transferNo, LocalDirection::kLocalToCii, path1, path2);
  } else if (mode == "2") {
    result = ConvertLocal(state, db, transferNo, LocalDirection::kCiiToLocal, path1, path2);
  } else {
    LogStart(state, transferNo);
    ConversionResult failed(state.errLog);
    failed.Stop(kErrMode, std::string(mode));
    result = failed.Text();
  }
}

}  // namespace edi::cii
