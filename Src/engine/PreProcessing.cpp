// Picture pre-processing: deinterlacing, the owner's hook events and the video hook modules,
// applied to every decoded picture before it reaches the outputs.
#include <algorithm>
#include <cstring>

#include "engine/Transcoder.h"

namespace {

// The custom hook's bitmap rows are packed B, G, R bytes.
constexpr AVPixelFormat kHookPixelFormat = AV_PIX_FMT_BGR24;
constexpr int kHookScalerFlags = SWS_BICUBIC;

// The holder's picture in that format and size, with buffers nobody else refers to. The
// buffers are kept while they fit and are not shared (an encoder may still hold the last
// picture handed on).
AVFrame* OwnPicture(TFramePtr& holder, int format, int width, int height) {
  if (!holder) holder.reset(lib::av_frame_alloc());
  AVFrame* picture = holder.get();
  if (!picture) return nullptr;
  if (picture->buf[0] && picture->format == format && picture->width == width &&
      picture->height == height && lib::av_frame_is_writable(picture))
    return picture;
  lib::av_frame_unref(picture);
  picture->format = format;
  picture->width = width;
  picture->height = height;
  return lib::av_frame_get_buffer(picture, 0) < 0 ? nullptr : picture;
}

// Keeps the even rows and rebuilds every odd row from its neighbours with the vertical
// filter (-1 4 2 4 -1) / 8, centred on the row. Works on any layout whose samples are whole bytes;
// false for others.
bool Deinterlace(AVFrame* target, const AVFrame* source) {
  const auto format = static_cast<AVPixelFormat>(source->format);
  const AVPixFmtDescriptor* descriptor = lib::av_pix_fmt_desc_get(format);
  if (!descriptor || (descriptor->flags &
                      (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM)))
    return false;
  for (int c = 0; c < descriptor->nb_components; ++c)
    if (descriptor->comp[c].depth != 8) return false;
  int rowBytes[4] = {};
  if (lib::av_image_fill_linesizes(rowBytes, format, source->width) < 0) return false;
  for (int plane = 0; plane < 4 && rowBytes[plane] > 0 && source->data[plane]; ++plane) {
    const bool chroma = (plane == 1 || plane == 2) && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB);
    const int height = chroma ? -((-source->height) >> descriptor->log2_chroma_h) : source->height;
    const auto row = [&](int y) {
      return source->data[plane] + static_cast<std::ptrdiff_t>(y) * source->linesize[plane];
    };
    for (int y = 0; y < height; ++y) {
      std::uint8_t* out =
          target->data[plane] + static_cast<std::ptrdiff_t>(y) * target->linesize[plane];
      if (y % 2 == 0) {
        std::memcpy(out, row(y), rowBytes[plane]);
        continue;
      }
      // At the edges the neighbours are mirrored into the same field.
      const std::uint8_t* m2 = row(y >= 2 ? y - 2 : y);
      const std::uint8_t* m1 = row(y - 1);
      const std::uint8_t* centre = row(y);
      const std::uint8_t* p1 = row(y + 1 < height ? y + 1 : y - 1);
      const std::uint8_t* p2 = row(y + 2 < height ? y + 2 : y);
      for (int x = 0; x < rowBytes[plane]; ++x) {
        const int sum = -m2[x] + 4 * m1[x] + 2 * centre[x] + 4 * p1[x] - p2[x];
        out[x] = static_cast<std::uint8_t>(std::clamp((sum + 4) >> 3, 0, 255));
      }
    }
  }
  return true;
}

}  // namespace

void TTranscoder::PreProcessVideoFrame(TInputStream& Input, AVFrame* Picture) {
  if (Input.Turner) Input.Turner->Turn(Picture);
  ++Hooks.PictureCount;
  const std::int64_t pts = Input.Pts;
  if (!E.OnCustomHook && S.UsingFrameHooks) DecideFrameHooks(pts);
  const bool frameHooks = S.UsingFrameHooks && Hooks.Action == haContinue;
  if (!S.Deinterlace && !E.OnCustomHook && !frameHooks) return;
  AVFrame* working = MakeWorkingPicture(Picture);
  if (!working) return;
  if (E.OnCustomHook)
    RunCustomHook(working, pts);
  else if (frameHooks)
    RunFrameHooks(working, pts);
  HandBackWorkingPicture(Picture, working);
}

void TTranscoder::DecideFrameHooks(std::int64_t Pts) {
  if (E.OnBeforeHook) {
    const TBeforeHookEvent handler = E.OnBeforeHook;  // the handler may reassign the event
    try {
      handler(&E, Pts, Hooks.Action);
    } catch (const std::exception& error) {
      E.Log(0, std::string("Error occurs OnBeforeHook: ") + error.what());
      Hooks.Action = haStop;
    }
    if (Hooks.Action == haStop) S.UsingFrameHooks = false;
    return;
  }
  const auto& ranges = S.HookTimeRanges;
  if (ranges.empty()) return;
  Hooks.Action = haIgnore;
  for (int i = std::max(S.CurrentHookTimeRange, 0); i < static_cast<int>(ranges.size()); ++i)
    if (ranges[i].first <= Pts && Pts <= ranges[i].second) {
      S.CurrentHookTimeRange = i;
      Hooks.Action = haContinue;
      break;
    }
  if (Pts > ranges.back().second) {
    Hooks.Action = haStop;
    S.UsingFrameHooks = false;
  }
}

AVFrame* TTranscoder::MakeWorkingPicture(AVFrame* Picture) {
  AVFrame* working =
      OwnPicture(Hooks.HookPicture, Picture->format, Picture->width, Picture->height);
  if (!working) {
    E.Log(0, "hook buf malloc error.");
    return nullptr;
  }
  if (S.Deinterlace) {
    if (Deinterlace(working, Picture)) return working;
    E.Log(0, "Deinterlacing failed.");
  }
  // Hooks never draw into the decoder's buffers: it may still predict from them.
  return lib::av_frame_copy(working, Picture) < 0 ? nullptr : working;
}

void TTranscoder::RunCustomHook(AVFrame* Working, std::int64_t Pts) {
  const int width = Working->width;
  const int height = Working->height;
  if (!Hooks.Bitmap) Hooks.Bitmap = std::make_unique<TBitmap>();
  TBitmap& bitmap = *Hooks.Bitmap;
  // Rows are copied whole: a picture of another size gets a bitmap of its size.
  if (bitmap.Width() != width || bitmap.Height() != height) bitmap.SetSize(width, height);

  bool stop = false;
  AVFrame* rgb = Working;
  if (Working->format != kHookPixelFormat) {
    rgb = OwnPicture(Hooks.RgbPicture, kHookPixelFormat, width, height);
    if (!rgb) {
      E.Log(0, "hook buf malloc error.");
      return;
    }
    stop = !ConvertForHook(Working, rgb);
  }
  if (!stop) {
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
      std::memcpy(bitmap.ScanLine(y),
                  rgb->data[0] + static_cast<std::ptrdiff_t>(y) * rgb->linesize[0], rowBytes);
    bool update = true;
    const TCustomHookEvent handler = E.OnCustomHook;  // the handler may reassign the event
    try {
      std::lock_guard canvas(bitmap.Canvas());
      handler(&E, bitmap, Hooks.PictureCount, Pts, update, stop);
    } catch (const std::exception& error) {
      E.Log(0, std::string("Error occurs OnCustomHook: ") + error.what());
      update = false;
    }
    if (update) {
      for (int y = 0; y < height; ++y)
        std::memcpy(rgb->data[0] + static_cast<std::ptrdiff_t>(y) * rgb->linesize[0],
                    bitmap.ScanLine(y), rowBytes);
      if (rgb != Working && !ConvertFromHook(rgb, Working)) stop = true;
    }
  }
  if (stop) {
    E.OnCustomHook = nullptr;
    Hooks.Action = haStop;
    S.UsingFrameHooks = false;
  }
}

bool TTranscoder::ConvertForHook(AVFrame* Working, AVFrame* Rgb) {
  const int width = Working->width, height = Working->height;
  Hooks.ToRgb.reset(lib::sws_getCachedContext(
      Hooks.ToRgb.release(), width, height, static_cast<AVPixelFormat>(Working->format), width,
      height, kHookPixelFormat, kHookScalerFlags, nullptr, nullptr, nullptr));
  if (!Hooks.ToRgb) {
    E.Log(0, "Cannot initialize the toRGB conversion context");
    return false;
  }
  if (const int result = lib::sws_scale(Hooks.ToRgb.get(), Working->data, Working->linesize, 0,
                                        height, Rgb->data, Rgb->linesize);
      result < 0) {
    E.Log(0, "Cannot convert the picture to RGB: " + ErrorReason(result));
    return false;
  }
  return true;
}

bool TTranscoder::ConvertFromHook(AVFrame* Rgb, AVFrame* Working) {
  const int width = Working->width, height = Working->height;
  Hooks.FromRgb.reset(lib::sws_getCachedContext(
      Hooks.FromRgb.release(), width, height, kHookPixelFormat, width, height,
      static_cast<AVPixelFormat>(Working->format), kHookScalerFlags, nullptr, nullptr, nullptr));
  if (!Hooks.FromRgb) {
    E.Log(0, "Cannot initialize the fromRGB conversion context");
    return false;
  }
  if (const int result = lib::sws_scale(Hooks.FromRgb.get(), Rgb->data, Rgb->linesize, 0, height,
                                        Working->data, Working->linesize);
      result < 0) {
    E.Log(0, "Cannot convert the picture from RGB: " + ErrorReason(result));
    return false;
  }
  return true;
}

void TTranscoder::RunFrameHooks(AVFrame* Working, std::int64_t Pts) {
  TFrameHookPicture picture{};
  for (int i = 0; i < 4; ++i) {
    picture.data[i] = Working->data[i];
    picture.linesize[i] = Working->linesize[i];
  }
  J.FrameHooks.Process(&picture, Working->format, Working->width, Working->height, Pts);
}

// The decoded picture becomes a reference to the working picture, keeping its own
// properties (time stamps, interlacing, quality).
void TTranscoder::HandBackWorkingPicture(AVFrame* Picture, AVFrame* Working) {
  if (!Hooks.Result) Hooks.Result.reset(lib::av_frame_alloc());
  AVFrame* result = Hooks.Result.get();
  if (!result || lib::av_frame_ref(result, Working) < 0 ||
      lib::av_frame_copy_props(result, Picture) < 0) {
    if (result) lib::av_frame_unref(result);
    E.Log(0, "hook buf malloc error.");
    return;
  }
  lib::av_frame_unref(Picture);
  lib::av_frame_move_ref(Picture, result);
}
