// The video output path: frame-rate sync (drop or duplicate), crop, scale and pad into the
// output picture, then encode.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "binding/MyUtils.h"
#include "engine/Transcoder.h"

namespace {

// Moves a picture's plane pointers down and right; no pixel is copied.
bool CropView(AVFrame* view, int top, int left) {
  const AVPixFmtDescriptor* descriptor =
      lib::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(view->format));
  if (!descriptor || (descriptor->flags & AV_PIX_FMT_FLAG_HWACCEL)) return false;
  const bool planar = descriptor->flags & AV_PIX_FMT_FLAG_PLANAR;
  const bool chroma = !(descriptor->flags & AV_PIX_FMT_FLAG_RGB) && descriptor->nb_components >= 3;
  for (int plane = 0; plane < 4 && view->data[plane]; ++plane) {
    const bool subsampled = chroma && (plane == 1 || plane == 2);
    const int shiftW = subsampled ? descriptor->log2_chroma_w : 0;
    const int shiftH = subsampled ? descriptor->log2_chroma_h : 0;
    int step = planar ? (descriptor->comp[0].depth + 7) / 8 : descriptor->comp[0].step;
    if (!planar && (descriptor->log2_chroma_w || descriptor->flags & AV_PIX_FMT_FLAG_PAL))
      return false;
    view->data[plane] += static_cast<std::ptrdiff_t>(top >> shiftH) * view->linesize[plane] +
                         static_cast<std::ptrdiff_t>(left >> shiftW) * step;
  }
  return true;
}

// Fills the bands around the inner picture with the pad colour (8-bit planar YUV),
// copying source inside them when given.
void PadPicture(AVFrame* target, const AVFrame* source, int top, int bottom, int left, int right,
                const int colour[3]) {
  const AVPixFmtDescriptor* descriptor =
      lib::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(target->format));
  if (!descriptor || !(descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) ||
      (descriptor->flags & AV_PIX_FMT_FLAG_RGB) || descriptor->comp[0].depth > 8)
    return;
  for (int plane = 0; plane < 3 && target->data[plane]; ++plane) {
    const int shiftW = plane ? descriptor->log2_chroma_w : 0;
    const int shiftH = plane ? descriptor->log2_chroma_h : 0;
    const int width = -((-target->width) >> shiftW);
    const int height = -((-target->height) >> shiftH);
    const int bandTop = top >> shiftH, bandBottom = bottom >> shiftH;
    const int bandLeft = left >> shiftW, bandRight = right >> shiftW;
    const auto value = static_cast<std::uint8_t>(colour[plane]);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row =
          target->data[plane] + static_cast<std::ptrdiff_t>(y) * target->linesize[plane];
      if (y < bandTop || y >= height - bandBottom) {
        std::memset(row, value, width);
        continue;
      }
      std::memset(row, value, bandLeft);
      std::memset(row + width - bandRight, value, bandRight);
      if (source)
        std::memcpy(row + bandLeft,
                    source->data[plane] +
                        static_cast<std::ptrdiff_t>(y - bandTop) * source->linesize[plane],
                    std::max(0, width - bandLeft - bandRight));
    }
  }
}

}  // namespace

// Pictures whose size or format differ from what the set-up saw go through a scaler too.
void TTranscoder::EnsureScaler(TOutputStream& Output, const AVFrame* Picture) {
  if (Picture->width == Output.SourceWidth && Picture->height == Output.SourceHeight &&
      Picture->format == Output.SourceFormat && (Output.Scaler || !Output.VideoResample))
    return;
  AVCodecContext* encoder = Output.Encoder();
  const int width = Picture->width - S.CropLeft - S.CropRight;
  const int height = Picture->height - S.CropTop - S.CropBottom;
  if (width <= 0 || height <= 0) throw FFMpegException("error cropping picture");
  Output.SourceWidth = Picture->width;
  Output.SourceHeight = Picture->height;
  Output.SourceFormat = Picture->format;
  Output.VideoResample = true;
  if (!Output.TempPicture) {
    Output.TempPicture.reset(lib::av_frame_alloc());
    if (!Output.TempPicture) throw FFMpegException("Cannot allocate temp picture, check pix fmt");
    Output.TempPicture->format = encoder->pix_fmt;
    Output.TempPicture->width = encoder->width;
    Output.TempPicture->height = encoder->height;
    if (lib::av_frame_get_buffer(Output.TempPicture.get(), 0) < 0)
      throw FFMpegException("Cannot allocate temp picture, check pix fmt");
  }
  Output.Scaler.reset(lib::sws_getContext(
      width, height, static_cast<AVPixelFormat>(Picture->format),
      encoder->width - S.PadLeft - S.PadRight, encoder->height - S.PadTop - S.PadBottom,
      encoder->pix_fmt, S.ScalerFlags, nullptr, nullptr, nullptr));
  if (!Output.Scaler) throw FFMpegException("Cannot get resampling context");
  Output.OriginalHeight = height;
}

AVFrame* TTranscoder::PrepareVideoPicture(TOutputStream& Output, AVFrame* Picture) {
  if (!S.UseFilterGraph) EnsureScaler(Output, Picture);
  AVFrame* working = Picture;
  if (!S.UseFilterGraph && Output.VideoCrop) {
    lib::av_frame_unref(WorkFrame.get());
    if (const int result = lib::av_frame_ref(WorkFrame.get(), Picture); result < 0)
      throw FFMpegException("Video encoding failed: " + ErrorReason(result));
    working = WorkFrame.get();
    if (!CropView(working, Output.CropTop, Output.CropLeft)) {
      if (S.ExitOnError) throw FFMpegException("error cropping picture");
      E.Log(0, "error cropping picture");
      return nullptr;
    }
    working->width -= S.CropLeft + S.CropRight;
    working->height -= S.CropTop + S.CropBottom;
  }
  const bool scale = !S.UseFilterGraph && Output.VideoResample;
  if (!Output.VideoPad && !scale) return working;

  // The encoder may still hold the last picture: write into a buffer of our own.
  AVFrame* final = Output.TempPicture.get();
  if (const int result = lib::av_frame_make_writable(final); result < 0)
    throw FFMpegException("Video encoding failed: " + ErrorReason(result));
  if (scale) {
    std::uint8_t* target[4] = {};
    AVFrame padView = *final;
    if (Output.VideoPad && !CropView(&padView, Output.PadTop, Output.PadLeft)) {
      if (S.ExitOnError) throw FFMpegException("error padding picture");
      E.Log(0, "error padding picture");
      return nullptr;
    }
    std::copy(padView.data, padView.data + 4, target);
    if (const int result = lib::sws_scale(Output.Scaler.get(), working->data, working->linesize, 0,
                                          std::min(Output.OriginalHeight, working->height), target,
                                          final->linesize);
        result < 0)
      throw FFMpegException("Video scaling failed: " + ErrorReason(result));
  }
  if (Output.VideoPad) {
    const int colour[3] = {S.PadColorY, S.PadColorU, S.PadColorV};
    PadPicture(final, scale ? nullptr : working, Output.PadTop, Output.PadBottom, Output.PadLeft,
               Output.PadRight, colour);
  }
  if (working == WorkFrame.get()) lib::av_frame_unref(WorkFrame.get());
  return final;
}

// Copied time stamps keep the input's jumps (two recordings joined): filled with copies of
// one picture, a jump of hours became millions of pictures; backwards, everything after it
// was dropped. A jump of more than a second after the first picture is stepped over and
// logged; where the first picture starts stays as it was.
void TTranscoder::StepOverTimestampJump(TOutputStream& Output, const TInputStream& Input,
                                        double TimeBase) {
  const double delta = (SyncInputTime(Input) / TimeBase - Output.SkippedJumps) -
                       static_cast<double>(Output.SyncOpts);
  if (std::fabs(delta) * TimeBase <= 1.0) return;
  Output.SkippedJumps += delta;
  if (E.Logging())
    E.Log(0,
          StringFormat("Time stamp jump of %.3f s in input stream #%d.%d: stepped over, not filled",
                       delta * TimeBase, Input.FileIndex, Input.StreamIndex));
}

void TTranscoder::DoVideoOut(TOutputStream& Output, TInputStream& Input, AVFrame* Picture) {
  AVCodecContext* encoder = Output.Encoder();
  Output.LastPacketSize = 0;
  std::int64_t frames = 1;
  const double timeBase = RationalToDouble(encoder->time_base);
  if (S.CopyTimestamps && timeBase > 0 && Output.FrameNumber > 0)
    StepOverTimestampJump(Output, Input, timeBase);
  const double syncInput = SyncInputTime(Input) - Output.SkippedJumps * timeBase;
  if (S.VideoSyncMethod > 0 || (S.VideoSyncMethod != 0 && timeBase > 0.001)) {
    const double delta = syncInput / timeBase - static_cast<double>(Output.SyncOpts);
    const std::int64_t due = std::llround(syncInput / timeBase);
    // Method 2 never duplicates; a picture due at a time already written is dropped, as an
    // output rate below the input's makes some.
    if (delta < -1.1 || (S.VideoSyncMethod == 2 && due < Output.SyncOpts))
      frames = 0;
    else if (S.VideoSyncMethod == 2)
      Output.SyncOpts = due;
    else if (delta > 1.1)
      frames = std::llround(delta);
    if (frames == 0) {
      ++J.FramesDropped;
      if (S.Verbosity > 2 && E.Logging()) E.Log(1, "*** drop!");
    } else if (frames > 1) {
      J.FramesDuplicated += static_cast<int>(frames - 1);
      if (S.Verbosity > 2 && E.Logging())
        E.Log(1, StringFormat("*** %d dup!", static_cast<int>(frames - 1)));
    }
  } else {
    Output.SyncOpts = std::llround(syncInput / timeBase);
  }
  frames = std::min<std::int64_t>(frames, S.MaxFrames[0] - Output.FrameNumber);
  if (frames <= 0) return;

  AVFrame* final = PrepareVideoPicture(Output, Picture);
  if (!final) return;
  // The picture itself is stamped and sent: the encoder takes a reference of its own, and
  // every output sets each of these fields before it sends, so no per-picture copy of the
  // buffer references is needed.
  const int interlaced = Picture->interlaced_frame;
  const int topFieldFirst = S.TopFieldFirst != -1 ? S.TopFieldFirst : Picture->top_field_first;
  const AVCodecContext* options = J.CodecOptionContexts[0].get();
  for (std::int64_t i = 0; i < frames && !E.StopRequested(); ++i) {
    final->interlaced_frame = interlaced;
    if (options && (options->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)))
      final->top_field_first = topFieldFirst;
    final->quality =
        static_cast<int>(std::lround(S.SameQuality ? Input.Quality : Output.Setup->Quality));
    final->pict_type = AV_PICTURE_TYPE_NONE;
    final->pts = Output.SyncOpts;
    final->sample_aspect_ratio = encoder->sample_aspect_ratio;
    EncodeAndWrite(Output, final);
    ++Output.SyncOpts;
    ++Output.FrameNumber;
  }
}
