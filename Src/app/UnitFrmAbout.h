// The about box: the program's name and version, its notices, and where to find its
// maker on the web and by mail.
#pragma once

#include <QDesktopServices>
#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

inline constexpr const char* kWebsiteAddress = "https://tovrena.example.org/";
inline constexpr const char* kSupportAddress = "support@tovrena.example.org";

class TFrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFrmAbout(QWidget* parent = nullptr);

  QLabel* LblTitle = nullptr;
  QLabel* LblWebsite = nullptr;
  QLabel* LblEmail = nullptr;
  QPushButton* BtnOk = nullptr;

  // Hands an address to the desktop's handler for it (browser, mail program); false when
  // there is none. A box says so then.
  std::function<bool(const QUrl&)> OpenUrl = QDesktopServices::openUrl;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LblWebsiteClick();
  void LblEmailClick();
  void Open(const QUrl& address);
};
