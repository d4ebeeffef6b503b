#pragma once
// Edits one row's output file name and output folder. The name field refuses
// the characters a file name cannot hold; the folder field refuses the
// wildcard and redirection characters but takes "/" and ":".

#include <QDialog>

class CFilterEdit;
class CGuiServices;

class CChangeOutputDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kName = "name";
  static constexpr const char* kFolder = "folder";
  static constexpr const char* kBrowse = "browse";
  static constexpr const char* kOk = "ok";
  static constexpr const char* kCancel = "cancel";
  static constexpr const char* kRefusedInName = "*:?\\/<>";
  static constexpr const char* kRefusedInFolder = "*?<>";

  explicit CChangeOutputDlg(const CGuiServices& services, QWidget* parent = nullptr);

  void SetFolder(const QString& folder);
  void SetName(const QString& name);
  QString Folder() const { return folder_; }
  QString Name() const { return name_; }

  void OnBrowse();
  void accept() override;

 private:
  const CGuiServices& services_;
  CFilterEdit* nameEdit_;
  CFilterEdit* folderEdit_;
  QString folder_;
  QString name_;
};
