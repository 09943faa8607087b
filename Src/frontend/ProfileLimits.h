// The values of a profile that the encoders can be given. Profiles are edited in the
// options dialog and by hand; both ways are checked against the same limits before a value
// is stored or converted with.
#pragma once

#include <string>

#include "app/UnitGeneral.h"

// The first value of the profile outside its limits, as "<key> <value>: must be from <low>
// to <high> <unit>" (or "must be a ... number" for text that is none); empty when every
// value fits. Values of a disabled stream are not looked at, nor the frame size of
// "Original" and the frame rate "Original" or one given by name ("pal", "ntsc").
std::string ProfileValueProblem(const TProfileSettings& profile);
