#pragma once
// Playback in the main window: PLAY and STOP, the player, and the thumb that
// follows the playing position. PLAY plays from the thumb; STOP pauses (PLAY
// goes on from the thumb again); moving the thumb while playing moves the
// player with it, except while the user drags it.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class CAudioFile;
class CGuiServices;
class CMainControls;
class CMediaPlayer2;
class QWidget;

class CMainPlayback : public QObject {
  Q_OBJECT

 public:
  enum State : int { kStopped = 0, kPlaying = 1, kPaused = 2 };
  // How often the thumb follows the player.
  static constexpr int kFollowMs = 50;

  struct Context {
    QWidget* window = nullptr;  // the main window: parent of the boxes
    const CGuiServices* services = nullptr;
    CMainControls* controls = nullptr;
    std::function<const CAudioFile*()> file;  // the open file, or nullptr
    std::function<void()> thumbMoved;         // after the thumb or the selection moved
    std::function<bool()> loop;               // whether a played selection starts over
  };

  // player: nullptr uses Qt Multimedia, created when first needed.
  CMainPlayback(Context context, std::unique_ptr<CMediaPlayer2> player);
  ~CMainPlayback() override;

  // Creates the playback engine now, so the first PLAY does not wait for it.
  CMediaPlayer2& PreparePlayer();
  // The player's source: the open file, or none.
  void Load(const QString& path);
  void Unload();

  // PLAY, STOP (a pause), and the stop of closing or converting.
  void Play();
  // Plays from seconds from to seconds to, then pauses there, or starts
  // over at from while the loop is on. PLAY, STOP and moving the thumb end it.
  void PlaySpan(double from, double to);
  bool PlayingSpan() const { return spanActive_; }
  void Pause();
  void Stop();
  // The slider's own actions and the end of a drag of its thumb.
  void OnSliderAction(int action);
  void OnSliderReleased();
  // Moves the thumb to the player's position (the follow timer's tick).
  void FollowPlayer();

  int State() const { return state_; }
  bool Following() const { return follow_.isActive(); }

 private:
  void OnEndOfStream();
  void OnPlayerError();
  void Connect();
  // PLAY enabled and STOP disabled, the focus on PLAY.
  void ShowStopped(bool playable);
  // The player to the thumb, playing on.
  void Resume();
  // PLAY from the thumb, or from seconds when given.
  void Start(std::optional<double> from);

  Context context_;
  std::unique_ptr<CMediaPlayer2> player_;
  QTimer follow_;
  int state_ = kStopped;
  bool noDeviceShown_ = false;
  bool spanActive_ = false;
  double spanFrom_ = 0.0, spanTo_ = 0.0;
};
