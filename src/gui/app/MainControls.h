#pragma once
// The controls of the main window below its menus: the position slider with
// the scale marks above it, the three time labels under it and the seven
// buttons in a row, laid out between two etched lines. It builds and lays
// them out only; the window connects them to its commands.

#include <QObject>
#include <array>

class QBoxLayout;
class QLabel;
class QWidget;
class CBitmapButton;
class CPositionSlider;
class CSliderScale;

class CMainControls {
 public:
  // The slider's width in the classic window, and the content's margin.
  static constexpr int kSliderWidth = 476;
  static constexpr int kContentMargin = 12;

  // Creates the controls; they become children of the window that takes
  // Layout().
  CMainControls();

  // The slider, labels and buttons laid out; the caller puts it in a window.
  QBoxLayout* Layout() const { return content_; }

  CPositionSlider* slider = nullptr;
  CSliderScale* scale = nullptr;
  QLabel* elapsed = nullptr;
  QLabel* selection = nullptr;
  QLabel* length = nullptr;
  CBitmapButton* start = nullptr;
  CBitmapButton* end = nullptr;
  CBitmapButton* save = nullptr;
  CBitmapButton* clear = nullptr;
  CBitmapButton* play = nullptr;
  CBitmapButton* stop = nullptr;
  CBitmapButton* shred = nullptr;

  // The buttons left to right, as the keyboard visits them.
  std::array<CBitmapButton*, 7> Buttons() const { return {start, end, save, clear, play, stop, shred}; }
  // Gives button the focus when it can take it.
  static void Focus(CBitmapButton* button);

 private:
  void BuildSlider();
  QBoxLayout* BuildLabels();
  QBoxLayout* BuildButtons();
  void LayOut(QBoxLayout* labels, QBoxLayout* buttons);

  QBoxLayout* content_ = nullptr;
};
