// Command line and picker datagrams: the whole start-up (RunTool) with the
// stand-in library, the main window driven while it runs modally, the reply
// received on a loopback socket.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QPushButton>
#include <QTimer>

#include "tool_app.h"
#include "window_fixture.h"

namespace pelmar_test {
namespace {


class Receiver {
 public:
  Receiver() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~Receiver() {
    if (fd_ >= 0) close(fd_);
  }
  // A receiver without a port would let "nothing arrived" pass unchecked.
  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  // All datagrams waiting within timeoutMs; each with its sender.
  std::vector<std::string> Take(int timeoutMs = 300) {
    std::vector<std::string> out;
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0) {
      char buffer[2048];
      sockaddr_in from{};
      socklen_t n = sizeof from;
      ssize_t got = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n);
      if (got < 0) break;
      out.emplace_back(buffer, static_cast<size_t>(got));
      senderPort = ntohs(from.sin_port);
      senderAddress = ntohl(from.sin_addr.s_addr);
      timeoutMs = 50;
    }
    return out;
  }
  int senderPort = 0;
  uint32_t senderAddress = 0;

 private:
  int fd_ = -1;
  int port_ = 0;
};

class Picker : public pelmar_test::WindowTest {
 protected:
  // Runs the program; `drive` is called with the running window once its
  // rows are listed (or at once when `rows` is 0).
  int Run(const std::vector<std::string>& args, int rows,
          std::function<void(pelmar::CMainDlg*)> drive) {
    QTimer timer;
    bool done = false;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* w = qobject_cast<pelmar::CMainDlg*>(QApplication::activeModalWidget());
      if (!w || done || w->moduleList()->rowCount() < rows) return;
      done = true;
      buttonText = w->button1()->text().toStdString();
      drive(w);
    });
    timer.start(10);
    return pelmar::RunTool(args, options);
  }
  std::string buttonText;
};

const char kReplyFirst[] =
    "<SELECTED_IP>10.0.0.1</SELECTED_IP>\n<SELECTED_MAC>02-00-00-00-00-01</SELECTED_MAC>";
const char kReplyEmpty[] = "<SELECTED_IP></SELECTED_IP>\n<SELECTED_MAC></SELECTED_MAC>";

TEST_F(Picker, SelectedRowIsSentAfterTheWindowEnded) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B")});
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"SOCKETCOMM", std::to_string(rx.port())}, 2, [](pelmar::CMainDlg* w) {
    w->moduleList()->SelectRow(0);
    w->button1()->click();
  });
  EXPECT_EQ(buttonText, "OK");
  auto got = rx.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], kReplyFirst);
  EXPECT_EQ(rx.senderAddress, INADDR_LOOPBACK);
  EXPECT_NE(rx.senderPort, 0);
  // Sent after the library was stopped and unbound.
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->stops, 1);
}

TEST_F(Picker, NoSelectionSendsEmptyTexts) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A")});
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"SOCKETCOMM", std::to_string(rx.port())}, 1,
      [](pelmar::CMainDlg* w) { w->button1()->click(); });
  auto got = rx.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], kReplyEmpty);
}

TEST_F(Picker, TitleBarCloseSendsEmptyTextsEvenWithASelection) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A")});
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"SOCKETCOMM", std::to_string(rx.port())}, 1, [](pelmar::CMainDlg* w) {
    w->moduleList()->SelectRow(0);
    w->close();
  });
  auto got = rx.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], kReplyEmpty);
}

TEST_F(Picker, CancelAfterFailedCheckSendsNothing) {
  options.libraryPath = FAKE_4_1_0_0;
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  int code = Run({"SOCKETCOMM", std::to_string(rx.port())}, 0, [](pelmar::CMainDlg*) {});
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(rx.Take().empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Incorrect MDSP.DLL version");
}

TEST_F(Picker, CancelAfterFailedBindingSendsNothing) {
  options.libraryPath = FAKE_NO_MASS_RESTART;
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"SOCKETCOMM", std::to_string(rx.port())}, 0, [](pelmar::CMainDlg*) {});
  EXPECT_TRUE(rx.Take().empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Error loading MDSP.DLL");
}

TEST_F(Picker, BadPortsKeepPickerModeAndSendNothing) {
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  for (std::vector<std::string> args :
       {std::vector<std::string>{"SOCKETCOMM"}, {"SOCKETCOMM", "port"}, {"SOCKETCOMM", "0"},
        {"SOCKETCOMM", "70000"}}) {
    buttonText.clear();
    Run(args, 0, [](pelmar::CMainDlg* w) { w->button1()->click(); });
    EXPECT_EQ(buttonText, "OK");
  }
  EXPECT_TRUE(rx.Take().empty());
}

TEST_F(Picker, LowerCaseKeywordIsNormalMode) {
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"socketcomm", std::to_string(rx.port())}, 0,
      [](pelmar::CMainDlg* w) { w->button1()->click(); });
  EXPECT_EQ(buttonText, "Exit");
  EXPECT_TRUE(rx.Take().empty());
}

TEST_F(Picker, IpFollowedBySocketcommOnlySelectsTheInterface) {
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"IP", "10.78.0.1", "SOCKETCOMM", std::to_string(rx.port())}, 0,
      [](pelmar::CMainDlg* w) { w->button1()->click(); });
  EXPECT_EQ(buttonText, "Exit");
  EXPECT_TRUE(rx.Take().empty());
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->devices, (std::vector<std::pair<uint32_t, std::string>>{{0, "10.78.0.1"}}));
}

TEST_F(Picker, SecondInstanceStartsNormally) {
  // The instance lock is shared: a second start in the same session runs.
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  for (int i = 0; i < 2; ++i)
    Run({"SOCKETCOMM", std::to_string(rx.port())}, 0,
        [](pelmar::CMainDlg* w) { w->button1()->click(); });
  EXPECT_EQ(rx.Take().size(), 2u);
}

}  // namespace
}  // namespace pelmar_test
