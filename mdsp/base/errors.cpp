#include "base/errors.h"

#include "mdsp.h"

namespace mdsp {
namespace {

// One cell per thread: the code an export maps into its result must be the
// one its own failure path just stored, not one the worker thread stored
// meanwhile (it records a missing key for nearly every answer it parses).
struct LastError {
  int32_t code = ERR_NONE;
};
thread_local LastError g_lastError;

}  // namespace

const char* ErrorName(int32_t code) {
  switch (code) {
    case ERR_NONE: return "ERR_NONE";
    case ERR_NOT_STARTED: return "ERR_NOT_STARTED";
    case ERR_MESSAGE_TOO_LONG: return "ERR_MESSAGE_TOO_LONG";
    case ERR_INVALID_TAG: return "ERR_INVALID_TAG";
    case ERR_BAD_INDEX: return "ERR_BAD_INDEX";
    case ERR_SOCKET: return "ERR_SOCKET";
    case ERR_FAILED: return "ERR_FAILED";
    case ERR_NO_MEMORY: return "ERR_NO_MEMORY";
    case ERR_OUT_OF_RANGE: return "ERR_OUT_OF_RANGE";
    case ERR_SYSTEM: return "ERR_SYSTEM";
    case ERR_NOT_FOUND: return "ERR_NOT_FOUND";
    case ERR_TEXT_TOO_LONG: return "ERR_TEXT_TOO_LONG";
    case ERR_BAD_VALUE: return "ERR_BAD_VALUE";
    default: return "ERR_UNKNOWN";
  }
}

void RecordError(int32_t code) {
  g_lastError.code = code;
}

int32_t LastErrorCode() { return g_lastError.code; }

int32_t ResultCodeFor(int32_t code) {
  switch (code) {
    case ERR_NONE: return MDSP_RESULT_OK;
    case ERR_INVALID_TAG: return MDSP_RESULT_INVALID_TAG;
    case ERR_BAD_INDEX: return MDSP_RESULT_BAD_INDEX;
    case ERR_SOCKET: return MDSP_RESULT_SOCKET;
    case ERR_NOT_FOUND: return MDSP_RESULT_NOT_FOUND;
    case ERR_TEXT_TOO_LONG: return MDSP_RESULT_TEXT_TOO_LONG;
    default: return MDSP_RESULT_FAILED;
  }
}

int32_t FailureResult() {
  int32_t result = ResultCodeFor(LastErrorCode());
  // A failure path that stored nothing must still not read as success.
  return result == MDSP_RESULT_OK ? MDSP_RESULT_FAILED : result;
}

}  // namespace mdsp
