#pragma once
// The header of the batch window's list: each column title is painted in
// blue after an image from the header's image list, on the button-face
// colour, with a two-tone separator between items. A column whose image is
// the empty box (1) or the ticked box (2) is a check-all box: the list flips
// it when the column title is clicked.

#include <QHeaderView>
#include <QList>
#include <QPixmap>
#include <vector>

class CBatchHeader : public QHeaderView {
  Q_OBJECT

 public:
  // Header image indices of the standard strip (see CheckBoxImages).
  static constexpr int kBlankImage = 0;
  static constexpr int kEmptyBoxImage = 1;
  static constexpr int kTickedBoxImage = 2;

  explicit CBatchHeader(QWidget* parent = nullptr);

  void SetImageList(const QList<QPixmap>& images);
  const QList<QPixmap>& GetImageList() const { return images_; }
  // Image index of a column; -1 (the default) draws no image.
  bool SetItemImage(int column, int image);
  int GetItemImage(int column) const;
  // True for a column that acts as a check-all box (image 1 or 2).
  bool IsCheckAllColumn(int column) const;

  // A strip of three 16 by 16 images: blank, empty check box, ticked box.
  static QList<QPixmap> CheckBoxImages();

  // The width a column needs to show its image and whole title.
  int TitleWidth(int column) const;

  QSize sizeHint() const override;
  void setModel(QAbstractItemModel* model) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  QList<QPixmap> images_;
  std::vector<int> itemImages_;
};
