#include "jobs/run_loop.h"

#include "jobs/receive_job.h"
#include "jobs/received_files.h"
#include "jobs/registration_job.h"
#include "jobs/result_codes.h"

namespace edi {

void RunLoop::SetStatus(int row, int column, const char* text) {
  CentreRow& r = rows_[static_cast<size_t>(row)];
  (column == kReceiveColumn ? r.receiveStatus : column == kConversionColumn ? r.conversionStatus
                                                                             : r.registrationStatus) = text;
  view_.StatusChanged(row, column);
}

void RunLoop::SetState(int row, int16_t state) {
  rows_[static_cast<size_t>(row)].state = state;
  view_.SetRowState(row, state);
}

void RunLoop::RunMarkedCentres() {
  view_.SetRunning(true);
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].state != kRowNormal || rows_[i].selected == 0) continue;
    const int row = static_cast<int>(i);
    view_.BeginRow(row);
    view_.ShowProcessing();
    ProcessCentreRow(row);
    view_.HideProcessing();
  }
  view_.SetRunning(false);
}

void RunLoop::ProcessCentreRow(int row) {
  const std::string centre = rows_[static_cast<size_t>(row)].centreCode;
  SetState(row, kRowInProgress);
  TransferOpenRecord transfer{"R", "1", kKindReceiveRun, centre, 0, ""};
  OpenTransfer(context_.db, transfer, context_.clock);
  if (transfer.result != kResultOk) {
    SetStatus(row, kReceiveColumn, "通番ｴﾗｰ");
    SetState(row, kRowError);
    return;  // without a transfer number there are no files of the transfer
  }
  const long long transferNo = transfer.transferNo;
  std::string result;
  SetStatus(row, kReceiveColumn, "受信中");
  RunReceiveJob(centre, transferNo, result, context_.state.programId, context_);
  view_.ShowProcessing();
  if (result != kResultOk) {
    SetStatus(row, kReceiveColumn, "受信ｴﾗｰ");
    SetState(row, kRowError);
  } else {
    SetStatus(row, kReceiveColumn, "OK");
    SetStatus(row, kConversionColumn, "変換中");
    ConvertReceivedFiles(centre, transferNo, result, context_);
    view_.ShowProcessing();
    if (result == kResultOk) {
      SetStatus(row, kConversionColumn, "OK");
      SetStatus(row, kRegistrationColumn, "登録中");
      RunRegistrationJob(centre, transferNo, result, context_);
      if (result == kResultOk) {
        SetStatus(row, kRegistrationColumn, "OK");
      } else {
        SetStatus(row, kRegistrationColumn, "登録ｴﾗｰ");
        SetState(row, kRowError);
      }
    } else {
      SetStatus(row, kConversionColumn, "変換ｴﾗｰ");
      SetState(row, kRowError);
    }
  }
  BackUpTransferFiles(transferNo, 0, context_.state);
  if (rows_[static_cast<size_t>(row)].state != kRowError) SetState(row, kRowDone);
}

}  // namespace edi
