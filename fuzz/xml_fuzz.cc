// Feeds arbitrary documents to the XML-to-CII converter against a small
// format, in memory: no input may crash it, hang it or make it read out of
// bounds, and a document that fails must keep no output. The converter's
// two readers must agree: the same document with a document type
// declaration (which sends it to the pull reader instead of the SAX2 push
// parser) succeeds or fails alike, and when it succeeds it writes the same
// CII.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cii/xml_converter.h"
#include "db/database.h"
#include "db/schema.h"
#include "fuzz_format.h"

namespace {

struct Fixture {
  std::filesystem::path dir;
  edi::Database db;

  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  Fixture() {
    char pattern[] = "/tmp/edi-xml-fuzz-XXXXXX";
    dir = mkdtemp(pattern);
    if (!db.CreateSqlite((dir / "fuzz.sqlite").string()) || !edi::CreateSchema(db)) std::abort();
    db.ExecuteSql("INSERT INTO FL1902フォーマット情報マスタ (情報区分コード, BPID, XML文字コード) VALUES ('0101', 'BP000001', 'M')");
    const char* rows[] = {"(1, 0, 1, 'X', 10, 0, 0, '')", "(2, 0, 2, '9', 7, 2, 0, '')", "(3, 0, 3, 'Y', 8, 0, 0, '')",
                          "(4, 0, 4, 'K', 20, 0, 0, '')", "(5, 0, 5, 'B', 4, 0, 0, '')", "(6, 0, 0, 'M', 0, 0, 3, '1')",
                          "(7, 1, 10, 'X', 5, 0, 0, '')", "(8, 0, 300, 'X', 9, 0, 0, '')", "(9, 0, 0, 'M', 0, 0, 2, '45')"};
    for (const char* row : rows) {
      db.ExecuteSql(std::string("INSERT INTO FL1903レコードフォーマット情報マスタ (フォーマット種別, 情報区分コード, BPID,"
                                " 項目通番, レベル番号, 項目№, 属性, 長さ, 小数部長さ, 繰返し数, マルチ明細番号)"
                                " SELECT 'E', '0101', 'BP000001', * FROM (VALUES ") + row + ")");
    }
  }
};

}  // namespace

namespace {

// The document with "<!DOCTYPE x>" after its XML declaration (or first);
// empty when it has one already or is not in an ASCII-based encoding.
std::string WithDocumentType(std::string_view document) {
  if (document.find("<!DOCTYPE") != std::string_view::npos || document.empty() || document[0] != '<') return "";
  size_t at = 0;
  if (document.rfind("<?xml", 0) == 0) {
    at = document.find("?>");
    if (at == std::string_view::npos) return "";
    at += 2;
  }
  return std::string(document.substr(0, at)) + "<!DOCTYPE x>" + std::string(document.substr(at));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  static edi::cii::ConverterState state = fuzz::MemoryState();
  state.errLog = edi::cii::ErrLog::InMemory();
  static edi::cii::MemoryOutputs outputs;
  fuzz::Forget(outputs);
  int groups = 0;
  const int code = edi::cii::XmlToCii(state, fixture.db, fuzz::Input(data, size), outputs, "out.CII", groups);
  if (code != 0 && !fuzz::KeptNothing(outputs)) std::abort();
  const std::string typed = WithDocumentType(std::string_view(reinterpret_cast<const char*>(data), size));
  if (typed.empty()) return 0;
  const std::string written = code == 0 && !outputs.kept.empty() ? outputs.kept.begin()->second : "";
  fuzz::Forget(outputs);
  state.errLog = edi::cii::ErrLog::InMemory();
  const int typedCode = edi::cii::XmlToCii(state, fixture.db, fuzz::Input(reinterpret_cast<const uint8_t*>(typed.data()),
                                                                          typed.size()),
                                           outputs, "out.CII", groups);
  if ((code == 0) != (typedCode == 0)) std::abort();
  if (code == 0 && (outputs.kept.empty() ? "" : outputs.kept.begin()->second) != written) std::abort();
  return 0;
}
