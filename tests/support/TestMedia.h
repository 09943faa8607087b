// Media that tests make for themselves through the bound libraries, and a way to look
// into a file afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/MediaPointers.h"

struct AVFrame;

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

struct TClipRecipe {
  std::string formatName;  // empty: guessed from the file name
  // Video; frames == 0 means no video stream.
  int width = 160;
  int height = 120;
  AVRational frameRate{25, 1};
  int frames = 25;
  AVCodecID videoCodec = AV_CODEC_ID_MPEG4;
  AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
  AVRational sampleAspect{0, 1};
  // Audio; seconds == 0 means no audio stream.
  double audioSeconds = 1.0;
  int sampleRate = 44100;
  int channels = 2;
  AVCodecID audioCodec = AV_CODEC_ID_MP2;
  // As phones write for video filmed upright: a display matrix asking that the pictures be
  // shown turned this many degrees clockwise.
  int rotation = 0;
  // The video stream's tick when it is not the frame period (an AVI of 15 pictures a second
  // on a 1/25 tick).
  AVRational videoTimeBase{0, 1};
  // Channels of further audio tracks, written after the first one and half as long, so
  // that an output tells which track it was made from.
  std::vector<int> moreAudioTracks;
  // The audio track (0 is the first) marked default; -1: none is marked.
  int defaultAudioTrack = -1;
  // Added to every time stamp written (two recordings joined show a jump between them).
  double startSeconds = 0;
  // Short clicks instead of a tone: Vorbis encoders answer them with short blocks, one
  // 128-sample packet after the other, as in sound themes.
  bool clickTrack = false;
  // From audioShiftAt seconds on, the audio's time stamps lie audioShiftSeconds later than
  // its samples: a drift that only the time stamps show.
  double audioShiftAt = 0;
  double audioShiftSeconds = 0;
  // Every other audio packet is stamped this much later than its samples lie, as muxers
  // that stamp a payload with its send time do: the stamps disagree with the sample count.
  double audioStampJitterSeconds = 0;
  // The video's decoder set-up (its global header) is left out of the file, as a stream
  // copy that lost it does: the stream is listed but no picture of it ever decodes.
  bool undecodableVideo = false;
  // Languages of the audio tracks in order (the first, then moreAudioTracks); missing or
  // empty entries: no language tag.
  std::vector<std::string> audioLanguages;
  // One SubRip text subtitle track per language: cue n reads "<language> cue <n>" from n/2 s
  // for a quarter of a second, over the clip's length. SubRip needs a container that holds
  // it (Matroska).
  std::vector<std::string> subtitleLanguages;
  // One DVD picture subtitle track per language, after the text ones, with the same cues
  // drawn as a small block.
  std::vector<std::string> pictureSubtitleLanguages;
  // Chapters of equal length over the clip, titled "Chapter 1", "Chapter 2", ...
  int chapters = 0;
  // The file's title tag; empty: none.
  std::string title;
};

// Paints a 440 Hz tone at a level of 0.3 (or clicks of 8 samples every 512) into every
// channel of frame, from firstSample on, in any sample format; stamps the frame with it.
void PaintSound(AVFrame* frame, std::int64_t firstSample, bool clicks);

// Sample i of channel in a frame of any sample format (planar or packed), from -1 to 1.
double SampleAt(const AVFrame* frame, int channel, int i);
void SetSampleAt(AVFrame* frame, int channel, int i, double value);

// Writes a clip of moving pictures and a tone; fails the calling test on any error.
void MakeClip(const std::string& path, const TClipRecipe& recipe);

struct TStreamInfo {
  int type = -1;  // AVMediaType
  AVCodecID codec = AV_CODEC_ID_NONE;
  std::uint32_t codecTag = 0;  // as the container stores it ("hvc1" little-endian)
  int width = 0;
  int height = 0;
  int sampleRate = 0;
  int channels = 0;
  AVRational sampleAspect{0, 1};
  AVRational frameRate{0, 1};
  int packets = 0;
  bool firstPacketKey = false;
  double startSeconds = 0;    // first time stamp
  bool dtsIncreasing = true;  // every packet's dts lies after the one before
  // Filled by DecodeMediaInfo only:
  int decodedFrames = 0;
  std::int64_t decodedSamples = 0;
  double lumaPsnr = 0;   // of the middle picture against the generated pattern
  int pixelFormat = -1;  // of the decoded pictures
  // Mean luma of 4x4 blocks at the first picture's corners: top left, top right, bottom
  // left, bottom right (8-bit formats).
  int cornerLuma[4] = {};
  // Degrees clockwise the stream asks its pictures be shown turned (its display matrix).
  int rotation = 0;
  bool markedDefault = false;
  std::string language;  // the stream's language tag
  // Filled by DecodeMediaInfo for subtitle streams: the text of every cue, in order, with
  // its start in seconds and how long it shows.
  std::vector<std::string> subtitleTexts;
  std::vector<double> subtitleStarts;
  std::vector<double> subtitleDurations;
  std::int64_t longestSilence = 0;  // samples in a row of the first channel within 1/1000 of 0
};

struct TChapterInfo {
  double startSeconds = 0;
  double endSeconds = 0;
  std::string title;
};

struct TMediaInfo {
  bool opened = false;
  std::string formatName;
  std::int64_t durationUs = 0;
  std::vector<TStreamInfo> streams;
  std::vector<TChapterInfo> chapters;
  std::string title;  // the file's title tag

  int CountOfType(int type) const;

  const TStreamInfo* FirstOfType(int type) const;
};

// The file opened with its streams read, or null.
TInputFormatContextPtr OpenMediaFile(const std::string& path);

// The index of the file's first stream of a type, or -1.
int FirstStreamIndex(const AVFormatContext* input, int type);

// Opens the file again and counts its packets per stream.
TMediaInfo ReadMediaInfo(const std::string& path);

// As ReadMediaInfo, and decodes every stream: pictures and samples counted, and the luma of
// the picture at patternFrame compared with the pattern MakeClip painted into that frame
// (meaningful when the size was kept).
TMediaInfo DecodeMediaInfo(const std::string& path, int patternFrame = 10);

// The payload of every packet of the first stream of a type, in file order.
std::vector<std::string> StreamPackets(const std::string& path, int type);
