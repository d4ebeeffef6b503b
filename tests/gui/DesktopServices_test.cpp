// The desktop session around the main window, through fakes of its two
// services: File > Show in Folder shows what the last operation wrote, and
// a long operation that ends while the program is in the background is
// announced (a short one, or one the user watched, is not).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "gui/DesktopIntegration.h"
#include "gui/MainWindowFixture.h"

namespace {

struct FakeNotifier : IDesktopNotifier {
  void Notify(const QString& summary, const QString& body) override {
    shown.push_back(summary + " | " + body);
  }
  std::vector<QString> shown;
};

struct FakeFolders : IFolderShower {
  void ShowItem(const QString& path) override { items.push_back(path); }
  std::vector<QString> items;
};

class DesktopServicesTest : public kt::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    prompt.Services().desktop = {
        notifier, folders, [this] { return now += step; },
        [this](const QWidget* asked) { return asked == window.get() && background; }};
    Open(kt::MakeWavFile(dir, "Ten.wav", 10.0));
    ASSERT_NE(window->File(), nullptr);
  }
  // Opens the File menu as the user does; true when Show in Folder can be chosen.
  bool ShowInFolderEnabled() {
    QMenu* file = window->findChild<QMenuBar*>()->actions().first()->menu();
    emit file->aboutToShow();
    return window->Action(CMainDlg::kFileShowInFolder)->isEnabled();
  }
  void SaveSelection(const std::string& out) {
    Slider()->SetPosition(0.1);
    Click(CMainDlg::kStart);
    DragThumbTo(300);
    Click(CMainDlg::kEnd);
    prompt.AnswerFile(QString::fromStdString(out));
    Click(CMainDlg::kSave);
  }

  std::shared_ptr<FakeNotifier> notifier = std::make_shared<FakeNotifier>();
  std::shared_ptr<FakeFolders> folders = std::make_shared<FakeFolders>();
  qint64 now = 0;
  qint64 step = 1;          // milliseconds the clock moves on each reading
  bool background = false;  // whether the user looks at another program
};

TEST_F(DesktopServicesTest, ShowInFolderShowsTheLastWrittenFileOnlyOnceThereIsOne) {
  EXPECT_FALSE(ShowInFolderEnabled());
  const std::string out = dir.File("part.wav");
  SaveSelection(out);
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(out)));
  ASSERT_TRUE(ShowInFolderEnabled());
  window->Action(CMainDlg::kFileShowInFolder)->trigger();
  ASSERT_EQ(folders->items.size(), 1u);
  EXPECT_EQ(folders->items[0], QString::fromStdString(out));

  // A save that fails writes nothing new: the entry keeps the last good file.
  SaveSelection(dir.File("no such folder/x.wav"));
  window->Action(CMainDlg::kFileShowInFolder)->trigger();
  EXPECT_EQ(folders->items.back(), QString::fromStdString(out));
}

TEST_F(DesktopServicesTest, OnlyALongOperationEndingInTheBackgroundIsAnnounced) {
  const struct {
    qint64 step;
    bool background;
    bool announced;
  } cases[] = {
      {kNotifyAfterMs + 1000, true, true},
      {kNotifyAfterMs / 2, true, false},
      {kNotifyAfterMs + 1000, false, false},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(index);
    step = c.step;
    background = c.background;
    notifier->shown.clear();
    SaveSelection(dir.File("piece " + std::to_string(index++) + ".wav"));
    EXPECT_EQ(notifier->shown.size(), c.announced ? 1u : 0u);
    if (c.announced && !notifier->shown.empty()) {
      EXPECT_EQ(notifier->shown[0], QStringLiteral("Kestrune: done | Ten.wav has been worked on."));
    }
  }
}

}  // namespace
