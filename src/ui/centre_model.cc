#include "ui/centre_model.h"

#include <QBrush>

namespace edi::ui {

const QColor& StateColours::For(int16_t state) const {
  switch (state) {
    case kRowInProgress: return inProgress;
    case kRowDone: return done;
    case kRowError: return error;
    default: return normal;
  }
}

CentreModel::CentreModel(std::vector<CentreRow> rows, std::vector<QString> methodNames, StateColours colours,
                         QObject* parent)
    : QAbstractTableModel(parent),
      rows_(std::move(rows)),
      failures_(rows_.size()),
      methodNames_(std::move(methodNames)),
      colours_(colours) {}

int CentreModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CentreModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant CentreModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const CentreRow& row = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case 0: return QString::fromUtf8(row.selected != 0 ? "○" : "×");
        case 1: return QString::fromStdString(row.centreCode);
        case 2: return QString::fromStdString(row.centreName);
        case 3: return static_cast<size_t>(index.row()) < methodNames_.size() ? methodNames_[static_cast<size_t>(index.row())] : QString();
        case 4: return QString::fromStdString(row.receiveStatus);
        case 5: return QString::fromStdString(row.conversionStatus);
        case 6: return QString::fromStdString(row.registrationStatus);
        default: return {};
      }
    case Qt::ForegroundRole:
      return QBrush(colours_.For(row.state));
    case Qt::ToolTipRole: {
      const QString& failure = failures_[static_cast<size_t>(index.row())];
      if (index.column() >= 4 && !failure.isEmpty()) return failure;
      const QString text = data(index, Qt::DisplayRole).toString();
      return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::TextAlignmentRole:
      return index.column() == 0 ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

void CentreModel::RowChanged(int row) {
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void CentreModel::FlipMark(int row) {
  CentreRow& r = rows_[static_cast<size_t>(row)];
  r.selected = r.selected != 0 ? 0 : -1;
  RowChanged(row);
}

void CentreModel::SetStatus(int row, Stage stage, const std::string& text) {
  rows_[static_cast<size_t>(row)].Status(stage) = text;
  RowChanged(row);
}

void CentreModel::SetState(int row, int16_t state) {
  rows_[static_cast<size_t>(row)].state = state;
  RowChanged(row);
}

void CentreModel::SetFailure(int row, const QString& text) {
  failures_[static_cast<size_t>(row)] = text;
  RowChanged(row);
}

void CentreModel::Reset(int row) {
  CentreRow& r = rows_[static_cast<size_t>(row)];
  r.receiveStatus.clear();
  r.conversionStatus.clear();
  r.registrationStatus.clear();
  r.state = kRowNormal;
  failures_[static_cast<size_t>(row)].clear();
  RowChanged(row);
}

}  // namespace edi::ui
