// Setting a task up from the option records: AddInputFile, SetOutputFile and the fields'
// translation into engine settings, in their fixed order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>

#include "MyUtils.h"
#include "VornConverter.h"

namespace {

std::string Trimmed(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

// A whole decimal number in milliseconds as microseconds; -1 when the text is not one (or
// is too large to scale).
std::int64_t MicrosecondsOf(const std::string& text) {
  const std::string number = Trimmed(text);
  const char* begin = number.data();
  if (!number.empty() && number[0] == '+') ++begin;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(begin, number.data() + number.size(), value);
  constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 1000;
  if (error != std::errc() || end != number.data() + number.size() || begin == end ||
      value > limit || value < -limit)
    value = -1;
  return value * 1000;
}

// Days since 30 December 1899 in local time, as seconds since 1970 UTC. The local time's
// own rules (daylight saving included) decide its offset.
std::int64_t UnixSecondsOfLocalDays(double days) {
  constexpr double kLastDay = 2958465.0;  // 31 December 9999
  if (!(days <= kLastDay)) throw std::invalid_argument("Incorrect timestamp");
  constexpr std::int64_t kDaysBefore1970 = 25569;
  const double wholeDays = std::floor(days);
  const auto seconds = static_cast<std::int64_t>(std::llround((days - wholeDays) * 86400.0));
  const std::time_t wallClock = static_cast<std::time_t>(
      (static_cast<std::int64_t>(wholeDays) - kDaysBefore1970) * 86400 + seconds);
  std::tm fields{};
  gmtime_r(&wallClock, &fields);
  fields.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&fields));
}

}  // namespace

void TFFmpeg::ApplyOptionText(const std::string& Text) {
  std::string text = Trimmed(Text);
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  while (!lines.empty()) {
    std::string line;
    SplitFirst(lines, "\n", true, line);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
      SetOption(line, std::string());
    else
      SetOption(line.substr(0, equals), line.substr(equals + 1));
  }
}

void TFFmpeg::ApplyInputOptions(const TInputOptions& Options) {
  SetInputFormat(Options.FileFormat);
  SetStartTimeUs(static_cast<std::int64_t>(Options.StartTime) * 1000);
  SetProgramId(Options.ProgramID);
}

void TFFmpeg::ApplyOutputOptions(const TOutputOptions& O) {
  const auto setPositive = [this](const char* name, std::int32_t value) {
    if (value > 0) SetCodecOptionInt(name, value);
  };
  SetOutputFormat(O.FileFormat);
  setPositive("packetsize", O.PacketSize);
  setPositive("muxrate", O.MuxRate);
  SetMuxMaxDelay(O.MuxDelay);
  SetMuxPreload(O.MuxPreload);
  SetAudioCodec(O.AudioCodec);
  if (O.DisableAudio) FSettings.AudioDisable = true;
  SetAudioVolume(O.AudioVolume);
  SetAudioChannels(O.AudioChannels);
  SetAudioSampleRate(O.AudioSampleRate);
  setPositive("ab", O.AudioBitrate);
  setPositive("abt", O.AudioBitrateTolerance);
  FSettings.AudioLanguage = O.AudioLanguage;
  SetAudioSyncMethod(O.AudioSync);
  SetAudioTag(O.AudioTag);
  SetVideoCodec(O.VideoCodec);
  if (O.DisableVideo) FSettings.VideoDisable = true;
  SetFrameRate(O.FrameRate);
  SetFrameSize(O.FrameSize);
  SetAspectRatio(O.FrameAspect);
  SetCropTop(O.CropTop);
  SetCropBottom(O.CropBottom);
  SetCropLeft(O.CropLeft);
  SetCropRight(O.CropRight);
  SetPadTop(O.PadTop);
  SetPadBottom(O.PadBottom);
  SetPadLeft(O.PadLeft);
  SetPadRight(O.PadRight);
  SetPadColor(static_cast<int>(O.PadColor & 0xFFFFFF));
  setPositive("gop", O.GOPSize);
  setPositive("vb", O.VideoBitrate);
  setPositive("maxrate", O.VideoMaxRate);
  setPositive("minrate", O.VideoMinRate);
  setPositive("bt", O.VideoBitrateTolerance);
  setPositive("bufsize", O.VideoBufSize);
  SetVideoSyncMethod(O.VideoSync);
  SetVideoTag(O.VideoTag);
  SetVideoFilters(O.VideoFilters);
  if (O.DisableSubtitle) FSettings.SubtitleDisable = true;
  FSettings.SubtitleLanguage = O.SubtitleLanguage;
  FSettings.CopyTimestamps = O.CopyTimestamp;
  SetRecordingTimeMs(O.Duration);
  if (O.Timestamp == 0.0)
    FSettings.RecordTimestamp = static_cast<std::int64_t>(std::time(nullptr));
  else if (O.Timestamp > 0.0)
    FSettings.RecordTimestamp = UnixSecondsOfLocalDays(O.Timestamp);
  SetYear(O.Year);
  SetTrack(O.Track);
  SetTitle(FieldText(O.Title));
  SetAuthor(FieldText(O.Author));
  SetCopyright(FieldText(O.Copyright));
  SetComment(FieldText(O.Comment));
  SetAlbum(FieldText(O.Album));
  SetGenre(FieldText(O.Genre));
}

void TFFmpeg::ApplyTargetOptions(const TOutputOptions& Options) {
  const char* kind = Options.TargetType == ttVCD    ? "vcd"
                     : Options.TargetType == ttSVCD ? "svcd"
                     : Options.TargetType == ttDVD  ? "dvd"
                                                    : nullptr;
  if (!kind) return;
  const char* norm = Options.TargetNorm == ntPAL    ? "pal"
                     : Options.TargetNorm == ntNTSC ? "ntsc"
                                                    : "auto";
  ApplyTarget(kind, norm, Options.DefaultNorm == ntPAL ? "pal" : "ntsc");
}

void TFFmpeg::PickAudioTrack() {
  const int stream = Probe.PreferredAudioStream();
  if (stream < 0 || Probe.AudioStreamCount() < 2) return;
  const AVStream* track = Probe.Context()->streams[stream];
  SetAudioSourceStream(InputFileCount() - 1, stream);
  if (Logging())
    Log(1, StringFormat("Audio track: stream #%d.%d of %d audio tracks (%s, %d channel%s)",
                        InputFileCount() - 1, stream, Probe.AudioStreamCount(),
                        (track->disposition & AV_DISPOSITION_DEFAULT) ? "marked default"
                                                                      : "most channels",
                        track->codecpar->ch_layout.nb_channels,
                        track->codecpar->ch_layout.nb_channels == 1 ? "" : "s"));
}

// Each piece is "start-end"; a piece whose end comes before its start, or whose end is
// missing or negative, is dropped.
void TFFmpeg::ApplyTimeRanges(const std::string& Text) {
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
  std::string text = Trimmed(Text);
  while (!text.empty()) {
    std::string piece;
    SplitFirst(text, ",", true, piece);
    piece = Trimmed(piece);
    std::string start;
    SplitFirst(piece, "-", true, start);
    const std::int64_t from = MicrosecondsOf(start);
    const std::int64_t to = MicrosecondsOf(piece);
    if (from <= to && to >= 0) ranges.emplace_back(from, to);
  }
  SetTimeRanges(ranges);
}

int TCustomVornConverter::AddInputFile(const std::string& FileName, TInputOptions* Options) {
  FreeRetired();
  auto task = std::make_shared<TFFmpeg>();
  try {
    TAVProbe::CheckLibrariesLoaded();
    ConnectEvents(*task, false);
    task->Reset();
    task->FSettings.ThreadCount = std::max(ThreadCount, 0);
    task->SetVerbosity(LogLevel() - 1);
    if (Options) {
      if (Options->FileName.empty()) Options->FileName = FileName;
      task->InputOptions = *Options;
      task->ApplyOptionText(Options->ExtOptions);
      task->ApplyInputOptions(*Options);
    }
    if (!task->OpenInput(FileName)) {
      task->OnLog = nullptr;
      LastErrorMessage = task->ErrorText();
      return -1;
    }
    task->Probe.Attach(task->InputFile(task->InputFileCount() - 1));
    ConnectEvents(*task, true);
    std::lock_guard lock(ComponentLock);
    return Tasks.Add(std::move(task));
  } catch (const std::exception& failure) {
    LastErrorMessage = failure.what();
    return -1;
  }
}

bool TCustomVornConverter::KnowsOption(const std::string& Name) const {
  // A task of its own answers: its option tables are those every task gets.
  TFFmpeg scratch;
  scratch.Reset();
  return scratch.KnowsOption(Name);
}

bool TCustomVornConverter::SetOutputFile(int Index, const std::string& FileName,
                                         TOutputOptions* Options) {
  FreeRetired();
  TTaskPtr task;
  {
    std::lock_guard lock(ComponentLock);
    task = Tasks.Shared(Index);
    // A running job reads its settings: they are not changed under it.
    if (task->FRun.Started || task->Running() || task->Terminated()) {
      LastErrorMessage = "Task " + std::to_string(Index) + " has already been started.";
      return false;
    }
  }
  try {
    if (Options) {
      if (Options->FileName.empty()) Options->FileName = FileName;
      task->OutputOptions = *Options;
      task->ApplyOptionText(Options->ExtOptions);
      task->ApplyOutputOptions(*Options);
      task->ApplyTargetOptions(*Options);
      if (Options->PickAudioTrack) task->PickAudioTrack();
      if (Options->CustomHook) {
        task->OnCustomHook = [this](TCustomFFmpeg* Sender, TBitmap& ABitmap, int AFrameNumber,
                                    std::int64_t APTS, bool& AUpdate, bool& AStopHook) {
          DoCustomHook(Sender, ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
        };
      } else if (Options->BeforeHook) {
        task->OnBeforeHook = [this](TCustomFFmpeg* Sender, std::int64_t APTS,
                                    THookAction& AHookAction) {
          DoBeforeHook(Sender, APTS, AHookAction);
        };
      } else {
        task->ApplyTimeRanges(Options->HookTimeRanges);
      }
    } else {
      task->OutputOptions = TOutputOptions{};
    }
    task->SetReservedOutput(Options ? Options->ReservedFile : TFileIdentity{});
    if (task->OpenOutput(FileName)) return true;
    LastErrorMessage = task->ErrorText();
    return false;
  } catch (const std::exception& failure) {
    LastErrorMessage = failure.what();
    return false;
  }
}
