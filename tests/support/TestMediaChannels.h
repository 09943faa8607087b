// Sound of many channels, each with a tone of its own, and the tones found again in a file.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/samplefmt.h>
}

struct TChannelTonesRecipe {
  int channels = 16;
  AVCodecID codec = AV_CODEC_ID_PCM_S16LE;
  // The channels carry no positions (as recorders of many inputs write them); otherwise
  // the usual layout of their count.
  bool unplaced = false;
  int sampleRate = 48000;
  double seconds = 1.0;
};

// The tone of channel c: far enough from its neighbours for a second's samples to tell.
double ChannelToneHz(int channel);

// Writes one audio stream with ChannelToneHz(c) in channel c; the container from the name.
void MakeChannelTones(const std::string& path, const TChannelTonesRecipe& recipe);

struct TDecodedSound {
  int sampleRate = 0;
  std::vector<std::vector<double>> channels;  // full scale 1

  double Seconds() const;
  // The power of a tone of hz in a channel (Goertzel over all its samples, per sample).
  double TonePower(int channel, double hz) const;
  // Which of the first candidates tones ChannelToneHz(0 ...) is loudest in a channel.
  int LoudestTone(int channel, int candidates) const;
};

// Decodes the first audio stream of a file; empty when it does not open or decode.
TDecodedSound DecodeSound(const std::string& path);
