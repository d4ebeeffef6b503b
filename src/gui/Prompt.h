#pragma once
// The one seam through which every window asks the user something: message
// boxes and file dialogs. Windows reach it through their CGuiServices; the
// program uses real Qt dialogs, tests a scripted prompt that answers in turn
// and fails on unexpected questions.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/OperationResult.h"

class CSettingsStore;
class QWidget;

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

// What a file dialog is asked to show. Filters use the "desc|pattern|...||"
// form of the string table and are converted for Qt by the implementation.
struct FileDialogRequest {
  QString title;             // empty: the toolkit's default title
  QString filter;            // "WAV files (*.wav)|*.wav|All files (*.*)|*.*||"
  QString defaultExtension;  // without dot; empty for none
  QString initialName;       // file name or path shown at start
  // The folder the dialog starts in. Left empty, WithStartFolders fills it: the
  // folder of an absolute initialName, else DialogStartFolder(parent).
  QString directory;
  bool overwritePrompt = false;
};

// A question asked without waiting for its answer (CPrompt::Open).
class CPromptHandle {
 public:
  virtual ~CPromptHandle() = default;
  // True until the question is answered or withdrawn.
  virtual bool IsOpen() const = 0;
  // Takes the question away unanswered: its callback never runs.
  virtual void Withdraw() = 0;
};

// The window property that makes the boxes and file dialogs over a window
// modal to that window only, so the other windows carry on meanwhile.
inline constexpr const char* kWindowModalBoxesProperty = "windowModalBoxes";

class CPrompt {
 public:
  virtual ~CPrompt() = default;
  virtual PromptAnswer Ask(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                           PromptButtons buttons) = 0;
  // Shows the question modal to parent's window only and returns at once;
  // answered runs on the GUI thread when the user answers (possibly before
  // Open returns). This default asks synchronously through Ask.
  virtual std::shared_ptr<CPromptHandle> Open(QWidget* parent, const QString& caption, const QString& text,
                                              MessageIcon icon, PromptButtons buttons,
                                              std::function<void(PromptAnswer)> answered);
  // Empty result: the user cancelled.
  virtual QString GetOpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
  virtual QStringList GetOpenFileNames(QWidget* parent, const FileDialogRequest& request) = 0;
  virtual QString GetSaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
  virtual QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& start) = 0;
  // The file dialogs without waiting: shown modal to parent's window only,
  // chosen runs with the answer (empty: cancelled). These defaults ask
  // synchronously through the methods above.
  virtual void OpenFileNames(QWidget* parent, const FileDialogRequest& request,
                             std::function<void(const QStringList&)> chosen);
  virtual void OpenDirectory(QWidget* parent, const QString& title, const QString& start,
                             std::function<void(const QString&)> chosen);
};

// Qt's own message boxes and file dialogs.
std::unique_ptr<CPrompt> MakeQtPrompt();
// A layer over inner that gives every file dialog its starting folder (the
// folder of an absolute initialName, else DialogStartFolder(parent)) and
// remembers the folder of each path the user picks in settings. inner and
// settings must outlive it.
std::unique_ptr<CPrompt> WithStartFolders(CPrompt& inner, const CSettingsStore& settings);

// The window property naming the open file's folder: dialogs of that window
// and of the windows it owns start there.
inline constexpr const char* kDocumentFolderProperty = "documentFolder";

// Where a file dialog over parent starts: the nearest kDocumentFolderProperty
// up the parent chain, else the folder a file dialog returned last (kept in
// settings), else empty (the toolkit's choice).
QString DialogStartFolder(const QWidget* parent, const CSettingsStore& settings);

// An output name typed without a folder goes beside the open file (the
// nearest kDocumentFolderProperty up the parent chain), where the dialogs
// start too; absolute names, empty names and windows without an open file
// keep the name as typed.
QString InDocumentFolder(const QWidget* parent, const QString& name);

// Converts a "desc|pattern|desc|pattern||" filter into Qt's ";;" form.
QString QtFilter(const QString& filter);
