// The Qt side of the prompt seam: real message boxes and file dialogs, as
// the program shows them, answered through their own buttons.

#include "gui/Prompt.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "gui/GuiServices.h"
#include "settings/StatePaths.h"
#include "support/TestSupport.h"
#include "support/gui/GuiTestSupport.h"

namespace {

void SaveShot(QWidget* w, const char* name) {
  const QByteArray dir = qgetenv("KESTRUNE_SCREENSHOT_DIR");
  if (!dir.isEmpty())
    w->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"));
}

TEST(QtPrompt, FiltersBecomeQtFilters) {
  EXPECT_EQ(QtFilter(QStringLiteral("All Supported files| *.wav; *.mp3;|Wave Files (*.wav)| *.wav|MP3 files "
                                    "(*.mp3)| *.mp3|All Files (*.*)|*.*||")),
            QStringLiteral(
                "All Supported files (*.wav *.mp3);;Wave Files (*.wav);;MP3 files (*.mp3);;All Files (*.*)"));
  EXPECT_EQ(QtFilter(QString()), QString());
  EXPECT_EQ(QtFilter(QStringLiteral("|*.wav||")), QString());  // no description: the list ends
}

TEST(QtPrompt, QuestionShowsCaptionTextIconAndButtonsAndReturnsTheClickedOne) {
  const CGuiServices services(SettingsFilePath(), DefaultBatchLogPath());  // Qt's own boxes and dialogs
  bool checked = false;
  kt::WhenModal([&checked](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Comfirm"));
    EXPECT_EQ(box->text(), QStringLiteral("a.wav is already open. Do you wish to open another file ?"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    SaveShot(box, "question");
    checked = true;
    box->button(QMessageBox::No)->click();
  });
  const PromptAnswer answer =
      services.Prompt().Ask(nullptr, QStringLiteral("Comfirm"),
                            QStringLiteral("a.wav is already open. Do you wish to open another file ?"),
                            MessageIcon::Warning, PromptButtons::YesNo);
  EXPECT_TRUE(checked);
  EXPECT_EQ(answer, PromptAnswer::No);
}

TEST(QtPrompt, ErrorBoxHasTheStopIconAndOneOkButton) {
  const CGuiServices services(SettingsFilePath(), DefaultBatchLogPath());  // Qt's own boxes and dialogs
  kt::WhenModal([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    SaveShot(box, "error");
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(services.Prompt().Ask(nullptr, QStringLiteral("Error"),
                                  QStringLiteral("This file type is not supported"), MessageIcon::Error,
                                  PromptButtons::Ok),
            PromptAnswer::Ok);
}

TEST(QtPrompt, OpenDialogOffersTheFiltersAndReturnsTheChosenPath) {
  const CGuiServices services(SettingsFilePath(), DefaultBatchLogPath());  // Qt's own boxes and dialogs
  kt::TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directory(dir.Path() / "Music"));
  kt::WriteAll(dir.File("Music/Song.MP3"), {1, 2, 3});
  const QString wanted = QString::fromStdString(dir.File("Music/Song.MP3"));
  kt::WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters().front(), QStringLiteral("All Supported files (*.wav *.mp3)"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->setDirectory(QString::fromStdString(dir.File("Music")));
    kt::Spin(50);
    SaveShot(dialog, "open-dialog");
    auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(nameEdit, nullptr);
    nameEdit->setText(QStringLiteral("Song.MP3"));
    // Upper-case names are offered under the lower-case patterns.
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex song = model->index(wanted);
    ASSERT_TRUE(song.isValid());
    EXPECT_TRUE(model->flags(song) & Qt::ItemIsEnabled);
    static_cast<QDialog*>(dialog)->accept();
  });
  FileDialogRequest request;
  request.filter = QStringLiteral(
      "All Supported files| *.wav; *.mp3;|Wave Files (*.wav)| *.wav|MP3 files (*.mp3)| *.mp3|All Files "
      "(*.*)|*.*||");
  EXPECT_EQ(services.Prompt().GetOpenFileName(nullptr, request), wanted);
}

TEST(QtPrompt, SaveDialogAddsTheDefaultExtensionAndCancelGivesNothing) {
  const CGuiServices services(SettingsFilePath(), DefaultBatchLogPath());  // Qt's own boxes and dialogs
  kt::TempDir dir;
  kt::WhenModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("wav"));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    dialog->setDirectory(dir.Path().c_str());
    dialog->selectFile(QStringLiteral("part"));
    static_cast<QDialog*>(dialog)->accept();
  });
  FileDialogRequest request;
  request.filter = QStringLiteral("WAV files (*.wav)|*.wav|All files (*.*)|*.*||");
  request.defaultExtension = QStringLiteral("wav");
  const QString chosen = services.Prompt().GetSaveFileName(nullptr, request);
  EXPECT_TRUE(chosen.endsWith(QStringLiteral("/part.wav"))) << chosen.toStdString();

  kt::WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_TRUE(services.Prompt().GetSaveFileName(nullptr, request).isEmpty());
}

}  // namespace
