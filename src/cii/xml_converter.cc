#include "cii/xml_converter.h"

#include <libxml/encoding.h>

#include "base/text.h"

namespace edi::cii {

std::string GroupDocumentPath(const std::string& outputPath, int position) {
  if (position <= 1) return outputPath;
  const size_t slash = outputPath.find_last_of('/');
  const size_t dot = outputPath.find_last_of('.');
  const std::string n = std::to_string(position);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return outputPath + n;
  return outputPath.substr(0, dot) + n + outputPath.substr(dot);
}

void RegisterAnsiEncoding() {
  static const bool registered = [] {
    xmlAddEncodingAlias("CP932", "SHIFT_JIS");
    xmlAddEncodingAlias("CP932", "SHIFT-JIS");
    xmlAddEncodingAlias("CP932", "SJIS");
    xmlAddEncodingAlias("CP932", "WINDOWS-31J");
    return true;
  }();
  (void)registered;
}

std::string ConvertCiiXml(ConverterState& state, Database& db, const std::string& inputPath,
                          const std::string& outputPath, TransferNo transferNo, bool toXml, int& written) {
  state.errLog.Write(0, "--M470530 start--" + TransferDigits(transferNo));
  const int code = toXml ? CiiToXml(state, db, inputPath, outputPath, written)
                         : XmlToCii(state, db, inputPath, outputPath, written);
  return FourDigits(code);
}

void ConvertCiiXmlFile(ConverterState& state, Database& db, const std::string& inputPath,
                       const std::string& outputPath, TransferNo transferNo, std::string& result) {
  int written = 0;
  result = ConvertCiiXml(state, db, inputPath, outputPath, transferNo, EndsWithIgnoreAsciiCase(inputPath, "CII"),
                         written);
}

}  // namespace edi::cii
