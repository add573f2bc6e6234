// Feeds arbitrary CII files to the CII-to-XML converter, in memory: none may
// crash or hang, a conversion that fails keeps no document, and every
// document kept is well formed XML.
#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cii/xml_converter.h"
#include "fuzz_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  static edi::cii::ConverterState state = fuzz::MemoryState();
  state.errLog = edi::cii::ErrLog::InMemory();
  edi::cii::MemoryOutputs outputs;
  int documents = 0;
  const int code = edi::cii::CiiToXml(state, fixture.db, fuzz::Input(data, size), outputs, "out.xml", documents);
  if (code != 0 && !outputs.kept.empty()) std::abort();
  if (outputs.kept.size() != static_cast<size_t>(documents)) std::abort();
  for (const auto& [name, document] : outputs.kept) {
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) std::abort();
    xmlFreeDoc(doc);
  }
  return 0;
}
