// The application's own message box: a component holding what to show, and the window
// (TfrmMsg) it builds afresh each time it is shown.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <array>
#include <vector>

class QKeyEvent;
class QLabel;
class QPushButton;

// Results a button can carry and Show can return.
enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7
};

enum class TMsgIconType { mitNone, mitWarning, mitStop, mitInformation, mitHelp };

enum class TMsgPosition { mpScreenCenter, mpOwnerCenter };

struct TMsgButton {
  QString Caption;
  int Result = mrNone;
};

class TMessageBox {
 public:
  QString Caption;
  QString Text;
  QFont Font;
  QFont CaptionFont;
  int ButtonCount = 1;  // 1 to 3
  // Button 1 shows leftmost and gets the focus. "OK", "Cancel" and "Help" unless set.
  std::array<TMsgButton, 3> Buttons;
  TMsgIconType IconType = TMsgIconType::mitNone;
  Qt::CursorShape ButtonCursor = Qt::ArrowCursor;
  TMsgPosition Position = TMsgPosition::mpScreenCenter;

  TMessageBox();

  // Shows the box modally; the result of the button pressed, or mrCancel when the window
  // is closed another way.
  int Show(QWidget* owner = nullptr) const;
};

class TfrmMsg : public QDialog {
  Q_OBJECT

 public:
  TfrmMsg(const TMessageBox& box, QWidget* owner);

  QLabel* MessageLabel() const { return label_; }
  QLabel* IconPicture() const { return picture_; }
  // Button by its number, 1 to the box's button count.
  QPushButton* Button(int number) const;
  // The text Ctrl+C puts on the clipboard.
  QString CopyText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;  // FormKeyDown
  void reject() override;

 private:
  void PlaceOnScreen(TMsgPosition position, QWidget* owner);

  QLabel* label_ = nullptr;
  QLabel* picture_ = nullptr;
  // In the order they were created: right to left, button 1 last.
  std::vector<QPushButton*> created_;
};
