#include "app/UnitFrmAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"

namespace {

const QSize kClientSize(280, 230);
constexpr int kPictureSize = 32;

QLabel* CentredLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

QLabel* LinkLabel(const QString& text, QWidget* parent) {
  QLabel* label = CentredLabel(text, parent);
  label->setCursor(Qt::PointingHandCursor);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
  label->setPalette(palette);
  return label;
}

}  // namespace

TFrmAbout::TFrmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About Tovrena"));
  auto* layout = new QVBoxLayout(this);

  auto* titleRow = new QHBoxLayout;
  titleRow->addStretch(1);
  auto* picture = new QLabel(this);
  picture->setPixmap(ApplicationIcon().pixmap(kPictureSize, kPictureSize));
  titleRow->addWidget(picture);
  LblTitle = new QLabel("Tovrena V" TOVRENA_SHORT_VERSION, this);
  QFont titleFont = LblTitle->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
  LblTitle->setFont(titleFont);
  titleRow->addWidget(LblTitle);
  titleRow->addStretch(1);
  layout->addLayout(titleRow);
  layout->addSpacing(8);

  layout->addWidget(CentredLabel(tr("Copyright (C) 2008-2024 the Tovrena developers"), this));
  layout->addWidget(CentredLabel(tr("Uses the FFmpeg libraries under the LGPL"), this));
  layout->addSpacing(8);
  LblWebsite = LinkLabel(tr("Website: ") + kWebsiteAddress, this);
  LblEmail = LinkLabel(tr("Support Email: ") + kSupportAddress, this);
  layout->addWidget(LblWebsite);
  layout->addWidget(LblEmail);
  LblWebsite->installEventFilter(this);
  LblEmail->installEventFilter(this);
  layout->addStretch(1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  BtnOk = new QPushButton(tr("OK"), this);
  BtnOk->setDefault(true);
  buttonRow->addWidget(BtnOk);
  buttonRow->addStretch(1);
  layout->addLayout(buttonRow);
  setFixedSize(sizeHint().expandedTo(kClientSize));

  connect(BtnOk, &QPushButton::clicked, this, &TFrmAbout::accept);
}

bool TFrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == LblWebsite) {
      LblWebsiteClick();
      return true;
    }
    if (watched == LblEmail) {
      LblEmailClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFrmAbout::LblWebsiteClick() {
  Open(QUrl(kWebsiteAddress));
}

void TFrmAbout::LblEmailClick() {
  Open(QUrl(QString("mailto:") + kSupportAddress));
}

void TFrmAbout::Open(const QUrl& address) {
  if (OpenUrl(address)) return;
  QMessageBox::warning(this, windowTitle(),
                       tr("No program on this system opens %1.").arg(address.toString()));
}
