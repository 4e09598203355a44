// Collects the library's log lines in a test.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/log.h"

namespace mdsp_test {

class CapturingSink : public mdsp::LogSink {
 public:
  explicit CapturingSink(int threshold = mdsp::kLogTrace) : LogSink(threshold) {}
  void Write(int level, const char* line) override {
    std::lock_guard<std::mutex> guard(mutex_);
    lines_.emplace_back(std::to_string(level) + ":" + line);
  }
  std::vector<std::string> lines() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_;
  }
  // Number of lines that start with `prefix` (after the "level:" mark).
  size_t CountStartingWith(const std::string& prefix) {
    size_t count = 0;
    for (const auto& line : lines()) {
      auto colon = line.find(':');
      if (line.compare(colon + 1, prefix.size(), prefix) == 0) ++count;
    }
    return count;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Attaches a new capturing sink to the process-wide log; the log owns it.
inline CapturingSink* AttachCapture(int threshold = mdsp::kLogTrace) {
  auto* sink = new CapturingSink(threshold);
  mdsp::TheLog()->AddSink(sink);
  return sink;
}

}  // namespace mdsp_test
