#pragma once
// The main window: one open audio file, the position slider with its
// selection, playback, and the commands of the File, Convert and Help menus.
// It is also the owner of the open file: the file's own messages and
// requests (the Shred Equally choices, the information window) come here.

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Version.h"
#include "core/AudioFile.h"
#include "core/Owner.h"
#include "core/SelectionModel.h"
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
class CGuiServices;
class CMediaPlayer2;
class CPositionSlider;
class CProgress;
class CWaveformPanel;

inline constexpr const char* kAppCaption = "Kestrune v" KESTRUNE_VERSION;

class CMainDlg : public QDialog, public CAudioOwner {
  Q_OBJECT

 public:
  // Command ids of the menus and buttons.
  enum : int {
    ID_FILE_OPEN = 32771,
    ID_FILE_SHRED_EQUALLY = 32772,
    ID_FILE_INFORMATION = 32774,
    ID_FILE_EXIT = 32775,
    ID_HELP_ABOUT = 32776,
    ID_FILE_SETTINGS = 32778,
    ID_CONVERT_RIP_CHANNELS = 32780,
    ID_CONVERT_TO_MP3 = 32781,
    ID_CONVERT_TO_16BIT = 32782,
    ID_CONVERT_TO_8BIT = 32783,
    ID_CONVERT_TO_WAV = 32784,
    ID_CONVERT_BATCH = 32785,
    ID_HELP_TOPICS = 57670,
    // Entries a desktop program adds around the menus above.
    ID_FILE_CLOSE = 32801,
    ID_FILE_SAVE_SELECTION = 32802,
    ID_FILE_RECENT = 32803,
    ID_VIEW_WAVEFORM = 32810,
    ID_EDIT_SET_SELECTION = 32811,
    ID_FILE_SPLIT = 32804,
    ID_FILE_SHOW_IN_FOLDER = 32805,
    IDC_ELAPSED = 1000,
    IDC_SELECTION = 1001,
    IDC_LENGTH = 1002,
    IDC_START = 1004,
    IDC_END = 1005,
    IDC_CLEAR = 1006,
    IDC_PLAY = 1007,
    IDC_STOP = 1008,
    IDC_SAVE = 1009,
    IDC_SHRED = 1025,
    IDC_SLIDER = 20,
  };
  static constexpr int kCollapsedHeight = 270;
  static constexpr int kPlayTimerMs = 50;

  // services: what the window and the windows it opens use from the
  // desktop; they outlive the window. player: the playback engine; nullptr
  // uses Qt Multimedia, created when first needed (or earlier through
  // PreparePlayer).
  explicit CMainDlg(const CGuiServices& services, std::unique_ptr<CMediaPlayer2> player = nullptr,
                    QWidget* parent = nullptr);
  ~CMainDlg() override;

  // --- File menu and opening
  void OnOpen();
  void OnDropFiles(const QStringList& paths);
  // Opens a path; the kind of file follows its extension.
  void OpenPath(const QString& path);
  // Asks before closing the open file; false when the user keeps it.
  bool CloseOpenFile();
  void OnSettings();
  void OnFileInformation();
  void OnExit();
  void UpdateFileMenu();

  // --- Desktop habits (MainDlgDesktop.cpp): Close, Recent files, shortcuts
  // Closes the open file without asking (nothing unsaved is lost).
  void OnCloseFile();
  // Opens an entry of File > Recent files; a file gone from the disk is
  // dropped from the list after the open's own message.
  void OpenRecent(const QString& path);
  QMenu* RecentMenu() const { return recentMenu_; }
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

  // --- Playback, slider and selection
  void OnPlay();
  void OnStop();
  void StopPlayback();
  void OnStartSelection();
  void OnEndSelection();
  void OnSaveSelection();
  void OnClearSelection();
  void OnToggleTimeMode();
  void OnTimer();
  void OnEndOfStream();
  void OnPlayerError();
  void OnSliderAction(int action);
  void OnSliderReleased();

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

  // --- CAudioOwner
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
  bool RunShredEqually(CAudioFile& file, ShredRequest& request) override;
  void ShowInformation(CAudioFile& file) override;

  // Runs an operation on the open file with a progress window, then reports
  // its outcome (the file's error, or the file failure that ended it).
  void RunWithProgress(const std::function<void(CAudioFile& file, CProgress& progress)>& operation);

  // Creates the playback engine now, so the first PLAY does not wait for it.
  CMediaPlayer2& PreparePlayer();

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
  CPositionSlider* Slider() const { return slider_; }
  int PlayingState() const { return playingState_; }
  bool PlayTimerActive() const { return playTimer_.isActive(); }
  QAction* Action(int id) const;
  QMenu* FileMenu() const { return fileMenu_; }
  QMenu* ConvertMenu() const { return convertMenu_; }
  CBatchConvertCommand* Batch() const { return batch_; }

 protected:
  // The batch window's notifications, and closing while a batch runs
  // (MainDlgCommands.cpp).
  void customEvent(QEvent* event) override;
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildControls();
  void BuildWaveform(QBoxLayout* content);
  void AddViewMenu(QMenuBar* bar, QMenu* before);
  // The slider's position and marks into the selection model (unless the
  // marks came from the waveform), then a repaint.
  void SyncSelectionFromSlider();
  void OnWaveformSeek(std::uint64_t sample);
  void OnWaveformDrag(std::uint64_t anchor, std::uint64_t sample, bool finished);
  void OnWaveformNudge(int milliseconds);
  int SliderPositionOf(std::uint64_t sample) const;
  void Collapse();
  void ShowResizable();
  void FitSliderToWindow();
  void SetMaximizable(bool maximizable);
  void RememberSize();
  void StartWaveform();
  void AddDesktopEntries();
  void SetDesktopTabOrder();
  void UpdateDesktopEntries();
  void UpdateRecentMenu();
  void DropOpenFile();
  // Tells the file dialogs to start in the open file's folder.
  void SetDocumentFolder();
  void FileLoaded();
  void ReportFileFailure(const std::string& message);
  // A save dialog for an output of the open file.
  QString AskOutputPath(const std::string& defaultExtension, const std::string& filter, bool overwritePrompt);
  void FocusButton(CBitmapButton* button);
  std::unique_ptr<CFileCommands> MakeCommands();
  QAction* AddAction(QMenu* menu, const QString& text, int id, void (CMainDlg::*handler)());

  const CGuiServices& services_;
  std::unique_ptr<CAudioFile> file_;
  CSelectionModel marks_;
  CWaveformPanel* waveform_ = nullptr;
  CPositionSlider* slider_ = nullptr;
  std::uint32_t overlapTime_ = 0;
  std::string suffix_;
  std::uint8_t overlapSet_ = 0;
  std::uint8_t suffixSet_ = 0;
  bool gapless_ = true;
  std::uint8_t playingState_ = 0;  // 0 stopped, 1 playing, 2 paused

  QLabel* elapsed_ = nullptr;
  QLabel* selection_ = nullptr;
  QLabel* length_ = nullptr;
  CBitmapButton* start_ = nullptr;
  CBitmapButton* end_ = nullptr;
  CBitmapButton* save_ = nullptr;
  CBitmapButton* clear_ = nullptr;
  CBitmapButton* play_ = nullptr;
  CBitmapButton* stop_ = nullptr;
  CBitmapButton* shred_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* convertMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QString lastWritten_;  // the file the last operation wrote, for File > Show in Folder
  bool noDeviceShown_ = false;
  std::map<int, QAction*> actions_;

  std::unique_ptr<CFileCommands> commands_;
  CBatchConvertCommand* batch_ = nullptr;
  std::unique_ptr<CMediaPlayer2> player_;
  QTimer playTimer_;  // timer 10: moves the thumb while playing
};
