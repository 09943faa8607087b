// TJobSetup: the steps that build a job's plan from its settings. Inputs opened, probed and
// taken over with their decoders; output files created with their streams, encoders'
// contexts, muxer options and side files. It works on the engine's settings, plan and
// library option contexts, and logs and marks the contexts it makes through the engine.
#pragma once

#include <array>
#include <string>

#include "engine/EngineSettings.h"
#include "engine/job/JobPlan.h"

class TCustomFFmpeg;
struct TLibraryOptions;

// A codec looked up by name: an empty name gives AV_CODEC_ID_NONE; an unknown or wrongly
// typed one raises FFMpegException with its text.
AVCodecID CodecIdByName(const std::string& Name, AVMediaType CodecType, bool Encoder);

class TJobSetup {
 public:
  TJobSetup(TCustomFFmpeg& Engine, TEngineSettings& Settings, TJobPlan& Plan,
            TLibraryOptions& Library)
      : E(Engine), S(Settings), P(Plan), L(Library) {}

  // The engine's OpenInput and OpenOutput: false with ErrorText set when the file cannot be
  // used; the pending settings they consume are cleared either way.
  bool OpenInput(const std::string& FileName, std::string& ErrorText);
  bool OpenOutput(const std::string& FileName, std::string& ErrorText);
  // The one creator behind the engine's new_video_stream, new_audio_stream and
  // new_subtitle_stream: the stream, its setup and codec context, then the part of its type.
  void NewOutputStream(AVFormatContext* Context, AVMediaType Type);
  // The engine's AddCoverPicture.
  bool AddCoverPicture(int File, int Stream);

 private:
  TOutputStreamSetup& NewStreamSetup(AVFormatContext* Context, AVStream* Stream,
                                     int PendingFilterIndex);
  void SetUpVideoStream(AVFormatContext* Context, AVStream* Stream, TOutputStreamSetup& Setup,
                        const AVCodec* Encoder, AVCodecID Id,
                        const TEncoderOptions& EncoderOptions);
  void SetUpAudioStream(AVFormatContext* Context, AVStream* Stream, TOutputStreamSetup& Setup,
                        const AVCodec* Encoder, AVCodecID Id);
  void SetUpSubtitleStream(AVStream* Stream, TOutputStreamSetup& Setup, AVCodecID Id);
  void TakeOverInputStream(AVFormatContext* Context, unsigned StreamIndex,
                           const std::string& FileName);
  // The body of OpenOutput: raises FFMpegException with the text OpenOutput reports.
  void CreateOutputFile(const std::string& FileName);
  // Its steps: what stands against the file, the stream types it gets (the disable flags
  // are consumed), its streams, and its muxer's options and side files.
  void CheckOutputFileRequest(const std::string& FileName);
  std::array<bool, 3> OutputStreamTypes(const AVOutputFormat* Format);
  void CreateOutputStreams(AVFormatContext* Output, const std::array<bool, 3>& Types);
  void SetUpMuxer(AVFormatContext* Output, const std::string& FileName,
                  const TOutputByteStream* ByteStream, const TOutputPlacement* Placement);
  TInputFormatContextPtr OpenInputContext(const std::string& FileName);

  TCustomFFmpeg& E;
  TEngineSettings& S;
  TJobPlan& P;
  TLibraryOptions& L;
};
