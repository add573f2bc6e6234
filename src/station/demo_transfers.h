// What the partners of the demo centres "sent", so that a receive runs end
// to end on a demo station: the TCP package stand-in with its settings and
// the CII file of partner 01, file 01 (DEMOZ01); an unread mail with an XML
// attachment (DEMOM01); a CII and an XML file at the configured paths of the
// file-exchange centres (DEMOW01, DEMOW02). The documents are the demo
// orders, converted with the station's own converters.
#pragma once

#include <filesystem>
#include <string>

#include "db/database.h"

namespace edi {

// `programSource` holds the stand-in z_tcp-standin, installed as the
// package's z_tcp.exe.
bool PrepareDemoTransfers(Database& db, const std::filesystem::path& stationDir,
                          const std::filesystem::path& programSource, std::string& error);

// A mail message to `to` with one attachment (base64), as a partner sends it.
std::string DemoMail(const std::string& to, const std::string& attachmentName, const std::string& attachment);

}  // namespace edi
