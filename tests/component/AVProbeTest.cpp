#include <gtest/gtest.h>

#include <cstring>

#include "ComponentTestSupport.h"
#include "component/AVProbe.h"

namespace {

class Probe : public ::testing::Test {
 protected:
  void SetUp() override { BindMediaLibrariesForTest(); }
  const TComponentClips& clips = TComponentClips::Get();
};

TEST_F(Probe, CountsStreamsByKindAndReadsTheContainer) {
  TAVProbe probe;
  ASSERT_TRUE(probe.Open(clips.Clip(0), "")) << probe.LastError();
  EXPECT_TRUE(probe.OwnsContext());
  EXPECT_EQ(probe.StreamCount(), 2);
  EXPECT_EQ(probe.VideoStreamCount(), 1);
  EXPECT_EQ(probe.AudioStreamCount(), 1);
  EXPECT_EQ(probe.SubtitleStreamCount(), 0);
  EXPECT_GE(probe.FirstVideoStream(), 0);
  EXPECT_GE(probe.FirstAudioStream(), 0);
  EXPECT_NE(probe.FirstVideoStream(), probe.FirstAudioStream());
  EXPECT_EQ(probe.FirstSubtitleStream(), -1);
  TAVFileInfo info;
  probe.GetInfo(info);
  EXPECT_NEAR(info.Duration / 1e6, TComponentClips::kFrames / 25.0, 0.1);
  EXPECT_GT(info.BitRate, 0);
  probe.Close();
  EXPECT_EQ(probe.StreamCount(), -1);
  EXPECT_EQ(probe.FirstVideoStream(), -1);
}

TEST_F(Probe, AudioOnlyFileHasNoVideoStream) {
  TAVProbe probe;
  ASSERT_TRUE(probe.Open(clips.Tone(), "wav")) << probe.LastError();
  EXPECT_EQ(probe.FormatName(), "wav");
  EXPECT_EQ(probe.VideoStreamCount(), 0);
  EXPECT_EQ(probe.FirstVideoStream(), -1);
  EXPECT_EQ(probe.AudioStreamCount(), 1);
  EXPECT_EQ(probe.FirstAudioStream(), 0);
}

TEST_F(Probe, FailedOpensSayWhyAndLeaveTheProbeEmpty) {
  TAVProbe probe;
  ASSERT_TRUE(probe.Open(clips.Clip(0), ""));
  TTempFolder folder;
  const std::string missing = folder.File("missing.avi");
  EXPECT_FALSE(probe.Open(missing, ""));
  EXPECT_EQ(probe.LastError(), missing + ": no such file or directory");
  EXPECT_EQ(probe.Context(), nullptr);
  EXPECT_EQ(probe.StreamCount(), -1);

  EXPECT_FALSE(probe.Open(clips.Clip(0), "no-such-format"));
  EXPECT_EQ(probe.LastError(), "Unknown input format: no-such-format");

  const std::string text = folder.File("notes.avi");
  WriteTextFile(text, "not a media file at all");
  EXPECT_FALSE(probe.Open(text, ""));
  EXPECT_FALSE(probe.LastError().empty());
  EXPECT_EQ(probe.Context(), nullptr);
  EXPECT_EQ(probe.FormatName(), "");
}

TEST_F(Probe, ClosingAnAttachedFileLeavesItOpenForItsOwner) {
  TAVProbe owner;
  ASSERT_TRUE(owner.Open(clips.Clip(1), ""));
  {
    TAVProbe attached;
    attached.Attach(owner.Context());
    EXPECT_FALSE(attached.OwnsContext());
    EXPECT_EQ(attached.StreamCount(), 2);
    attached.Close();
    EXPECT_EQ(attached.Context(), nullptr);
  }
  // Still usable: the attached probe only forgot it.
  TAVFileInfo info;
  owner.GetInfo(info);
  EXPECT_GT(info.Duration, 0);
  EXPECT_EQ(owner.StreamCount(), 2);
}

TEST_F(Probe, EmptyProbeGivesNoFileValuesAndLogsIt) {
  TVornConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
  std::vector<std::pair<int, std::string>> lines;
  converter.OnLog = [&](int AIndex, TLogLevel ALogLevel, const std::string& AMsg) {
    if (ALogLevel == llInfo) lines.emplace_back(AIndex, AMsg);
  };
  TAVFileInfo info;
  info.Year = 1999;
  converter.Probe->GetInfo(info);
  converter.OnLog = nullptr;
  EXPECT_EQ(info.Duration, -1);
  EXPECT_EQ(info.StartTime, -1);
  EXPECT_EQ(info.BitRate, -1);
  EXPECT_EQ(info.Year, -1);
  EXPECT_EQ(info.Title[0], '\0');
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, -1);
  EXPECT_EQ(lines[0].second, "file not loaded.");
}

}  // namespace
