// The commands that only look: groups, profiles and probe.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "component/AVProbe.h"

// The output groups, one per line, in the window's order.
void ListGroups(std::ostream& out);
// The group's profiles as the window's list shows them (ending with "[Custom]"), one per
// line. Throws EUsageError for an unknown group.
void ListGroupProfiles(const std::string& group, std::ostream& out);

// Duration, container and streams of each file, with a blank line between files. A file
// that cannot be read (a playlist too, unless allowPlaylists) is reported on err and the
// others are still probed. 0 when every file was read, else 1. The media libraries must
// be bound.
int ProbeFiles(TAVProbe& probe, const std::vector<std::string>& files, bool allowPlaylists,
               std::ostream& out, std::ostream& err);

// Microseconds as HH:MM:SS.mmm (hours may have more digits); "unknown" when negative.
std::string DurationWithMilliseconds(std::int64_t microseconds);
