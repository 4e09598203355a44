#include "fake_library.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace pelmar_test {
namespace {

FakeLibrary* g_fake = nullptr;

const FakeEntry* Entry(uint32_t index) {
  return index < g_fake->table.size() ? &g_fake->table[index] : nullptr;
}

int32_t GetPayloadData(int32_t tag, uint32_t index, void* buffer, int32_t size) {
  g_fake->calls.push_back({"GetPayloadData", tag, index, {}});
  const FakeEntry* e = Entry(index);
  if (!e) return MDSP_RESULT_BAD_INDEX;
  auto it = e->tags.find(tag);
  if (it == e->tags.end()) return MDSP_RESULT_NOT_FOUND;
  if (static_cast<size_t>(size) != it->second.size()) return MDSP_RESULT_INVALID_TAG;
  std::memcpy(buffer, it->second.data(), it->second.size());
  return MDSP_RESULT_OK;
}

int32_t GetPayloadString(int32_t tag, uint32_t index, char* buffer, uint32_t size) {
  g_fake->calls.push_back({"GetPayloadString", tag, index, std::to_string(size)});
  const FakeEntry* e = Entry(index);
  if (!e) return MDSP_RESULT_BAD_INDEX;
  auto it = e->tags.find(tag);
  if (it == e->tags.end()) return MDSP_RESULT_NOT_FOUND;
  size_t n = std::min<size_t>(it->second.size(), size - 1);
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = '\0';
  return MDSP_RESULT_OK;
}

int32_t GetModuleMac(uint32_t index, uint8_t* mac) {
  g_fake->calls.push_back({"GetModuleMac", -1, index, {}});
  const FakeEntry* e = Entry(index);
  if (!e) return MDSP_RESULT_BAD_INDEX;
  std::memcpy(mac, e->mac, 6);
  return MDSP_RESULT_OK;
}

int32_t CreateConfigureRequest(uint32_t index) {
  g_fake->calls.push_back(Create(index));
  return g_fake->createResult;
}

int32_t SetPayloadData(int32_t tag, const void* data, int32_t size) {
  g_fake->calls.push_back(SetData(tag, std::string(static_cast<const char*>(data), size)));
  return g_fake->setDataResult;
}

int32_t SetPayloadStringCall(int32_t tag, const char* text) {
  g_fake->calls.push_back(SetString(tag, text));
  return g_fake->setStringResult;
}

int32_t SendConfigure(const SmdspCredentials* credentials) {
  g_fake->calls.push_back(Send(credentials->password));
  // The tool passes no context and nothing in the reserved field.
  if (credentials->reserved || credentials->context) g_fake->calls.back().name += " with context";
  return g_fake->sendResult;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Call& call) {
  out << call.name << "(tag " << call.tag << ", index " << call.index << ", \"";
  for (unsigned char c : call.bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out << c;
    } else {
      const char* hex = "0123456789abcdef";
      out << "\\x" << hex[c >> 4] << hex[c & 15];
    }
  }
  return out << "\")";
}

FakeLibrary::FakeLibrary() {
  g_fake = this;
  api_.SMDSP_GetPayloadData = GetPayloadData;
  api_.SMDSP_GetPayloadString = GetPayloadString;
  api_.SMDSP_GetModuleMac = GetModuleMac;
  api_.SMDSP_CreateConfigureRequest = CreateConfigureRequest;
  api_.SMDSP_SetPayloadData = SetPayloadData;
  api_.SMDSP_SetPayloadString = SetPayloadStringCall;
  api_.SMDSP_SendConfigure = SendConfigure;
}

FakeLibrary::~FakeLibrary() { g_fake = nullptr; }

std::vector<Call> FakeLibrary::writes() const {
  std::vector<Call> out;
  for (const Call& c : calls)
    if (c.name.rfind("Get", 0) != 0) out.push_back(c);
  return out;
}

Call Create(uint32_t index) { return {"CreateConfigureRequest", -1, index, {}}; }
Call SetData(int32_t tag, const std::string& bytes) { return {"SetPayloadData", tag, -1, bytes}; }
Call SetString(int32_t tag, const std::string& text) { return {"SetPayloadString", tag, -1, text}; }
Call Send(const std::string& password) { return {"SendConfigure", -1, -1, password}; }

}  // namespace pelmar_test
