// TAVProbe: what a media file holds (streams by kind, duration, bit rate, metadata),
// read without converting it. Used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

struct TAVFileInfo {
  std::int64_t StartTime = -1;  // microseconds, or the library's no-value marker
  std::int64_t Duration = -1;   // microseconds, or the library's no-value marker
  std::int32_t BitRate = -1;    // bits/s
  std::int64_t Timestamp = -1;  // the container's creation time, seconds since 1970; 0: none
  char Title[512] = {};
  char Author[512] = {};
  char Copyright[512] = {};
  char Comment[512] = {};
  char Album[512] = {};
  std::int32_t Year = -1;
  std::int32_t Track = -1;
  char Genre[32] = {};
};

class TAVProbe {
 public:
  TAVProbe() = default;
  ~TAVProbe() { Close(); }
  TAVProbe(const TAVProbe&) = delete;
  TAVProbe& operator=(const TAVProbe&) = delete;

  // Opens a file (FormatName forces the input format when not empty) as a conversion
  // opens it: a file that refers to other files is refused unless AllowPlaylists, and then
  // reads only those inside its folder. False with LastError() set, the probe then empty.
  // Throws when the libraries are not bound.
  bool Open(const std::string& FileName, const std::string& FormatName,
            bool AllowPlaylists = false);
  // Looks at a file opened elsewhere; the caller keeps it and must Close (or Attach again)
  // before it closes that file. Throws when the libraries are not bound.
  void Attach(AVFormatContext* AContext);
  // Forgets the file (closing it when the probe opened it).
  void Close();
  // The container-level values; on an empty probe the "no file" values, with a
  // "file not loaded." line through the libraries' log.
  void GetInfo(TAVFileInfo& Info) const;
  // Recounts the streams of the current file.
  void UpdateInfo();

  // Throws std::runtime_error "LibAVCodec not loaded." (and so on) for the first of avcodec,
  // avformat, avutil and swscale that is not bound.
  static void CheckLibrariesLoaded();

  AVFormatContext* Context() const { return FContext; }
  bool OwnsContext() const { return static_cast<bool>(FOwned); }
  const std::string& LastError() const { return FLastError; }
  const std::string& FormatName() const { return FFormatName; }
  int StreamCount() const { return FStreamCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStream() const { return FFirstAudioStream; }
  int FirstVideoStream() const { return FFirstVideoStream; }
  int FirstSubtitleStream() const { return FFirstSubtitleStream; }

  // Degrees clockwise (0, 90, 180, 270) that a video stream's pictures are turned to stand
  // upright; 0 for other streams and for an index without a stream.
  int StreamRotation(int Index) const;
  // Bits per sample of a video stream's pictures; 0 when unknown, for other streams and for
  // an index without a stream.
  int StreamBitDepth(int Index) const;
  // "cover picture (JPEG, 700x700)" for a stream that is a song's cover picture; empty for
  // other streams and for an index without a stream.
  std::string CoverPictureText(int Index) const;
  // "mp3 (MP2/3 (MPEG audio layer 2/3))": the container's short and long name. Only while
  // a file is open.
  std::string ContainerText() const;
  // "video, h264, 1280x720, 25 fps, 10-bit, 2400 kbit/s", "audio, aac, 48000 Hz,
  // 2 channels", or the cover's text; Index must be a stream of the open file.
  std::string StreamText(int Index) const;
  // "128 kbit/s".
  static std::string BitRateText(std::int64_t BitsPerSecond);
  // The audio stream a conversion takes among several: the one marked default, else the
  // one with most channels (the first of equals); -1 without audio.
  int PreferredAudioStream() const;

 private:
  // Closes an input the probe opened; defined beside the libraries' headers.
  struct TOwnedInputCloser {
    void operator()(AVFormatContext* Context) const;
  };

  AVFormatContext* FContext = nullptr;
  std::unique_ptr<AVFormatContext, TOwnedInputCloser> FOwned;
  std::string FLastError;
  std::string FFormatName;
  int FStreamCount = -1;
  int FAudioStreamCount = -1;
  int FVideoStreamCount = -1;
  int FSubtitleStreamCount = -1;
  int FFirstAudioStream = -1;
  int FFirstVideoStream = -1;
  int FFirstSubtitleStream = -1;
};
