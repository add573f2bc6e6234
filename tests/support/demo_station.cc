#include "support/demo_station.h"

#include "station/station_setup.h"
#include "support/jx_server.h"
#include "support/test_db.h"

namespace edi::test {

bool MakeDemoStation(const std::string& tag, std::filesystem::path& station, std::string& error) {
  station = TempDir(tag);
  StationSetupOptions options;
  options.demo = true;
  options.programSource = std::string(EDI_BINARY_DIR) + "/apps";
  std::filesystem::path created;
  if (!SetUpStation(station, options, created, error)) return false;
  DropDemoJxCentre(station.string());
  return true;
}

}  // namespace edi::test
