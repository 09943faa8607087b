// Helpers for tests that look at pictures: raw clips painted pixel by pixel, a job runner
// that leaves room for event handlers, and the luma planes of a written file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "JobRunner.h"
#include "TestMedia.h"
#include "binding/MediaPointers.h"

// A raw 8-bit picture file: 4:2:0 planes, or one plane of two-byte samples when wide.
struct TRawClip {
  std::string path;
  int width = 64;
  int height = 48;
  int frames = 10;
  int rate = 1;
  bool wide = false;  // gray16le instead of yuv420p

  std::vector<std::string> InputOptions() const {
    return {"f=rawvideo", "s=" + std::to_string(width) + "x" + std::to_string(height),
            std::string("pix_fmt=") + (wide ? "gray16le" : "yuv420p"), "r=" + std::to_string(rate)};
  }
};

// Paints every picture's luma with luma(frame, x, y); chroma stays neutral.
inline void WriteRawClip(const TRawClip& clip, const std::function<int(int, int, int)>& luma) {
  std::ofstream file(clip.path, std::ios::binary);
  for (int frame = 0; frame < clip.frames; ++frame) {
    for (int y = 0; y < clip.height; ++y)
      for (int x = 0; x < clip.width; ++x) {
        const auto value = static_cast<char>(luma(frame, x, y));
        file.put(value);
        if (clip.wide) file.put(value);
      }
    if (!clip.wide)
      file << std::string(static_cast<std::size_t>(clip.width / 2) * (clip.height / 2) * 2, '\x80');
  }
}

struct TPictureOutput {
  std::string path;
  std::vector<std::string> options;  // "name=value" lines, set before the file is opened
};

struct TPictureJob {
  bool opened = false;
  std::string error;
  bool finished = false;
  bool exception = false;
  std::string message;
  std::vector<std::string> logs;

  int LogCount(const std::string& line) const {
    int count = 0;
    for (const std::string& log : logs) count += log == line;
    return count;
  }
};

// Runs a job in the caller's thread; beforeStart may assign events and change settings
// once every file is open.
inline TPictureJob RunPictureJob(TTestEngine& engine, const TRawClip& clip,
                                 const std::vector<TPictureOutput>& outputs,
                                 const std::function<void(TTestEngine&)>& beforeStart = nullptr) {
  TPictureJob job;
  engine.Reset();
  engine.SetVerbosity(-1);
  engine.OnLog = [&](TCustomFFmpeg*, int, const std::string& text) { job.logs.push_back(text); };
  engine.OnTerminate = [&](TCustomFFmpeg* sender) {
    job.finished = sender->Finished();
    job.exception = sender->ExceptionRaised();
    job.message = sender->ExceptionMessage();
  };
  const auto apply = [&](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      const std::size_t equals = line.find('=');
      engine.SetOption(line.substr(0, equals),
                       equals == std::string::npos ? "" : line.substr(equals + 1));
    }
  };
  apply(clip.InputOptions());
  if (!engine.OpenInput(clip.path)) {
    job.error = engine.ErrorText();
    return job;
  }
  for (const TPictureOutput& output : outputs) {
    apply(output.options);
    if (!engine.OpenOutput(output.path)) {
      job.error = engine.ErrorText();
      return job;
    }
  }
  job.opened = true;
  if (beforeStart) beforeStart(engine);
  engine.Start(false);
  engine.OnLog = nullptr;
  engine.OnTerminate = nullptr;
  return job;
}

// The luma plane of one decoded picture.
struct TLumaPicture {
  int width = 0;
  int height = 0;
  double seconds = 0;
  std::vector<std::uint8_t> luma;

  int At(int x, int y) const { return luma[static_cast<std::size_t>(y) * width + x]; }
  // The lowest and highest value inside the rectangle.
  std::pair<int, int> Range(int left, int top, int right, int bottom) const {
    int low = 255, high = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        low = std::min(low, At(x, y));
        high = std::max(high, At(x, y));
      }
    return {low, high};
  }
  std::pair<int, int> Range() const { return Range(0, 0, width, height); }
};

// Every picture of the file's first video stream, in presentation order.
inline std::vector<TLumaPicture> DecodeLumaPictures(const std::string& path) {
  std::vector<TLumaPicture> pictures;
  const TInputFormatContextPtr input = OpenMediaFile(path);
  if (!input) return pictures;
  const int index = FirstStreamIndex(input.get(), AVMEDIA_TYPE_VIDEO);
  if (index < 0) return pictures;
  const AVStream* stream = input->streams[index];
  const AVCodec* codec = lib::avcodec_find_decoder(stream->codecpar->codec_id);
  TCodecContextPtr decoder(lib::avcodec_alloc_context3(codec));
  if (!codec || !decoder ||
      lib::avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
      lib::avcodec_open2(decoder.get(), codec, nullptr) < 0)
    return pictures;
  TPacketPtr packet(lib::av_packet_alloc());
  TFramePtr frame(lib::av_frame_alloc());
  const auto drain = [&] {
    while (lib::avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      TLumaPicture picture;
      picture.width = frame->width;
      picture.height = frame->height;
      if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        picture.seconds = frame->best_effort_timestamp * av_q2d(stream->time_base);
      for (int y = 0; y < frame->height; ++y) {
        const std::uint8_t* row =
            frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
        picture.luma.insert(picture.luma.end(), row, row + frame->width);
      }
      pictures.push_back(std::move(picture));
      lib::av_frame_unref(frame.get());
    }
  };
  while (lib::av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && lib::avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      drain();
    lib::av_packet_unref(packet.get());
  }
  if (lib::avcodec_send_packet(decoder.get(), nullptr) >= 0) drain();
  return pictures;
}
