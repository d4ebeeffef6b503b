#include "gui/batch/BatchTableModel.h"

#include <QColor>

#include "core/StringTable.h"
#include "core/batch/BatchNaming.h"
#include "core/open/Formats.h"
#include "gui/EngineText.h"

namespace {

// The check column's text: blanks, so the box sits where it always has.
const QString kCheckText = QStringLiteral("       ");

}  // namespace

CBatchTableModel::CBatchTableModel(CBatchQueue& queue, QObject* parent)
    : QAbstractTableModel(parent), queue_(queue) {
  for (int column = 0; column < batchcolumn::kCount; ++column)
    titles_ << FromEngineText(LoadMessage(ids::kBatchColumnFirst + static_cast<std::uint32_t>(column)));
  queue_.SetObserver(this);
}

CBatchTableModel::~CBatchTableModel() {
  queue_.SetObserver(nullptr);
}

int CBatchTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : queue_.Count();
}

int CBatchTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : batchcolumn::kCount;
}

bool CBatchTableModel::RowEnabled(int row) const {
  return row >= 0 && row < queue_.Count() && queue_.At(row).sourceFormat != nullptr;
}

QVariant CBatchTableModel::Text(const BatchQueueJob& job, int column) const {
  using namespace batchcolumn;
  switch (column) {
    case kCheck:
      return kCheckText;
    case kSource:
      return FromEngineText(job.SourceName());
    case kType:
      return job.sourceFormat == nullptr ? QString::fromLatin1(batchtext::kUnknownType)
                                         : FromEngineText(job.Extension());
    case kConvertTo:
      return QString::fromStdString(BatchFormatText(job.target));
    case kOutput:
      return FromEngineText(job.outputName);
    case kStatus:
      return QString::fromLatin1(BatchStatusText(job.status));
    case kSourcePath:
      return FromEngineText(job.SourceFolder());
    case kOutputPath:
      return FromEngineText(job.outputFolder);
    default:
      return {};
  }
}

QVariant CBatchTableModel::data(const QModelIndex& index, int role) const {
  using namespace batchcolumn;
  if (!index.isValid() || index.row() >= queue_.Count() || index.column() >= kCount) return {};
  const BatchQueueJob& job = queue_.At(index.row());
  const int column = index.column();
  const bool unknownType = column == kType && job.sourceFormat == nullptr;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Text(job, column);
    case Qt::CheckStateRole:
      if (column != kCheck) return {};
      return job.checked ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
      return int(Qt::AlignCenter);
    case Qt::ForegroundRole:
      // The status says itself in its colour, on white; "Unknown!" is red.
      // Cells of their own colour keep it in a greyed row.
      if (unknownType) return WarningColor();
      if (column != kStatus) return {};
      if (job.status == JobStatus::Done) return DoneColor();
      if (job.status == JobStatus::Failed || job.status == JobStatus::FileExists) return WarningColor();
      return QColor(Qt::black);
    case Qt::BackgroundRole:
      if (unknownType || column == kStatus) return QColor(Qt::white);
      return {};
    case BoldRole:
      return column == kSource && job.status == JobStatus::Converting;
    case ProgressRole:
      if (column != kStatus || job.status != JobStatus::Converting) return {};
      return job.percent;
    case ChoicesRole:
      // The formats the source converts to, its default first.
      if (column != kConvertTo || job.sourceFormat == nullptr) return {};
      {
        QStringList choices;
        for (BatchFormat target : BatchTargetFormats(job.sourceFormat))
          choices << QString::fromStdString(BatchFormatText(target));
        return choices;
      }
    case RowEnabledRole:
      return RowEnabled(index.row());
    default:
      return {};
  }
}

bool CBatchTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  using namespace batchcolumn;
  if (!index.isValid() || index.row() >= queue_.Count()) return false;
  if (index.column() == kCheck && role == Qt::CheckStateRole) {
    queue_.SetChecked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
  }
  if (index.column() == kConvertTo && role == Qt::EditRole) {
    const std::string text = value.toString().toUpper().toStdString();
    // The entry as the Convert To list shows it: the format's name.
    const std::vector<const CAudioFormat*>& formats = AudioFormats();
    const auto named = std::find_if(formats.begin(), formats.end(), [&](const CAudioFormat* format) {
      return text.find(format->Name()) != std::string::npos;
    });
    const BatchFormat target = named == formats.end() ? nullptr : *named;
    if (target == nullptr) return false;
    queue_.SetTarget(index.row(), target);
    return true;
  }
  return false;
}

QVariant CBatchTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= batchcolumn::kCount) return {};
  if (role == Qt::DisplayRole) return titles_[section];
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
  return {};
}

Qt::ItemFlags CBatchTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // A greyed row stays selectable, so it can be removed; only its box and
  // drop-down ignore the user.
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == batchcolumn::kConvertTo && RowEnabled(index.row())) flags |= Qt::ItemIsEditable;
  return flags;
}

void CBatchTableModel::SetAllChecked(bool checked) {
  queue_.SetAllChecked(checked);
}

bool CBatchTableModel::AllChecked() const {
  if (queue_.Count() == 0) return false;
  for (int row = 0; row < queue_.Count(); ++row)
    if (!queue_.At(row).checked) return false;
  return true;
}

void CBatchTableModel::Cells(int row, std::initializer_list<int> columns) {
  for (int column : columns) {
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed);
  }
}

void CBatchTableModel::JobChanged(int row, JobField field) {
  using namespace batchcolumn;
  switch (field) {
    case JobField::Checked:
      return Cells(row, {kCheck});
    case JobField::Target:
      return Cells(row, {kConvertTo});
    case JobField::Output:
      return Cells(row, {kOutput, kOutputPath});
    case JobField::Status:
      return Cells(row, {kSource, kStatus});
    case JobField::Percent:
      return Cells(row, {kStatus});
  }
}

void CBatchTableModel::AllJobsChanged(JobField field) {
  if (field != JobField::Checked || queue_.Count() == 0) return;
  emit dataChanged(index(0, batchcolumn::kCheck), index(queue_.Count() - 1, batchcolumn::kCheck));
}
