#include "app/frmMessage.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace {

// Layout of the window, in pixels. The top band holds the caption, drawn in the caption
// font, as the themed frame of the other windows does.
constexpr int kWindowWidth = 337;
constexpr int kNarrowing = 64;  // without an icon and with fewer than three buttons
constexpr int kCaptionBand = 40;
constexpr int kContentTop = 64;
constexpr int kLabelWidth = 225;
constexpr int kLabelLeftWithIcon = 88;
constexpr int kLabelLeftWithoutIcon = 24;
constexpr int kPictureLeft = 24;
constexpr int kPictureSize = 40;
constexpr int kButtonWidth = 73;
constexpr int kButtonHeight = 25;
constexpr int kButtonRightOffset = 97;
constexpr int kButtonStep = 93;
constexpr int kButtonGap = 20;
constexpr int kHeightBelowContent = 75;

const QString kCopySeparator = QStringLiteral("---------------------------");
const QString kCopyLineBreak = QStringLiteral("\r\n");

QStyle::StandardPixmap PixmapOf(TMsgIconType type) {
  switch (type) {
    case TMsgIconType::mitWarning:
      return QStyle::SP_MessageBoxWarning;
    case TMsgIconType::mitStop:
      return QStyle::SP_MessageBoxCritical;
    case TMsgIconType::mitInformation:
      return QStyle::SP_MessageBoxInformation;
    case TMsgIconType::mitHelp:
      return QStyle::SP_MessageBoxQuestion;
    case TMsgIconType::mitNone:
      break;
  }
  return QStyle::SP_MessageBoxInformation;
}

QFont DefaultCaptionFont() {
  QFont font = QApplication::font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.2);
  return font;
}

}  // namespace

TMessageBox::TMessageBox()
    : Font(QApplication::font()),
      CaptionFont(DefaultCaptionFont()),
      Buttons{{{QCoreApplication::translate("TMessageBox", "OK"), mrOk},
               {QCoreApplication::translate("TMessageBox", "Cancel"), mrCancel},
               {QCoreApplication::translate("TMessageBox", "Help"), mrNone}}} {}

int TMessageBox::Show(QWidget* owner) const {
  TfrmMsg window(*this, owner);
  return window.exec();
}

TfrmMsg::TfrmMsg(const TMessageBox& box, QWidget* owner) : QDialog(owner) {
  setFont(box.Font);

  label_ = new QLabel(box.Text, this);
  label_->setWordWrap(true);
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  picture_ = new QLabel(this);
  picture_->setGeometry(kPictureLeft, kContentTop, kPictureSize, kPictureSize);
  const bool withIcon = box.IconType != TMsgIconType::mitNone;
  const int buttonCount = std::clamp(box.ButtonCount, 1, 3);
  int width = kWindowWidth;
  if (withIcon) {
    picture_->setPixmap(style()->standardIcon(PixmapOf(box.IconType)).pixmap(kPictureSize));
    label_->move(kLabelLeftWithIcon, kContentTop);
  } else {
    picture_->hide();
    label_->move(kLabelLeftWithoutIcon, kContentTop);
    if (buttonCount < 3) width -= kNarrowing;
  }
  label_->resize(kLabelWidth, label_->heightForWidth(kLabelWidth));

  // The hidden picture still counts, so every box is at least as tall as one with an icon.
  const int bottom = std::max(label_->y() + label_->height(), picture_->y() + picture_->height());
  for (int i = 0; i < buttonCount; ++i) {
    const TMsgButton& settings = box.Buttons[static_cast<std::size_t>(buttonCount - 1 - i)];
    auto* button = new QPushButton(settings.Caption, this);
    button->setGeometry(width - kButtonRightOffset - kButtonStep * i, bottom + kButtonGap,
                        kButtonWidth, kButtonHeight);
    button->setCursor(box.ButtonCursor);
    button->setDefault(settings.Result == mrOk);
    const int result = settings.Result;
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    created_.push_back(button);
  }
  created_.back()->setFocus();

  auto* caption = new QLabel(box.Caption, this);
  caption->setTextFormat(Qt::PlainText);
  caption->setFont(box.CaptionFont);
  caption->setGeometry(kLabelLeftWithoutIcon, 0, width - 2 * kLabelLeftWithoutIcon, kCaptionBand);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);

  setFixedSize(width, bottom + kHeightBelowContent);
  setWindowTitle(box.Caption);
  PlaceOnScreen(box.Position, owner);
}

QPushButton* TfrmMsg::Button(int number) const {
  const auto count = static_cast<int>(created_.size());
  if (number < 1 || number > count) return nullptr;
  return created_[static_cast<std::size_t>(count - number)];
}

QString TfrmMsg::CopyText() const {
  QStringList captions;
  for (const QPushButton* button : created_) captions << button->text();
  return QStringList{kCopySeparator, windowTitle(),  kCopySeparator,
                     label_->text(), kCopySeparator, captions.join(QStringLiteral("   ")),
                     kCopySeparator}
      .join(kCopyLineBreak);
}

void TfrmMsg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_C && event->modifiers().testFlag(Qt::ControlModifier)) {
    QGuiApplication::clipboard()->setText(CopyText());
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Escape and the window's close button end the box with Cancel, whatever its buttons are.
void TfrmMsg::reject() {
  done(mrCancel);
}

void TfrmMsg::PlaceOnScreen(TMsgPosition position, QWidget* owner) {
  QRect area;
  if (position == TMsgPosition::mpOwnerCenter && owner != nullptr) {
    area = owner->window()->frameGeometry();
  } else {
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - rect().center());
}
