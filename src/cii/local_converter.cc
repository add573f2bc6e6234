#include "cii/local_converter.h"

#include <cstdio>
#include <ctime>

#include "cii/err_log.h"

namespace edi::cii {

void ConvertLocalCii(ConverterState& state, Database& db, long transferNo, std::string_view mode,
                     const std::string& path1, const std::string& path2, std::string& result) {
  result = "0000";
  state.convErrorText.clear();
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char line[96];
  std::snprintf(line, sizeof line, "--M470540 start--%08ld  %04d/%02d/%02d %02d:%02d:%02d", transferNo,
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec);
  WriteErrLog(state, 0, line, 0);
  if (mode == "1") {
    LocalToCii(state, db, path1, path2);
  } else if (mode == "2") {
    CiiToLocal(state, db, path1, path2);
  }
  if (!state.convErrorText.empty()) result = state.convErrorText;
}

}  // namespace edi::cii
