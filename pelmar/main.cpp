// Pelmar, the configuration tool. It broadcasts on every network interface as
// soon as it starts: run it only where that is wanted (tests run it inside
// network namespaces of their own).
#include <QApplication>

#include "tool_app.h"
#include "tool_icon.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pelmar"));
  // Docks and compositors match the running window to pelmar.desktop by it.
  QApplication::setDesktopFileName(QString::fromLatin1(pelmar::kDesktopFileName));
  QApplication::setWindowIcon(pelmar::ToolIcon());
  std::vector<std::string> arguments;
  // Qt removes the arguments it takes itself (-platform, ...); the rest are the tool's.
  const QStringList list = QCoreApplication::arguments();
  for (qsizetype i = 1; i < list.size(); ++i) arguments.push_back(list[i].toStdString());
  return pelmar::RunTool(arguments);
}
