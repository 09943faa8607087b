// The audio output path: conversion of channels, rate and sample format, drift
// correction against the time stamps, then encoder-sized frames through the FIFO.
#include <algorithm>
#include <cmath>
#include <vector>

#include "binding/MyUtils.h"
#include "engine/AudioChannels.h"
#include "engine/Transcoder.h"

namespace {

constexpr int kLargestSilenceBytes = 131072;  // the most silence one block is padded with

// The samples a frame's buffers hold, which may be more than it carries now: its plane
// size in bytes stays as allocated when the sample count is lowered.
int AudioFrameCapacity(const AVFrame* frame) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int interleaved = lib::av_sample_fmt_is_planar(format) ? 1 : frame->ch_layout.nb_channels;
  const int bytes = lib::av_get_bytes_per_sample(format) * interleaved;
  return bytes > 0 ? frame->linesize[0] / bytes : 0;
}

// The FIFO grows with what is written into it; a write it cannot take ends the job.
void CheckFifoWrite(int result) {
  if (result < 0) throw FFMpegException("av_fifo_realloc2() failed: " + ErrorReason(result));
}

// A writable frame of samples samples in the encoder's format, kept in slot and reused: a
// new buffer only when it must grow or the encoder still holds the old one. The resampler
// asks for a slightly different count from block to block, so the capacity counts, not
// the last count.
AVFrame* ReusableAudioFrame(TFramePtr& slot, const AVCodecContext* encoder, int samples) {
  if (!slot) slot.reset(lib::av_frame_alloc());
  AVFrame* frame = slot.get();
  if (!frame) throw FFMpegException("av_malloc failed: " + ErrorReason(AVERROR(ENOMEM)));
  if (frame->buf[0] && AudioFrameCapacity(frame) >= samples) {
    // Set first: a copy the encoder forces is made at this size.
    frame->nb_samples = samples;
    if (lib::av_frame_make_writable(frame) >= 0) return frame;
  }
  lib::av_frame_unref(frame);
  frame->format = encoder->sample_fmt;
  frame->sample_rate = encoder->sample_rate;
  frame->nb_samples = samples;
  lib::av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
  if (const int result = lib::av_frame_get_buffer(frame, 0); result < 0)
    throw FFMpegException("av_malloc failed: " + ErrorReason(result));
  return frame;
}

// Silence to put ahead of a block that comes late by inputDelta input samples, in the
// encoder's samples; one block takes at most kLargestSilenceBytes of it, the rest is left
// to the next (stillStarting).
std::int64_t SilenceFor(const AVFrame* samples, double inputDelta, int encoderRate,
                        bool& stillStarting) {
  const int channels = std::max(1, samples->ch_layout.nb_channels);
  const std::int64_t room = kLargestSilenceBytes / (2 * channels) - samples->nb_samples;
  std::int64_t inserted = static_cast<std::int64_t>(inputDelta);
  if (inserted > room) {
    inserted = std::max<std::int64_t>(room, 0);
    stillStarting = true;
  }
  return inserted * encoderRate / std::max(1, samples->sample_rate);
}

void WriteSilence(TOutputStream& output, std::int64_t silence) {
  const AVCodecContext* encoder = output.Encoder();
  AVFrame* quiet = ReusableAudioFrame(output.ConvertFrame, encoder, static_cast<int>(silence));
  lib::av_samples_set_silence(quiet->extended_data, 0, quiet->nb_samples,
                              quiet->ch_layout.nb_channels, encoder->sample_fmt);
  CheckFifoWrite(lib::av_audio_fifo_write(
      output.Fifo.get(), reinterpret_cast<void**>(quiet->extended_data), quiet->nb_samples));
}

}  // namespace

// The resampler is made for the first block that needs one and made again when the
// decoder's format, rate or layout changes midway (a stream of joined recordings).
void TTranscoder::EnsureResampler(TOutputStream& Output, const AVFrame* Samples) {
  const AVCodecContext* encoder = Output.Encoder();
  if (Output.Resampler) {
    if (Output.ResamplerInput.Matches(Samples)) return;
    DrainResampler(Output);
    Output.Resampler.reset();
  }
  const bool differs = encoder->sample_fmt != Samples->format ||
                       encoder->sample_rate != Samples->sample_rate ||
                       !SameChannels(encoder->ch_layout, Samples->ch_layout);
  if (!(differs || Output.AudioResample)) return;
  Output.AudioResample = true;
  int result = 0;
  Output.Resampler = MakeResampler(encoder, Samples, result);
  if (!Output.Resampler)
    throw FFMpegException(
        StringFormat("Can not resample %d channels @ %d Hz to %d channels @ %d Hz: ",
                     Samples->ch_layout.nb_channels, Samples->sample_rate,
                     encoder->ch_layout.nb_channels, encoder->sample_rate) +
        ErrorReason(result));
  Output.ResamplerInput.Remember(Samples);
}

void TTranscoder::DoAudioOut(TOutputStream& Output, TInputStream& Input, AVFrame* Samples) {
  EnsureResampler(Output, Samples);
  const int fifoSamples = lib::av_audio_fifo_size(Output.Fifo.get());
  TAudioCorrection correction;
  if (S.AudioSyncMethod != 0) {
    correction = CorrectAudioDrift(Output, Input, Samples, fifoSamples);
    if (correction.Skip >= Samples->nb_samples) return;
  } else {
    FollowAudioClock(Output, Input, fifoSamples);
  }
  if (correction.Silence > 0) WriteSilence(Output, correction.Silence);
  if (WriteSamples(Output, Samples, correction.Skip)) EncodeAudioFromFifo(Output, false);
}

// Against the time stamps: a block that comes early loses its first samples, one that comes
// late gets silence ahead of it (at the stream's start, or past the drift threshold); a
// smaller drift is left to the resampler's compensation.
TAudioCorrection TTranscoder::CorrectAudioDrift(TOutputStream& Output, TInputStream& Input,
                                                const AVFrame* Samples, int FifoSamples) {
  const int encoderRate = Output.Encoder()->sample_rate;
  const double delta =
      SyncInputTime(Input) * encoderRate - static_cast<double>(Output.SyncOpts) - FifoSamples;
  const double inputDelta = delta * Samples->sample_rate / encoderRate;
  TAudioCorrection correction;
  bool stillStarting = false;  // the start's correction goes on into the next block
  if (std::fabs(delta) > 50) {
    if (Input.IsStart || std::fabs(delta) > S.AudioDriftThreshold * encoderRate) {
      if (inputDelta < 0) {
        correction.Skip = static_cast<int>(std::min<double>(-inputDelta, Samples->nb_samples));
        if (S.Verbosity > 2 && E.Logging())
          E.Log(1, StringFormat("discarding %d audio samples", static_cast<int>(-delta)));
        if (correction.Skip >= Samples->nb_samples) return correction;
      } else {
        correction.Silence = SilenceFor(Samples, inputDelta, encoderRate, stillStarting);
        if (S.Verbosity > 2 && E.Logging())
          E.Log(1, StringFormat("adding %d audio samples of silence", static_cast<int>(delta)));
      }
    } else if (S.AudioSyncMethod > 1 && Output.Resampler) {
      CompensateAudioDrift(Output, delta);
    }
  }
  // Past its first block a stream is no longer at its start, on time or not: later drift
  // within the threshold is left to the compensation.
  if (!stillStarting) Input.IsStart = false;
  return correction;
}

void TTranscoder::CompensateAudioDrift(TOutputStream& Output, double Delta) {
  const int encoderRate = Output.Encoder()->sample_rate;
  const int compensation = ClipInt(static_cast<int>(Delta), -S.AudioSyncMethod, S.AudioSyncMethod);
  if (S.Verbosity > 2 && E.Logging())
    E.Log(1, StringFormat("compensating audio timestamp drift:%f compensation:%d in:%d", Delta,
                          compensation, encoderRate));
  if (const int result =
          lib::swr_set_compensation(Output.Resampler.get(), compensation, encoderRate);
      result < 0)
    E.Log(0, "compensating audio timestamp drift failed: " + ErrorReason(result));
}

// Packet times follow the samples actually encoded. Stamps that disagree with the sample
// count (rounded to milliseconds, or send times) would give two packets one time; only a gap
// longer than the drift threshold moves the clock on.
void TTranscoder::FollowAudioClock(TOutputStream& Output, const TInputStream& Input,
                                   int FifoSamples) {
  const int encoderRate = Output.Encoder()->sample_rate;
  const std::int64_t expected = std::llround(SyncInputTime(Input) * encoderRate) - FifoSamples;
  if (!Output.AudioClockStarted ||
      static_cast<double>(expected - Output.SyncOpts) > S.AudioDriftThreshold * encoderRate)
    Output.SyncOpts = expected;
  Output.AudioClockStarted = true;
}

// The block's samples from Skip on into the FIFO, through the resampler when there is one;
// false when the resampler failed and the block is left out.
bool TTranscoder::WriteSamples(TOutputStream& Output, const AVFrame* Samples, int Skip) {
  const std::vector<const std::uint8_t*> input = SamplePlanes(Samples, Skip);
  const int inputCount = Samples->nb_samples - Skip;
  int written;
  if (Output.Resampler) {
    const int room = lib::swr_get_out_samples(Output.Resampler.get(), inputCount);
    AVFrame* converted =
        ReusableAudioFrame(Output.ConvertFrame, Output.Encoder(), std::max(room, 1));
    const int got = lib::swr_convert(Output.Resampler.get(), converted->extended_data, room,
                                     const_cast<const std::uint8_t**>(input.data()), inputCount);
    if (got < 0) {
      if (S.ExitOnError) throw FFMpegException("av_audio_convert() failed: " + ErrorReason(got));
      E.Log(0, "av_audio_convert() failed: " + ErrorReason(got));
      return false;
    }
    written = lib::av_audio_fifo_write(Output.Fifo.get(),
                                       reinterpret_cast<void**>(converted->extended_data), got);
  } else {
    written = lib::av_audio_fifo_write(
        Output.Fifo.get(), reinterpret_cast<void**>(const_cast<std::uint8_t**>(input.data())),
        inputCount);
  }
  CheckFifoWrite(written);
  return true;
}

// The resampler keeps the last samples for its filter; at the end of the stream they go to
// the FIFO too.
void TTranscoder::DrainResampler(TOutputStream& Output) {
  if (!Output.Resampler) return;
  const int room = lib::swr_get_out_samples(Output.Resampler.get(), 0);
  if (room <= 0) return;
  AVFrame* tail = ReusableAudioFrame(Output.ConvertFrame, Output.Encoder(), room);
  const int got = lib::swr_convert(Output.Resampler.get(), tail->extended_data, room, nullptr, 0);
  if (got < 0) {
    if (S.ExitOnError) throw FFMpegException("av_audio_convert() failed: " + ErrorReason(got));
    E.Log(0, "av_audio_convert() failed: " + ErrorReason(got));
    return;
  }
  if (got > 0)
    CheckFifoWrite(lib::av_audio_fifo_write(Output.Fifo.get(),
                                            reinterpret_cast<void**>(tail->extended_data), got));
}

// Whole encoder frames leave the FIFO; at the end the rest goes too, padded with silence
// for encoders that only take full frames.
void TTranscoder::EncodeAudioFromFifo(TOutputStream& Output, bool Flush) {
  AVCodecContext* encoder = Output.Encoder();
  AVAudioFifo* fifo = Output.Fifo.get();
  if (!fifo) return;
  const bool anySize =
      encoder->frame_size <= 1 || (encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
  for (;;) {
    const int available = lib::av_audio_fifo_size(fifo);
    if (available <= 0) return;
    int frameSize = anySize ? available : encoder->frame_size;
    if (available < frameSize && !Flush) return;
    AVFrame* frame = ReusableAudioFrame(Output.EncodeFrame, encoder, frameSize);
    const int got = lib::av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->extended_data),
                                            std::min(available, frameSize));
    if (got < frameSize) {
      if (encoder->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)
        frame->nb_samples = got;
      else
        lib::av_samples_set_silence(frame->extended_data, got, frameSize - got,
                                    frame->ch_layout.nb_channels, encoder->sample_fmt);
    }
    frame->pts = Output.SyncOpts;
    Output.SyncOpts += frame->nb_samples;
    EncodeAndWrite(Output, frame);
  }
}
