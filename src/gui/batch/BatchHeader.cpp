#include "gui/batch/BatchHeader.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int kItemSpacing = 6;
constexpr int kImageSize = 16;

}  // namespace

CBatchHeader::CBatchHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setSortIndicatorShown(false);
  setDefaultAlignment(Qt::AlignCenter);
}

void CBatchHeader::SetImageList(const QList<QPixmap>& images) {
  images_ = images;
  viewport()->update();
}

bool CBatchHeader::SetItemImage(int column, int image) {
  if (column < 0 || column >= count()) return false;
  if (std::size_t(column) >= itemImages_.size()) itemImages_.resize(std::size_t(column) + 1, -1);
  itemImages_[std::size_t(column)] = image;
  viewport()->update(sectionViewportPosition(column), 0, sectionSize(column), height());
  return true;
}

int CBatchHeader::GetItemImage(int column) const {
  if (column < 0 || column >= count() || std::size_t(column) >= itemImages_.size()) return -1;
  return itemImages_[std::size_t(column)];
}

bool CBatchHeader::IsCheckAllColumn(int column) const {
  const int image = GetItemImage(column);
  return image == kEmptyBoxImage || image == kTickedBoxImage;
}

// Item images follow their columns when columns are inserted or removed.
void CBatchHeader::setModel(QAbstractItemModel* newModel) {
  if (newModel == model()) return;
  if (model()) disconnect(model(), nullptr, this, nullptr);
  QHeaderView::setModel(newModel);
  itemImages_.clear();
  if (!newModel) return;
  connect(newModel, &QAbstractItemModel::columnsInserted, this,
          [this](const QModelIndex&, int first, int last) {
            if (std::size_t(first) <= itemImages_.size())
              itemImages_.insert(itemImages_.begin() + first, std::size_t(last - first + 1), -1);
          });
  connect(newModel, &QAbstractItemModel::columnsRemoved, this,
          [this](const QModelIndex&, int first, int last) {
            const std::size_t end = std::min(itemImages_.size(), std::size_t(last) + 1);
            if (std::size_t(first) < end)
              itemImages_.erase(itemImages_.begin() + first, itemImages_.begin() + long(end));
          });
}

QList<QPixmap> CBatchHeader::CheckBoxImages() {
  QList<QPixmap> strip;
  for (int image = kBlankImage; image <= kTickedBoxImage; ++image) {
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    if (image != kBlankImage) {
      QPainter p(&pixmap);
      const QRect box(2, 2, 12, 12);
      p.fillRect(box, Qt::white);
      p.setPen(QColor(0x80, 0x80, 0x80));
      p.drawLine(box.topLeft(), box.topRight());
      p.drawLine(box.topLeft(), box.bottomLeft());
      p.setPen(Qt::black);
      p.drawRect(box.adjusted(1, 1, -1, -1));
      if (image == kTickedBoxImage) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 2));
        p.drawPolyline(QList<QPointF>{{4.5, 8.0}, {7.0, 10.5}, {11.5, 5.0}});
      }
    }
    strip.append(pixmap);
  }
  return strip;
}

int CBatchHeader::TitleWidth(int column) const {
  if (column < 0 || column >= count()) return 0;
  const int image = GetItemImage(column);
  const int imageWidth = image >= 0 && image < images_.size() ? images_[image].width() : 0;
  const QString title = model() ? model()->headerData(column, orientation()).toString() : QString();
  // Spacing on both sides, the image, the title, and the two separator lines.
  return kItemSpacing * 2 + imageWidth + fontMetrics().horizontalAdvance(title) + 2;
}

QSize CBatchHeader::sizeHint() const {
  QSize hint = QHeaderView::sizeHint();
  hint.setHeight(std::max(hint.height(), std::max(fontMetrics().height(), kImageSize) + 8));
  return hint;
}

// The whole strip is painted here on the button face (Qt buffers every widget
// paint, which gives the flicker-free off-screen drawing), and each item by
// paintSection; the area beyond the last item stays plain button face.
void CBatchHeader::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), palette().button());
  for (int visual = 0; visual < count(); ++visual) {
    const int logical = logicalIndex(visual);
    if (isSectionHidden(logical)) continue;
    const QRect rect(sectionViewportPosition(logical), 0, sectionSize(logical), viewport()->height());
    if (rect.intersects(event->rect())) paintSection(&painter, rect, logical);
  }
}

void CBatchHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->save();
  painter->setClipRect(rect);
  painter->fillRect(rect, palette().button());
  int left = rect.left() + kItemSpacing;
  const int image = GetItemImage(logicalIndex);
  if (image >= 0 && image < images_.size()) {
    const QPixmap& pixmap = images_[image];
    painter->drawPixmap(left, rect.top() + (rect.height() - pixmap.height()) / 2, pixmap);
    left += pixmap.width();
  }
  const QRect titleRect(left, rect.top(), rect.right() - kItemSpacing - left + 1, rect.height());
  const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  painter->setPen(QColor(Qt::blue));
  painter->setFont(font());
  painter->drawText(titleRect, Qt::AlignCenter | Qt::TextSingleLine,
                    fontMetrics().elidedText(title, Qt::ElideRight, std::max(0, titleRect.width())));
  // Separator: a shadow line with a highlight line beside it.
  painter->setPen(palette().color(QPalette::Dark));
  painter->drawLine(rect.right() - 1, rect.top() + 2, rect.right() - 1, rect.bottom() - 2);
  painter->setPen(palette().color(QPalette::Light));
  painter->drawLine(rect.right(), rect.top() + 2, rect.right(), rect.bottom() - 2);
  painter->restore();
}
