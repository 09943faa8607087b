// Songs and prompts as users get them: an MP3, FLAC or M4A song with a cover picture, and
// headerless telephone sound (GSM, A-law, u-law, 16-bit PCM); and what a converted file
// holds of them: its sound's true length and tone, its cover pictures and its video.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

constexpr int kToneHz = 440;

struct TCoverSongRecipe {
  double seconds = 3;
  AVCodecID audioCodec = AV_CODEC_ID_MP3;
  int sampleRate = 44100;
  int coverWidth = 700;
  int coverHeight = 700;
};

// A song with a JPEG cover picture of the recipe's size; the container from the file name.
void MakeSongWithCover(const std::string& path, const TCoverSongRecipe& recipe);

// Headerless sound of a tone, one channel: the encoder's packets written one after the
// other by the raw writer muxer ("gsm", "alaw", "mulaw", "s16le"). False when the
// libraries lack the encoder (nothing is written then).
bool MakeRawSound(const std::string& path, const char* encoder, const char* muxer, int sampleRate,
                  double seconds);

struct TSoundTone {
  double seconds = 0;    // decoded samples over the sample rate
  double frequency = 0;  // of the first channel, from its rising zero crossings
};

// Decodes the first audio stream; zero seconds when there is none.
TSoundTone DecodeSoundTone(const std::string& path);

struct TPictureStreams {
  int covers = 0;  // pictures marked as the cover
  int videos = 0;  // every other picture stream
  // The first cover's picture as it decodes.
  int coverWidth = 0;
  int coverHeight = 0;
};

TPictureStreams PictureStreamsOf(const std::string& path);
