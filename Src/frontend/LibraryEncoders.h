// The encoder questions of the settings installer, answered by the bound media libraries.
#pragma once

#include "frontend/SettingsInstaller.h"

// Needs the media libraries bound. Experimental encoders count as missing: the engine
// refuses them at its default strictness.
TEncoderQuery LibraryEncoderQuery();
