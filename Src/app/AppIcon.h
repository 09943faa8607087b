// The application's icon, drawn from the PNG renderings of its SVG built into the program,
// so that neither an SVG plugin nor an installed icon theme is needed to show it.
#pragma once

#include <QIcon>

// Every size there is a rendering of (16 to 256 pixels).
QIcon ApplicationIcon();
