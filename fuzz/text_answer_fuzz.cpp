// Any datagram the receive step would treat as text: notice handling, then
// the answer parser with its queue, duplicate test and module-table entry.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "client.h"
#include "lifecycle.h"
#include "text/text_protocol.h"

namespace {
constexpr size_t kDatagramCapacity = 1500;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mdsp::LibraryLoad();
  return mdsp::EnsureClient() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kDatagramCapacity) return 0;
  // Exactly the bytes and the NUL the receive step hands over.
  char* text = new char[size + 1];
  std::memcpy(text, data, size);
  text[size] = '\0';
  mdsp::Client& client = *mdsp::TheClient();
  std::lock_guard<mdsp::SocketLock> guard(client.socketLock);
  if (!mdsp::HandleNotice(client, text)) mdsp::HandleTextAnswer(client, text);
  // Keep a few answers around so the duplicate test has something to find.
  if (client.responses.count() > 32) {
    std::lock_guard<std::recursive_mutex> queueGuard(client.queueLock);
    mdsp::ClearModuleLists(client);
  }
  delete[] text;
  return 0;
}
