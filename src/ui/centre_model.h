// The centre grid's model: the list of CentreRow entries, one grid row each,
// in seven columns: mark ("○"/"×"), centre code, name, the transfer
// method's name, and the receive, conversion and registration statuses.
// Every cell of a row takes the colour of the row's state. A cell's tooltip
// is its whole text; the status cells of a row that failed tell the
// failure (its step, codes, their meanings and the reason).
#pragma once

#include <QAbstractTableModel>
#include <QColor>

#include <array>
#include <vector>

#include "jobs/control_master.h"

namespace edi::ui {

// The row colours of section COLOR, by state 0, 1, 2, 9.
struct StateColours {
  QColor normal, inProgress, done, error;
  const QColor& For(int16_t state) const;
};

class CentreModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kColumns = 7;

  // `methodNames` is the transfer method's name of each row.
  CentreModel(std::vector<CentreRow> rows, std::vector<QString> methodNames, StateColours colours,
              QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  const std::vector<CentreRow>& rows() const { return rows_; }

  // Each change tells the views that the row changed.
  // Flips the mark of a row: marked becomes "×", anything else "○".
  void FlipMark(int row);
  void SetStatus(int row, Stage stage, const std::string& text);
  void SetState(int row, int16_t state);
  // What the row's last failure was, shown as the tooltip of its status
  // cells ("" for none).
  void SetFailure(int row, const QString& text);
  const QString& Failure(int row) const { return failures_[static_cast<size_t>(row)]; }
  // Returns a done or failed row to the normal state with empty statuses.
  void Reset(int row);

 private:
  void RowChanged(int row);

  std::vector<CentreRow> rows_;
  std::vector<QString> failures_;
  std::vector<QString> methodNames_;
  StateColours colours_;
};

}  // namespace edi::ui
