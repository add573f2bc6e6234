// The centre grid's model: the list of CentreRow entries, one grid row each,
// in seven columns: mark ("○"/"×"), centre code, name, the transfer
// method's name, and the receive, conversion and registration statuses.
// Every cell of a row takes the colour of the row's state.
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

  // `rows` stays the caller's (the run loop changes it); `methodNames` is the
  // transfer method's name of each row.
  CentreModel(std::vector<CentreRow>& rows, std::vector<QString> methodNames, StateColours colours,
              QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Tells the views that a row changed (marks, statuses, state).
  void RowChanged(int row);

  // Flips the mark of a row: marked becomes "×", anything else "○".
  void FlipMark(int row);

  std::vector<CentreRow>& rows() { return rows_; }

 private:
  std::vector<CentreRow>& rows_;
  std::vector<QString> methodNames_;
  StateColours colours_;
};

}  // namespace edi::ui
