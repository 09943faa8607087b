#include <gtest/gtest.h>

#include <filesystem>

#include "PictureJob.h"
#include "TestSupport.h"

namespace {

// Luma rising by 3 from the left edge; each picture a little brighter than the one before.
int Ramp(int frame, int x, int) {
  return 16 + 3 * x + frame;
}

class FilterGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    BindMediaLibrariesForTest();
    clip.path = folder.File("ramp.yuv");
    clip.frames = 6;
    clip.rate = 25;
    WriteRawClip(clip, Ramp);
  }

  std::vector<TLumaPicture> Run(const std::vector<std::string>& options,
                                const std::function<void(TTestEngine&)>& beforeStart = nullptr) {
    std::vector<std::string> all = {"vcodec=rawvideo"};
    all.insert(all.end(), options.begin(), options.end());
    std::filesystem::remove(output);  // the last run's: an output never replaces a file
    job = RunPictureJob(engine, clip, {{output, all}}, beforeStart);
    EXPECT_TRUE(job.opened) << job.error;
    return job.finished ? DecodeLumaPictures(output) : std::vector<TLumaPicture>{};
  }

  TTempFolder folder;
  TRawClip clip;
  TTestEngine engine;
  TPictureJob job;
  std::string output = folder.File("filtered.avi");
};

TEST_F(FilterGraph, AChainChangesThePicturesAndTheEncoderTakesItsSize) {
  std::vector<TLumaPicture> pictures = Run({"vfilters=hflip"});
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  for (int frame = 0; frame < 6; ++frame)
    for (int x : {0, 10, 63}) EXPECT_EQ(pictures[frame].At(x, 20), Ramp(frame, 63 - x, 20));

  pictures = Run({"vfilters=transpose"});
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  EXPECT_EQ(pictures[0].width, 48);
  EXPECT_EQ(pictures[0].height, 64);
  EXPECT_EQ(pictures[2].At(20, 10), Ramp(2, 10, 20));
}

TEST_F(FilterGraph, TheGraphScalesOnItsOwnAndPassesEqualSizesUntouched) {
  const auto useGraph = [](TTestEngine& e) { e.FSettings.UseFilterGraph = true; };
  std::vector<TLumaPicture> pictures = Run({}, useGraph);
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  for (int x = 0; x < 64; ++x) EXPECT_EQ(pictures[3].At(x, 7), Ramp(3, x, 7));

  pictures = Run({"s=32x24"}, useGraph);
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  EXPECT_EQ(pictures[0].width, 32);
  EXPECT_EQ(pictures[0].height, 24);
  EXPECT_NEAR(pictures[0].At(10, 5), Ramp(0, 21, 5), 3);
}

TEST_F(FilterGraph, PadsGoAroundASizeKeepingChainOnly) {
  std::vector<TLumaPicture> pictures = Run({"vfilters=hflip", "padtop=8"});
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  EXPECT_EQ(pictures[1].width, 64);
  EXPECT_EQ(pictures[1].height, 56);
  EXPECT_EQ(pictures[1].Range(0, 0, 64, 8), (std::pair{16, 16}));
  EXPECT_EQ(pictures[1].At(0, 30), Ramp(1, 63, 22));

  Run({"vfilters=pad=80:60", "padtop=8"});
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(
      job.message,
      "Error opening filters: Cannot enable pad options and the filters which resize frame at the "
      "same time. (crop, rotate, scale, transpose, etc.)");

  pictures = Run({"vfilters=pad=80:60"});
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  EXPECT_EQ(pictures[0].width, 80);
  EXPECT_EQ(pictures[0].height, 60);
}

TEST_F(FilterGraph, SetUpRefusesCropAndBrokenChains) {
  Run({"vfilters=hflip"}, [](TTestEngine& e) { e.SetCropTop(8); });
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(job.message,
            "Error opening filters: Cannot enable crop options and filters at the same time.");
  EXPECT_FALSE(std::filesystem::exists(output) && std::filesystem::file_size(output) > 0);

  // Each broken chain says which step of the set-up failed, with the library's reason.
  Run({"vfilters=nosuchfilter"});
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(job.message,
            "Error opening filters: could not parse the filter description 'nosuchfilter': Invalid "
            "argument");

  Run({"vfilters=crop=w=200:h=200"});
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(job.message.rfind("Error opening filters: could not configure the filter graph: ", 0),
            0u)
      << job.message;

  Run({"vfilters=hflip,scale=nosuchoption=1"});
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(
      job.message,
      "Error opening filters: could not parse the filter description 'hflip,scale=nosuchoption=1': "
      "Option not found");
  EXPECT_FALSE(std::filesystem::exists(output) && std::filesystem::file_size(output) > 0);
}

TEST_F(FilterGraph, PicturesTheFiltersHoldComeOutAtTheEnd) {
  const std::vector<TLumaPicture> pictures = Run({"vfilters=reverse"});
  ASSERT_EQ(pictures.size(), 6u) << job.message;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pictures[i].At(0, 0), Ramp(5 - i, 0, 0));
}

TEST_F(FilterGraph, EachOutputHasAGraphOfItsOwn) {
  const std::string small = folder.File("small.avi");
  job = RunPictureJob(engine, clip,
                      {{small, {"vcodec=rawvideo", "vfilters=hflip", "s=32x24"}},
                       {output, {"vcodec=rawvideo", "vfilters=hflip", "s=64x48"}}});
  ASSERT_TRUE(job.finished) << job.message;
  const std::vector<TLumaPicture> large = DecodeLumaPictures(output);
  ASSERT_EQ(large.size(), 6u);
  EXPECT_EQ(large[0].width, 64);
  EXPECT_EQ(large[0].At(0, 0), Ramp(0, 63, 0));
  const std::vector<TLumaPicture> smaller = DecodeLumaPictures(small);
  ASSERT_EQ(smaller.size(), 6u);
  EXPECT_EQ(smaller[0].width, 32);
  EXPECT_GT(smaller[0].At(0, 0), smaller[0].At(31, 0));
}

}  // namespace
