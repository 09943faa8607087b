// The values of a profile that the encoders can be given. Profiles are edited in the
// options dialog and by hand; both ways are checked against the same limits before a value
// is stored or converted with.
#pragma once

#include <string>

#include "frontend/UnitGeneral.h"

// The first value of the profile outside its limits, as "<key> <value>: must be from <low>
// to <high> <unit>" (or "must be a ... number" for text that is none), or one that cannot be
// read ("<key> <value>: must be ..." naming what it can be: the output extension, the size
// option, a rate or a rate's name such as "pal", the disc target and norm, the tracks);
// empty when every value fits. Values of a disabled stream are not looked at, nor the frame
// size of "Original".
std::string ProfileValueProblem(const TProfileSettings& profile);
