#include "read_back_step.h"

#include <cstring>
#include <optional>

#include "api.h"
#include "exit_codes.h"

namespace mdspctl {

bool ReadBackModule(Session& session, const pelmar::ModuleRecord& before,
                    const pelmar::ConfigurePlan& sent, uint32_t timeoutMs,
                    pelmar::ReadBack& result, std::string& error) {
  std::optional<pelmar::ModuleRecord> after;
  auto isModule = [&](uint32_t index) {
    pelmar::ModuleRecord record;
    pelmar::ReadModuleRecord(Api(), index, &record);
    if (!record.macValid || std::memcmp(record.mac, before.mac, 6) != 0 ||
        record.secure != before.secure)
      return false;
    after = record;
    return true;
  };
  std::vector<uint32_t> indexes;
  if (session.Discover(timeoutMs, indexes, error, isModule) != kExitOk) return false;
  result = pelmar::CompareReadBack(sent, before, after ? &*after : nullptr);
  return true;
}

}  // namespace mdspctl
