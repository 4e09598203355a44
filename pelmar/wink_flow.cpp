#include "wink_flow.h"

#include <openssl/crypto.h>

#include <cstring>

#include "library_api.h"
#include "module_cells.h"

namespace pelmar {

bool WinkNeedsPassword(const ModuleRecord& record) { return record.authRequired == 1; }

std::string WinkCaption(const ModuleRecord& record) { return "Wink: " + MacText(record.mac); }

WinkOutcome SendWink(const LibraryApi& api, const ModuleRecord& record,
                     const std::string& password, void* context) {
  if (!StillSameModule(api, record)) return WinkOutcome::ModuleListChanged;
  char buffer[256] = {};
  std::strncpy(buffer, password.c_str(), sizeof buffer - 1);
  SmdspCredentials credentials{buffer, nullptr, context};
  const int32_t result = api.SMDSP_SendWink(record.moduleIndex, 0, &credentials);
  OPENSSL_cleanse(buffer, sizeof buffer);
  return result == MDSP_RESULT_OK ? WinkOutcome::Sent : WinkOutcome::Failed;
}

}  // namespace pelmar
