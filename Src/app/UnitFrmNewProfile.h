// The new profile dialog: stores the values shown in the profile options dialog as a
// named profile of the main window's output group.
#pragma once

#include <QDialog>

#include "app/frmMessage.h"

class QLineEdit;
class QPushButton;
class TFrmOptions;

class TFrmNewProfile : public QDialog {
  Q_OBJECT

 public:
  explicit TFrmNewProfile(TFrmOptions& options);

  QLineEdit* EdtName = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnCancel = nullptr;

 private:
  void BtnOKClick();
  // Shows the problem in the box and keeps the dialog open.
  void ShowError(const QString& text);

  TFrmOptions& options_;
  TMessageBox dlg;
};
