#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include <stdexcept>

#include "PictureJob.h"
#include "TestSupport.h"

namespace {

const std::string kHook = std::string(TOVRENA_TEST_HOOK_DIR) + "/libTestHook.so";
const std::vector<std::string> kRawOutput = {"vcodec=rawvideo"};

// Grey pictures of luma 100 that the hooks may change.
constexpr int kGrey = 100;
constexpr int kHooked = 200;

std::vector<std::string> With(std::vector<std::string> options, const std::string& more) {
  options.push_back(more);
  return options;
}

class PreProcessing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Kept loaded for the whole suite, so that its call counter can be read at any time.
    module = dlopen(kHook.c_str(), RTLD_NOW);
  }
  static void TearDownTestSuite() { dlclose(module); }
  void SetUp() override {
    BindMediaLibrariesForTest();
    ASSERT_NE(module, nullptr);
  }

  static int HookCalls() {
    auto counter = reinterpret_cast<int (*)()>(dlsym(module, "TestHookProcessCalls"));
    return counter ? counter() : -1;
  }

  TRawClip GreyClip(int frames) {
    TRawClip clip{folder.File("grey.yuv")};
    clip.frames = frames;
    WriteRawClip(clip, [](int, int, int) { return kGrey; });
    return clip;
  }

  // Which pictures of the output the hook module filled.
  std::vector<bool> HookedPictures(const std::string& path) {
    std::vector<bool> hooked;
    for (const TLumaPicture& picture : DecodeLumaPictures(path)) {
      const auto range = picture.Range();
      EXPECT_EQ(range.first, range.second) << "at " << picture.seconds << " s";
      hooked.push_back(range.first == kHooked);
    }
    return hooked;
  }

  static void* module;
  TTempFolder folder;
  TTestEngine engine;
};

void* PreProcessing::module = nullptr;

TEST_F(PreProcessing, FrameHooksApplyInsideTheTimeRangesAndStopAfterTheLast) {
  const TRawClip clip = GreyClip(46);
  const std::string output = folder.File("ranges.avi");
  const int calls = HookCalls();
  const TPictureJob job =
      RunPictureJob(engine, clip, {{output, With(kRawOutput, "vhook=" + kHook + " set:200")}},
                    [](TTestEngine& e) {
                      e.SetTimeRanges({{30'000'000, 40'000'000}, {10'000'000, 20'000'000}});
                    });
  ASSERT_TRUE(job.opened) << job.error;
  ASSERT_TRUE(job.finished) << job.message;

  const std::vector<bool> hooked = HookedPictures(output);
  ASSERT_EQ(hooked.size(), 46u);
  for (int second = 0; second < 46; ++second)
    EXPECT_EQ(hooked[second], (second >= 10 && second <= 20) || (second >= 30 && second <= 40))
        << "at " << second << " s";
  EXPECT_EQ(HookCalls(), calls + 22);
  EXPECT_FALSE(engine.Settings().UsingFrameHooks);
}

TEST_F(PreProcessing, BeforeHookDecidesEachPictureAndItsStopOrFailureIsFinal) {
  const TRawClip clip = GreyClip(8);
  const std::string output = folder.File("before.avi");
  const auto options = With(kRawOutput, "vhook=" + kHook + " set:200");

  std::vector<std::int64_t> asked;
  TPictureJob job = RunPictureJob(engine, clip, {{output, options}}, [&](TTestEngine& e) {
    e.OnBeforeHook = [&](TCustomFFmpeg*, std::int64_t pts, THookAction& action) {
      asked.push_back(pts);
      action = pts == 2'000'000 ? haIgnore : pts == 5'000'000 ? haStop : haContinue;
    };
  });
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_EQ(HookedPictures(output),
            (std::vector<bool>{true, true, false, true, true, false, false, false}));
  EXPECT_EQ(asked,
            (std::vector<std::int64_t>{0, 1'000'000, 2'000'000, 3'000'000, 4'000'000, 5'000'000}));

  int calls = 0;
  std::filesystem::remove(output);  // the last run's: an output never replaces a file
  job = RunPictureJob(engine, clip, {{output, options}}, [&](TTestEngine& e) {
    e.OnBeforeHook = [&](TCustomFFmpeg*, std::int64_t pts, THookAction&) {
      ++calls;
      if (pts == 2'000'000) throw std::runtime_error("refused");
    };
  });
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_EQ(HookedPictures(output),
            (std::vector<bool>{true, true, false, false, false, false, false, false}));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(job.LogCount("Error occurs OnBeforeHook: refused"), 1);
}

// Paints a white box over columns 16..31 and rows 8..23 of the bitmap.
void DrawBox(TBitmap& bitmap) {
  for (int y = 8; y < 24; ++y)
    for (int x = 16 * 3; x < 32 * 3; ++x) bitmap.ScanLine(y)[x] = 255;
}

TEST_F(PreProcessing, CustomHookSeesEachPictureAndItsDrawingIsEncoded) {
  const TRawClip clip = GreyClip(5);
  const std::string output = folder.File("box.avi");
  const int moduleCalls = HookCalls();
  std::vector<int> numbers;
  std::vector<std::int64_t> times;
  const TPictureJob job = RunPictureJob(
      engine, clip, {{output, With(kRawOutput, "vhook=" + kHook + " set:200")}},
      [&](TTestEngine& e) {
        e.OnCustomHook = [&](TCustomFFmpeg*, TBitmap& bitmap, int number, std::int64_t pts,
                             bool& update, bool& stop) {
          numbers.push_back(number);
          times.push_back(pts);
          EXPECT_TRUE(update);
          EXPECT_FALSE(stop);
          EXPECT_EQ(bitmap.Width(), 64);
          EXPECT_EQ(bitmap.Height(), 48);
          for (int channel = 0; channel < 3; ++channel)  // luma 100 is a mid grey
            EXPECT_NEAR(bitmap.ScanLine(40)[60 * 3 + channel], (kGrey - 16) * 255 / 219, 3);
          DrawBox(bitmap);
        };
      });
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(times, (std::vector<std::int64_t>{0, 1'000'000, 2'000'000, 3'000'000, 4'000'000}));
  EXPECT_EQ(HookCalls(), moduleCalls);  // the custom hook replaces the modules

  const std::vector<TLumaPicture> pictures = DecodeLumaPictures(output);
  ASSERT_EQ(pictures.size(), 5u);
  for (const TLumaPicture& picture : pictures) {
    EXPECT_GE(picture.Range(16, 8, 32, 24).first, 230);
    const auto below = picture.Range(0, 26, 64, 48);
    EXPECT_GE(below.first, kGrey - 1);
    EXPECT_LE(below.second, kGrey + 1);
  }
}

TEST_F(PreProcessing, CustomHookWithoutUpdateOrFailingLeavesThePictureAndStopIsFinal) {
  const TRawClip clip = GreyClip(6);
  const std::string output = folder.File("kept.avi");
  const auto unchanged = [&] {
    for (const TLumaPicture& picture : DecodeLumaPictures(output))
      if (picture.Range() != std::pair{kGrey, kGrey}) return false;
    return true;
  };

  TPictureJob job = RunPictureJob(engine, clip, {{output, kRawOutput}}, [](TTestEngine& e) {
    e.OnCustomHook = [](TCustomFFmpeg*, TBitmap& bitmap, int, std::int64_t, bool& update, bool&) {
      DrawBox(bitmap);
      update = false;
    };
  });
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_TRUE(unchanged());

  std::filesystem::remove(output);  // the last run's: an output never replaces a file
  job = RunPictureJob(engine, clip, {{output, kRawOutput}}, [](TTestEngine& e) {
    e.OnCustomHook = [](TCustomFFmpeg*, TBitmap& bitmap, int, std::int64_t, bool&, bool&) {
      DrawBox(bitmap);
      throw std::runtime_error("no canvas");
    };
  });
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_TRUE(unchanged());
  EXPECT_EQ(job.LogCount("Error occurs OnCustomHook: no canvas"), 6);

  int calls = 0;
  std::filesystem::remove(output);  // the last run's: an output never replaces a file
  job = RunPictureJob(engine, clip, {{output, kRawOutput}}, [&](TTestEngine& e) {
    e.OnCustomHook = [&](TCustomFFmpeg*, TBitmap& bitmap, int, std::int64_t, bool&, bool& stop) {
      DrawBox(bitmap);
      stop = ++calls == 2;
    };
  });
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(engine.OnCustomHook);
  const std::vector<TLumaPicture> pictures = DecodeLumaPictures(output);
  ASSERT_EQ(pictures.size(), 6u);
  for (std::size_t i = 0; i < pictures.size(); ++i)  // the stopping picture keeps its box
    EXPECT_EQ(pictures[i].At(20, 10) >= 230, i < 2) << "picture " << i;
}

TEST_F(PreProcessing, DeinterlacingBlendsTheFieldsAndFallsBackForWideSamples) {
  TRawClip clip{folder.File("fields.yuv")};
  clip.frames = 3;
  WriteRawClip(clip, [](int, int, int y) { return y % 2 ? 200 : 50; });
  const std::string output = folder.File("progressive.avi");

  TPictureJob job = RunPictureJob(engine, clip, {{output, kRawOutput}});
  ASSERT_TRUE(job.finished) << job.message;
  std::vector<TLumaPicture> pictures = DecodeLumaPictures(output);
  ASSERT_EQ(pictures.size(), 3u);
  EXPECT_EQ(pictures[0].Range(0, 2, 64, 46), (std::pair{50, 200}));

  std::filesystem::remove(output);  // the last run's: an output never replaces a file
  job = RunPictureJob(engine, clip, {{output, With(kRawOutput, "deinterlace")}});
  ASSERT_TRUE(job.finished) << job.message;
  pictures = DecodeLumaPictures(output);
  ASSERT_EQ(pictures.size(), 3u);
  for (const TLumaPicture& picture : pictures)  // every odd row rebuilt from the even field
    EXPECT_EQ(picture.Range(), (std::pair{50, 50}));

  TRawClip wide{folder.File("fields16.raw")};
  wide.frames = 3;
  wide.wide = true;
  WriteRawClip(wide, [](int, int, int y) { return y % 2 ? 200 : 50; });
  std::filesystem::remove(output);  // the last run's: an output never replaces a file
  job = RunPictureJob(engine, wide, {{output, With(kRawOutput, "deinterlace")}});
  ASSERT_TRUE(job.finished) << job.message;
  EXPECT_EQ(job.LogCount("Deinterlacing failed."), 3);
  EXPECT_EQ(DecodeLumaPictures(output).size(), 3u);
}

}  // namespace
