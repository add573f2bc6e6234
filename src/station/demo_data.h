// Sample centres and their master rows for a demonstration station.
#pragma once

#include <filesystem>
#include <string>

#include "db/database.h"

namespace edi {

// What becomes of demo rows the database holds already: replaced (a station
// of its own), or kept as another station of a shared database wrote them.
enum class DemoRows { kReplace, kKeepExisting };

// Inserts the demo centres of partner kind 1, one for each transfer method
// and data format, their user companies, the category names of the transfer
// methods and the demo format tables. Receive paths point into `stationDir`.
bool InsertDemoData(Database& db, const std::filesystem::path& stationDir, DemoRows rows, std::string& error);

}  // namespace edi
