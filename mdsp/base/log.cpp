#include "base/log.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/errors.h"

namespace mdsp {
namespace {
Log* g_log = nullptr;
// A report that itself fails (an over-long line) records its own error;
// never recurse from there.
thread_local bool g_reporting = false;
}

Log::~Log() {
  while (sinks_) {
    LogSink* next = sinks_->next_;
    delete sinks_;
    sinks_ = next;
  }
}

void Log::AddSink(LogSink* sink) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  sink->next_ = sinks_;
  sinks_ = sink;
  UpdateLowestThreshold();
}

void Log::UpdateLowestThreshold() {
  int lowest = INT_MAX;
  for (LogSink* sink = sinks_; sink; sink = sink->next_)
    if (sink->threshold() < lowest) lowest = sink->threshold();
  lowestThreshold_.store(lowest, std::memory_order_relaxed);
}

bool Log::RemoveSink(LogSink* sink) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (LogSink** link = &sinks_; *link; link = &(*link)->next_) {
    if (*link == sink) {
      *link = sink->next_;
      sink->next_ = nullptr;
      UpdateLowestThreshold();
      return true;
    }
  }
  return false;
}

void Log::Report(int level, const char* format, va_list args) {
  char line[4096];
  int length = std::vsnprintf(line, sizeof line, format, args);
  if (length < 0 || length > kLogMaxLine) {
    line[0] = '\0';
    length = 0;
    ReportError(ERR_TEXT_TOO_LONG);
  }
  line[length] = '\n';
  line[length + 1] = '\0';
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (LogSink* sink = sinks_; sink; sink = sink->next_) {
    if (sink->threshold() <= level) sink->Write(level, line);
  }
}

std::string MaskPasswords(const std::string& line) {
  std::string out = line;
  for (const char* key : {"Password: ", "New Password = "}) {
    const std::string k = key;
    for (size_t at = out.find(k); at != std::string::npos; at = out.find(k, at)) {
      size_t value = at + k.size();
      size_t end = out.find(';', value);
      if (end == std::string::npos) end = out.find('\'', value);
      if (end == std::string::npos) end = out.size();
      out.replace(value, end - value, "***");
      at = value + 3;
    }
  }
  return out;
}

Log* TheLog() { return g_log; }

void CreateLog() {
  if (!g_log) g_log = new (std::nothrow) Log();
}

void DestroyLog() {
  delete g_log;
  g_log = nullptr;
}

void Report(int level, const char* format, ...) {
  Log* log = g_log;
  if (!log || !log->Wants(level)) return;
  va_list args;
  va_start(args, format);
  log->Report(level, format, args);
  va_end(args);
}

void ReportError(int32_t code) {
  RecordError(code);
  if (g_reporting) return;
  g_reporting = true;
  Report(kLogError, "ERROR: %x", static_cast<unsigned>(code));
  g_reporting = false;
  RecordError(code);  // the report may have recorded a code of its own
}

}  // namespace mdsp
