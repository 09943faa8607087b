#include "engine/CoverPictures.h"

#include <cctype>
#include <cstring>

namespace {

bool Named(const AVOutputFormat* Format, const char* Name) {
  return std::strcmp(Format->name, Name) == 0;
}

}  // namespace

bool IsCoverPicture(const AVStream* Stream) {
  return Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
         (Stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

std::string CoverPictureText(const AVStream* Stream) {
  const AVCodecParameters& picture = *Stream->codecpar;
  std::string kind;
  switch (picture.codec_id) {
    case AV_CODEC_ID_MJPEG:
      kind = "JPEG";
      break;
    case AV_CODEC_ID_WEBP:
      kind = "WebP";
      break;
    default:
      for (const char* c = lib::avcodec_get_name(picture.codec_id); *c; ++c)
        kind += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  std::string text = "cover picture (" + kind;
  if (picture.width > 0 && picture.height > 0)
    text += ", " + std::to_string(picture.width) + "x" + std::to_string(picture.height);
  return text + ")";
}

TCoverKeeping CoverKeepingOf(const AVOutputFormat* Format, AVCodecID Picture) {
  const bool jpegOrPng = Picture == AV_CODEC_ID_MJPEG || Picture == AV_CODEC_ID_PNG;
  // The MP4 family writes JPEG, PNG and BMP covers into its iTunes tags; its QuickTime (MOV)
  // and 3GP forms write none.
  if (Named(Format, "mp4") || Named(Format, "ipod"))
    return jpegOrPng || Picture == AV_CODEC_ID_BMP ? TCoverKeeping::ckAttachedPicture
                                                   : TCoverKeeping::ckNone;
  // ID3v2 and FLAC picture blocks name their picture's type.
  if (Named(Format, "mp3") || Named(Format, "flac"))
    return jpegOrPng || Picture == AV_CODEC_ID_GIF || Picture == AV_CODEC_ID_BMP
               ? TCoverKeeping::ckAttachedPicture
               : TCoverKeeping::ckNone;
  // Matroska's writer makes a picture stream a one-picture video; as an attached file its
  // readers show it as the cover. WebM takes no attached files.
  if (Named(Format, "matroska"))
    return jpegOrPng ? TCoverKeeping::ckAttachment : TCoverKeeping::ckNone;
  return TCoverKeeping::ckNone;
}
