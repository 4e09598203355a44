// The tool's icon, for every window it opens and for the About box: the
// desktop's installed "pelmar" icon, else the same SVG built into the
// program.
#pragma once

#include <QIcon>

namespace pelmar {

QIcon ToolIcon();

// The name under which the desktop knows the tool (pelmar.desktop): the
// application id on Wayland, the window class on X11.
inline constexpr char kDesktopFileName[] = "pelmar";

}  // namespace pelmar
