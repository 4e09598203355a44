// The library's log: reports fan out to attached sinks by level. The library
// attaches no sink of its own; callers of the internals (tests, the debug
// sink chosen by environment) do.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdarg>
#include <mutex>
#include <string>

namespace mdsp {

inline constexpr int kLogTrace = 0;
inline constexpr int kLogError = 3;
// A formatted line may hold at most this many characters (plus "\n" and NUL
// in the 4096-byte buffer); longer lines are replaced by an empty one.
inline constexpr int kLogMaxLine = 4094;

class LogSink {
 public:
  explicit LogSink(int threshold) : threshold_(threshold) {}
  virtual ~LogSink() = default;
  // `line` ends with "\n".
  virtual void Write(int level, const char* line) = 0;
  int threshold() const { return threshold_; }

 private:
  friend class Log;
  int threshold_;
  LogSink* next_ = nullptr;
};

class Log {
 public:
  Log() = default;
  ~Log();
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // The log owns the sink from here on.
  void AddSink(LogSink* sink);
  // Detaches (and does not delete) a sink; returns false if not attached.
  bool RemoveSink(LogSink* sink);
  void Report(int level, const char* format, va_list args);
  // True when an attached sink would write a line of this level; lines no
  // sink wants are never formatted.
  bool Wants(int level) const { return lowestThreshold_.load(std::memory_order_relaxed) <= level; }

 private:
  void UpdateLowestThreshold();  // lock_ held

  std::recursive_mutex lock_;
  LogSink* sinks_ = nullptr;
  std::atomic<int> lowestThreshold_{INT_MAX};
};

// The line with the values of "Password: " and "New Password = " pieces
// replaced by "***", for sinks that show the log to people.
std::string MaskPasswords(const std::string& line);

// The process-wide log, created at library load and destroyed at unload.
Log* TheLog();
void CreateLog();
void DestroyLog();

// Reports through the process-wide log; does nothing when it does not exist.
void Report(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Stores the code in LastError and reports "ERROR: %x" at level 3: every
// failure site but a missing key or tag does this.
void ReportError(int32_t code);

}  // namespace mdsp
