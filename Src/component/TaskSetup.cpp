// Setting a task up from the option records: AddInputFile, SetOutputFile and the fields'
// translation into engine settings, in their fixed order.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>

#include "binding/MyUtils.h"
#include "component/TaskList.h"
#include "component/TrackMapping.h"
#include "component/VornConverter.h"

namespace {

// Texts from callers may carry any control character around a value.
std::string Trimmed(const std::string& text) {
  return Trim(text, kControlsAndSpace);
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
  SetAllowPlaylists(Options.AllowPlaylists);
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
    Log(1, StringFormat(
               "Audio track: stream #%d.%d of %d audio tracks (%s, %d channel%s)",
               InputFileCount() - 1, stream, Probe.AudioStreamCount(),
               (track->disposition & AV_DISPOSITION_DEFAULT) ? "marked default" : "most channels",
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

std::string TCustomVornConverter::SetUpInput(TFFmpeg& Task, const std::string& FileName,
                                             TInputOptions* Options) {
  if (Options) {
    if (Options->FileName.empty()) Options->FileName = FileName;
    Task.InputOptions = *Options;
    Task.ApplyOptionText(Options->ExtOptions);
    Task.ApplyInputOptions(*Options);
  }
  if (!Task.OpenInput(FileName)) return Task.ErrorText();
  Task.Probe.Attach(Task.InputFile(Task.InputFileCount() - 1));
  return std::string();
}

std::string TCustomVornConverter::SetUpOutput(TFFmpeg& Task, const std::string& FileName,
                                              TOutputOptions* Options) {
  TTrackPlan plan;
  if (Options) {
    if (Options->FileName.empty()) Options->FileName = FileName;
    Task.OutputOptions = *Options;
    Task.ApplyOptionText(Options->ExtOptions);
    Task.ApplyOutputOptions(*Options);
    Task.ApplyTargetOptions(*Options);
    plan = PlanTracks(Task, *Options, FileName);
    {
      std::lock_guard lock(ComponentLock);  // read from other threads by TaskOutputNote
      Task.OutputNote = plan.LimitNote;
    }
    // Stream maps name every track themselves.
    if (Options->PickAudioTrack && !plan.MapsTracks) Task.PickAudioTrack();
    ApplyPlanBeforeOpen(Task, *Options, plan);
    // After the plan, which may copy the video instead of encoding it.
    Task.ApplyVideoEncoderSettings(*Options, FileName);
    if (Options->CustomHook) {
      Task.OnCustomHook = [this](TCustomFFmpeg* Sender, TBitmap& ABitmap, int AFrameNumber,
                                 std::int64_t APTS, bool& AUpdate, bool& AStopHook) {
        DoCustomHook(Sender, ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
      };
    } else if (Options->BeforeHook) {
      Task.OnBeforeHook = [this](TCustomFFmpeg* Sender, std::int64_t APTS,
                                 THookAction& AHookAction) {
        DoBeforeHook(Sender, APTS, AHookAction);
      };
    } else {
      Task.ApplyTimeRanges(Options->HookTimeRanges);
    }
  } else {
    Task.OutputOptions = TOutputOptions{};
  }
  Task.SetOutputNameBase(Options ? Options->NameBase : std::string());
  if (!Task.OpenOutput(FileName)) return Task.ErrorText();
  if (Options) ApplyPlanAfterOpen(Task, *Options, plan);
  return std::string();
}

int TCustomVornConverter::AddInputFile(const std::string& FileName, TInputOptions* Options) {
  FreeRetired();
  auto task = std::make_shared<TFFmpeg>();
  try {
    TAVProbe::CheckLibrariesLoaded();
    ConnectEvents(*task, false);
    task->Reset();
    task->SetThreadCount(std::max(ThreadCount, 0));
    task->SetVerbosity(LogLevel() - 1);
    if (std::string reason = SetUpInput(*task, FileName, Options); !reason.empty()) {
      task->OnLog = nullptr;
      LastErrorMessage = std::move(reason);
      return -1;
    }
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
    if (task->RunState.Busy() || task->Running() || task->Terminated()) {
      LastErrorMessage = "Task " + std::to_string(Index) + " has already been started.";
      return false;
    }
    if (task->ListedSetUp) {
      LastErrorMessage = "Task " + std::to_string(Index) + " is given its output when it starts.";
      return false;
    }
  }
  try {
    std::string reason = SetUpOutput(*task, FileName, Options);
    if (reason.empty()) return true;
    LastErrorMessage = std::move(reason);
    return false;
  } catch (const std::exception& failure) {
    LastErrorMessage = failure.what();
    return false;
  }
}

int TCustomVornConverter::ListFile(const TInputOptions& Input, const TOutputOptions& Output) {
  FreeRetired();
  try {
    TAVProbe::CheckLibrariesLoaded();
  } catch (const std::exception& failure) {
    LastErrorMessage = failure.what();
    return -1;
  }
  // No reset here: the engine's option contexts and files come with the set-up.
  auto task = std::make_shared<TFFmpeg>();
  task->InputOptions = Input;
  task->OutputOptions = Output;
  const int threads = std::max(ThreadCount, 0);
  task->ListedSetUp = [this, threads](TFFmpeg& Task) { return SetUpListedTask(Task, threads); };
  ConnectEvents(*task, false);
  ConnectEvents(*task, true);
  std::lock_guard lock(ComponentLock);
  return Tasks.Add(std::move(task));
}

// On the job's thread, without the component's lock: opening files may take long and logs
// through the libraries, whose log relay takes the locks in the other order.
bool TCustomVornConverter::SetUpListedTask(TFFmpeg& Task, int Threads) {
  TTaskSetupStep step = tsInput;
  std::string reason;
  try {
    // The verbosity that the start gave the task.
    const int verbosity = Task.Settings().Verbosity;
    Task.ResetSettings();
    Task.SetThreadCount(Threads);
    Task.SetVerbosity(verbosity);
    if (Task.StopRequested()) return false;
    TInputOptions input = Task.InputOptions;
    reason = SetUpInput(Task, input.FileName, &input);
    if (reason.empty()) {
      // A stop during the input's open leaves no output behind.
      if (Task.StopRequested()) return false;
      step = tsOutput;
      TOutputOptions output = Task.OutputOptions;
      reason = SetUpOutput(Task, output.FileName, &output);
    }
  } catch (const std::exception& failure) {
    reason = failure.what();
  }
  if (reason.empty()) return true;
  // An open cut short by a stop is a stopped file, not a failed one.
  if (Task.StopRequested()) return false;
  Task.SetupFailure = step;
  throw FFMpegException(reason);
}
