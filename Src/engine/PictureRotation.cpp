#include "engine/PictureRotation.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"

namespace {

std::string LibraryReason(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  lib::av_strerror(code, text, sizeof text);
  return text;
}

// The filters that turn a picture clockwise by the rotation, in order.
std::vector<std::pair<const char*, const char*>> TurningFilters(int rotation) {
  if (rotation == 90) return {{"transpose", "dir=clock"}};
  if (rotation == 270) return {{"transpose", "dir=cclock"}};
  return {{"hflip", nullptr}, {"vflip", nullptr}};
}

}  // namespace

int UprightRotation(const AVStream* Stream) {
  std::size_t size = 0;
  const auto* matrix = reinterpret_cast<const std::int32_t*>(
      lib::av_stream_get_side_data(Stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
  if (!matrix || size < 9 * sizeof(std::int32_t)) return 0;
  // The matrix turns counter-clockwise; a degenerate one gives no angle.
  const double counterClockwise = lib::av_display_rotation_get(matrix);
  if (!std::isfinite(counterClockwise)) return 0;
  const double clockwise = std::fmod(360.0 - counterClockwise, 360.0);
  const double quarters = std::nearbyint(clockwise / 90.0);
  if (std::fabs(clockwise - quarters * 90.0) > 1.0) return 0;
  return static_cast<int>(quarters) % 4 * 90;
}

int TPictureTurner::Configure(const AVFrame* Picture) {
  graph_.reset(lib::avfilter_graph_alloc());
  if (!graph_) return AVERROR(ENOMEM);
  graph_->opaque = logOwner_;
  const AVRational aspect =
      Picture->sample_aspect_ratio.num > 0 ? Picture->sample_aspect_ratio : AVRational{0, 1};
  const std::string arguments =
      StringFormat("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", Picture->width,
                   Picture->height, Picture->format, AV_TIME_BASE, aspect.num, aspect.den);
  int result = lib::avfilter_graph_create_filter(&source_, lib::avfilter_get_by_name("buffer"),
                                                 "src", arguments.c_str(), nullptr, graph_.get());
  if (result < 0) return result;
  result = lib::avfilter_graph_create_filter(&sink_, lib::avfilter_get_by_name("buffersink"), "out",
                                             nullptr, nullptr, graph_.get());
  if (result < 0) return result;
  AVFilterContext* last = source_;
  for (const auto& [name, options] : TurningFilters(rotation_)) {
    AVFilterContext* filter = nullptr;
    result = lib::avfilter_graph_create_filter(&filter, lib::avfilter_get_by_name(name), name,
                                               options, nullptr, graph_.get());
    if (result < 0 || (result = lib::avfilter_link(last, 0, filter, 0)) < 0) return result;
    last = filter;
  }
  if ((result = lib::avfilter_link(last, 0, sink_, 0)) < 0) return result;
  if ((result = lib::avfilter_graph_config(graph_.get(), nullptr)) < 0) return result;
  width_ = Picture->width;
  height_ = Picture->height;
  format_ = Picture->format;
  return 0;
}

void TPictureTurner::Turn(AVFrame* Picture) {
  if (!turned_) turned_.reset(lib::av_frame_alloc());
  if (!turned_)
    throw FFMpegException("error turning picture upright: " + LibraryReason(AVERROR(ENOMEM)));
  int result = 0;
  if (!graph_ || Picture->width != width_ || Picture->height != height_ ||
      Picture->format != format_) {
    result = Configure(Picture);
    if (result < 0) {
      graph_.reset();
      throw FFMpegException("error turning picture upright: " + LibraryReason(result));
    }
  }
  result = lib::av_buffersrc_add_frame_flags(source_, Picture, AV_BUFFERSRC_FLAG_KEEP_REF);
  if (result >= 0) result = lib::av_buffersink_get_frame(sink_, turned_.get());
  if (result < 0) throw FFMpegException("error turning picture upright: " + LibraryReason(result));
  lib::av_frame_unref(Picture);
  lib::av_frame_move_ref(Picture, turned_.get());
}
