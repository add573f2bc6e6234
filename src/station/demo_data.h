// Sample centres and their master rows for a demonstration station.
#pragma once

#include <filesystem>
#include <string>

#include "db/database.h"

namespace edi {

// Inserts (or replaces) the demo centres of partner kind 1, one for each
// transfer method and data format, their user companies and the category
// names of the transfer methods. Receive paths point into `stationDir`.
bool InsertDemoData(Database& db, const std::filesystem::path& stationDir, std::string& error);

}  // namespace edi
