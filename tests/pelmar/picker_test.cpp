// Command line and picker datagrams: the whole start-up (RunTool) with the
// stand-in library, the main window driven while it runs modally, the reply
// received on a loopback socket in a namespace of the test's own (so a
// machine whose loopback is down runs them the same).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "dialog_answer.h"
#include "netns.h"
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
  // Whether a datagram is waiting now, without taking it.
  bool Pending() const {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
  }
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

// Every UDP datagram delivered in the namespace, whatever its port: a raw
// socket sees a reply to any port, also one none of the cases names.
class UdpSniffer {
 public:
  UdpSniffer() : fd_(socket(AF_INET, SOCK_RAW, IPPROTO_UDP)) {}
  ~UdpSniffer() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  // Sends a marker to the loopback address and returns "PORT PAYLOAD" of
  // every datagram seen before it; anything sent earlier arrives before it.
  std::vector<std::string> SeenBeforeMarker() {
    std::vector<std::string> seen;
    const std::string marker = "picker-test-marker";
    int out = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(9);
    bool sent = out >= 0 && sendto(out, marker.data(), marker.size(), 0,
                                   reinterpret_cast<sockaddr*>(&to), sizeof to) > 0;
    if (out >= 0) close(out);
    if (!sent) {
      ADD_FAILURE() << "the marker could not be sent";
      return seen;
    }
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, 5000) > 0) {
      unsigned char packet[4096];
      ssize_t got = recv(fd_, packet, sizeof packet, 0);
      if (got < 20) break;
      size_t header = (packet[0] & 0x0F) * 4u;
      if (static_cast<size_t>(got) < header + 8) continue;
      int port = packet[header + 2] << 8 | packet[header + 3];
      std::string payload(reinterpret_cast<char*>(packet) + header + 8,
                          static_cast<size_t>(got) - header - 8);
      if (port == 9 && payload == marker) return seen;
      seen.push_back(std::to_string(port) + " " + payload);
    }
    ADD_FAILURE() << "the marker did not arrive within 5 s";
    return seen;
  }

 private:
  int fd_;
};

class Picker : public pelmar_test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    NETNS_REQUIRE(lab_);
    // Sockets opened by this thread from now on, the tool's reply socket
    // among them, live in this namespace, where loopback is up.
    std::string ns = lab_.AddNamespace("pick");
    ASSERT_FALSE(ns.empty()) << lab_.error();
    ASSERT_TRUE(lab_.Enter(ns));
    sniffer_ = std::make_unique<UdpSniffer>();
    ASSERT_TRUE(sniffer_->ok()) << "no raw socket";
  }

  // Nothing was sent anywhere in the namespace.
  void ExpectNothingSent() { EXPECT_EQ(sniffer_->SeenBeforeMarker(), std::vector<std::string>{}); }

  // Runs the program; `drive` is called with the running window once its
  // rows are listed (or at once when `rows` is 0).
  int Run(const std::vector<std::string>& args, int rows,
          std::function<void(pelmar::CMainDlg*)> drive) {
    QTimer timer;
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* w = qobject_cast<pelmar::CMainDlg*>(QApplication::activeModalWidget());
      if (!w || done) return;
      if (w->moduleList()->rowCount() < rows) {
        // Closed, so RunTool returns and the test ends with this message.
        if (clock.elapsed() < test_support::kDialogDeadlineMs) return;
        ADD_FAILURE() << "the window listed " << w->moduleList()->rowCount() << " of " << rows
                      << " rows within " << test_support::kDialogDeadlineMs / 1000 << " s";
        done = true;
        w->close();
        return;
      }
      done = true;
      buttonText = w->button1()->text().toStdString();
      drive(w);
    });
    timer.start(10);
    return pelmar::RunTool(args, options);
  }
  std::string buttonText;
  net_test::Lab lab_;
  std::unique_ptr<UdpSniffer> sniffer_;
};

const char kReplyFirst[] =
    "<SELECTED_IP>10.0.0.1</SELECTED_IP>\n<SELECTED_MAC>02-00-00-00-00-01</SELECTED_MAC>";
const char kReplyEmpty[] = "<SELECTED_IP></SELECTED_IP>\n<SELECTED_MAC></SELECTED_MAC>";

TEST_F(Picker, SelectedRowIsSentAfterTheWindowEnded) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B")});
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  // What had happened when the window went away: the library's stops, and
  // whether the reply was already there.
  int stopsAtWindowEnd = -1;
  bool replyBeforeWindowEnd = true;
  Run({"SOCKETCOMM", std::to_string(rx.port())}, 2, [&](pelmar::CMainDlg* w) {
    QObject::connect(w, &QObject::destroyed, [&] {
      std::lock_guard<std::mutex> lock(lib->mutex);
      stopsAtWindowEnd = lib->stops;
      replyBeforeWindowEnd = rx.Pending();
    });
    w->moduleList()->SelectRow(0);
    w->button1()->click();
  });
  EXPECT_EQ(buttonText, "OK");
  // The library stopped with the window; the reply came after both.
  EXPECT_EQ(stopsAtWindowEnd, 1);
  EXPECT_FALSE(replyBeforeWindowEnd);
  auto got = rx.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], kReplyFirst);
  EXPECT_EQ(rx.senderAddress, INADDR_LOOPBACK);
  EXPECT_NE(rx.senderPort, 0);
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
  ExpectNothingSent();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Incorrect MDSP.DLL version");
}

TEST_F(Picker, CancelAfterFailedBindingSendsNothing) {
  options.libraryPath = FAKE_NO_MASS_RESTART;
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"SOCKETCOMM", std::to_string(rx.port())}, 0, [](pelmar::CMainDlg*) {});
  ExpectNothingSent();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Error loading MDSP.DLL");
}

TEST_F(Picker, BadPortsKeepPickerModeAndSendNothing) {
  // 70000 would reach port 4464 if it were cut to 16 bits: the sniffer sees
  // every port, that one included.
  for (std::vector<std::string> args :
       {std::vector<std::string>{"SOCKETCOMM"}, {"SOCKETCOMM", "port"}, {"SOCKETCOMM", "0"},
        {"SOCKETCOMM", "70000"}, {"SOCKETCOMM", "-1"}}) {
    SCOPED_TRACE(args.back());
    buttonText.clear();
    Run(args, 0, [](pelmar::CMainDlg* w) { w->button1()->click(); });
    EXPECT_EQ(buttonText, "OK");
    ExpectNothingSent();
  }
}

TEST_F(Picker, LowerCaseKeywordIsNormalMode) {
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"socketcomm", std::to_string(rx.port())}, 0,
      [](pelmar::CMainDlg* w) { w->button1()->click(); });
  EXPECT_EQ(buttonText, "Exit");
  ExpectNothingSent();
}

TEST_F(Picker, IpFollowedBySocketcommOnlySelectsTheInterface) {
  Receiver rx;
  ASSERT_TRUE(rx.ok());
  Run({"IP", "10.78.0.1", "SOCKETCOMM", std::to_string(rx.port())}, 0,
      [](pelmar::CMainDlg* w) { w->button1()->click(); });
  EXPECT_EQ(buttonText, "Exit");
  ExpectNothingSent();
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
