// The chosen profile turned into the output record of a task. Plain C++: both front ends
// use it.
#pragma once

#include "IniFile.h"
#include "UnitGeneral.h"
#include "OptionRecords.h"

// "." and the profile's "TargetType" in lower case: the extension of its output files.
std::string OutputExtension(const TProfileSettings& profile);

// Fills the fields of options (reset by the caller) that a profile sets: time stamp, file
// extension, codecs from the catalogue, disabled streams, frame size and rate, bitrates in
// bits per second, audio channels and rate, target preset and norm; 8-bit 4:2:0 pictures
// (an option line in ExtOptions) and the choice of the input's preferred audio track. A numeric profile
// value that is not a number, or a bitrate out of range, raises EConvertError naming the
// profile key.
void FillOutputOptions(const TProfileSettings& profile, const TIniFile& codecCatalogue,
                       TOutputOptions& options);
