// Which input streams an output gets: one video and one audio track, or, where the
// container holds them and the options ask, every audio and subtitle track with the file's
// tags and chapters; the cover picture where the container keeps one; and which of them
// are copied because they already fit.
#pragma once

#include <string>
#include <vector>

struct TOutputOptions;
class TFFmpeg;

struct TTrackPlan {
  struct TTrack {
    int Source = -1;    // stream index in the task's last input
    std::string Codec;  // the encoder to name, "copy", or empty for the settings' own
  };
  // The output takes its streams through stream maps (every track); otherwise the engine
  // picks one stream of each type.
  bool MapsTracks = false;
  // The input's subtitles stay out of the output (which would take the first of them).
  bool DropSubtitles = false;
  TTrack Video;
  // The input's cover picture (stream index), kept as the output's cover; -1: none.
  int Cover = -1;
  std::vector<TTrack> Audio;
  std::vector<TTrack> Subtitles;
  // "63 of 200 tracks kept: ..." when tracks were left out for the output's stream limit.
  std::string LimitNote;
};

// Decides before the output is created; logs what is left out and, with copying of fitting
// streams, each video and audio stream's fate.
TTrackPlan PlanTracks(TFFmpeg& Task, const TOutputOptions& Options, const std::string& FileName);
// The settings for the streams the output file is created with.
void ApplyPlanBeforeOpen(TFFmpeg& Task, const TOutputOptions& Options, const TTrackPlan& Plan);
// Once the output file exists: its further tracks, the stream maps, tags and chapters.
void ApplyPlanAfterOpen(TFFmpeg& Task, const TOutputOptions& Options, const TTrackPlan& Plan);
