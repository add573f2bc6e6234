// A fresh demo station for the tests: made by the station set-up with the
// build's programs, in a temporary folder removed at exit.
#pragma once

#include <filesystem>
#include <string>

namespace edi::test {

// Creates the station, without the JX centre (its server is not running); false with `error` set when the set-up fails.
bool MakeDemoStation(const std::string& tag, std::filesystem::path& station, std::string& error);

}  // namespace edi::test
