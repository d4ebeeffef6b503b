#include "gui/app/MainControls.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/BitmapButton.h"
#include "gui/ObjectName.h"
#include "gui/PositionSlider.h"
#include "gui/app/MainDlg.h"

namespace {

QFrame* EtchedLine() {
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

}  // namespace

CMainControls::CMainControls() {
  BuildSlider();
  QBoxLayout* labels = BuildLabels();
  QBoxLayout* buttons = BuildButtons();
  LayOut(labels, buttons);
}

void CMainControls::Focus(CBitmapButton* button) {
  if (button->isEnabled()) button->setFocus(Qt::OtherFocusReason);
}

void CMainControls::BuildSlider() {
  slider = Named(new CPositionSlider, CMainDlg::kSlider);
  slider->SetRange(0, 1000, true);
  slider->SetTicks();
  slider->setFixedSize(kSliderWidth, 26);
  slider->setToolTip(QStringLiteral("Position the thumb from where you want to play or select"));
  slider->setEnabled(false);
  // The scale marks above the slider, on the thumb's 0, 25, ... 100 %.
  scale = new CSliderScale(slider);
}

QBoxLayout* CMainControls::BuildLabels() {
  elapsed = Named(new QLabel, CMainDlg::kElapsed);
  elapsed->setCursor(Qt::PointingHandCursor);
  selection = Named(new QLabel, CMainDlg::kSelection);
  selection->setAlignment(Qt::AlignCenter);
  length = Named(new QLabel, CMainDlg::kLength);
  length->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  slider->SetElapsedLabel(elapsed);
  slider->SetSelectionLabel(selection);
  slider->SetLengthLabel(length);
  slider->UpdateLabels();
  // Room for the longest texts the labels show, so that a larger font grows
  // the window instead of clipping them.
  const QFontMetrics metrics(elapsed->font());
  elapsed->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("Remaining : 99999.99 sec")));
  selection->setMinimumWidth(std::max(metrics.horizontalAdvance(QStringLiteral("Selected : 99999.99 sec")),
                                      metrics.horizontalAdvance(QStringLiteral("Improper selection"))));
  length->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("Length : 99999.99 sec")));
  auto* labels = new QHBoxLayout;
  labels->addWidget(elapsed, 1);
  labels->addWidget(selection, 1);
  labels->addWidget(length, 1);
  return labels;
}

QBoxLayout* CMainControls::BuildButtons() {
  struct ButtonPlan {
    CBitmapButton** button;
    const char* caption;
    const char* name;
    const char* tip;
  };
  const ButtonPlan plans[] = {
      {&start, "START", CMainDlg::kStart, "Starts selection"},
      {&end, "END", CMainDlg::kEnd, "Ends selection"},
      {&save, "SAVE", CMainDlg::kSave, "Saves selected split"},
      {&clear, "CLEAR", CMainDlg::kClear, "Clears selection"},
      {&play, "PLAY", CMainDlg::kPlay, "Starts playing from current slider position"},
      {&stop, "STOP", CMainDlg::kStop, "Stops playing"},
      {&shred, "SHRED", CMainDlg::kShred, "Shreds to smaller splits"},
  };
  for (const ButtonPlan& plan : plans) {
    CBitmapButton* button = Named(new CBitmapButton(QString::fromLatin1(plan.caption)), plan.name);
    button->setToolTip(QString::fromLatin1(plan.tip));
    button->setEnabled(false);
    *plan.button = button;
  }
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  row->addStretch();
  for (CBitmapButton* b : {start, end, save, clear}) row->addWidget(b);
  row->addSpacing(18);
  for (CBitmapButton* b : {play, stop}) row->addWidget(b);
  row->addSpacing(18);
  row->addWidget(shred);
  row->addStretch();
  return row;
}

void CMainControls::LayOut(QBoxLayout* labels, QBoxLayout* buttons) {
  content_ = new QVBoxLayout;
  content_->setContentsMargins(kContentMargin, kContentMargin, kContentMargin, 14);
  content_->setSpacing(5);
  content_->addWidget(scale);
  content_->addWidget(slider, 0, Qt::AlignHCenter);
  content_->addSpacing(2);
  content_->addLayout(labels);
  content_->addSpacing(8);
  content_->addWidget(EtchedLine());
  content_->addStretch();
  content_->addLayout(buttons);
  content_->addStretch();
  content_->addWidget(EtchedLine());
}
