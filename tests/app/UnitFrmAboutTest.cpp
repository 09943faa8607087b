#include "app/UnitFrmAbout.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <vector>

namespace {

TEST(UnitFrmAboutTest, ShowsNameVersionAndAddressesAndOkCloses) {
  TFrmAbout about;
  EXPECT_EQ(about.windowTitle(), "About Tovrena");
  EXPECT_GE(about.width(), 280);
  EXPECT_GE(about.height(), 230);
  EXPECT_EQ(about.LblTitle->text(), "Tovrena V3.2");
  EXPECT_EQ(about.LblWebsite->text(), QString("Website: ") + kWebsiteAddress);
  EXPECT_EQ(about.LblEmail->text(), QString("Support Email: ") + kSupportAddress);
  EXPECT_EQ(about.LblWebsite->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(about.LblEmail->cursor().shape(), Qt::PointingHandCursor);
  about.show();
  about.BtnOk->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(UnitFrmAboutTest, ClickedAddressesGoToTheDesktopHandlers) {
  TFrmAbout about;
  std::vector<QUrl> opened;
  about.OpenUrl = [&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  };
  QTest::mouseClick(about.LblWebsite, Qt::LeftButton);
  QTest::mouseClick(about.LblEmail, Qt::LeftButton);
  QTest::mouseClick(about.LblEmail, Qt::RightButton);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], QUrl(kWebsiteAddress));
  EXPECT_EQ(opened[0].scheme(), "https");
  EXPECT_EQ(opened[1], QUrl(QString("mailto:") + kSupportAddress));
}

}  // namespace
