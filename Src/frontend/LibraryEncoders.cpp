#include "frontend/LibraryEncoders.h"

#include "binding/AVCodecHlpr.h"
#include "binding/AVFormatHlpr.h"

namespace {

bool Usable(const AVCodec* codec, TEncoderKind kind) {
  const AVMediaType type = kind == TEncoderKind::ekVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
  return codec != nullptr && codec->type == type &&
         (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) == 0;
}

}  // namespace

TEncoderQuery LibraryEncoderQuery() {
  TEncoderQuery query;
  query.HasEncoder = [](const std::string& encoder, TEncoderKind kind) {
    return Usable(lib::avcodec_find_encoder_by_name(encoder.c_str()), kind);
  };
  query.HasDefaultEncoder = [](const std::string& extension, TEncoderKind kind) {
    const std::string fileName = "output." + extension;
    const AVOutputFormat* format = lib::av_guess_format(nullptr, fileName.c_str(), nullptr);
    if (format == nullptr) return false;
    const AVCodecID codec =
        kind == TEncoderKind::ekVideo ? format->video_codec : format->audio_codec;
    return codec != AV_CODEC_ID_NONE && Usable(lib::avcodec_find_encoder(codec), kind);
  };
  return query;
}
