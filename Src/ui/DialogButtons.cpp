#include "ui/DialogButtons.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* MakeOkCancelRow(QWidget* Dialog, QPushButton*& BtnOK, QPushButton*& BtnCancel) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  BtnOK = new QPushButton(QCoreApplication::translate("DialogButtons", "OK"), Dialog);
  BtnOK->setDefault(true);
  BtnCancel = new QPushButton(QCoreApplication::translate("DialogButtons", "Cancel"), Dialog);
  row->addWidget(BtnOK);
  row->addWidget(BtnCancel);
  return row;
}
