#include "report/after_run.h"

#include <ctime>

#include "base/local_time.h"
#include "jobs/recovery.h"
#include "report/alert.h"
#include "report/station_status.h"
#include "startup/startup_settings.h"

namespace edi::report {

std::vector<std::string> AfterRun(Database& db, const ProgramState& state, const RunSummary& summary,
                                  const std::vector<CentreRow>& rows, cii::ErrLog& errLog) {
  std::vector<std::string> problems;
  auto problem = [&](const std::string& text) {
    errLog.Write(9999, " 警報: " + text);
    problems.push_back(text);
  };
  const ProfileFile settings = LoadStationSettings(state);
  const auto recipients = ReadAlertRecipients(settings);
  if (!recipients.empty() && !summary.failures.empty()) {
    const std::string station = StationName(state);
    const Outcome sent = SendAlertMail(recipients, ReadMailSettings(settings),
                                       FailureSubject(station, summary.failures.size()),
                                       FailureBody(station, AlertsOf(summary, rows, errLog.path())), MailWaiting{});
    if (!sent.ok()) problem(sent.reason);
  }
  const std::string metrics = settings.Value("METRICS", "TEXTFILE", 4096);
  if (!metrics.empty()) {
    std::vector<CentreStatus> centres;
    std::string why;
    const RunFigures figures{summary.seconds, summary.centresRun, summary.centresFailed,
                             static_cast<long long>(std::time(nullptr))};
    if (!ReadStationStatus(db, errLog.path(), CurrentLocalTime().date, Language::kEnglish, centres, why) ||
        !WriteMetricsFile(metrics, FormatStatusMetrics(centres, figures), why)) {
      problem("the metrics file [METRICS] TEXTFILE = " + metrics + " could not be written: " + why);
    }
  }
  return problems;
}

}  // namespace edi::report
