#include "tool_app.h"

#include <QCoreApplication>

#include "about_dlg.h"
#include "command_line.h"
#include "host.h"
#include "message_box.h"
#include "version_data.h"

namespace pelmar {

int RunTool(const std::vector<std::string>& arguments, const MainDlgOptions& options) {
  // A version report meant for the user goes to a box, not to a console.
  versioning::SetVersionReportViewer(&ShowVersionReport);
  // The instance lock: held until the process ends; the result is not examined.
  platform::HoldInstanceLock();
  // The socket layer.
  if (!platform::ProbeSocketLayer()) {
    ShowMessage(nullptr, QCoreApplication::applicationName(), QStringLiteral("Socket init failed"),
                MessageIcon::Warning);
    return 1;
  }
  // The command line.
  const StartOptions start = ParseCommandLine(arguments);
  int result;
  std::string ip, mac;
  {
    // The main window, run modally.
    CMainDlg window(start.requestedInterface, options);
    window.SetButton1Caption(start.picker ? QStringLiteral("OK") : QStringLiteral("Exit"));
    result = window.Run();
    ip = window.selectedIp().toStdString();
    mac = window.selectedMac().toStdString();
    // Destroying it stops the library and unbinds it.
  }
  // The picker reply goes out after the window is gone; a failure shows nothing.
  if (result == QDialog::Accepted && start.picker && start.replyPort)
    platform::SendPickerReply(*start.replyPort, PickerReply(ip, mac));
  return 0;
}

}  // namespace pelmar
