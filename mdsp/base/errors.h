// Internal error codes, the LastError cell and the mapping of codes onto the
// results that the exports hand out. Reporting a failure (code plus log
// line) is the log's job: ReportError in log.h.
#pragma once

#include <cstdint>

namespace mdsp {

enum ErrorCode : int32_t {
  ERR_NONE = 0,
  ERR_NOT_STARTED = 1,
  ERR_MESSAGE_TOO_LONG = 2,
  ERR_INVALID_TAG = 3,
  ERR_BAD_INDEX = 4,
  ERR_SOCKET = 5,
  ERR_FAILED = static_cast<int32_t>(0x80000000u),
  ERR_NO_MEMORY = static_cast<int32_t>(0x80000001u),
  ERR_OUT_OF_RANGE = static_cast<int32_t>(0x80000002u),
  ERR_SYSTEM = static_cast<int32_t>(0x80000003u),
  ERR_NOT_FOUND = static_cast<int32_t>(0x80000004u),
  ERR_TEXT_TOO_LONG = static_cast<int32_t>(0x80000006u),
  ERR_BAD_VALUE = static_cast<int32_t>(0x80000010u),
};

// "ERR_BAD_INDEX" etc.; "ERR_UNKNOWN" for codes without a name.
const char* ErrorName(int32_t code);

// LastError is kept per thread (see errors.cpp).
// Stores the code, without a log line.
void RecordError(int32_t code);
int32_t LastErrorCode();

// Result handed out by the code-returning exports for a failure with `code`.
int32_t ResultCodeFor(int32_t code);
// ResultCodeFor(LastErrorCode()).
int32_t FailureResult();

}  // namespace mdsp
