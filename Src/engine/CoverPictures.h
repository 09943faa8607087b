// Cover pictures: the one picture a song (MP3, FLAC, M4A) carries as its cover. The
// libraries show it as a video stream marked as an attached picture; it is kept as a cover
// where the output's container takes one, and never encoded as video.
#pragma once

#include <string>

#include "binding/MediaPointers.h"

// How an output container keeps a cover.
enum class TCoverKeeping {
  ckNone,             // it takes none
  ckAttachedPicture,  // a picture stream marked as the cover (MP4, M4A, MP3, FLAC)
  ckAttachment,       // an attached file, which readers show as the cover (Matroska)
};

bool IsCoverPicture(const AVStream* Stream);

// "cover picture (JPEG, 700x700)".
std::string CoverPictureText(const AVStream* Stream);

// How the format keeps a cover coded as the codec says.
TCoverKeeping CoverKeepingOf(const AVOutputFormat* Format, AVCodecID Picture);
