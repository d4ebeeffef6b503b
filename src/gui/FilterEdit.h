#pragma once
// An edit field that swallows typed characters belonging to a given set
// (e.g. the characters a file name cannot hold). Every other keystroke is
// handled as usual; pasted text is not filtered.

#include <QLineEdit>

class CFilterEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CFilterEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
  void SetRefusedCharacters(const QString& refused) { refused_ = refused; }
  const QString& RefusedCharacters() const { return refused_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString refused_;
};
