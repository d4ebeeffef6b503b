#include "gui/EstimateDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <string_view>

#include "core/SplitEstimate.h"

CEstimateDlg::CEstimateDlg(const std::string& sourceFileName, std::uint32_t splits, std::uint32_t overlapTime,
                           std::uint32_t size, double playtime, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("Estimate");
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
  const char* const ids[] = {estimatename::kIntroduction, estimatename::kSource,   estimatename::kSplits,
                             estimatename::kSize,         estimatename::kPlaytime, estimatename::kOverlap};
  const auto lines = EstimateLines(sourceFileName, splits, overlapTime, size, playtime);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto* label = new QLabel(QString::fromStdString(lines[i]), this);
    label->setObjectName(QString::fromLatin1(ids[i]));
    label->setTextFormat(Qt::PlainText);
    if (std::string_view(ids[i]) == estimatename::kIntroduction) {
      label->setWordWrap(true);
      label->setMinimumWidth(360);
    }
    layout->addWidget(label);
    if (i == 0) layout->addSpacing(8);
  }
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
  ok->setObjectName(QString::fromLatin1(estimatename::kOk));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(buttons);
}
