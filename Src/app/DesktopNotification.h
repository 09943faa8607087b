// A note on the desktop through the freedesktop notification service (D-Bus), for the end
// of a run the user is not looking at.
#pragma once

#include <QString>

// Sent without waiting for an answer; false when there is no session bus to send it on.
bool SendDesktopNotification(const QString& summary, const QString& body);
