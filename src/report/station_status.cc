#include "report/station_status.h"

#include <ctime>

#include "base/ansi_codec.h"
#include "base/files.h"
#include "base/text.h"
#include "jobs/control_master.h"
#include "report/err_log_lines.h"
#include "report/history_format.h"
#include "report/history_meaning.h"
#include "report/history_reader.h"

namespace edi::report {
namespace {

TransferMark MarkOf(const TransferStory& story) {
  return TransferMark{story.transferNo, story.transfer.Text("処理開始日付"), story.transfer.Text("処理開始時刻"),
                      std::string(EndingWord(story.ending))};
}

// The reason ERR.LOG gives for the failure of `story`: the line of the
// failing step's codes, after its code and step.
std::string LoggedReason(const std::filesystem::path& errLog, const TransferStory& story, const std::string& codes) {
  for (const auto& line : ErrLogLinesOf(errLog, story.transferNo)) {
    const size_t at = line.find(" " + codes + ": ");
    if (at != std::string::npos) return line.substr(at + codes.size() + 3);
  }
  return "";
}

FailureMark FailureOf(const TransferStory& story, const std::filesystem::path& errLog, Language language) {
  const HistoryRow* row = &story.transfer;
  for (const HistoryRow& step : story.steps) {
    if (step.Branch() == story.failedBranch) row = &step;
  }
  FailureMark failure{story.transferNo, story.transfer.Text("処理開始日付"), story.transfer.Text("処理開始時刻"),
                      std::string(KindName(row->Text("処理種別"))), row->Text("終了コード"), row->Text("詳細コード"),
                      "", ""};
  failure.meaning = DetailCodeMeaning(*row, language);
  if (failure.meaning.empty()) failure.meaning = EndCodeMeaning(*row, language);
  if (!failure.endCode.empty()) failure.reason = LoggedReason(errLog, story, failure.endCode + "/" + failure.detailCode);
  return failure;
}

void ReadReceivedToday(Database& db, const std::string& today, std::vector<CentreStatus>& centres) {
  ResultSet rs;
  if (!db.Query("SELECT センターコード, COUNT(*) AS files, SUM(サイズ) AS bytes FROM FL9101受信ファイル台帳"
                " WHERE 受信日付 = :1 GROUP BY センターコード",
                {today}, rs)) {
    return;
  }
  for (; !rs.AtEnd(); rs.MoveNext()) {
    const std::string code = TrimBlanks(rs.Get("センターコード").value_or(""));
    for (auto& centre : centres) {
      if (centre.centreCode != code) continue;
      centre.filesToday = LeadingNumber(rs.Get("files").value_or("0"));
      centre.bytesToday = LeadingNumber(rs.Get("bytes").value_or("0"));
    }
  }
}


std::string JsonMark(const std::optional<TransferMark>& mark) {
  if (!mark) return "null";
  return "{\"transfer\":" + std::to_string(mark->transferNo) + ",\"date\":" + JsonString(mark->date) +
         ",\"time\":" + JsonString(mark->time) + ",\"outcome\":" + JsonString(mark->ending) + "}";
}

std::string MarkText(const std::optional<TransferMark>& mark) {
  if (!mark) return "-";
  return "通番 " + std::to_string(mark->transferNo) + " " + mark->date + " " + mark->time + " " + mark->ending;
}

// A label value of the text format: backslash, quote and line feed escaped.
std::string Label(const std::string& value) {
  std::string out;
  for (char c : ValidUtf8(value)) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

// Seconds since the epoch of a local "yyyy/mm/dd" and "hh:nn:ss".
long long EpochOf(const std::string& date, const std::string& time) {
  std::tm t{};
  if (std::sscanf(date.c_str(), "%4d/%2d/%2d", &t.tm_year, &t.tm_mon, &t.tm_mday) != 3) return 0;
  std::sscanf(time.c_str(), "%2d:%2d:%2d", &t.tm_hour, &t.tm_min, &t.tm_sec);
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  t.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&t));
}

}  // namespace

bool ReadStationStatus(Database& db, const std::filesystem::path& errLog, const std::string& today,
                       Language language, std::vector<CentreStatus>& centres, std::string& why) {
  centres.clear();
  std::vector<CentreRow> rows;
  if (const Outcome listed = LoadCentreList(db, rows); !listed.ok()) {
    why = listed.reason;
    return false;
  }
  for (const auto& row : rows) {
    CentreStatus centre{row.centreCode, row.centreName, {}, {}, {}, 0, 0};
    HistoryFilter filter;
    filter.centreCode = row.centreCode;
    std::vector<TransferStory> stories;  // newest first
    if (!ReadHistory(db, filter, stories, why)) return false;
    for (const auto& story : stories) {
      if (!centre.last) centre.last = MarkOf(story);
      if (!centre.lastDone && story.ending == Ending::kDone) centre.lastDone = MarkOf(story);
      if (!centre.lastFailure && story.ending == Ending::kFailed) {
        centre.lastFailure = FailureOf(story, errLog, language);
      }
      if (centre.lastDone && centre.lastFailure) break;
    }
    centres.push_back(std::move(centre));
  }
  ReadReceivedToday(db, today, centres);
  return true;
}

std::string FormatStatusText(const std::vector<CentreStatus>& centres, Language language) {
  std::string out;
  for (const auto& c : centres) {
    out += c.centreCode + "  " + c.centreName + "\n";
    out += std::string(InLanguage(language, "  last transfer   ", "  最終処理        ")) + MarkText(c.last) + "\n";
    out += std::string(InLanguage(language, "  last done       ", "  最終正常終了    ")) + MarkText(c.lastDone) + "\n";
    out += std::string(InLanguage(language, "  last failure    ", "  最終異常        "));
    if (c.lastFailure) {
      const FailureMark& f = *c.lastFailure;
      out += "通番 " + std::to_string(f.transferNo) + " " + f.date + " " + f.time + " " + f.step + " " + f.endCode +
             "/" + f.detailCode + " " + f.meaning + (f.reason.empty() ? "" : ": " + f.reason) + "\n";
    } else {
      out += "-\n";
    }
    out += std::string(InLanguage(language, "  received today  ", "  本日の受信      ")) +
           std::to_string(c.filesToday) + std::string(InLanguage(language, " files, ", " 件、")) +
           std::to_string(c.bytesToday) + std::string(InLanguage(language, " bytes", " バイト")) + "\n";
  }
  return out;
}

std::string FormatStatusJson(const std::vector<CentreStatus>& centres) {
  std::string out = "[";
  for (size_t i = 0; i < centres.size(); ++i) {
    const CentreStatus& c = centres[i];
    out += (i == 0 ? "\n" : ",\n");
    out += "{\"centre\":" + JsonString(c.centreCode) + ",\"name\":" + JsonString(c.centreName) +
           ",\"lastTransfer\":" + JsonMark(c.last) + ",\"lastDone\":" + JsonMark(c.lastDone) + ",\"lastFailure\":";
    if (c.lastFailure) {
      const FailureMark& f = *c.lastFailure;
      out += "{\"transfer\":" + std::to_string(f.transferNo) + ",\"date\":" + JsonString(f.date) + ",\"time\":" +
             JsonString(f.time) + ",\"step\":" + JsonString(f.step) + ",\"endCode\":" + JsonString(f.endCode) +
             ",\"detailCode\":" + JsonString(f.detailCode) + ",\"meaning\":" + JsonString(f.meaning) +
             ",\"reason\":" + JsonString(f.reason) + "}";
    } else {
      out += "null";
    }
    out += ",\"filesToday\":" + std::to_string(c.filesToday) + ",\"bytesToday\":" + std::to_string(c.bytesToday) + "}";
  }
  return out + "\n]\n";
}

std::string FormatStatusMetrics(const std::vector<CentreStatus>& centres, const std::optional<RunFigures>& run) {
  std::string out;
  auto family = [&](const char* name, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
  };
  auto sample = [&](const char* name, const CentreStatus& c, const std::string& value, const std::string& more = "") {
    out += std::string(name) + "{centre=\"" + Label(c.centreCode) + "\"" + more + "} " + value + "\n";
  };
  family("edi_centre_last_transfer", "The number of the centre's last transfer.");
  for (const auto& c : centres) sample("edi_centre_last_transfer", c, std::to_string(c.last ? c.last->transferNo : 0));
  family("edi_centre_last_transfer_failed", "1 when the centre's last transfer did not end done.");
  for (const auto& c : centres) {
    sample("edi_centre_last_transfer_failed", c, c.last && c.last->ending != "done" ? "1" : "0");
  }
  family("edi_centre_last_done_timestamp_seconds", "When the centre's last done transfer started (0: never).");
  for (const auto& c : centres) {
    sample("edi_centre_last_done_timestamp_seconds", c,
           std::to_string(c.lastDone ? EpochOf(c.lastDone->date, c.lastDone->time) : 0));
  }
  family("edi_centre_last_failure_info", "The centre's last failed transfer, its step and codes.");
  for (const auto& c : centres) {
    if (!c.lastFailure) continue;
    const FailureMark& f = *c.lastFailure;
    sample("edi_centre_last_failure_info", c, "1",
           ",transfer=\"" + std::to_string(f.transferNo) + "\",step=\"" + Label(f.step) + "\",end_code=\"" +
               Label(f.endCode) + "\",detail_code=\"" + Label(f.detailCode) + "\"");
  }
  family("edi_centre_received_files_today", "Documents the centre's transfers received today.");
  for (const auto& c : centres) sample("edi_centre_received_files_today", c, std::to_string(c.filesToday));
  family("edi_centre_received_bytes_today", "Bytes the centre's transfers received today.");
  for (const auto& c : centres) sample("edi_centre_received_bytes_today", c, std::to_string(c.bytesToday));
  if (run) {
    family("edi_run_duration_seconds", "How long the last run took.");
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", run->seconds);
    out += std::string("edi_run_duration_seconds ") + seconds + "\n";
    family("edi_run_centres", "The centres the last run ran, and those that failed.");
    out += "edi_run_centres{outcome=\"run\"} " + std::to_string(run->centres) + "\n";
    out += "edi_run_centres{outcome=\"failed\"} " + std::to_string(run->failed) + "\n";
    family("edi_run_finished_timestamp_seconds", "When the last run ended.");
    out += "edi_run_finished_timestamp_seconds " + std::to_string(run->finishedAt) + "\n";
  }
  return out;
}

bool WriteMetricsFile(const std::filesystem::path& path, const std::string& text, std::string& why) {
  return WriteFileAtomically(path, text, why);
}

}  // namespace edi::report
