// Binding and unbinding of all media libraries and the helper library as one unit.
#pragma once

#include <string>

// Binds avcodec, avfilter, avformat, avutil, swscale, swresample and myutil from folder, in
// that order, stopping at the first failure; a failed load leaves nothing bound.
bool LoadMediaLibraries(const std::string& folder, bool versioned);
void FreeMediaLibraries();

bool MediaLibrariesLoaded();
// The failure text of the last load attempt; empty after a successful one.
const std::string& MediaLibrariesError();
// The libraries' log threshold as read back after the last successful load.
int CurrentLogLevel();
// Records a threshold just passed to av_log_set_level.
void SetCurrentLogLevel(int level);
