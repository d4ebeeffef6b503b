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
  enum : int { IDC_NAME = 1075, IDC_FOLDER = 1003, IDC_BROWSE = 1028, IDOK = 1, IDCANCEL = 2 };
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
