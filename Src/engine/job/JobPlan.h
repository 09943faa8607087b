// TJobPlan: what the set-up of one job builds before it runs: the input files and their
// decoders, the output files with their streams, byte streams and temporaries, the maps, the
// input time stamp corrections, the bitstream filters and video hooks waiting for their
// stream, and the files written beside the outputs. TJobCounters: what one run counts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "binding/FrameHook.h"
#include "binding/MediaPointers.h"
#include "engine/EngineTypes.h"
#include "engine/OutputByteStream.h"
#include "engine/OutputCheck.h"
#include "engine/OutputPlacement.h"
#include "engine/SideFiles.h"

// A stream's bitstream filters, applied in order to every packet written for it.
using TBitstreamFilterChain = std::vector<TBsfContextPtr>;

// What the output side prepared for one stream of an output file; the transcode set-up
// opens the codec and writes the header.
struct TOutputStreamSetup {
  TCodecContextPtr Codec;
  bool StreamCopy = false;
  // The input stream (file, stream) of the cover picture this stream copies; -1: no cover.
  int CoverFile = -1, CoverStream = -1;
  float Quality = 0;
  TBitstreamFilterChain Filters;
};

struct TJobPlan {
  // Back to an empty plan: the tables the options fill (maps, scales, offsets, pending
  // filters) and the published name; the files are released by Release.
  void Clear();
  // Closes the output and input files and their codecs, the side files and the hooks.
  void Release();

  // ---- What the options add (raising FFMpegException) ----
  // "file:stream[:syncfile:syncstream]" and "outfile:infile"; numbers in C notation.
  void AddStreamMap(const std::string& Text);
  void AddMetaDataMap(const std::string& Text, TMetaDataMapKind Kind);
  // "stream:scale" for the input file opened next.
  void SetInputTimeScale(const std::string& Text);
  // "absf", "vbsf", "sbsf": a bitstream filter for the next stream of that type.
  void AddBitstreamFilter(const std::string& Option, const std::string& Value);
  // The module file, then its arguments, separated by "|" or else by blanks.
  void AddVideoHook(const std::string& Text);

  // ---- Queries of the set-up ----
  // The output file opened last; raises when there is none.
  AVFormatContext* LastOutputFile() const;
  // The row of an output file; the next free one for the file being created.
  int OutputRowOf(const AVFormatContext* Context) const;
  // Whether FileName is one of the opened inputs.
  bool NamesAnInput(const std::string& FileName) const;
  // The media types the inputs hold (a cover picture is no video).
  void CheckInputStreamTypes(bool& HasVideo, bool& HasAudio, bool& HasSubtitle) const;

  // ---- The end of a job ----
  // Each local output checked against what was written into it; raises the first mismatch.
  void CheckOutputFiles();
  // Each kept local output moved from its temporary to its name, the others' temporaries
  // removed (after a failure also the ones that do not open): the reason naming the file
  // when one could not be moved, else empty.
  std::string PublishOutputFiles(bool AfterFailure);
  std::string PublishedOutputPath() const;
  void CloseOutputFiles();

  // ---- Inputs ----
  std::array<TInputFormatContextPtr, kMaxFiles> InputFiles;
  std::array<std::int64_t, kMaxFiles> InputFilesTsOffset{};
  // Grown as files and maps are given (up to kMaxFiles and kMaxStreamMaps): an engine that
  // waits in a long list stays small.
  std::vector<std::array<double, kMaxStreams>> InputFilesTsScale;
  int NbInputFiles = 0;
  // The decoder context of each stream of each input file, by stream index.
  std::array<std::vector<TCodecContextPtr>, kMaxFiles> InputStreamCodecs;
  std::array<bool, kMaxFiles> InputFilesRateEmulation{};
  // The start time asked for each input file, in microseconds from its beginning.
  std::array<std::int64_t, kMaxFiles> InputFilesStartTime{};

  // ---- Outputs ----
  std::array<TOutputFormatContextPtr, kMaxFiles> OutputFiles;
  // The byte streams of the output files on the local file system (URLs have none).
  std::array<std::unique_ptr<TOutputByteStream>, kMaxFiles> OutputByteStreams;
  // The temporaries the local outputs are written into, and what was written into each.
  std::array<std::unique_ptr<TOutputPlacement>, kMaxFiles> OutputPlacements;
  std::array<TWrittenOutput, kMaxFiles> OutputWritten;
  // Set by a job whose output received no packet: such a file holds nothing to play and is
  // removed when it is closed.
  std::array<bool, kMaxFiles> OutputWithoutData{};
  // What each stream of each output file was created with, by stream index.
  std::array<std::vector<TOutputStreamSetup>, kMaxFiles> OutputStreams;
  int NbOutputFiles = 0;
  // The files written beside the outputs: the muxers' own, two-pass logs, vstats.
  TSideFiles SideFiles;

  // ---- Maps ----
  std::vector<TStreamMap> StreamMaps;
  int NbStreamMaps = 0;
  std::array<TMetaDataMap, kMaxMetaDataMaps> MetaDataMaps{};
  int NbMetaDataMaps = 0;

  // ---- Waiting for their stream ----
  // Bitstream filters for the next stream of their type (video, audio, subtitle).
  std::array<TBitstreamFilterChain, 3> PendingBitstreamFilters;
  // The configured video hooks, passed every picture while the settings use frame hooks.
  TFrameHookList FrameHooks;

  // The name the first output finally got, read from other threads.
  mutable std::mutex PublishedMutex;
  std::string PublishedOutput;
};

// The run's counters and statistics file.
struct TJobCounters {
  std::int64_t VideoSize = 0;
  std::int64_t AudioSize = 0;
  std::int64_t ExtraSize = 0;
  int FramesDuplicated = 0;
  int FramesDropped = 0;
  std::int64_t TimerStart = 0;
  TCFilePtr VStatsFile;
};
