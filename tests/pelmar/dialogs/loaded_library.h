// Tests only: the built library file bound at run time by the host core's
// binding, as the tool binds it; plus what the main window would do with it
// (collect events, read module records with the host core's reader).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library_api.h"
#include "library_binding.h"
#include "module_record.h"

namespace pelmar_test {

struct ModuleEvent {
  int32_t event;
  int32_t index;
  uint8_t mac[6];
};

class LoadedLibrary {
 public:
  LoadedLibrary() = default;
  ~LoadedLibrary();  // stops the worker and unloads
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // Binds the file (every entry point or none); false with error() otherwise.
  bool Load(const std::string& path);
  // Chooses the interface with that address, registers the event
  // collector and starts the worker.
  bool Start(const std::string& interfaceAddress);
  const std::string& error() const { return error_; }
  const pelmar::LibraryApi& api() const { return binding_.api(); }

  // Events raised so far, in order.
  std::vector<ModuleEvent> Events() const;
  void ClearEvents();
  // Waits for an event with that number from the module with that MAC.
  bool WaitEvent(int32_t event, const uint8_t mac[6], int timeoutMs = 5000) const;

  // Sends a discover and waits until `count` listable modules answered;
  // their records in arrival order.
  std::vector<pelmar::ModuleRecord> Scan(size_t count, int timeoutMs = 5000);

 private:
  pelmar::platform::LibraryBinding binding_;
  bool started_ = false;
  std::string error_;
};

}  // namespace pelmar_test
