#include "cli/CliListings.h"

#include "app/UnitGeneral.h"
#include "binding/AVCodecHlpr.h"
#include "binding/AVFormatHlpr.h"
#include "binding/AVUtilHlpr.h"
#include "binding/MyUtils.h"
#include "cli/CliSettings.h"
#include "frontend/RunTexts.h"

namespace {

std::string KilobitsText(std::int64_t bitsPerSecond) {
  return std::to_string((bitsPerSecond + 500) / 1000) + " kbit/s";
}

// 25, 29.97, 23.976: at most three decimals, no trailing zeros.
std::string RateText(AVRational rate) {
  std::string text = StringFormat("%.3f", RationalToDouble(rate));
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string StreamLine(const TAVProbe& probe, int index) {
  // A cover is one picture: it has no rate, and is no video to convert.
  if (std::string cover = probe.CoverPictureText(index); !cover.empty()) return cover;
  const AVStream& stream = *probe.Context()->streams[index];
  const AVCodecParameters& codec = *stream.codecpar;
  const char* kind = lib::av_get_media_type_string(codec.codec_type);
  std::string line =
      std::string(kind ? kind : "unknown") + ", " + lib::avcodec_get_name(codec.codec_id);
  if (codec.codec_type == AVMEDIA_TYPE_VIDEO) {
    if (codec.width > 0 && codec.height > 0) {
      line += ", " + std::to_string(codec.width) + "x" + std::to_string(codec.height);
    }
    const AVRational rate = stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0
                                ? stream.avg_frame_rate
                                : stream.r_frame_rate;
    if (rate.num > 0 && rate.den > 0) line += ", " + RateText(rate) + " fps";
    if (const int depth = probe.StreamBitDepth(index); depth > 0)
      line += ", " + std::to_string(depth) + "-bit";
    if (const int rotation = probe.StreamRotation(index); rotation != 0)
      line += ", shown turned " + std::to_string(rotation) + " degrees clockwise";
  }
  if (codec.codec_type == AVMEDIA_TYPE_AUDIO) {
    if (codec.sample_rate > 0) line += ", " + std::to_string(codec.sample_rate) + " Hz";
    const int channels = codec.ch_layout.nb_channels;
    if (channels > 0)
      line += ", " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
  }
  if (codec.bit_rate > 0) line += ", " + KilobitsText(codec.bit_rate);
  return line;
}

void PrintFile(const std::string& file, const TAVProbe& probe, std::ostream& out) {
  TAVFileInfo info;
  probe.GetInfo(info);
  const AVFormatContext& context = *probe.Context();
  out << file << "\n";
  out << "  Duration:   " << DurationWithMilliseconds(info.Duration) << "\n";
  out << "  Container:  " << context.iformat->name;
  if (context.iformat->long_name) out << " (" << context.iformat->long_name << ")";
  out << "\n";
  if (info.BitRate > 0) out << "  Bit rate:   " << KilobitsText(info.BitRate) << "\n";
  for (unsigned i = 0; i < context.nb_streams; ++i) {
    out << "  Stream " << i << ":   " << StreamLine(probe, static_cast<int>(i)) << "\n";
  }
}

}  // namespace

std::string DurationWithMilliseconds(std::int64_t microseconds) {
  if (microseconds < 0) return "unknown";
  return FormatDuration(microseconds) +
         StringFormat(".%03d", static_cast<int>(microseconds / 1000 % 1000));
}

void ListGroups(std::ostream& out) {
  for (const char* group : kOutputGroups) out << group << "\n";
}

void ListGroupProfiles(const std::string& group, std::ostream& out) {
  for (const std::string& profile : ListProfiles(CanonicalGroupName(group))) out << profile << "\n";
}

int ProbeFiles(TAVProbe& probe, const std::vector<std::string>& files, bool allowPlaylists,
               std::ostream& out, std::ostream& err) {
  int result = 0;
  bool first = true;
  for (const std::string& file : files) {
    if (!probe.Open(file, std::string(), allowPlaylists)) {
      err << "tovrena-cli: " << probe.LastError() << "\n";
      result = 1;
      continue;
    }
    if (!first) out << "\n";
    first = false;
    PrintFile(file, probe, out);
    probe.Close();
  }
  return result;
}
