// Feeds arbitrary CII files to the CII-to-XML converter: none may crash or
// hang, a conversion that fails leaves no document, and every document
// written is well formed XML.
#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>

#include "cii/xml_converter.h"
#include "fuzz_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FormatFixture fixture;
  const std::string input = fixture.Path("in.CII"), output = fixture.Path("out.xml");
  fuzz::WriteBytes(input, data, size);
  for (int n = 1; n <= 4; ++n) fuzz::Remove(edi::cii::GroupDocumentPath(output, n));
  edi::cii::ConverterState state;
  state.errLog = edi::cii::ErrLog(fixture.Path("ERR.LOG"));
  int documents = 0;
  const std::string result = edi::cii::ConvertCiiXml(state, fixture.db, input, output, 1, true, documents);
  if (result != "0000" && std::filesystem::exists(output)) std::abort();
  for (int n = 1; n <= documents && n <= 4; ++n) {
    xmlDocPtr doc = xmlReadFile(edi::cii::GroupDocumentPath(output, n).c_str(), nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) std::abort();
    xmlFreeDoc(doc);
  }
  fuzz::Remove(fixture.Path("ERR.LOG"));
  return 0;
}
