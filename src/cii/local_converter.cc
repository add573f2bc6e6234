#include "cii/local_converter.h"

#include <cstdio>
#include <ctime>

namespace edi::cii {
namespace {

void LogStart(ConverterState& state, long transferNo) {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char line[96];
  std::snprintf(line, sizeof line, "--M470540 start--%08ld  %04d/%02d/%02d %02d:%02d:%02d", transferNo,
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec);
  state.errLog.Write(0, line);
}

}  // namespace

std::string ConvertLocal(ConverterState& state, Database& db, long transferNo, LocalDirection direction,
                         const std::string& input, const std::string& output) {
  LogStart(state, transferNo);
  const int code = direction == LocalDirection::kLocalToCii ? LocalToCii(state, db, input, output)
                                                            : CiiToLocal(state, db, input, output);
  return FourDigits(code);
}

void ConvertLocalCii(ConverterState& state, Database& db, long transferNo, std::string_view mode,
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
