#pragma once
// The main window: one open audio file, the position slider with its
// selection, playback, and the commands of the File, Convert and Help menus.
// It is also the owner of the open file: the file's own messages and
// requests (the Shred Equally choices, the information window) come here.
// Its parts each have one job: CMainMenus the menu bar, CMainControls the
// slider, labels and buttons, CMainPlayback playing, CSelectionModel the
// marks in samples, CFileCommands the conversions; the window wires them.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Version.h"
#include "core/AudioFile.h"
#include "core/SelectionModel.h"
#include "core/UndoHistory.h"
#include "core/split/SegmentList.h"
#include "gui/MediaPlayer2.h"
#include "gui/OperationRunner.h"

class QAction;
class QBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class CBatchConvertCommand;
class CBitmapButton;
class CFileCommands;
class CMainControls;
class CMainMenus;
class CMainPlayback;
class CGuiServices;
class CMediaPlayer2;
class CPositionSlider;
class CProgress;
class CWaveformPanel;
class CTimeRuler;
class CSegmentsPanel;

inline constexpr const char* kAppCaption = "Kestrune v" KESTRUNE_VERSION;

class CMainDlg : public QDialog {
  Q_OBJECT

 public:
  // Object names of the menu entries and of the controls.
  static constexpr const char* kFileOpen = "fileOpen";
  static constexpr const char* kFileShredEqually = "fileShredEqually";
  static constexpr const char* kFileInformation = "fileInformation";
  static constexpr const char* kFileExit = "fileExit";
  static constexpr const char* kHelpAbout = "helpAbout";
  static constexpr const char* kFileSettings = "fileSettings";
  static constexpr const char* kConvertRipChannels = "convertRipChannels";
  static constexpr const char* kConvertToMp3 = "convertToMp3";
  static constexpr const char* kConvertTo16Bit = "convertTo16Bit";
  static constexpr const char* kConvertTo8Bit = "convertTo8Bit";
  static constexpr const char* kConvertToWav = "convertToWav";
  static constexpr const char* kConvertBatch = "convertBatch";
  static constexpr const char* kHelpTopics = "helpTopics";
  static constexpr const char* kFileClose = "fileClose";
  static constexpr const char* kFileSaveSelection = "fileSaveSelection";
  static constexpr const char* kFileRecent = "fileRecent";
  static constexpr const char* kViewWaveform = "viewWaveform";
  static constexpr const char* kEditSetSelection = "editSetSelection";
  static constexpr const char* kFileSplit = "fileSplit";
  static constexpr const char* kFileShowInFolder = "fileShowInFolder";
  static constexpr const char* kEditUndo = "editUndo";
  static constexpr const char* kEditRedo = "editRedo";
  static constexpr const char* kViewSegments = "viewSegments";
  static constexpr const char* kViewZoomIn = "viewZoomIn";
  static constexpr const char* kViewZoomOut = "viewZoomOut";
  static constexpr const char* kViewZoomFit = "viewZoomFit";
  static constexpr const char* kViewZoomSelection = "viewZoomSelection";
  static constexpr const char* kPlaySelection = "playSelection";
  static constexpr const char* kPlayLoop = "playLoop";
  // The nudge keys' actions are these names with "Left" or "Right".
  static constexpr const char* kNudgeMs = "nudgeMs";
  static constexpr const char* kNudgePixel = "nudgePixel";
  static constexpr const char* kNudgeSample = "nudgeSample";
  static constexpr const char* kElapsed = "elapsed";
  static constexpr const char* kSelection = "selection";
  static constexpr const char* kLength = "length";
  static constexpr const char* kStart = "start";
  static constexpr const char* kEnd = "end";
  static constexpr const char* kClear = "clear";
  static constexpr const char* kPlay = "play";
  static constexpr const char* kStop = "stop";
  static constexpr const char* kSave = "save";
  static constexpr const char* kShred = "shred";
  static constexpr const char* kSlider = "slider";
  static constexpr int kCollapsedHeight = 270;

  // services: what the window and the windows it opens use from the
  // desktop; they outlive the window. player: the playback engine; nullptr
  // uses Qt Multimedia, created when first needed (or earlier through
  // PreparePlayer).
  explicit CMainDlg(const CGuiServices& services, std::unique_ptr<CMediaPlayer2> player = nullptr,
                    QWidget* parent = nullptr);
  ~CMainDlg() override;

  // --- File menu and opening (MainDlgOpen.cpp)
  void OnOpen();
  void OnDropFiles(const QStringList& paths);
  // Opens a path; the kind of file follows its extension.
  void OpenPath(const QString& path);
  // Asks before closing the open file; false when the user keeps it.
  bool CloseOpenFile();
  // Closes the open file without asking (nothing unsaved is lost).
  void OnCloseFile();
  // Opens an entry of File > Recent files; a file gone from the disk is
  // dropped from the list after the open's own message.
  void OpenRecent(const QString& path);
  void OnSettings();
  void OnFileInformation();
  void OnExit();
  void UpdateFileMenu();
  QMenu* RecentMenu() const;
  // The file the last operation wrote; File > Show in Folder shows it.
  const QString& LastWritten() const { return lastWritten_; }
  void OnShowInFolder();

  // --- Shredding and converting (MainDlgCommands.cpp)
  void OnShredEqually();
  // "Split at Silences or by Cue Sheet...": the Split dialog over the open file.
  void OnSplit();
  void OnConvertToMp3();
  void OnConvertToWav();
  void OnConvertTo8Bit();
  void OnConvertTo16Bit();
  void OnRipChannels();
  void UpdateConvertMenu();

  // --- Help
  void OnHelp();
  void OnAbout();

  // --- Playback (CMainPlayback)
  void OnPlay();
  void OnStop();
  void StopPlayback();
  // The thumb to the player's position, as the follow timer moves it.
  void OnTimer();
  // Creates the playback engine now, so the first PLAY does not wait for it.
  CMediaPlayer2& PreparePlayer();

  // --- Selection (MainDlgSelection.cpp)
  void OnStartSelection();
  void OnEndSelection();
  void OnSaveSelection();
  void OnClearSelection();
  void OnToggleTimeMode();

  // --- Undo, redo and the nudge keys (MainDlgEdit.cpp)
  enum class NudgeStep { TenMs, Pixel, Sample };
  void OnUndo();
  void OnRedo();
  // Moves the active mark (the one last set or dragged) by one step left
  // (direction -1) or right (+1).
  void NudgeMark(NudgeStep step, int direction);
  // The mark the nudge keys move: true for END.
  bool ActiveMarkIsEnd() const { return activeEnd_; }

  // What undo and redo go back and forth between: the marks and the segments.
  struct EditState {
    CSelectionModel::Marks marks;
    std::vector<split::Segment> segments;
    bool operator==(const EditState&) const = default;
  };

  // --- Segments (MainDlgSegments.cpp): View > Segments, the list beside
  // the strip and what its buttons do.
  void OnToggleSegments();
  bool SegmentsShown() const;
  CSegmentsPanel* Segments() const { return segmentsPanel_; }
  const split::CSegmentList& SegmentList() const { return segments_; }
  // Adds a split's pieces to the list (the Split dialog's cut list).
  void AddSegmentsOfPlan(const split::SplitPlan& plan);

  // --- View > Zoom (MainDlgWaveform.cpp) and Play > Play Selection
  void OnZoomIn();
  void OnZoomOut();
  void OnZoomFit();
  void OnZoomToSelection();
  void OnPlaySelection();

  // --- Settings as applied to the open file
  std::uint32_t GetOverlapTime() const { return overlapTime_; }
  const std::string& GetFilenameSuffix() const { return suffix_; }
  bool OverlapSet() const { return overlapSet_ != 0; }
  bool SuffixSet() const { return suffixSet_ != 0; }
  void ApplyOverlapTime();
  void ApplyFilenameSuffix();
  // Gapless MP3 pieces (or plain frame copies), from the store until the
  // Settings dialog has run, then as chosen there.
  bool GetGaplessMp3() const { return gapless_; }
  void ApplyGaplessMp3();

  // The information window of the open file.
  void ShowInformation(CAudioFile& file);

  // Runs an operation on the open file with a progress window, then shows
  // its outcome (through the file commands' one runner).
  void RunWithProgress(
      const std::function<OperationResult(CAudioFile& file, CProgress* progress)>& operation);

  // --- The waveform (MainDlgWaveform.cpp)
  void OnToggleWaveform();
  // Edit > Set Selection...: start and end typed as times.
  void OnSetSelection();
  bool WaveformShown() const;
  CWaveformPanel* Waveform() const { return waveform_; }
  const CSelectionModel& Selection() const { return marks_; }
  // Marks a sample-exact selection, as a drag on the waveform does.
  void SelectSamples(std::uint64_t first, std::uint64_t end);

  // --- State, for the commands of other windows and for tests
  CAudioFile* File() const { return file_.get(); }
  CPositionSlider* Slider() const;
  int PlayingState() const;
  bool PlayTimerActive() const;
  QAction* Action(const char* name) const;
  QMenu* FileMenu() const;
  QMenu* ConvertMenu() const;
  CBatchConvertCommand* Batch() const { return batch_; }

 protected:
  // Closing while a batch runs (MainDlgCommands.cpp).
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectControls();
  void BuildWaveform(QBoxLayout* content);
  // The slider's position and marks into the selection model (unless the
  // marks came from the waveform), then a repaint.
  void SyncSelectionFromSlider();
  void OnWaveformSeek(std::uint64_t sample);
  void OnWaveformDrag(std::uint64_t anchor, std::uint64_t sample, bool finished);
  // A change of the marks as one undo step: what they were before change
  // ran and what it left. The Edit entries follow.
  void Undoable(const std::function<void()>& change);
  // The marks and segments restored by undo or redo, with the buttons as
  // they would be.
  void RestoreState(const EditState& state);
  EditState CurrentState() const { return {marks_.GetMarks(), segments_.Items()}; }
  void BuildSegments();
  void ShowSegments();
  void OnAddSegment();
  void OnChooseSegment(int row);
  void OnPlaySegment(int row);
  void OnWriteSegments();
  void OnExportSegments();
  void OnImportSegments();
  // The buttons as the marking leaves them, and the entries that act on marks.
  void ShowMarking();
  void UpdateEditEntries();
  // The slider and the strip, their scale and ruler, drawn on one axis.
  void RedrawAxis();
  int SliderPositionOf(std::uint64_t sample) const;
  void Collapse();
  void ShowResizable();
  void FitSliderToWindow();
  void SetMaximizable(bool maximizable);
  void RememberSize();
  void StartWaveform();
  void SetDesktopTabOrder();
  void UpdateDesktopEntries();
  void DropOpenFile();
  // Tells the file dialogs to start in the open file's folder.
  void SetDocumentFolder();
  void FileLoaded();

  // Saves the marked stretch to path, to the sample when it was marked so.
  void SaveMarkedSelection(const QString& path);
  // The buttons as they stand with no selection marked.
  void ResetSelectionButtons();
  std::unique_ptr<CFileCommands> MakeCommands();

  const CGuiServices& services_;
  std::unique_ptr<CAudioFile> file_;
  CSelectionModel marks_;
  split::CSegmentList segments_;
  CSegmentsPanel* segmentsPanel_ = nullptr;
  CUndoHistory<EditState> history_;
  // The state when the present drag on the strip began (one undo step).
  std::optional<EditState> dragBefore_;
  bool activeEnd_ = true;
  CWaveformPanel* waveform_ = nullptr;
  std::uint32_t overlapTime_ = 0;
  std::string suffix_;
  std::uint8_t overlapSet_ = 0;
  std::uint8_t suffixSet_ = 0;
  bool gapless_ = true;
  QString lastWritten_;  // the file the last operation wrote, for File > Show in Folder

  std::unique_ptr<CMainMenus> menus_;
  std::unique_ptr<CMainControls> controls_;
  std::unique_ptr<CMainPlayback> playback_;
  std::unique_ptr<CFileCommands> commands_;
  CBatchConvertCommand* batch_ = nullptr;
};
