// The engine's file and stream set-up: each hands its request to the job's set-up steps,
// which work on the engine's settings, plan and option contexts.
#include "engine/FFmpeg.h"
#include "engine/job/JobSetup.h"

TJobSetup TCustomFFmpeg::Setup() {
  return TJobSetup(*this, FSettings, FPlan, FLibraryOptions);
}

bool TCustomFFmpeg::OpenInput(const std::string& FileName) {
  return Setup().OpenInput(FileName, FErrorText);
}

bool TCustomFFmpeg::OpenOutput(const std::string& FileName) {
  return Setup().OpenOutput(FileName, FErrorText);
}

void TCustomFFmpeg::new_video_stream(AVFormatContext* Context) {
  Setup().NewOutputStream(Context, AVMEDIA_TYPE_VIDEO);
}

void TCustomFFmpeg::new_audio_stream(AVFormatContext* Context) {
  Setup().NewOutputStream(Context, AVMEDIA_TYPE_AUDIO);
}

void TCustomFFmpeg::new_subtitle_stream(AVFormatContext* Context) {
  Setup().NewOutputStream(Context, AVMEDIA_TYPE_SUBTITLE);
}

bool TCustomFFmpeg::AddCoverPicture(int File, int Stream) {
  return Setup().AddCoverPicture(File, Stream);
}

bool TCustomFFmpeg::FindCodec(const std::string& Name, AVMediaType CodecType, bool Encoder,
                              AVCodecID& CodecId) {
  CodecId = AV_CODEC_ID_NONE;
  try {
    CodecId = CodecIdByName(Name, CodecType, Encoder);
    return true;
  } catch (const FFMpegException& failure) {
    FErrorText = failure.what();
    return false;
  }
}
