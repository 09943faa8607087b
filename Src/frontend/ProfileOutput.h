// The chosen profile turned into the output record of a task. Plain C++: both front ends
// use it.
#pragma once

#include "binding/ValueConversion.h"
#include "component/OptionRecords.h"
#include "frontend/IniFile.h"
#include "frontend/UnitGeneral.h"

// A codec of the profile that the codec catalogue cannot resolve: a failure of each file
// converted with the profile rather than of the profile's values.
class ECodecCatalogueError : public EConvertError {
  using EConvertError::EConvertError;
};

// "." and the profile's "TargetType" in lower case: the extension of its output files.
std::string OutputExtension(const TProfileSettings& profile);

// Fills the fields of options (reset by the caller) that a profile sets: time stamp, file
// extension, codecs from the catalogue, disabled streams, frame size and rate, bitrates in
// bits per second, audio channels and rate, target preset and norm; 8-bit 4:2:0 pictures
// (an option line in ExtOptions) and the choice of the input's preferred audio track. A
// numeric profile value that is not a number or outside what the encoders take raises
// EConvertError naming the profile key; so does a codec other than "Auto" that the
// catalogue cannot resolve (missing, unreadable or damaged catalogue, or no such entry),
// naming the codec, profileName, the catalogue and the reason.
void FillOutputOptions(const TProfileSettings& profile, const TIniFile& codecCatalogue,
                       TOutputOptions& options, const std::string& profileName);
