// The fixture of the converter tests: an empty database of the test's
// backend (SQLite, and PostgreSQL when the test cluster is there), a fresh
// folder, and a converter state whose ERR.LOG lies in that folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cii/converter_state.h"
#include "db/database.h"

namespace edi::test {

class ConverterFixture : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override;

  // A file of the test's folder.
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The ERR.LOG lines written so far.
  std::string Log() const;

  Database db_;
  cii::ConverterState state_;
  std::filesystem::path dir_;
};

}  // namespace edi::test
