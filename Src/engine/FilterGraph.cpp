// The video filter graph of an encoded output stream: decoded pictures enter at the buffer
// source "src", pass a "scale" filter when the size must change and the user's chain, and
// leave at the buffer sink "out" in the encoder's pixel format.
#include "binding/MyUtils.h"
#include "engine/Transcoder.h"

namespace {

struct TFilterInOutDeleter {
  void operator()(AVFilterInOut* inOut) const { lib::avfilter_inout_free(&inOut); }
};
using TFilterInOutPtr = std::unique_ptr<AVFilterInOut, TFilterInOutDeleter>;

// A set-up step of the graph failed: the message says which, with the library's reason.
[[noreturn]] void FailStep(const std::string& step, int result) {
  throw FFMpegException("Error opening filters: " + step + ": " + ErrorReason(result));
}

void Check(int result, const std::string& step) {
  if (result < 0) FailStep(step, result);
}

// A filter of the graph, made from its arguments under the given name.
AVFilterContext* CreateFilter(AVFilterGraph* graph, const char* filterName, const char* name,
                              const char* arguments) {
  const std::string step = StringFormat("could not create the filter '%s'", filterName);
  const AVFilter* filter = lib::avfilter_get_by_name(filterName);
  if (!filter) FailStep(step, AVERROR_FILTER_NOT_FOUND);
  AVFilterContext* context = nullptr;
  Check(lib::avfilter_graph_create_filter(&context, filter, name, arguments, nullptr, graph), step);
  return context;
}

void Link(AVFilterContext* from, AVFilterContext* to) {
  Check(lib::avfilter_link(from, 0, to, 0),
        StringFormat("could not link '%s' to '%s'", from->name, to->name));
}

// One open end of the graph, named for the chain's parser.
TFilterInOutPtr OpenEnd(const char* name, AVFilterContext* filter) {
  TFilterInOutPtr end(lib::avfilter_inout_alloc());
  if (end) end->name = lib::av_strdup(name);
  if (!end || !end->name)
    FailStep("could not prepare the filter description's ends", AVERROR(ENOMEM));
  end->filter_ctx = filter;
  end->pad_idx = 0;
  end->next = nullptr;
  return end;
}

// Parses the chain between the graph's open ends "in" and "out".
void ParseChain(AVFilterGraph* graph, const std::string& chain, AVFilterContext* last,
                AVFilterContext* sink) {
  TFilterInOutPtr outputs = OpenEnd("in", last);
  TFilterInOutPtr inputs = OpenEnd("out", sink);
  AVFilterInOut* openInputs = inputs.release();
  AVFilterInOut* openOutputs = outputs.release();
  const int result =
      lib::avfilter_graph_parse_ptr(graph, chain.c_str(), &openInputs, &openOutputs, nullptr);
  inputs.reset(openInputs);  // what the parser left over
  outputs.reset(openOutputs);
  Check(result, StringFormat("could not parse the filter description '%s'", chain.c_str()));
}

}  // namespace

void TTranscoder::ConfigureFilters(TInputStream& Input, TOutputStream& Output) {
  if (S.CropTop || S.CropBottom || S.CropLeft || S.CropRight)
    throw FFMpegException(
        "Error opening filters: Cannot enable crop options and filters at the same time.");
  const AVCodecContext* decoder = Input.Decoder;
  AVCodecContext* encoder = Output.Encoder();
  if (!FilteredFrame) FilteredFrame.reset(lib::av_frame_alloc());
  if (!FilteredFrame) FailStep("could not allocate the filtered picture", AVERROR(ENOMEM));
  TFilterGraphPtr graph(lib::avfilter_graph_alloc());
  if (!graph) FailStep("could not allocate the filter graph", AVERROR(ENOMEM));
  E.MarkLogOwner(graph->opaque);

  // Pictures enter upright, with the input stream's time in microseconds.
  const int sourceWidth = Input.UprightWidth();
  const int sourceHeight = Input.UprightHeight();
  AVRational aspect =
      decoder->sample_aspect_ratio.num ? decoder->sample_aspect_ratio : AVRational{0, 1};
  if (aspect.num && TurnsOnSide(Input.Rotation)) aspect = av_inv_q(aspect);
  std::string sourceArguments = StringFormat(
      "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", sourceWidth, sourceHeight,
      static_cast<int>(decoder->pix_fmt), AV_TIME_BASE, aspect.num, aspect.den);
  const AVRational rate = Input.Stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0)
    sourceArguments += StringFormat(":frame_rate=%d/%d", rate.num, rate.den);
  AVFilterContext* source = CreateFilter(graph.get(), "buffer", "src", sourceArguments.c_str());
  AVFilterContext* sink = CreateFilter(graph.get(), "buffersink", "out", nullptr);
  const AVPixelFormat accepted = encoder->pix_fmt;
  Check(lib::av_opt_set_bin(sink, "pix_fmts", reinterpret_cast<const std::uint8_t*>(&accepted),
                            sizeof accepted, AV_OPT_SEARCH_CHILDREN),
        "could not set the pixel format of the filter 'buffersink'");

  AVFilterContext* last = source;
  const int padWidth = S.PadLeft + S.PadRight;
  const int padHeight = S.PadTop + S.PadBottom;
  if (sourceWidth + padWidth != encoder->width || sourceHeight + padHeight != encoder->height) {
    const std::string size =
        StringFormat("%d:%d", encoder->width - padWidth, encoder->height - padHeight)
            .substr(0, 255);
    AVFilterContext* scale = CreateFilter(graph.get(), "scale", "scale", size.c_str());
    Link(last, scale);
    last = scale;
  }
  if (!S.VideoFilters.empty())
    ParseChain(graph.get(), S.VideoFilters, last, sink);
  else
    Link(last, sink);
  Check(lib::avfilter_graph_config(graph.get(), nullptr), "could not configure the filter graph");

  const int width = lib::av_buffersink_get_w(sink);
  const int height = lib::av_buffersink_get_h(sink);
  if (Output.VideoPad && (width != S.FrameWidth || height != S.FrameHeight))
    throw FFMpegException(
        "Error opening filters: Cannot enable pad options and the filters which resize frame "
        "at the same time. (crop, rotate, scale, transpose, etc.)");
  encoder->width = width + padWidth;
  encoder->height = height + padHeight;
  Output.FilterGraph = std::move(graph);
  Output.FilterSource = source;
  Output.FilterSink = sink;
  Output.FilterWidth = sourceWidth;
  Output.FilterHeight = sourceHeight;
  Output.FilterFormat = decoder->pix_fmt;
}

// A picture of another size or format than the source was made for, scaled to it: the
// filters after the source only handle what they were configured for.
TFramePtr TTranscoder::MatchFilterSource(TOutputStream& Output, const AVFrame* Picture) {
  const auto format = static_cast<AVPixelFormat>(Output.FilterFormat);
  Output.FilterInputScaler.reset(lib::sws_getCachedContext(
      Output.FilterInputScaler.release(), Picture->width, Picture->height,
      static_cast<AVPixelFormat>(Picture->format), Output.FilterWidth, Output.FilterHeight, format,
      S.ScalerFlags, nullptr, nullptr, nullptr));
  TFramePtr matched(lib::av_frame_alloc());
  if (!Output.FilterInputScaler || !matched) return nullptr;
  matched->format = format;
  matched->width = Output.FilterWidth;
  matched->height = Output.FilterHeight;
  if (lib::av_frame_get_buffer(matched.get(), 0) < 0 ||
      lib::av_frame_copy_props(matched.get(), Picture) < 0)
    return nullptr;
  if (lib::sws_scale(Output.FilterInputScaler.get(), Picture->data, Picture->linesize, 0,
                     Picture->height, matched->data, matched->linesize) < 0)
    return nullptr;
  return matched;
}

void TTranscoder::FilterVideoOut(TOutputStream& Output, TInputStream& Input, AVFrame* Picture) {
  TFramePtr matched;
  AVFrame* picture = Picture;
  if (Picture->width != Output.FilterWidth || Picture->height != Output.FilterHeight ||
      Picture->format != Output.FilterFormat) {
    matched = MatchFilterSource(Output, Picture);
    picture = matched.get();
  }
  // A picture that could not be matched to the source has no library result of its own.
  int result = AVERROR(EINVAL);
  if (picture) {
    picture->pts = Input.Pts;
    result =
        lib::av_buffersrc_add_frame_flags(Output.FilterSource, picture, AV_BUFFERSRC_FLAG_KEEP_REF);
  }
  if (result < 0) {
    const std::string message = "error filtering picture: " + ErrorReason(result);
    if (S.ExitOnError) throw FFMpegException(message);
    E.Log(0, message);
    return;
  }
  DrainFilterGraph(Output, Input);
}

// Every picture the sink has ready goes to the output with the time the graph gave it; the
// input stream's own time is kept for the choice of the next packet to read.
void TTranscoder::DrainFilterGraph(TOutputStream& Output, TInputStream& Input) {
  const std::int64_t decodedPts = Input.Pts;
  const AVRational timeBase = lib::av_buffersink_get_time_base(Output.FilterSink);
  AVFrame* filtered = FilteredFrame.get();
  while (lib::av_buffersink_get_frame(Output.FilterSink, filtered) >= 0) {
    if (filtered->pts != AV_NOPTS_VALUE)
      Input.Pts = lib::av_rescale_q(filtered->pts, timeBase, kMicrosecondTimeBase);
    DoVideoOut(Output, Input, filtered);
    if (!S.VStatsFileName.empty() && Output.LastPacketSize > 0)
      DoVideoStats(Output, Output.LastPacketSize);
    lib::av_frame_unref(filtered);
  }
  Input.Pts = decodedPts;
}

// At the end of the input, pictures the filters still hold come out.
void TTranscoder::FlushFilterGraphs(int InputIndex) {
  for (const auto& output : OutputStreams)
    if (output->SourceIndex == InputIndex && output->FilterGraph &&
        lib::av_buffersrc_add_frame_flags(output->FilterSource, nullptr, 0) >= 0)
      DrainFilterGraph(*output, InputStreams[InputIndex]);
}
