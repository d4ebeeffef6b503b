#pragma once
// "About Kestrune v<version>": the program's name and version, its makers with
// their web page and e-mail address, and the MP3 encoder's credit, each
// address a live link.

#include <QDialog>

class CGuiServices;
class CStaticLink;

inline constexpr const char* kMakerName = "the Kestrune developers";
inline constexpr const char* kMakerWebPage = "https://c-seed-005f8a17.example/kestrune";
inline constexpr const char* kMakerEmail = "maintainers@users.noreply.c-seed-005f8a17.example";
inline constexpr const char* kEncoderWebPage = "https://lame.sourceforge.io/";

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kWebPageName = "webPage";
  static constexpr const char* kEmailName = "email";
  static constexpr const char* kEncoderName = "encoder";

  // The links open through services.
  explicit CAboutDlg(const CGuiServices& services, QWidget* parent = nullptr);

  CStaticLink* WebPageLink() const { return webPage_; }
  CStaticLink* EmailLink() const { return email_; }
  CStaticLink* EncoderLink() const { return encoder_; }

 private:
  CStaticLink* webPage_;
  CStaticLink* email_;
  CStaticLink* encoder_;
};
