// A run of datagrams through the receive step's dispatch (notices, secure
// replies, text answers, junk), with a pending configuration and an open
// ping window for the replies to act on, then every reader callers use on
// what was made: the module data calls over each entry and each of its
// tags, and the response queue.
//
// Input: datagrams, each behind a 2-byte length (least significant byte
// first); the last one takes whatever is left. State is reset per input so
// a finding replays alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "client.h"
#include "lifecycle.h"
#include "mdsp.h"
#include "receive.h"
#include "secure/protocol.h"
#include "state/module_table.h"
#include "state/socket_set.h"
#include "state/tlv.h"

namespace {

constexpr uint8_t kSlotMac[6] = {0x02, 0x00, 0x00, 0xAA, 0x00, 0x01};
constexpr size_t kDatagramCapacity = 1500;
constexpr size_t kMaxDatagrams = 16;
const SmdspCredentials kCredentials = {"pw", nullptr, nullptr};

// Reads the new entry from inside the callback, as callers may.
int32_t OnSmdsp(int32_t event, int32_t index, uint8_t*, int32_t, void* context) {
  if (event == SMDSP_EVENT_MODULE_FOUND) {
    char text[8];
    SMDSP_GetPayloadString(SMDSP_TAG_HOST_NAME, static_cast<uint32_t>(index), text, sizeof text);
  } else if (event == SMDSP_EVENT_RESTART_REPORT) {
    std::free(context);
  }
  return 0;
}

void OnMdsp(int32_t, uint8_t*) {}

// Heap buffers of exactly the size handed over, so a write past it is caught.
void ReadTag(uint32_t index, uint8_t tag, size_t length) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length ? length : 1]);
  SMDSP_GetPayloadData(tag, index, exact.get(), static_cast<int32_t>(length));
  uint32_t size = static_cast<uint32_t>(length);
  SMDSP_GetPayloadDataAndSize(tag, index, exact.get(), &size);
  if (length > 0) {
    size = static_cast<uint32_t>(length - 1);  // one short: refused, nothing written
    SMDSP_GetPayloadDataAndSize(tag, index, exact.get(), &size);
  }
  for (uint32_t room : {1u, 2u, static_cast<uint32_t>(length), static_cast<uint32_t>(length + 1)}) {
    if (room == 0) continue;
    std::unique_ptr<char[]> text(new char[room]);
    if (SMDSP_GetPayloadString(tag, index, text.get(), room) == MDSP_RESULT_OK &&
        std::strlen(text.get()) >= room)
      std::abort();
  }
}

void ReadEverything(mdsp::Client& client) {
  std::vector<std::vector<std::pair<uint8_t, size_t>>> tags;
  {
    std::lock_guard<std::recursive_mutex> guard(client.queueLock);
    for (size_t i = 0; i < client.modules.count(); ++i) {
      const mdsp::TlvList& list = client.modules[i]->tlvs;
      std::vector<std::pair<uint8_t, size_t>> items;
      for (size_t j = 0; j < list.items.count(); ++j)
        items.emplace_back(list.items[j]->tag, list.items[j]->length);
      tags.push_back(items);
    }
  }
  for (uint32_t index = 0; index <= tags.size(); ++index) {  // one past the end too
    uint8_t mac[6];
    SMDSP_GetModuleMac(index, mac);
    if (index == tags.size()) {
      ReadTag(index, SMDSP_TAG_HOST_NAME, 4);
      break;
    }
    for (const auto& [tag, length] : tags[index]) ReadTag(index, tag, length);
    ReadTag(index, 0, 0);  // a tag no entry carries
  }
  MdspResponse response;
  while (MDSP_GetResponse(&response) == 1) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mdsp::LibraryLoad();
  if (!mdsp::EnsureClient()) return 1;
  std::memcpy(mdsp::TheClient()->sockets->interfaceMac[0], kSlotMac, 6);
  MDSP_RegisterCallBack(OnMdsp);
  SMDSP_RegisterCallBack(OnSmdsp);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mdsp::Client& client = *mdsp::TheClient();
  {
    std::lock_guard<std::recursive_mutex> guard(client.queueLock);
    mdsp::ClearModuleLists(client);
    mdsp::DiscardPendingConfiguration(client);
    client.seed = 0;
    // One module known before the run: a pending configuration, a ping
    // window and a wait for its seed point at it, so Configure, Ping and
    // Authentication replies have work to do.
    MdspResponse known{};
    known.macValid = 1;
    std::memcpy(known.mac, "\x02\x00\x00\x00\x10\x01", 6);
    client.modules.Append(new mdsp::MDSP_Message(&known));
    client.pending.list = new mdsp::TlvList;
    client.pending.moduleIndex = 0;
    client.restarts.Append(new mdsp::RestartEntry{0, &kCredentials});
    client.pingWindow = 10;
    mdsp::OpenSeedWait(client, known.mac);
  }
  std::lock_guard<mdsp::SocketLock> socketGuard(client.socketLock);
  std::vector<uint8_t> datagram;
  for (size_t count = 0; size > 0 && count < kMaxDatagrams; ++count) {
    size_t length = size;
    if (size >= 2) {
      length = static_cast<size_t>(data[0] | data[1] << 8);
      data += 2;
      size -= 2;
      if (length > size) length = size;
    }
    if (length > kDatagramCapacity) length = kDatagramCapacity;
    // Exactly what the receive step hands over: the bytes and a NUL behind.
    datagram.assign(data, data + length);
    datagram.push_back(0);
    if (length > 0) mdsp::DispatchDatagram(client, datagram.data(), length, 0);
    data += length;
    size -= length;
  }
  ReadEverything(client);
  return 0;
}
