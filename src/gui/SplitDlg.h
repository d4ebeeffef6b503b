#pragma once
// The Split dialog: cuts the open file where the audio says — at its
// silences, into equal pieces moved to the silences nearby, or by a cue
// sheet. "Find cuts" fills the cut list (times, the silence of each cut and
// its length, the pieces and their lengths); cuts can be unticked; the cut
// points can be exported as a cue sheet or a labels file; nothing is written
// until "Write pieces", which leaves the dialog open for another go. Find
// cuts reads the file on a thread of its own behind the progress window, so
// the dialog repaints and Cancel answers at once.

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/split/SplitPlan.h"
#include "core/split/SplitRequest.h"

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class CAudioFile;
class CProgress;
class CProgressSink;
class CGuiServices;

class CSplitDlg : public QDialog {
 public:
  // Makes the progress window of the write.
  using ProgressFactory = std::function<std::unique_ptr<CProgressSink>()>;
  // Shows the cut points of a plan elsewhere (the waveform); empty: nowhere.
  using CutPointsView = std::function<void(const split::SplitPlan*)>;
  // Finds the plan (on the finder's thread); split::BuildSplitPlan unless
  // a test holds it back.
  using Planner =
      std::function<split::SplitPlan(CAudioFile&, const split::SplitRequest&, const split::CueSheet*)>;

  // file: the main window's open file; the plan is found on it and the
  // pieces are written from it, as the command line does.
  CSplitDlg(const CGuiServices& services, CAudioFile& file, const std::string& suffix,
            QWidget* parent = nullptr);
  ~CSplitDlg() override;

  void SetProgressFactory(ProgressFactory factory) { makeProgress_ = std::move(factory); }
  void SetCutPointsView(CutPointsView view) { showCuts_ = std::move(view); }
  void SetPlanner(Planner planner) { planner_ = std::move(planner); }
  // Takes the pieces of the plan shown as segments (the main window's
  // list); without one the button is not shown.
  using SegmentsSink = std::function<void(const split::SplitPlan&)>;
  void SetSegmentsSink(SegmentsSink sink);
  QPushButton* AddSegmentsButton() const { return addSegments_; }
  // True while Find cuts reads the file (also after Cancel, until the
  // reading thread lets go of the file).
  bool Finding() const { return finder_.joinable(); }

  // The plan shown, with the ticks as set; nullptr before "Find cuts".
  const split::SplitPlan* Plan() const { return plan_ ? &*plan_ : nullptr; }

  // The controls, for the tests that drive the dialog.
  QRadioButton* SilenceMode() const { return silenceMode_; }
  QRadioButton* EqualMode() const { return equalMode_; }
  QRadioButton* CueMode() const { return cueMode_; }
  QDoubleSpinBox* Threshold() const { return threshold_; }
  QLineEdit* MinSilence() const { return minSilence_; }
  QLineEdit* MinPiece() const { return minPiece_; }
  QSpinBox* Pieces() const { return pieces_; }
  QLineEdit* Snap() const { return snap_; }
  QLineEdit* CueSheet() const { return cueSheet_; }
  QLineEdit* Base() const { return base_; }
  QLineEdit* OutDir() const { return outDir_; }
  QPushButton* FindButton() const { return find_; }
  QPushButton* WriteButton() const { return write_; }
  QPushButton* ExportCueButton() const { return exportCue_; }
  QPushButton* ExportLabelsButton() const { return exportLabels_; }
  QTableWidget* CutTable() const { return cutTable_; }
  QTableWidget* PieceTable() const { return pieceTable_; }
  QLabel* Summary() const { return summary_; }

 private:
  QWidget* BuildOptions();
  // The silence and equal-piece fields; the cue sheet and output fields.
  void AddSilenceOptions(QWidget* box, QFormLayout* form);
  void AddFileOptions(QWidget* box, QFormLayout* form);
  QWidget* BuildPreview();
  void UpdateModeControls();
  std::optional<split::SplitRequest> ReadForm();
  void OnFind();
  // The finder's end, on the window's thread; and Cancel of its progress.
  void OnFound();
  void OnFindCancelled();
  void OnCutToggled(int row, int column);
  void OnWrite();
  void OnExport(bool cue);
  void OnBrowseSheet();
  void OnBrowseFolder();
  void FillCuts();
  void FillPieces();
  void Forget();
  void ShowError(const QString& text);

  const CGuiServices& services_;
  CAudioFile& file_;
  std::string sourcePath_;
  std::optional<split::SplitPlan> plan_;
  ProgressFactory makeProgress_;
  CutPointsView showCuts_;
  Planner planner_;
  bool filling_ = false;

  struct FindJob;
  std::shared_ptr<FindJob> job_;
  std::thread finder_;
  std::unique_ptr<CProgressSink> findWindow_;
  std::unique_ptr<CProgress> findProgress_;
  QTimer cancelWatch_;  // asks the progress window whether Cancel was clicked

  QRadioButton* silenceMode_ = nullptr;
  QRadioButton* equalMode_ = nullptr;
  QRadioButton* cueMode_ = nullptr;
  QDoubleSpinBox* threshold_ = nullptr;
  QLineEdit* minSilence_ = nullptr;
  QLineEdit* minPiece_ = nullptr;
  QComboBox* cutAt_ = nullptr;
  QSpinBox* pieces_ = nullptr;
  QLineEdit* snap_ = nullptr;
  QLineEdit* cueSheet_ = nullptr;
  QPushButton* browseSheet_ = nullptr;
  QLineEdit* base_ = nullptr;
  QLineEdit* suffix_ = nullptr;
  QLineEdit* outDir_ = nullptr;
  QPushButton* browseFolder_ = nullptr;
  QPushButton* find_ = nullptr;
  QTableWidget* cutTable_ = nullptr;
  QTableWidget* pieceTable_ = nullptr;
  QLabel* summary_ = nullptr;
  QPushButton* exportCue_ = nullptr;
  QPushButton* exportLabels_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* addSegments_ = nullptr;
  SegmentsSink addToSegments_;
};
