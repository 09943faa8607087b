// The working tables of one transcode: one record per input file, per input stream and per
// output stream. They live from the start of the set-up to the end of the job.
#pragma once

#include <cstdint>
#include <memory>

#include "binding/MediaPointers.h"
#include "engine/AudioChannels.h"
#include "engine/EngineTypes.h"
#include "engine/FFmpeg.h"
#include "engine/PictureRotation.h"

struct TInputFile {
  bool EofReached = false;
  int FirstStreamIndex = 0;
  int StreamCount = 0;
};

struct TInputStream {
  int FileIndex = 0;
  int StreamIndex = 0;
  AVStream* Stream = nullptr;
  AVCodecContext* Decoder = nullptr;  // owned by the engine's input tables
  bool Discard = true;                // no output stream takes it (yet)
  bool DecodingNeeded = false;
  bool DecoderOpen = false;
  bool RateEmulation = false;
  std::int64_t Start = 0;  // wall-clock microseconds when reading began (rate emulation)
  std::uint64_t Frame = 0;
  std::int64_t NextPts = kNoTimestamp;  // microseconds
  std::int64_t Pts = 0;                 // microseconds
  bool IsStart = true;
  float Quality = 0;  // of the last decoded picture, for "same quality"
  // Degrees clockwise that decoded pictures are turned to stand upright, and the turner.
  int Rotation = 0;
  std::unique_ptr<TPictureTurner> Turner;

  // The size of the pictures that leave the pre-processing.
  int UprightWidth() const { return TurnsOnSide(Rotation) ? Decoder->height : Decoder->width; }
  int UprightHeight() const { return TurnsOnSide(Rotation) ? Decoder->width : Decoder->height; }
  std::int64_t PacketsDecoded = 0;  // handed to the decoder
  std::int64_t PicturesDecoded = 0;
};

struct TOutputStream {
  int FileIndex = 0;
  int StreamIndex = 0;
  int SourceIndex = 0;
  AVFormatContext* File = nullptr;
  AVStream* Stream = nullptr;
  TOutputStreamSetup* Setup = nullptr;  // codec context, copy flag, quality, bitstream filters
  AVCodecContext* Encoder() const { return Setup->Codec.get(); }
  bool EncodingNeeded = false;
  int FrameNumber = 0;
  TInputStream* SyncInput = nullptr;
  std::int64_t SyncOpts = 0;  // video: frames; audio: samples; in the encoder's time base
  // Video with copied time stamps: the frames of the jumps in the input's time stamps that
  // the output steps over instead of filling them with copies or dropping what follows.
  double SkippedJumps = 0;
  double OutputTime = 0;  // seconds written so far, from the last packet's time stamp
  // Seconds: the furthest end of a packet written, which reordered pictures (B-frames)
  // never move back.
  double WrittenEnd = 0;

  // Video: crop and pad bands, and the scaler with its source geometry.
  bool VideoCrop = false;
  bool VideoPad = false;
  bool VideoResample = false;
  int CropTop = 0, CropLeft = 0;
  int PadTop = 0, PadBottom = 0, PadLeft = 0, PadRight = 0;
  int SourceWidth = 0, SourceHeight = 0, SourceFormat = -1;  // what the scaler was made for
  int OriginalHeight = 0;
  TFramePtr TempPicture;
  TSwsContextPtr Scaler;

  // Audio: converter (channels, rate, sample format, drift compensation) and FIFO.
  bool AudioResample = false;
  bool AudioClockStarted = false;  // sync opts follow the samples from the first block on
  TSwrContextPtr Resampler;
  TResamplerInput ResamplerInput;  // the samples Resampler was made for
  TAudioFifoPtr Fifo;

  // What the encoder said of its last packet.
  float LastQuality = 0;
  char LastPictureType = '?';
  std::int64_t LastErrors[3] = {0, 0, 0};
  std::int64_t TotalErrors[3] = {0, 0, 0};
  int LastPacketSize = 0;
  std::int64_t PacketsWritten = 0;

  TCFilePtr LogFile;  // two-pass statistics being written (pass 1)

  // Reused for every block of samples, so the steady path allocates nothing.
  TFramePtr EncodeFrame;
  TFramePtr ConvertFrame;

  // Video filter graph: pictures enter at the source ("src") and leave at the sink ("out");
  // the source takes pictures of the size and format it was made for, others are scaled
  // to it first.
  TFilterGraphPtr FilterGraph;
  AVFilterContext* FilterSource = nullptr;
  AVFilterContext* FilterSink = nullptr;
  int FilterWidth = 0, FilterHeight = 0, FilterFormat = -1;
  TSwsContextPtr FilterInputScaler;
};

// The picture pre-processing of one job: the hook decision carried from picture to picture
// and the buffers and converters reused for every picture.
struct TPictureHookState {
  int PictureCount = 0;
  THookAction Action = haContinue;
  TFramePtr HookPicture;  // the deinterlaced or copied picture the hooks work on
  TFramePtr Result;       // a new reference to it, handed back in the decoded picture
  TFramePtr RgbPicture;   // the picture in the bitmap's pixel format
  std::unique_ptr<TBitmap> Bitmap;
  TSwsContextPtr ToRgb;  // both renewed through sws_getCachedContext
  TSwsContextPtr FromRgb;
};
