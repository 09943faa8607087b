#include "engine/InputConfinement.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "binding/LibraryErrorLine.h"
#include "binding/LocalFiles.h"
#include "binding/MediaPointers.h"
#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"

namespace {

constexpr const char* kFileScheme = "file:";

// What a demuxer opens besides the file it was given.
enum class TReach {
  Itself,
  // Further files, and every one of them through the context's io_open.
  Confinable,
  // Further files or addresses through ways of its own (a nested reader of its own, the
  // network), which io_open never sees.
  Unconfinable,
};

TReach ReachOf(const AVInputFormat& format) {
  static constexpr std::string_view kConfinable[] = {"hls", "dash", "webm_dash_manifest"};
  static constexpr std::string_view kUnconfinable[] = {
      "concat", "imf", "vobsub", "sdp", "rtp", "rtsp", "lavfi", "avisynth", "vapoursynth"};
  const std::string_view name = format.name;
  if (std::find(std::begin(kUnconfinable), std::end(kUnconfinable), name) !=
      std::end(kUnconfinable))
    return TReach::Unconfinable;
  if (std::find(std::begin(kConfinable), std::end(kConfinable), name) != std::end(kConfinable))
    return TReach::Confinable;
  return TReach::Itself;
}

// A demuxer that gets no byte stream opens what the name says itself: an image pattern
// such as %03d.png stands for many files.
TReach ReachWithoutByteStream(const AVInputFormat& format) {
  const TReach reach = ReachOf(format);
  if (reach == TReach::Itself && std::string_view(format.name) == "image2")
    return TReach::Confinable;
  return reach;
}

std::string FormatNameText(const AVInputFormat& format) {
  std::string text = format.name;
  if (format.long_name) text += std::string(": ") + format.long_name;
  return text;
}

std::string PlaylistRefusal(const std::string& fileName, const AVInputFormat& format,
                            bool allowPlaylists) {
  if (!allowPlaylists)
    return fileName + ": is a playlist that refers to other files; not converted (" +
           FormatNameText(format) + ")";
  return fileName +
         ": is a playlist whose references cannot be kept inside its folder; not converted (" +
         FormatNameText(format) + ")";
}

bool IsLocalName(const std::string& name) {
  return !IsUrl(name) || name.rfind(kFileScheme, 0) == 0;
}

std::string WithoutFileScheme(const std::string& url) {
  return url.rfind(kFileScheme, 0) == 0 ? url.substr(std::char_traits<char>::length(kFileScheme))
                                        : url;
}

const char* ContextUrl(const AVFormatContext* context) {
  return context->url ? context->url : "";
}

int RefuseFurtherFile(AVFormatContext* context, AVIOContext**, const char* url, int,
                      AVDictionary**) {
  lib::av_log(context, AV_LOG_ERROR, "%s: refers to '%s', which an input may not read\n",
              ContextUrl(context), url);
  ++RefusedOpensOnThisThread();
  return AVERROR(EPERM);
}

int OpenInsidePlaylistFolder(AVFormatContext* context, AVIOContext** byteStream, const char* url,
                             int flags, AVDictionary** options) {
  const std::string path = PathInsidePlaylistFolder(ContextUrl(context), url);
  if (path.empty() || (flags & AVIO_FLAG_WRITE)) {
    lib::av_log(context, AV_LOG_ERROR,
                "%s: refers to '%s', which is not a file inside the playlist's folder\n",
                ContextUrl(context), url);
    ++RefusedOpensOnThisThread();
    return AVERROR(EPERM);
  }
  TDictionary ownOptions;
  AVDictionary** usedOptions = options ? options : ownOptions.Address();
  lib::av_dict_set(usedOptions, "protocol_whitelist", "file", 0);
  // The resolved name: a link put in place after the check leads nowhere new.
  const int result = lib::avio_open2(byteStream, (kFileScheme + path).c_str(), flags,
                                     &context->interrupt_callback, usedOptions);
  return result;
}

struct TByteStreamCloser {
  void operator()(AVIOContext* byteStream) const { lib::avio_closep(&byteStream); }
};
using TByteStreamPtr = std::unique_ptr<AVIOContext, TByteStreamCloser>;

std::string Refuse(AVFormatContext*& context, std::string message) {
  lib::avformat_free_context(context);
  context = nullptr;
  return message;
}

std::string OpenWithLibrary(AVFormatContext*& context, const std::string& fileName,
                            const std::string& url, const AVInputFormat* format,
                            AVDictionary** options, bool allowPlaylists) {
  const unsigned refusedBefore = RefusedOpensOnThisThread();
  const TLibraryErrorScope libraryError;
  const int result = lib::avformat_open_input(&context, url.c_str(), format, options);
  if (result >= 0) return {};
  // The reader's own words ("Error while parsing header") would hide what stood in the way.
  if (RefusedOpensOnThisThread() != refusedBefore)
    return fileName +
           (allowPlaylists ? ": refers to files outside its folder, which are not read"
                           : ": is a playlist that refers to other files") +
           "; not converted (" + ErrorReason(result) + ")";
  return OpenErrorText(fileName, result, libraryError.Line());
}

}  // namespace

std::string PathInsidePlaylistFolder(const std::string& PlaylistUrl, const std::string& Url) {
  namespace fs = std::filesystem;
  // Every name a demuxer builds from a local playlist starts with the scheme; anything
  // else (another protocol, a nested one such as crypto+file:) is not a local file.
  if (Url.rfind(kFileScheme, 0) != 0) return {};
  std::error_code failure;
  fs::path folder = fs::path(WithoutFileScheme(PlaylistUrl)).parent_path();
  if (folder.empty()) folder = ".";
  const fs::path realFolder = fs::canonical(folder, failure);
  if (failure) return {};
  const fs::path target = fs::canonical(WithoutFileScheme(Url), failure);
  if (failure || !fs::is_regular_file(target, failure)) return {};
  auto [folderEnd, targetAt] =
      std::mismatch(realFolder.begin(), realFolder.end(), target.begin(), target.end());
  if (folderEnd != realFolder.end() || targetAt == target.end()) return {};
  return target.string();
}

std::string OpenConfinedInput(AVFormatContext*& Context, const std::string& FileName,
                              const AVInputFormat* Format, AVDictionary** Options,
                              bool AllowPlaylists) {
  const std::string url = LibraryUrlOf(FileName);
  // An address on the network is read as the libraries read it.
  if (!IsLocalName(FileName))
    return OpenWithLibrary(Context, FileName, url, Format, Options, AllowPlaylists);

  // Without options of the caller's the whitelist travels in a dictionary of our own.
  TDictionary ownOptions;
  if (!Options) Options = ownOptions.Address();
  lib::av_dict_set(Options, "protocol_whitelist", "file", 0);
  Context->io_open = AllowPlaylists ? OpenInsidePlaylistFolder : RefuseFurtherFile;

  // Demuxers that open what the name says (an image pattern, a forced device) get no byte
  // stream, as the libraries would give them none.
  const AVInputFormat* byName = nullptr;
  if (Format && (Format->flags & AVFMT_NOFILE)) {
    byName = Format;
  } else if (!Format) {
    const AVProbeData nameOnly{url.c_str(), nullptr, 0, nullptr};
    int score = AVPROBE_SCORE_RETRY;
    byName = lib::av_probe_input_format2(&nameOnly, 0, &score);
  }
  if (byName) {
    const TReach reach = ReachWithoutByteStream(*byName);
    if (reach == TReach::Unconfinable || (reach == TReach::Confinable && !AllowPlaylists))
      return Refuse(Context, PlaylistRefusal(FileName, *byName, AllowPlaylists));
    return OpenWithLibrary(Context, FileName, url, byName, Options, AllowPlaylists);
  }

  // Otherwise the file is opened here and its format chosen before any demuxer reads it;
  // the demuxer then reads that byte stream and cannot choose otherwise.
  AVIOContext* opened = nullptr;
  TDictionary streamOptions;
  lib::av_dict_set(streamOptions.Address(), "protocol_whitelist", "file", 0);
  int result = lib::avio_open2(&opened, url.c_str(), AVIO_FLAG_READ | Context->avio_flags,
                               &Context->interrupt_callback, streamOptions.Address());
  if (result < 0) return Refuse(Context, OpenErrorText(FileName, result));
  TByteStreamPtr byteStream(opened);
  const AVInputFormat* format = Format;
  if (!format) {
    result = lib::av_probe_input_buffer2(byteStream.get(), &format, url.c_str(), Context,
                                         static_cast<unsigned>(Context->skip_initial_bytes),
                                         static_cast<unsigned>(Context->format_probesize));
    if (result < 0) return Refuse(Context, OpenErrorText(FileName, result));
  }
  const TReach reach = ReachOf(*format);
  if (reach == TReach::Unconfinable || (reach == TReach::Confinable && !AllowPlaylists))
    return Refuse(Context, PlaylistRefusal(FileName, *format, AllowPlaylists));
  Context->pb = byteStream.get();
  // On failure the library frees the context but leaves a byte stream it was given.
  if (std::string failure =
          OpenWithLibrary(Context, FileName, url, format, Options, AllowPlaylists);
      !failure.empty())
    return failure;
  // From here the context closes the byte stream with itself, as one it opened.
  byteStream.release();
  Context->flags &= ~AVFMT_FLAG_CUSTOM_IO;
  return {};
}
