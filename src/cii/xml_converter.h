// The CII/XML converter: XML documents of the CII vocabulary (JPMGH with
// JPC03..JPC35, JPTRM messages, JP<item> elements, JPM<number> groups with
// JPM<number>R repetitions) to CII message groups, and back.
#pragma once

#include <string>

#include "base/transfer_names.h"
#include "cii/conversion_io.h"
#include "cii/converter_state.h"
#include "db/database.h"

namespace edi::cii {

// The converter's entry. Logs "--M470530 start--" + the transfer number in
// eight digits, then converts CII to XML when the input path ends in "CII"
// (any case), else XML to CII. `result` is "0000" or the four-digit code of
// the error that made the conversion fail.
void ConvertCiiXmlFile(ConverterState& state, Database& db, const std::string& inputPath,
                       const std::string& outputPath, TransferNo transferNo, std::string& result);

// The same with the direction given: CII to XML when `toXml`. Returns the
// result; `written` is the number of message groups written (documents
// saved, or groups appended).
std::string ConvertCiiXml(ConverterState& state, Database& db, const std::string& inputPath,
                          const std::string& outputPath, TransferNo transferNo, bool toXml, int& written);

// Appends the message groups of one XML document to `outputPath`. The first
// JPMGH of the document always opens a group (with its own format rows) and
// the document's last group is closed with its trailer. A document that
// fails leaves the output file as it was. Returns 0 or the stopping code;
// `groups` is the number of groups appended.
int XmlToCii(ConverterState& state, Database& db, const std::string& inputPath, const std::string& outputPath,
             int& groups);

// Writes one XML document per message group of the CII file: the first to
// `outputPath`, the next ones to the path with the group's position inserted
// before the extension (out.xml, out2.xml, ...). The documents replace the
// files of those names only when the whole file has converted; a group
// without trailer leaves no document. Returns 0 or the stopping code;
// `documents` is the number of documents saved.
int CiiToXml(ConverterState& state, Database& db, const std::string& inputPath, const std::string& outputPath,
             int& documents);

// XmlToCii and CiiToXml from any input to any outputs: the same
// conversions, with the outputs named as the file entries name their files
// (`outputPath`, GroupDocumentPath for the documents) and kept only when the
// whole conversion succeeded.
int XmlToCii(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
             const std::string& outputPath, int& groups);
int CiiToXml(ConverterState& state, Database& db, const ConversionInput& input, Outputs& outputs,
             const std::string& outputPath, int& documents);

// The output path of the n-th (1-based) group of a CII file.
std::string GroupDocumentPath(const std::string& outputPath, int position);

// Makes libxml2 read and write documents declared Shift_JIS as Windows-31J,
// so that characters such as "①" and "～" survive. Called by the converters.
void RegisterAnsiEncoding();

}  // namespace edi::cii
