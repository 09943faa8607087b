#include "engine/OutputCheck.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"
#include "engine/InputConfinement.h"

namespace {

// Formats whose streams only show up with the packets (MPEG-TS) are read this far.
constexpr int kPacketsForStreams = 512;
// Container clocks round (Matroska counts in milliseconds).
constexpr std::int64_t kRounding = AV_TIME_BASE / 500;

const char* TypeName(AVMediaType type) {
  const char* name = lib::av_get_media_type_string(type);
  return name ? name : "unknown";
}

std::string TypesText(const std::vector<AVMediaType>& types) {
  std::string text;
  for (const AVMediaType type : types)
    text += (text.empty() ? "" : ", ") + std::string(TypeName(type));
  return text.empty() ? "none" : text;
}

}  // namespace

AVMediaType CheckedKindOf(const AVStream* Stream) {
  const AVMediaType type = Stream->codecpar->codec_type;
  // A cover goes in as a picture stream or an attachment and comes back as either.
  if (type == AVMEDIA_TYPE_VIDEO && (Stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
    return AVMEDIA_TYPE_ATTACHMENT;
  return type;
}

namespace {

// The kinds of streams to compare, in one order: containers add data streams of their own
// (chapter tracks) and put attachments where they like.
std::vector<AVMediaType> Compared(std::vector<AVMediaType> types) {
  types.erase(std::remove(types.begin(), types.end(), AVMEDIA_TYPE_DATA), types.end());
  std::sort(types.begin(), types.end());
  return types;
}

// What the file says it lasts, from its header or index: AV_NOPTS_VALUE when it says nothing.
std::int64_t StatedDuration(const AVFormatContext* file) {
  if (file->duration != AV_NOPTS_VALUE && file->duration > 0) return file->duration;
  std::int64_t longest = AV_NOPTS_VALUE;
  for (unsigned i = 0; i < file->nb_streams; ++i) {
    const AVStream* stream = file->streams[i];
    if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0) continue;
    const std::int64_t duration =
        lib::av_rescale_q(stream->duration, stream->time_base, AVRational{1, AV_TIME_BASE});
    longest = longest == AV_NOPTS_VALUE ? duration : std::max(longest, duration);
  }
  return longest;
}

std::string Seconds(std::int64_t time) {
  return StringFormat("%.2f s", static_cast<double>(time) / AV_TIME_BASE);
}

}  // namespace

void TWrittenOutput::Note(std::int64_t Pts, std::int64_t Duration, AVRational TimeBase) {
  if (Pts == AV_NOPTS_VALUE) return;
  const AVRational base{1, AV_TIME_BASE};
  const std::int64_t start = lib::av_rescale_q(Pts, TimeBase, base);
  const std::int64_t length = Duration > 0 ? lib::av_rescale_q(Duration, TimeBase, base) : 0;
  Start = Start == AV_NOPTS_VALUE ? start : std::min(Start, start);
  End = End == AV_NOPTS_VALUE ? start + length : std::max(End, start + length);
  LongestPacket = std::max(LongestPacket, length);
}

std::string CheckWrittenOutput(const std::string& Path, const std::string& Shown,
                               const TWrittenOutput& Written) {
  if (Written.Bytes >= 0) {
    struct stat info {};
    if (::stat(Path.c_str(), &info) != 0)
      return "'" + Shown + "' could not be checked: " + SystemReason(errno);
    if (info.st_size != Written.Bytes)
      return "'" + Shown + "' holds " + std::to_string(info.st_size) + " bytes of the " +
             std::to_string(Written.Bytes) + " written";
  }
  AVFormatContext* context = lib::avformat_alloc_context();
  if (!context) return "'" + Shown + "' could not be checked: " + ErrorReason(AVERROR(ENOMEM));
  if (std::string failure = OpenConfinedInput(context, Path, nullptr, nullptr, false);
      !failure.empty())
    return "'" + Shown + "' does not open as media: " + failure;
  TInputFormatContextPtr file(context);
  if ((file->ctx_flags & AVFMTCTX_NOHEADER) && file->nb_streams < Written.Types.size()) {
    TPacketPtr packet(lib::av_packet_alloc());
    for (int i = 0; packet && i < kPacketsForStreams && file->nb_streams < Written.Types.size();
         ++i) {
      if (lib::av_read_frame(file.get(), packet.get()) < 0) break;
      lib::av_packet_unref(packet.get());
    }
  }
  std::vector<AVMediaType> found;
  for (unsigned i = 0; i < file->nb_streams; ++i) found.push_back(CheckedKindOf(file->streams[i]));
  if (Compared(found) != Compared(Written.Types))
    return "'" + Shown + "' holds the streams " + TypesText(found) + " instead of " +
           TypesText(Written.Types) + " written";
  if (Written.End == AV_NOPTS_VALUE) return {};
  const std::int64_t stated = StatedDuration(file.get());
  if (stated == AV_NOPTS_VALUE) return {};
  const std::int64_t written = Written.End - Written.Start;
  // Within one frame or audio packet: where a container ends a stream is its own choice.
  // Only a file that lasts less than was written has lost something; some headers state
  // more (a sound's length reckoned from its byte rate), which loses nothing.
  const std::int64_t tolerance = Written.LongestPacket + kRounding;
  if (stated + tolerance < written)
    return "'" + Shown + "' lasts " + Seconds(stated) + " of the " + Seconds(written) + " written";
  return {};
}
