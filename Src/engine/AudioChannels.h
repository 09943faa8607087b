// Channel layouts of the audio path: the layout an encoder is given, the resampler that
// converts decoded samples to it, and the sample pointers of a frame of any channel count.
#pragma once

#include <cstdint>
#include <vector>

#include "binding/MediaPointers.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

struct AVCodec;
struct AVCodecContext;
struct AVFrame;

// An owned AVChannelLayout (custom layouts hold an allocated map).
class TChannelLayout {
 public:
  TChannelLayout() = default;
  explicit TChannelLayout(const AVChannelLayout& layout);
  TChannelLayout(const TChannelLayout& other);
  TChannelLayout& operator=(const TChannelLayout& other);
  ~TChannelLayout();
  const AVChannelLayout& Get() const { return layout_; }
  AVChannelLayout* Ptr() { return &layout_; }

 private:
  AVChannelLayout layout_{};
};

// The input's layout as an encoder best takes it: a layout of unknown order becomes the
// usual one for its channel count where there is one.
TChannelLayout CanonicalLayout(const AVChannelLayout& layout);

// Whether samples in layout a can go to an encoder of layout b unchanged.
bool SameChannels(const AVChannelLayout& a, const AVChannelLayout& b);

// The layout the encoder codec is opened with for input samples of layout input. requested
// channels (0 or less: the input's count) win where the encoder takes them; otherwise the
// input's layout if the encoder lists it, else the listed layout with the most channels
// not above the wanted count, else the smallest it lists.
TChannelLayout ChooseEncoderLayout(const AVCodec* codec, const AVChannelLayout& input,
                                   int requested);

// The layout nearest to chosen that codec opens with for context, where the codec
// lists no layouts but may still refuse some (most stop at 8 channels): chosen itself, or
// else the usual layouts of fewer channels down to stereo, tried on a scratch context;
// chosen when none opens, for the real opening to report why.
TChannelLayout LayoutTheEncoderOpens(const AVCodec* codec, const AVCodecContext* context,
                                     const TChannelLayout& chosen);

// A resampler from samples' format, rate and layout to the encoder's, with the libraries'
// own downmix matrix; inputs whose channels carry no positions are spread over the outputs
// in turn. Null with the library's result in result when it cannot be made.
TSwrContextPtr MakeResampler(const AVCodecContext* encoder, const AVFrame* samples, int& result);

// What a resampler was made for, to tell when a frame needs a new one.
struct TResamplerInput {
  int Format = -1;
  int Rate = 0;
  TChannelLayout Layout;

  bool Matches(const AVFrame* samples) const;
  void Remember(const AVFrame* samples);
};

// The sample pointers of a frame moved on by skip samples: one per plane, as many as it has.
std::vector<const std::uint8_t*> SamplePlanes(const AVFrame* frame, int skip);
