// A readable listing of a CII file for people who must find out what a
// partner sent: groups with their header fields, messages with their number,
// length form and offset, elements with tag, length, hex and decoded value,
// group markers indented, trailer counts checked, damage with its offset.
#pragma once

#include <filesystem>
#include <ostream>

#include "db/database.h"

namespace edi::cii {

// Lists `path` on `out`. With `db`, element names and attributes of the
// group's 'E' format rows are shown beside the tags. Returns the number of
// problems reported (0 for a clean file); -1 when the file cannot be read.
int DumpCiiFile(const std::filesystem::path& path, Database* db, std::ostream& out);

}  // namespace edi::cii
