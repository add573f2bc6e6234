#include "cii/err_log.h"

#include <cstdio>
#include <fstream>

namespace edi::cii {

std::string FourDigits(int code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", code);
  return buffer;
}

void WriteErrLog(ConverterState& state, int code, std::string_view message, int keepError) {
  if (code != 0 && keepError == 0) state.convErrorText = FourDigits(code);
  std::ofstream log(state.errLogPath, std::ios::binary | std::ios::app);
  log << FourDigits(code) << message << "\r\n";
}

bool LoadedOrLogged(ConverterState& state, LoadStatus status, int notFoundCode) {
  if (status == LoadStatus::kFound) return true;
  WriteErrLog(state, status == LoadStatus::kNotFound ? notFoundCode : kErrDatabase, "", 0);
  return false;
}

}  // namespace edi::cii
