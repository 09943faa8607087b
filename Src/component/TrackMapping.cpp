#include "component/TrackMapping.h"

#include <algorithm>

#include "binding/MyUtils.h"
#include "component/StreamCopy.h"
#include "component/TaskList.h"
#include "engine/CoverPictures.h"

namespace {

// The containers that hold any number of audio and subtitle tracks with their languages.
bool HoldsEveryTrack(const AVOutputFormat* Format) {
  static const char* const kNames[] = {"matroska", "webm", "mp4", "mov"};
  return std::any_of(std::begin(kNames), std::end(kNames),
                     [Format](const char* name) { return std::string(Format->name) == name; });
}

const AVOutputFormat* OutputFormatOf(const TFFmpeg& Task, const std::string& FileName) {
  if (Task.Settings().ForcedOutputFormat) return Task.Settings().ForcedOutputFormat;
  return lib::av_guess_format(nullptr, FileName.c_str(), nullptr);
}

std::string StreamText(const TFFmpeg& Task, int Index) {
  const AVStream* stream = Task.InputFile(Task.InputFileCount() - 1)->streams[Index];
  std::string text = StringFormat("#%d.%d (%s", Task.InputFileCount() - 1, Index,
                                  lib::avcodec_get_name(stream->codecpar->codec_id));
  if (const AVDictionaryEntry* language =
          lib::av_dict_get(stream->metadata, "language", nullptr, 0))
    text += std::string(", ") + language->value;
  return text + ")";
}

// The encoder that turns a text subtitle into what the container takes; empty for
// subtitles that are pictures.
std::string TextSubtitleEncoder(const AVOutputFormat* Format, AVCodecID Id) {
  const AVCodecDescriptor* descriptor = lib::avcodec_descriptor_get(Id);
  if (!descriptor || !(descriptor->props & AV_CODEC_PROP_TEXT_SUB)) return {};
  const std::string name = Format->name;
  if (name == "matroska") return Id == AV_CODEC_ID_ASS || Id == AV_CODEC_ID_SSA ? "ass" : "subrip";
  if (name == "webm") return "webvtt";
  return "mov_text";
}

class TPlanner {
 public:
  TPlanner(TFFmpeg& Task, const TOutputOptions& Options, const AVOutputFormat* Format)
      : task_(Task),
        options_(Options),
        format_(Format),
        input_(Task.InputFile(Task.InputFileCount() - 1)) {}

  TTrackPlan Plan() {
    const TEngineSettings& s = task_.Settings();
    const bool holdsEveryTrack = HoldsEveryTrack(format_);
    plan_.MapsTracks = options_.KeepAllTracks && holdsEveryTrack;
    const bool wantsVideo = !s.VideoDisable && (format_->video_codec != AV_CODEC_ID_NONE ||
                                                s.VideoStreamCopy || !s.VideoCodecName.empty());
    wantsVideo_ = wantsVideo;
    const bool wantsAudio = !s.AudioDisable && (format_->audio_codec != AV_CODEC_ID_NONE ||
                                                s.AudioStreamCopy || !s.AudioCodecName.empty());
    const int firstAudio = OneAudioTrack();
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
      const int index = static_cast<int>(i);
      switch (input_->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
          if (IsCoverPicture(input_->streams[i]))
            PlanCover(index);
          else if (wantsVideo && plan_.Video.Source < 0)
            plan_.Video = {index, s.VideoStreamCopy ? "copy" : ""};
          else if (plan_.MapsTracks && wantsVideo)
            LeaveOut(index, "one video track is converted");
          break;
        case AVMEDIA_TYPE_AUDIO:
          if (wantsAudio && plan_.MapsTracks && !Room())
            LeaveOutForLimit(index);
          else if (wantsAudio && (plan_.MapsTracks || index == firstAudio))
            plan_.Audio.push_back({index, s.AudioStreamCopy ? "copy" : s.AudioCodecName});
          else if (options_.KeepAllTracks && wantsAudio)
            LeaveOut(index, "the " + std::string(format_->name) + " format takes one audio track");
          break;
        case AVMEDIA_TYPE_SUBTITLE:
          // A subtitle codec named by an option line is the engine's to use as it was asked.
          if (s.SubtitleDisable || s.SubtitleStreamCopy || !s.SubtitleCodecName.empty()) break;
          if (plan_.MapsTracks) {
            PlanSubtitle(index);
          } else if (options_.KeepAllTracks) {
            plan_.DropSubtitles = true;
            LeaveOut(index,
                     "the " + std::string(format_->name) + " format takes no subtitles here");
          } else {
            plan_.DropSubtitles = true;
            LeaveOut(index, "the profile keeps one video and one audio track");
          }
          break;
        default:
          if (plan_.MapsTracks) LeaveOut(index, "only video, audio and subtitles are converted");
          break;
      }
    }
    if (options_.CopyFittingStreams) ChooseCopies();
    if (leftOutForLimit_ > 0) {
      const std::size_t kept =
          (plan_.Video.Source >= 0 ? 1 : 0) + plan_.Audio.size() + plan_.Subtitles.size();
      plan_.LimitNote =
          StringFormat("%zu of %u tracks kept: ", kept, input_->nb_streams) + LimitReason();
    }
    return plan_;
  }

 private:
  // The audio track the engine takes when it takes one.
  int OneAudioTrack() const {
    if (options_.PickAudioTrack && task_.Probe.AudioStreamCount() >= 2)
      return task_.Probe.PreferredAudioStream();
    return task_.Probe.FirstAudioStream();
  }

  // Whether one more track fits into the output file beside the video stream, when the
  // output gets one (it may come later in the file than the tracks), and the cover.
  bool Room() const {
    const std::size_t video = wantsVideo_ && task_.Probe.VideoStreamCount() > 0 ? 1 : 0;
    const std::size_t cover = plan_.Cover >= 0 ? 1 : 0;
    const std::size_t planned = plan_.Audio.size() + plan_.Subtitles.size() + video + cover;
    return planned < static_cast<std::size_t>(kMaxOutputStreams);
  }

  static std::string LimitReason() {
    return StringFormat("an output file takes at most %d streams", kMaxOutputStreams);
  }

  void LeaveOutForLimit(int Index) {
    ++leftOutForLimit_;
    LeaveOut(Index, LimitReason());
  }

  // A cover goes along whatever the profile does with pictures: it belongs to the sound.
  void PlanCover(int Index) {
    const AVCodecID picture = input_->streams[Index]->codecpar->codec_id;
    if (plan_.Cover >= 0)
      LeaveOut(Index, "one cover picture is kept");
    else if (CoverKeepingOf(format_, picture) == TCoverKeeping::ckNone)
      LeaveOut(Index, "the " + std::string(format_->name) + " format keeps no " +
                          lib::avcodec_get_name(picture) + " cover picture");
    else
      plan_.Cover = Index;
  }

  void PlanSubtitle(int Index) {
    if (!Room()) {
      LeaveOutForLimit(Index);
      return;
    }
    const AVCodecID id = input_->streams[Index]->codecpar->codec_id;
    const std::string encoder = TextSubtitleEncoder(format_, id);
    if (encoder.empty()) {
      if (lib::avformat_query_codec(format_, id, FF_COMPLIANCE_NORMAL) == 1)
        plan_.Subtitles.push_back({Index, "copy"});
      else
        LeaveOut(Index, "the " + std::string(format_->name) + " format cannot hold it");
    } else if (!lib::avcodec_find_decoder(id)) {
      LeaveOut(Index, "no decoder reads it");
    } else if (!lib::avcodec_find_encoder_by_name(encoder.c_str())) {
      LeaveOut(Index, "the libraries lack the " + encoder + " encoder");
    } else {
      plan_.Subtitles.push_back({Index, encoder});
    }
  }

  void ChooseCopies() {
    if (plan_.Video.Source >= 0 && plan_.Video.Codec != "copy") {
      const std::string obstacle = VideoCopyObstacle(task_, options_, format_, plan_.Video.Source);
      if (obstacle.empty()) plan_.Video.Codec = "copy";
      Tell("Video", plan_.Video.Source, obstacle);
    }
    for (TTrackPlan::TTrack& track : plan_.Audio) {
      if (track.Codec == "copy") continue;
      const std::string obstacle = AudioCopyObstacle(task_, options_, format_, track.Source);
      if (obstacle.empty()) track.Codec = "copy";
      Tell("Audio", track.Source, obstacle);
    }
  }

  void Tell(const char* Kind, int Index, const std::string& Obstacle) {
    if (!task_.Listening()) return;
    task_.LogInfo(std::string(Kind) + " stream " + StreamText(task_, Index) + ": " +
                  (Obstacle.empty() ? "copied" : "re-encoded because " + Obstacle));
  }

  void LeaveOut(int Index, const std::string& Reason) {
    if (!task_.Listening()) return;
    const char* kind = lib::av_get_media_type_string(input_->streams[Index]->codecpar->codec_type);
    task_.LogInfo(StringFormat("Stream %s, %s, left out: ", StreamText(task_, Index).c_str(),
                               kind ? kind : "unknown") +
                  Reason);
  }

  TFFmpeg& task_;
  const TOutputOptions& options_;
  const AVOutputFormat* format_;
  const AVFormatContext* input_;
  TTrackPlan plan_;
  bool wantsVideo_ = false;
  int leftOutForLimit_ = 0;
};

std::string MapText(int File, int Stream) {
  return std::to_string(File) + ":" + std::to_string(Stream);
}

// Each track keeps its own channels and rate where the profile leaves them to the input.
void SetAudioTrackSettings(TFFmpeg& Task, const TOutputOptions& Options,
                           const TTrackPlan::TTrack& Track) {
  const AVCodecParameters* source =
      Task.InputFile(Task.InputFileCount() - 1)->streams[Track.Source]->codecpar;
  Task.SetAudioCodec(Track.Codec);
  Task.SetAudioChannels(Options.AudioChannels > 0 ? Options.AudioChannels
                                                  : source->ch_layout.nb_channels);
  Task.SetAudioSampleRate(Options.AudioSampleRate > 0 ? Options.AudioSampleRate
                                                      : source->sample_rate);
}

}  // namespace

TTrackPlan PlanTracks(TFFmpeg& Task, const TOutputOptions& Options, const std::string& FileName) {
  const AVOutputFormat* format = OutputFormatOf(Task, FileName);
  // Without a format the output's creation reports the name; nothing to plan.
  if (!format || Task.InputFileCount() == 0) return {};
  return TPlanner(Task, Options, format).Plan();
}

void ApplyPlanBeforeOpen(TFFmpeg& Task, const TOutputOptions& Options, const TTrackPlan& Plan) {
  if (Plan.Video.Codec == "copy") Task.SetVideoCodec("copy");
  if (!Plan.Audio.empty()) {
    if (Plan.MapsTracks)
      SetAudioTrackSettings(Task, Options, Plan.Audio.front());
    else if (Plan.Audio.front().Codec == "copy")
      Task.SetAudioCodec("copy");
  }
  // With every track, subtitles come after all the audio tracks.
  if (Plan.MapsTracks || Plan.DropSubtitles) Task.SetOption("sn", "");
}

void ApplyPlanAfterOpen(TFFmpeg& Task, const TOutputOptions& Options, const TTrackPlan& Plan) {
  const int input = Task.InputFileCount() - 1;
  if (!Plan.MapsTracks) {
    if (Plan.Cover >= 0) Task.AddCoverPicture(input, Plan.Cover);
    return;
  }
  const int outputIndex = Task.OutputFileCount() - 1;
  // The file was created with the video stream and the first audio track the plan read
  // from the same settings, in that order.
  if (Plan.Video.Source >= 0) Task.AddStreamMap(MapText(input, Plan.Video.Source));
  const std::size_t audioDone = Plan.Audio.empty() ? 0 : 1;
  if (audioDone) Task.AddStreamMap(MapText(input, Plan.Audio.front().Source));
  for (std::size_t i = audioDone; i < Plan.Audio.size(); ++i) {
    SetAudioTrackSettings(Task, Options, Plan.Audio[i]);
    Task.AddAudioStream();
    Task.AddStreamMap(MapText(input, Plan.Audio[i].Source));
  }
  for (const TTrackPlan::TTrack& track : Plan.Subtitles) {
    Task.SetSubtitleCodec(track.Codec);
    Task.AddSubtitleStream();
    Task.AddStreamMap(MapText(input, track.Source));
  }
  if (Plan.Cover >= 0 && Task.AddCoverPicture(input, Plan.Cover))
    Task.AddStreamMap(MapText(input, Plan.Cover));
  Task.AddAllTagsMap(MapText(outputIndex, input));
  Task.AddChapterMap(MapText(outputIndex, input));
}
