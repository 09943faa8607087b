// TJobTables: what one run of a job works on, handed by the engine to its transcoder. The
// engine owns all of it: the settings and the tables that the options and the files set
// up, and the counters and files of the run that outlive it until the next reset.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/FFmpeg.h"

struct TJobTables {
  TEngineSettings& Settings;

  // The input side.
  const std::array<std::vector<TCodecContextPtr>, kMaxFiles>& InputStreamCodecs;
  const std::array<bool, kMaxFiles>& InputFilesRateEmulation;
  const std::array<std::int64_t, kMaxFiles>& InputFilesStartTime;
  std::array<std::int64_t, kMaxFiles>& InputFilesTsOffset;
  const std::vector<std::array<double, kMaxStreams>>& InputFilesTsScale;

  // The output side: what each stream was created with, and each file's byte stream, what
  // was written into it, and whether it received any packet.
  std::array<std::vector<TOutputStreamSetup>, kMaxFiles>& OutputStreams;
  std::array<std::unique_ptr<TOutputByteStream>, kMaxFiles>& OutputByteStreams;
  std::array<TWrittenOutput, kMaxFiles>& OutputWritten;
  std::array<bool, kMaxFiles>& OutputWithoutData;

  // Maps and the options that the transcoder reads back.
  const std::vector<TStreamMap>& StreamMaps;
  const int& NbStreamMaps;
  const std::array<TMetaDataMap, kMaxMetaDataMaps>& MetaDataMaps;
  const int& NbMetaDataMaps;
  const std::array<TCodecContextPtr, 5>& CodecOptionContexts;
  const TSwsContextPtr& ScalerOptionContext;
  TFrameHookList& FrameHooks;
  TSideFiles& SideFiles;

  // The run's counters and statistics file, and whether it ended without a stop.
  std::int64_t& VideoSize;
  std::int64_t& AudioSize;
  std::int64_t& ExtraSize;
  int& FramesDuplicated;
  int& FramesDropped;
  std::int64_t& TimerStart;
  TCFilePtr& VStatsFile;
  std::atomic<bool>& Finished;
};
