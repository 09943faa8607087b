// Which input audio track an audio output takes: the first free one, unless a front end
// points it at another.
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"

namespace {

class AudioSourceStream : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe tracks;  // stereo for a second, then 6 channels for half a second
    tracks.frames = 5;
    tracks.audioSeconds = 1.0;
    tracks.audioCodec = AV_CODEC_ID_AC3;
    tracks.moreAudioTracks = {6};
    tracks.defaultAudioTrack = 1;
    MakeClip(Clip("tracks.mkv"), tracks);
  }

  double SecondsOfSound(const std::string& output,
                        const std::function<void(TTestEngine&)>& beforeOutputs = nullptr) {
    const TJobResult job = RunJob({Clip("tracks.mkv")}, {output}, {"ac=2"}, beforeOutputs);
    EXPECT_TRUE(job.opened && job.finished && !job.exception) << job.error << job.message;
    const TMediaInfo info = DecodeMediaInfo(output);
    const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
    return audio && audio->sampleRate
               ? static_cast<double>(audio->decodedSamples) / audio->sampleRate
               : 0;
  }
};

}  // namespace

TEST_F(AudioSourceStream, TheEngineTakesTheFirstTrackUnlessPointedAtAnother) {
  // The mark of the second track does not sway the engine's own rule.
  EXPECT_NEAR(SecondsOfSound(folder.File("first.mp4")), 1.0, 0.1);
  EXPECT_NEAR(SecondsOfSound(folder.File("chosen.mp4"),
                             [](TTestEngine& engine) { engine.SetAudioSourceStream(0, 2); }),
              0.5, 0.1);
}
