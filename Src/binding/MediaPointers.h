// Owning handles for media library objects; each deleter calls through the binding.
#pragma once

#include <cstdio>
#include <memory>

#include "binding/AVCodecHlpr.h"
#include "binding/AVFilterHlpr.h"
#include "binding/AVFormatHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "binding/MyUtilHlpr.h"
#include "binding/SwResampleHlpr.h"
#include "binding/SwScaleHlpr.h"

struct TCodecContextDeleter {
  void operator()(AVCodecContext* context) const { lib::avcodec_free_context(&context); }
};
struct TInputFormatContextDeleter {
  void operator()(AVFormatContext* context) const { lib::avformat_close_input(&context); }
};
// Output contexts: the byte stream is closed separately, before the context goes.
struct TOutputFormatContextDeleter {
  void operator()(AVFormatContext* context) const { lib::avformat_free_context(context); }
};
struct TPacketDeleter {
  void operator()(AVPacket* packet) const { lib::av_packet_free(&packet); }
};
struct TFrameDeleter {
  void operator()(AVFrame* frame) const { lib::av_frame_free(&frame); }
};
struct TBsfContextDeleter {
  void operator()(AVBSFContext* context) const { lib::av_bsf_free(&context); }
};
struct TSwsContextDeleter {
  void operator()(SwsContext* context) const { lib::sws_freeContext(context); }
};
struct TSwrContextDeleter {
  void operator()(SwrContext* context) const { lib::swr_free(&context); }
};
struct TFilterGraphDeleter {
  void operator()(AVFilterGraph* graph) const { lib::avfilter_graph_free(&graph); }
};
struct TCFileDeleter {
  void operator()(FILE* file) const { lib::my_fclose(file); }
};

using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextDeleter>;
using TInputFormatContextPtr = std::unique_ptr<AVFormatContext, TInputFormatContextDeleter>;
using TOutputFormatContextPtr = std::unique_ptr<AVFormatContext, TOutputFormatContextDeleter>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;
using TBsfContextPtr = std::unique_ptr<AVBSFContext, TBsfContextDeleter>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsContextDeleter>;
using TSwrContextPtr = std::unique_ptr<SwrContext, TSwrContextDeleter>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphDeleter>;
using TCFilePtr = std::unique_ptr<FILE, TCFileDeleter>;

struct TAudioFifoDeleter {
  void operator()(AVAudioFifo* fifo) const { lib::av_audio_fifo_free(fifo); }
};
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAudioFifoDeleter>;

// A dictionary the libraries fill and take through AVDictionary**: whatever a call leaves
// in it (the entries it did not use) goes with its owner.
class TDictionary {
 public:
  TDictionary() = default;
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;
  ~TDictionary() { lib::av_dict_free(&entries_); }
  AVDictionary** Address() { return &entries_; }

 private:
  AVDictionary* entries_ = nullptr;
};
