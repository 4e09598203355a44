// A LibraryApi whose configure entry points record every call with its
// arguments as bytes, so tests can compare whole call sequences.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "library_api.h"

namespace pelmar_test {

struct Call {
  std::string name;
  int32_t tag = -1;
  int64_t index = -1;
  std::string bytes;  // data, text or password as passed

  bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call);

// One module table entry as the fake library knows it.
struct FakeEntry {
  uint8_t mac[6] = {};
  std::map<int32_t, std::string> tags;  // value bytes as the library stores them
};

class FakeLibrary {
 public:
  FakeLibrary();   // becomes the one the entry points use
  ~FakeLibrary();

  const pelmar::LibraryApi& api() const { return api_; }

  std::vector<FakeEntry> table;
  std::vector<Call> calls;
  // Results of the calls that change something; 0 by default.
  int32_t createResult = 0, setDataResult = 0, setStringResult = 0, sendResult = 0;

  // Only the configure calls, in order, without the reads.
  std::vector<Call> writes() const;

 private:
  pelmar::LibraryApi api_;
};

// Shorthands for expected calls.
Call Create(uint32_t index);
Call SetData(int32_t tag, const std::string& bytes);
Call SetString(int32_t tag, const std::string& text);
Call Send(const std::string& password);

}  // namespace pelmar_test
