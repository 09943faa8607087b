#include "engine/job/JobPlan.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

#include "binding/MediaLibraries.h"
#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"

namespace {

// Reads the numbers of a map text one after another: each in C notation (decimal, "0x"
// hexadecimal, leading "0" octal), followed by one separator character that is skipped.
class TNumberReader {
 public:
  explicit TNumberReader(const std::string& Text) : text_(Text), at_(text_.c_str()) {}

  int NextInt() {
    char* end = nullptr;
    const long value = lib::my_strtol(at_, &end, 0);
    at_ = end;
    SkipSeparator();
    // Beyond the range of an index it can only name no stream at all.
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
  }
  double NextDouble() {
    char* end = nullptr;
    const double value = lib::my_strtod(at_, &end);
    at_ = end;
    SkipSeparator();
    return value;
  }
  bool AtEnd() const { return *at_ == '\0'; }

 private:
  // The terminating zero is never skipped: reading stops at the end of the text.
  void SkipSeparator() {
    if (*at_ != '\0') ++at_;
  }

  std::string text_;
  const char* at_;
};

constexpr double kMaxInputTimeScale = 1000;

}  // namespace

void TJobPlan::Clear() {
  InputFilesTsOffset.fill(0);
  InputFilesStartTime.fill(0);
  InputFilesTsScale.clear();
  StreamMaps.clear();
  NbStreamMaps = 0;
  NbMetaDataMaps = 0;
  for (auto& chain : PendingBitstreamFilters) chain.clear();
  std::lock_guard lock(PublishedMutex);
  PublishedOutput.clear();
}

void TJobPlan::Release() {
  CloseOutputFiles();
  SideFiles.Release();
  for (int i = 0; i < NbInputFiles; ++i) {
    InputStreamCodecs[i].clear();
    InputFiles[i].reset();
  }
  NbInputFiles = 0;
  FrameHooks.Release();
}

void TJobPlan::CloseOutputFiles() {
  for (int i = 0; i < NbOutputFiles; ++i) {
    TOutputFormatContextPtr& output = OutputFiles[i];
    OutputStreams[i].clear();
    OutputWithoutData[i] = false;
    std::unique_ptr<TOutputByteStream> byteStream = std::move(OutputByteStreams[i]);
    // A temporary never moved to its name (the job did not run, or its file was not kept)
    // goes once it is closed; it never stood under an output's name.
    const std::unique_ptr<TOutputPlacement> placement = std::move(OutputPlacements[i]);
    if (!output) continue;
    if (!byteStream) {
      // A URL: the libraries' own byte stream; nothing on disk to judge.
      if (output->oformat && !(output->oformat->flags & AVFMT_NOFILE))
        lib::avio_closep(&output->pb);
      output.reset();
      continue;
    }
    output->pb = nullptr;
    byteStream->Close();
    output.reset();
  }
  NbOutputFiles = 0;
}

std::string TJobPlan::PublishOutputFiles(bool AfterFailure) {
  std::string failure;
  for (int i = 0; i < NbOutputFiles; ++i) {
    TOutputPlacement* placement = OutputPlacements[i].get();
    if (!placement || !placement->Pending()) continue;
    if (OutputByteStreams[i]) OutputByteStreams[i]->Flush();
    const std::string& path = placement->TemporaryPath();
    // A file that received nothing is not an output, and after a failure one that does not
    // open would only hold its space: neither is kept.
    if (OutputWithoutData[i] || FileSizeOf(path) == 0 ||
        (AfterFailure && !FileOpensAsMedia(path))) {
      placement->Discard();
      continue;
    }
    const std::string asked = placement->FinalPath();
    if (const int error = placement->Publish(); error != 0) {
      placement->Discard();
      if (failure.empty())
        failure =
            StringFormat("Could not name '%s': %s", asked.c_str(), SystemReason(error).c_str());
      continue;
    }
    if (i == 0) {
      std::lock_guard lock(PublishedMutex);
      PublishedOutput = placement->FinalPath();
    }
  }
  return failure;
}

std::string TJobPlan::PublishedOutputPath() const {
  std::lock_guard lock(PublishedMutex);
  return PublishedOutput;
}

void TJobPlan::CheckOutputFiles() {
  for (int i = 0; i < NbOutputFiles; ++i) {
    TOutputPlacement* placement = OutputPlacements[i].get();
    if (!placement || !placement->Pending() || OutputWithoutData[i] || !OutputFiles[i]) continue;
    TWrittenOutput& written = OutputWritten[i];
    written.Types.clear();
    for (unsigned j = 0; j < OutputFiles[i]->nb_streams; ++j)
      written.Types.push_back(CheckedKindOf(OutputFiles[i]->streams[j]));
    const std::string failure =
        CheckWrittenOutput(placement->TemporaryPath(), placement->FinalPath(), written);
    if (failure.empty()) continue;
    // Not what was asked for: it is not kept under any name.
    placement->Discard();
    throw FFMpegException(failure);
  }
}

int TJobPlan::OutputRowOf(const AVFormatContext* Context) const {
  for (int i = 0; i < NbOutputFiles; ++i)
    if (OutputFiles[i].get() == Context) return i;
  return NbOutputFiles;  // the file being created
}

bool TJobPlan::NamesAnInput(const std::string& FileName) const {
  std::error_code failed;
  for (int i = 0; i < NbInputFiles; ++i) {
    const AVFormatContext* input = InputFiles[i].get();
    if (input && input->url && std::filesystem::equivalent(input->url, FileName, failed))
      return true;
  }
  return false;
}

void TJobPlan::CheckInputStreamTypes(bool& HasVideo, bool& HasAudio, bool& HasSubtitle) const {
  HasVideo = HasAudio = HasSubtitle = false;
  for (int i = 0; i < NbInputFiles; ++i) {
    const AVFormatContext* input = InputFiles[i].get();
    for (unsigned j = 0; j < input->nb_streams; ++j) {
      switch (input->streams[j]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
          // A song's cover picture is no video: it goes along as a cover or not at all.
          HasVideo |= !IsCoverPicture(input->streams[j]);
          break;
        case AVMEDIA_TYPE_AUDIO:
          HasAudio = true;
          break;
        case AVMEDIA_TYPE_SUBTITLE:
          HasSubtitle = true;
          break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
        case AVMEDIA_TYPE_UNKNOWN:
          break;
        default:
          throw FFMpegException(
              StringFormat("invalid codec_type of input file '%s' (stream #%d:%u)",
                           input->url ? input->url : "", i, j));
      }
    }
  }
}

void TJobPlan::AddStreamMap(const std::string& Text) {
  if (NbStreamMaps >= kMaxStreamMaps)
    throw FFMpegException(
        StringFormat("Too many stream maps: at most %d can be given", kMaxStreamMaps));
  TNumberReader numbers(Text);
  TStreamMap map;
  map.FileIndex = numbers.NextInt();
  map.StreamIndex = numbers.NextInt();
  if (!numbers.AtEnd()) {
    map.SyncFileIndex = numbers.NextInt();
    map.SyncStreamIndex = numbers.NextInt();
  } else {
    map.SyncFileIndex = map.FileIndex;
    map.SyncStreamIndex = map.StreamIndex;
  }
  StreamMaps.resize(NbStreamMaps + 1);
  StreamMaps[NbStreamMaps++] = map;
}

void TJobPlan::AddMetaDataMap(const std::string& Text, TMetaDataMapKind Kind) {
  if (NbMetaDataMaps >= kMaxMetaDataMaps)
    throw FFMpegException(
        StringFormat("Too many metadata maps: at most %d can be given", kMaxMetaDataMaps));
  TNumberReader numbers(Text);
  TMetaDataMap map;
  map.OutFile = numbers.NextInt();
  map.InFile = numbers.NextInt();
  map.Kind = Kind;
  MetaDataMaps[NbMetaDataMaps++] = map;
}

void TJobPlan::SetInputTimeScale(const std::string& Text) {
  TNumberReader numbers(Text);
  const int stream = numbers.NextInt();
  const double scale = numbers.NextDouble();
  if (stream < 0 || stream >= kMaxStreams)
    throw FFMpegException(StringFormat("stream index over MAX_STREAMS(%d)", kMaxStreams));
  // Time runs forwards, and a stamp times the scale must stay a stamp (0 leaves them as read).
  if (!(scale >= 0 && scale <= kMaxInputTimeScale))
    throw FFMpegException(StringFormat("itsscale must be >= 0.0 and <= %g", kMaxInputTimeScale));
  // The scale belongs to the input opened next; after the last one there is none.
  if (NbInputFiles >= kMaxFiles)
    throw FFMpegException(StringFormat(
        "Input time stamp scale given after the last input file: at most %d can be opened",
        kMaxFiles));
  if (static_cast<int>(InputFilesTsScale.size()) <= NbInputFiles)
    InputFilesTsScale.resize(NbInputFiles + 1, {});
  InputFilesTsScale[NbInputFiles][stream] = scale;
}

void TJobPlan::AddBitstreamFilter(const std::string& Option, const std::string& Value) {
  if (Option.empty() || Value.empty() || Value[0] == '=') return;
  const std::string name = Value.substr(0, Value.find('='));
  const AVBitStreamFilter* filter = lib::av_bsf_get_by_name(name.c_str());
  if (!filter) {
    throw FFMpegException(StringFormat("Unknown bitstream filter %s", TrimText(Value).c_str()));
  }
  AVBSFContext* context = nullptr;
  if (lib::av_bsf_alloc(filter, &context) < 0)
    throw FFMpegException(OpenErrorText("av_bsf_alloc()", AVERROR(ENOMEM)));
  const int type = Option[0] == 'v' ? 0 : Option[0] == 'a' ? 1 : 2;
  PendingBitstreamFilters[type].emplace_back(context);
}

void TJobPlan::AddVideoHook(const std::string& Text) {
  // The module file and at most 63 arguments, separated by "|" when the text has one, else
  // by blanks; runs of separators count as one. Split here rather than with a tokenizer
  // that keeps its place between calls: jobs on other threads add their hooks meanwhile.
  constexpr int kMaxHookArguments = 64;
  const char separator = Text.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> words;
  for (std::size_t start = 0; start < Text.size();) {
    const std::size_t end = std::min(Text.find(separator, start), Text.size());
    if (end > start) {
      if (static_cast<int>(words.size()) == kMaxHookArguments)
        throw FFMpegException(
            StringFormat("Too many video hook arguments: at most %d can follow the module in: %s",
                         kMaxHookArguments - 1, Text.c_str()));
      words.push_back(Text.substr(start, end - start));
    }
    start = end + 1;
  }
  std::vector<char*> arguments;
  for (std::string& word : words) arguments.push_back(word.data());
  if (FrameHooks.Add(static_cast<int>(arguments.size()), arguments.data()) != 0)
    throw FFMpegException("Failed to add video hook function: " + Text);
}

AVFormatContext* TJobPlan::LastOutputFile() const {
  if (NbOutputFiles == 0) throw FFMpegException("At least one output file must be specified");
  return OutputFiles[NbOutputFiles - 1].get();
}
