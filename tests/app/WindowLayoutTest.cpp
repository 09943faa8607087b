// The main window's size and place: it grows from its smallest size with the list taking
// the room, and opens where it was left.
#include <QPushButton>
#include <QTableWidget>
#include <string>

#include "WindowTestSupport.h"
#include "app/WindowGeometry.h"

namespace {

using WindowLayoutTest = TWindowTest;

TEST_F(WindowLayoutTest, TheListTakesTheRoomTheWindowGrowsBy) {
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  form.show();
  EXPECT_EQ(form.size(), QSize(653, 430));
  EXPECT_EQ(form.minimumSize(), QSize(653, 430));
  ASSERT_TRUE(WaitFor([&] { return form.isVisible(); }));
  const QSize list = form.Lvw->size();
  const QPoint add = form.BtnAdd->mapTo(&form, QPoint());
  const QPoint start = form.BtnStart->mapTo(&form, QPoint());
  const QSize startSize = form.BtnStart->size();
  form.resize(853, 530);
  QCoreApplication::processEvents();
  EXPECT_EQ(form.Lvw->size(), list + QSize(200, 100));
  // The list's buttons stay beside it at the top; Convert moves with the window's corner.
  EXPECT_EQ(form.BtnAdd->mapTo(&form, QPoint()), add + QPoint(200, 0));
  EXPECT_EQ(form.BtnStart->mapTo(&form, QPoint()), start + QPoint(200, 100));
  EXPECT_EQ(form.BtnStart->size(), startSize);
  form.resize(300, 200);
  EXPECT_EQ(form.size(), QSize(653, 430));
}

TEST_F(WindowLayoutTest, TheWindowOpensWhereItWasLeftWhenThatIsOnAScreen) {
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    form.setGeometry(40, 30, 700, 480);
    form.close();
  }
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.geometry(), QRect(40, 30, 700, 480));
    form.close();
  }
  const std::string options = ReadTextFile(OptionsFilePath());
  EXPECT_NE(options.find("WindowWidth=700\nWindowHeight=480\nWindowMaximized=0"), std::string::npos)
      << options;
  // A place on a screen that is gone, or a size below the smallest, is not taken.
  WriteTextFile(OptionsFilePath(), "[Options]\nOutputPath=" + output_ +
                                       "\nRgpProfiles=1\nWindowLeft=90000\nWindowTop=10\n"
                                       "WindowWidth=800\nWindowHeight=600\n");
  {
    TForm1 form(LibAVFolder());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.size(), QSize(653, 430));
    EXPECT_LT(form.x(), 90000);
  }
  WriteTextFile(OptionsFilePath(), "[Options]\nOutputPath=" + output_ +
                                       "\nWindowLeft=5\nWindowTop=5\nWindowWidth=100\n"
                                       "WindowHeight=100\n");
  TForm1 form(LibAVFolder());
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.geometry(), QRect(5, 5, 653, 430));
}

}  // namespace
