#include "tool_icon.h"

// The resource lives in a static library: its initialiser is called by
// name, or the linker may leave it out.
static void InitToolIconResource() { Q_INIT_RESOURCE(tool_icon); }

namespace pelmar {

QIcon ToolIcon() {
  InitToolIconResource();
  return QIcon::fromTheme(QStringLiteral("pelmar"), QIcon(QStringLiteral(":/pelmar/pelmar.svg")));
}

}  // namespace pelmar
