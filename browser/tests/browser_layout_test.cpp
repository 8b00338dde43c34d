#include "browser/browser_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(BrowserLayout, ZoomModesAndSplitRatios) {
  struct Case {
    const char* name;
    int zoom;
    float ratio;
    bool composite;
    int listHeight, viewTop, viewHeight;
    float usedRatio;
  } cases[] = {
      // 400 high, rows of 16, bar 24, strip 0: mixed lists 0.35 x 400 = 140, cut to 128.
      {"ratio 0 reads as 0.35", 0, 0.0f, false, 128, 152, 246, 0.35f},
      {"a negative ratio too", 0, -1.0f, false, 128, 152, 246, 0.35f},
      {"and one above 1", 0, 2.0f, false, 128, 152, 246, 0.35f},
      {"half", 0, 0.5f, false, 192, 216, 182, 0.5f},
      {"a ratio of 1 is whole", 0, 1.0f, false, 400, 424, 0, 1.0f},
      {"list only", 1, 0.5f, false, 376, 400, 0, 0.5f},
      {"view only", 2, 0.5f, false, 0, 24, 374, 0.5f},
      {"a composite folder shows the list only", 2, 0.5f, true, 376, 400, 0, 0.5f},
  };
  for (const Case& c : cases) {
    BrowserLayout l = ComputeBrowserLayout({600, 400, c.zoom, c.composite, c.ratio, 16, 24, 0, false});
    EXPECT_FLOAT_EQ(c.usedRatio, l.ratio) << c.name;
    EXPECT_EQ(c.listHeight, l.list.height) << c.name;
    EXPECT_EQ(c.listHeight, l.bar.y) << c.name;
    EXPECT_EQ(c.viewTop, l.view.y) << c.name;
    EXPECT_EQ(c.viewHeight, l.view.height) << c.name;
    EXPECT_EQ(c.listHeight / 16 / 2, l.halfPage) << c.name;
  }
}

TEST(BrowserLayout, SmallWindowsKeepTheRawSplit) {
  BrowserLayout l = ComputeBrowserLayout({70, 70, 0, false, 0.5f, 16, 10, 0, true});
  EXPECT_EQ(35, l.list.height);
  EXPECT_EQ(70 - 45, l.view.height);
}

}  // namespace
