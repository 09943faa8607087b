#include "app/UnitFrmAbout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QSize kClientSize(280, 230);
constexpr int kPictureSize = 32;

// The application's picture: a film frame with a play mark.
QPixmap ApplicationPicture() {
  QPixmap picture(kPictureSize, kPictureSize);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1F, 0x5F, 0xA8));
  painter.drawRoundedRect(QRectF(1, 4, 30, 24), 5, 5);
  painter.setBrush(Qt::white);
  for (int hole = 0; hole < 4; ++hole) {
    painter.drawRect(QRectF(5 + hole * 6.5, 6, 3, 2));
    painter.drawRect(QRectF(5 + hole * 6.5, 24, 3, 2));
  }
  QPainterPath play;
  play.moveTo(12, 10);
  play.lineTo(22, 16);
  play.lineTo(12, 22);
  play.closeSubpath();
  painter.drawPath(play);
  return picture;
}

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
  picture->setPixmap(ApplicationPicture());
  titleRow->addWidget(picture);
  LblTitle = new QLabel("Tovrena V3.2", this);
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
