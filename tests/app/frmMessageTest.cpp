#include "app/frmMessage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "tovrena_app_tests";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

TMessageBox ConfirmationBox() {
  TMessageBox box;
  box.Caption = "Confirmation";
  box.Text = "Do you want to delete the profile";
  box.ButtonCount = 2;
  box.Buttons[0] = {"Yes", mrYes};
  box.Buttons[1] = {"NO", mrCancel};
  return box;
}

// Shows the box and runs act on its window once it is up; the box's result.
int ShowAndAct(const TMessageBox& box, const std::function<void(TfrmMsg&)>& act) {
  bool acted = false;
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<TfrmMsg*>(QApplication::activeModalWidget());
    EXPECT_NE(window, nullptr);
    if (window == nullptr) return;
    acted = true;
    act(*window);
  });
  const int result = box.Show();
  EXPECT_TRUE(acted);
  return result;
}

TEST(frmMessageTest, CtrlCCopiesTheSevenLinesWithoutABreakAtTheEnd) {
  TMessageBox box;
  box.Caption = "Error";
  box.Text = "Profile name must not be blank";
  TfrmMsg window(box, nullptr);
  QApplication::clipboard()->clear();
  QTest::keyClick(window.Button(1), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            "---------------------------\r\nError\r\n---------------------------\r\n"
            "Profile name must not be blank\r\n---------------------------\r\nOK\r\n"
            "---------------------------");
}

TEST(frmMessageTest, CopyListsButtonsRightToLeftAndPlainCIsNotACopy) {
  TfrmMsg window(ConfirmationBox(), nullptr);
  QApplication::clipboard()->setText("before");
  QTest::keyClick(window.Button(1), Qt::Key_C);
  EXPECT_EQ(QApplication::clipboard()->text(), "before");
  QTest::keyClick(window.Button(2), Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QApplication::clipboard()->text().endsWith(
      "---------------------------\r\nNO   Yes\r\n---------------------------"));
}

TEST(frmMessageTest, YesNoBoxHoldsFocusOnYesAndNoGivesCancel) {
  const int result = ShowAndAct(ConfirmationBox(), [](TfrmMsg& window) {
    QPushButton* yes = window.Button(1);
    QPushButton* no = window.Button(2);
    EXPECT_EQ(yes->text(), "Yes");
    EXPECT_EQ(no->text(), "NO");
    EXPECT_LT(yes->x(), no->x());
    EXPECT_EQ(window.focusWidget(), yes);
    QTest::mouseClick(no, Qt::LeftButton);
  });
  EXPECT_EQ(result, mrCancel);
}

TEST(frmMessageTest, ButtonsReturnTheirResultsAndEscapeOrClosingGivesCancel) {
  EXPECT_EQ(
      ShowAndAct(ConfirmationBox(),
                 [](TfrmMsg& window) { QTest::mouseClick(window.Button(1), Qt::LeftButton); }),
      mrYes);
  EXPECT_EQ(ShowAndAct(ConfirmationBox(),
                       [](TfrmMsg& window) { QTest::keyClick(&window, Qt::Key_Escape); }),
            mrCancel);
  TMessageBox okBox;
  EXPECT_EQ(ShowAndAct(okBox, [](TfrmMsg& window) { window.close(); }), mrCancel);
  EXPECT_EQ(ShowAndAct(okBox, [](TfrmMsg& window) { QTest::keyClick(&window, Qt::Key_Return); }),
            mrOk);
}

TEST(frmMessageTest, LayoutWithoutIconAndFewButtonsIsNarrower) {
  TMessageBox box;
  box.Text = "Short";
  box.ButtonCursor = Qt::PointingHandCursor;
  const TfrmMsg window(box, nullptr);
  const QLabel* label = window.MessageLabel();
  EXPECT_EQ(label->geometry(), QRect(24, 64, 225, label->height()));
  EXPECT_TRUE(window.IconPicture()->isHidden());
  // The hidden 40-pixel picture at top 64 still sets the bottom edge for a one-line text.
  const int bottom = 104;
  EXPECT_EQ(window.width(), 273);
  EXPECT_EQ(window.height(), bottom + 75);
  EXPECT_EQ(window.Button(1)->geometry(), QRect(273 - 97, bottom + 20, 73, 25));
  EXPECT_TRUE(window.Button(1)->isDefault());
  EXPECT_EQ(window.Button(1)->cursor().shape(), Qt::PointingHandCursor);
}

TEST(frmMessageTest, LayoutWithIconAndThreeButtonsFollowsTheLabel) {
  TMessageBox box;
  box.Text = QString("A long message that wraps onto several lines of the label. ").repeated(6);
  box.IconType = TMsgIconType::mitWarning;
  box.ButtonCount = 3;
  box.Buttons[2] = {"Retry", mrRetry};
  const TfrmMsg window(box, nullptr);
  const QLabel* label = window.MessageLabel();
  EXPECT_EQ(label->pos(), QPoint(88, 64));
  EXPECT_EQ(label->width(), 225);
  EXPECT_FALSE(window.IconPicture()->isHidden());
  EXPECT_EQ(window.IconPicture()->geometry(), QRect(24, 64, 40, 40));
  const int bottom = 64 + label->height();
  ASSERT_GT(bottom, 104);
  EXPECT_EQ(window.width(), 337);
  EXPECT_EQ(window.height(), bottom + 75);
  for (int number = 1; number <= 3; ++number) {
    const int i = 3 - number;
    EXPECT_EQ(window.Button(number)->geometry(), QRect(337 - 97 - 93 * i, bottom + 20, 73, 25));
  }
  EXPECT_EQ(window.Button(3)->text(), "Retry");
  EXPECT_EQ(window.Button(4), nullptr);
}

}  // namespace
