// Feeds arbitrary bytes to the settings-file reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "startup/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto ini = edi::ProfileFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)ini.Value("PATH", "EDIINFIL");
  (void)ini.Value("動作環境", "DBSTRING", 64);
  (void)ini.Section("JKBN_K_J");
  (void)ini.Section("JKBN_K_J", 7);
  return 0;
}
