// Texts the front ends show about files and a run: durations, progress and error boxes.
// Plain C++: both front ends use it.
#pragma once

#include <cstdint>
#include <string>

// Whole seconds of a duration in microseconds as HH:MM:SS, each part at least two digits
// (hours may have more). Empty for an unknown (negative) duration.
std::string FormatDuration(std::int64_t microseconds);

// The "Status" of a file being converted: "<percent>% Completed" of the total output
// duration. Without a known total (0 or less) there is no percentage to give, so it
// tells how much has been converted: "<HH:MM:SS> converted".
std::string ProgressStatus(int currentMilliseconds, int totalMilliseconds);

// "Current Frame=<frame> Time=<seconds> FPS=<fps>".
std::string ProgressLine(int frameNumber, int currentMilliseconds, int framesPerSecond);

// An error text as the error boxes show it: a "." is appended when the text is not empty
// and its last character sorts after ".".
std::string WithClosingPeriod(const std::string& text);
