// Channel layouts of the audio path: the encoder's layout and the resampler to it.
#include "engine/AudioChannels.h"

#include <algorithm>
#include <mutex>

#include "binding/AVCodecHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"

TChannelLayout::TChannelLayout(const AVChannelLayout& layout) {
  lib::av_channel_layout_copy(&layout_, &layout);
}

TChannelLayout::TChannelLayout(const TChannelLayout& other) {
  lib::av_channel_layout_copy(&layout_, &other.layout_);
}

TChannelLayout& TChannelLayout::operator=(const TChannelLayout& other) {
  if (this != &other) lib::av_channel_layout_copy(&layout_, &other.layout_);
  return *this;
}

TChannelLayout::~TChannelLayout() {
  lib::av_channel_layout_uninit(&layout_);
}

TChannelLayout CanonicalLayout(const AVChannelLayout& layout) {
  if (layout.order != AV_CHANNEL_ORDER_UNSPEC || layout.nb_channels <= 0)
    return TChannelLayout(layout);
  TChannelLayout usual;
  lib::av_channel_layout_default(usual.Ptr(), layout.nb_channels);
  return usual;
}

bool SameChannels(const AVChannelLayout& a, const AVChannelLayout& b) {
  if (a.nb_channels != b.nb_channels) return false;
  // A layout of unknown order says nothing against the other's positions.
  if (a.order == AV_CHANNEL_ORDER_UNSPEC || b.order == AV_CHANNEL_ORDER_UNSPEC) return true;
  return lib::av_channel_layout_compare(&a, &b) == 0;
}

namespace {

const AVChannelLayout* ListedLike(const AVChannelLayout* listed, const AVChannelLayout& wanted) {
  for (const AVChannelLayout* layout = listed; layout->nb_channels; ++layout)
    if (lib::av_channel_layout_compare(layout, &wanted) == 0) return layout;
  return nullptr;
}

}  // namespace

TChannelLayout ChooseEncoderLayout(const AVCodec* codec, const AVChannelLayout& input,
                                   int requested) {
  const TChannelLayout source = CanonicalLayout(input);
  const int wanted = requested > 0 ? requested : std::max(1, input.nb_channels);
  TChannelLayout usual;
  lib::av_channel_layout_default(usual.Ptr(), wanted);
  const bool keepsInput = source.Get().nb_channels == wanted;
  const AVChannelLayout* listed = codec ? codec->ch_layouts : nullptr;
  if (!listed || !listed->nb_channels) return keepsInput ? source : usual;

  if (keepsInput)
    if (const AVChannelLayout* same = ListedLike(listed, source.Get()))
      return TChannelLayout(*same);
  if (const AVChannelLayout* same = ListedLike(listed, usual.Get())) return TChannelLayout(*same);
  const AVChannelLayout* best = nullptr;  // the most channels not above the wanted count
  const AVChannelLayout* smallest = listed;
  for (const AVChannelLayout* layout = listed; layout->nb_channels; ++layout) {
    if (layout->nb_channels <= wanted && (!best || layout->nb_channels > best->nb_channels))
      best = layout;
    if (layout->nb_channels < smallest->nb_channels) smallest = layout;
  }
  return TChannelLayout(best ? *best : *smallest);
}

namespace {

bool Opens(const AVCodec* codec, const AVCodecContext* context, const AVChannelLayout& layout) {
  TCodecContextPtr trial(lib::avcodec_alloc_context3(codec));
  if (!trial) return false;
  trial->sample_fmt = context->sample_fmt;
  trial->sample_rate = context->sample_rate;
  trial->bit_rate = context->bit_rate;
  trial->time_base = context->time_base;
  trial->flags = context->flags;
  trial->strict_std_compliance = context->strict_std_compliance;
  if (lib::av_channel_layout_copy(&trial->ch_layout, &layout) < 0) return false;
  std::lock_guard lock(CodecLock());
  return lib::avcodec_open2(trial.get(), codec, nullptr) >= 0;
}

}  // namespace

TChannelLayout LayoutTheEncoderOpens(const AVCodec* codec, const AVCodecContext* context,
                                     const TChannelLayout& chosen) {
  // Two channels or fewer: a refusal has another reason, which the real opening names.
  if (!codec || (codec->ch_layouts && codec->ch_layouts->nb_channels) ||
      chosen.Get().nb_channels <= 2 || Opens(codec, context, chosen.Get()))
    return chosen;
  for (int channels = chosen.Get().nb_channels - 1; channels >= 2; --channels) {
    TChannelLayout fewer;
    lib::av_channel_layout_default(fewer.Ptr(), channels);
    if (fewer.Get().order == AV_CHANNEL_ORDER_NATIVE && Opens(codec, context, fewer.Get()))
      return fewer;
  }
  return chosen;
}

namespace {

// Input channel i goes to output channel i modulo the output's count, each output the mean
// of what it gets: positions unknown, every channel still heard.
std::vector<double> SpreadMatrix(int inputs, int outputs) {
  std::vector<double> matrix(static_cast<std::size_t>(inputs) * outputs, 0.0);
  for (int out = 0; out < outputs; ++out) {
    const int feeding = (inputs - out + outputs - 1) / outputs;
    for (int in = out; in < inputs; in += outputs)
      matrix[static_cast<std::size_t>(out) * inputs + in] = 1.0 / std::max(1, feeding);
  }
  return matrix;
}

TSwrContextPtr Allocate(const AVCodecContext* encoder, const AVFrame* samples,
                        const AVChannelLayout& inputLayout, int& result) {
  SwrContext* made = nullptr;
  // The library takes the layouts as non-const.
  TChannelLayout output(encoder->ch_layout);
  TChannelLayout input(inputLayout);
  result = lib::swr_alloc_set_opts2(&made, output.Ptr(), encoder->sample_fmt, encoder->sample_rate,
                                    input.Ptr(), static_cast<AVSampleFormat>(samples->format),
                                    samples->sample_rate, 0, nullptr);
  return TSwrContextPtr(made);
}

}  // namespace

TSwrContextPtr MakeResampler(const AVCodecContext* encoder, const AVFrame* samples, int& result) {
  const TChannelLayout input = CanonicalLayout(samples->ch_layout);
  TSwrContextPtr resampler = Allocate(encoder, samples, input.Get(), result);
  if (result >= 0 && (result = lib::swr_init(resampler.get())) >= 0) return resampler;
  const int inputs = input.Get().nb_channels;
  const int outputs = encoder->ch_layout.nb_channels;
  // The library builds no matrix without positions; same count keeps the order as it is.
  if (input.Get().order == AV_CHANNEL_ORDER_NATIVE || inputs <= 0 || outputs <= 0) return nullptr;
  resampler = Allocate(encoder, samples, input.Get(), result);
  if (result < 0) return nullptr;
  const std::vector<double> matrix = SpreadMatrix(inputs, outputs);
  if ((result = lib::swr_set_matrix(resampler.get(), matrix.data(), inputs)) < 0 ||
      (result = lib::swr_init(resampler.get())) < 0)
    return nullptr;
  return resampler;
}

bool TResamplerInput::Matches(const AVFrame* samples) const {
  return Format == samples->format && Rate == samples->sample_rate &&
         lib::av_channel_layout_compare(&Layout.Get(), &samples->ch_layout) == 0;
}

void TResamplerInput::Remember(const AVFrame* samples) {
  Format = samples->format;
  Rate = samples->sample_rate;
  Layout = TChannelLayout(samples->ch_layout);
}

std::vector<const std::uint8_t*> SamplePlanes(const AVFrame* frame, int skip) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int bytes = lib::av_get_bytes_per_sample(format);
  const bool planar = lib::av_sample_fmt_is_planar(format);
  const int channels = frame->ch_layout.nb_channels;
  std::vector<const std::uint8_t*> planes(planar ? std::max(channels, 1) : 1);
  const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(skip) * bytes * (planar ? 1 : channels);
  for (std::size_t i = 0; i < planes.size(); ++i)
    planes[i] = frame->extended_data[i] ? frame->extended_data[i] + offset : nullptr;
  return planes;
}
