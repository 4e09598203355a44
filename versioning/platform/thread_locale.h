// Switches the calling thread's locale to a language (a Windows language
// identifier such as 0x0409) for the lifetime of the object.
#pragma once

#include <cstdint>

namespace versioning::platform {

class ScopedThreadLocale {
 public:
  // When the language has no installed locale the thread keeps its own.
  explicit ScopedThreadLocale(uint16_t language);
  // Restores the locale found at construction.
  ~ScopedThreadLocale();
  ScopedThreadLocale(const ScopedThreadLocale&) = delete;
  ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;

  // True when the thread now runs in the language's own locale.
  bool switched() const { return chosen_ != nullptr; }

 private:
  void* saved_ = nullptr;   // the thread's locale at construction
  void* chosen_ = nullptr;  // the locale made for the language, owned
};

}  // namespace versioning::platform
