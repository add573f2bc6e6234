// The station at a glance: for each listed centre its last transfer, its
// last done transfer, its last failure (step, codes, reason) and what it
// received today, from the history, the ledger and ERR.LOG. Told as text,
// JSON, and in the Prometheus text format for node_exporter's textfile
// collector.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/language.h"
#include "base/transfer_names.h"
#include "db/database.h"

namespace edi::report {

struct TransferMark {
  TransferNo transferNo = 0;
  std::string date, time;  // its start
  std::string ending;      // "done", "failed", "stopped"
};

struct FailureMark {
  TransferNo transferNo = 0;
  std::string date, time;
  std::string step;        // the failing step's kind name ("受信", ...)
  std::string endCode, detailCode;
  std::string meaning;     // of the codes, in the report's language
  std::string reason;      // the reason ERR.LOG holds, "" when none
};

struct CentreStatus {
  std::string centreCode, centreName;
  std::optional<TransferMark> last, lastDone;
  std::optional<FailureMark> lastFailure;
  long long filesToday = 0, bytesToday = 0;
};

// Reads the status of every listed centre; `today` is "yyyy/mm/dd".
bool ReadStationStatus(Database& db, const std::filesystem::path& errLog, const std::string& today,
                       Language language, std::vector<CentreStatus>& centres, std::string& why);

std::string FormatStatusText(const std::vector<CentreStatus>& centres, Language language);
std::string FormatStatusJson(const std::vector<CentreStatus>& centres);

// The figures in the Prometheus text format, with the run's duration and
// how many centres it ran and how many failed when `run` is given.
struct RunFigures {
  double seconds = 0;
  int centres = 0, failed = 0;
  long long finishedAt = 0;  // seconds since the epoch
};
std::string FormatStatusMetrics(const std::vector<CentreStatus>& centres, const std::optional<RunFigures>& run);

// Writes `text` to `path` atomically (a temporary file, then a rename).
bool WriteMetricsFile(const std::filesystem::path& path, const std::string& text, std::string& why);

}  // namespace edi::report
