// The component's codec thread count: given to each task when its input is added, after the
// engine's reset, so that the input's decoders already use it.
#include <gtest/gtest.h>

#include "ComponentTestSupport.h"

namespace {

TEST(ThreadCount, EachTaskGetsTheCountItsInputWasAddedWith) {
  const TComponentClips& clips = TComponentClips::Get();
  TTestConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
  EXPECT_EQ(converter.ThreadCount, 1);
  ASSERT_EQ(converter.AddInputFile(clips.Clip(0), nullptr), 0);
  converter.ThreadCount = 0;  // the libraries choose
  ASSERT_EQ(converter.AddInputFile(clips.Clip(1), nullptr), 1);
  converter.ThreadCount = -3;
  ASSERT_EQ(converter.AddInputFile(clips.Clip(2), nullptr), 2);
  converter.ThreadCount = 4;
  EXPECT_EQ(converter.Tasks.Items(0).Settings().ThreadCount, 1);
  EXPECT_EQ(converter.Tasks.Items(1).Settings().ThreadCount, 0);
  EXPECT_EQ(converter.Tasks.Items(2).Settings().ThreadCount, 0);
}

}  // namespace
