// Pelmar, the configuration tool. It broadcasts on every network interface as
// soon as it starts: run it only where that is wanted (tests run it inside
// network namespaces of their own).
#include <QApplication>
#include <cstdio>

#include "command_line.h"
#include "program_version.h"
#include "tool_app.h"
#include "tool_icon.h"

namespace {

const char kUsage[] =
    "usage: pelmar [SOCKETCOMM PORT | IP ADDRESS]\n"
    "\n"
    "Finds Corvane network modules and sets their addresses. As soon as its\n"
    "window opens it scans: it broadcasts on UDP port 3250 out of the machine's\n"
    "network interfaces (all of them, or the one chosen in Settings).\n"
    "\n"
    "  SOCKETCOMM PORT  picker mode: the Exit button reads OK; pressing it sends\n"
    "                   the chosen module's IP and MAC to UDP port PORT on\n"
    "                   127.0.0.1\n"
    "  IP ADDRESS       scan out of the interface with this IPv4 address\n"
    "  --help           show this text and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Only the first two arguments count; the rest are ignored.\n";

// --help and --version as the first argument: answered before anything else
// starts (no display needed, no window, no socket, no library).
bool AnswerInfoRequest(const std::vector<std::string>& arguments, int* exitCode) {
  const pelmar::StartOptions start = pelmar::ParseCommandLine(arguments);
  if (start.help) {
    std::fputs(kUsage, stdout);
    *exitCode = 0;
    return true;
  }
  if (start.version) {
    *exitCode = versioning::PrintProgramVersion("pelmar");
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = 0;
  if (AnswerInfoRequest(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                        &exitCode))
    return exitCode;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pelmar"));
  // Docks and compositors match the running window to pelmar.desktop by it.
  QApplication::setDesktopFileName(QString::fromLatin1(pelmar::kDesktopFileName));
  QApplication::setWindowIcon(pelmar::ToolIcon());
  std::vector<std::string> arguments;
  // Qt removes the arguments it takes itself (-platform, ...); the rest are the tool's.
  const QStringList list = QCoreApplication::arguments();
  for (qsizetype i = 1; i < list.size(); ++i) arguments.push_back(list[i].toStdString());
  // The same answers after Qt's own options.
  if (AnswerInfoRequest(arguments, &exitCode)) return exitCode;
  return pelmar::RunTool(arguments);
}
