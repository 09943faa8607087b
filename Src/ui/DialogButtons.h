// The OK / Cancel row at the foot of the profile dialogs, OK being the default button.
#pragma once

class QHBoxLayout;
class QPushButton;
class QWidget;

QHBoxLayout* MakeOkCancelRow(QWidget* Dialog, QPushButton*& BtnOK, QPushButton*& BtnCancel);
