#include "app/AppIcon.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>

#include "app/UnitFrmAbout.h"

namespace {

// Pixels that are not transparent: a rendering that came out blank has none.
int DrawnPixels(const QImage& image) {
  int drawn = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
  }
  return drawn;
}

TEST(AppIconTest, EveryThemeSizeIsBuiltInAndDrawn) {
  const QIcon icon = ApplicationIcon();
  const QList<QSize> sizes = icon.availableSizes();
  for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    const QImage image = icon.pixmap(side, side).toImage();
    EXPECT_EQ(image.size(), QSize(side, side));
    EXPECT_GT(DrawnPixels(image), side * side / 4) << side;
  }
}

TEST(AppIconTest, TheAboutBoxShowsTheIconAtThirtyTwoPixels) {
  TFrmAbout about;
  const QList<QLabel*> labels = about.findChildren<QLabel*>();
  const auto picture = std::find_if(labels.begin(), labels.end(),
                                    [](const QLabel* label) { return !label->pixmap().isNull(); });
  ASSERT_NE(picture, labels.end());
  EXPECT_EQ((*picture)->pixmap().size(), QSize(32, 32));
  EXPECT_EQ((*picture)->pixmap().toImage(), ApplicationIcon().pixmap(32, 32).toImage());
}

}  // namespace
