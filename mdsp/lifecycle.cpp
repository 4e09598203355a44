// Load and unload of the library: the log first and last, the client in
// between.
#include "lifecycle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "base/log.h"
#include "client.h"
#include "state/callbacks.h"
#include "visible_text.h"

namespace mdsp {

std::string TerminalLine(const char* line) {
  std::string_view text(line);
  // Only the line's own end is a real line break.
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return display_text::VisibleText(MaskPasswords(std::string(text))) + "\n";
}

namespace {

// Debug output for terminal users: MDSP_LOG_STDERR=1 (trace and errors) or
// MDSP_LOG_STDERR=3 (errors only) attaches this sink at load. The library's
// own configure requests come back to its sockets and are logged as
// received: passwords are masked before they reach a terminal. Received
// bytes may be anything, escape sequences included: what the terminal must
// not act on is made visible.
class StderrSink : public LogSink {
 public:
  using LogSink::LogSink;
  void Write(int, const char* line) override {
    std::fputs(TerminalLine(line).c_str(), stderr);
  }
};

void AttachSinkFromEnvironment() {
  const char* value = std::getenv("MDSP_LOG_STDERR");
  if (!value || !*value || std::strcmp(value, "0") == 0) return;
  int threshold = std::strcmp(value, "3") == 0 ? kLogError : kLogTrace;
  if (Log* log = TheLog())
    if (auto* sink = new (std::nothrow) StderrSink(threshold)) log->AddSink(sink);
}

}  // namespace

void LibraryLoad() {
  CreateLog();
  AttachSinkFromEnvironment();
}

void LibraryUnload() {
  DestroyClient();
  DestroyLog();
  g_mdspCallback.store(nullptr);
  g_smdspCallback.store(nullptr);
  g_callbackContext.store(nullptr);
}

}  // namespace mdsp
