// What is wrong with a listed module, seen from the whole list and the
// host's interfaces: the marks of the Status column and of `mdspctl scan`,
// and the modules of the previous scan that no longer answer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "host_network.h"
#include "module_record.h"

namespace pelmar {

inline constexpr char kMarkDuplicateIp[] = "duplicate IP";
inline constexpr char kMarkOtherNetwork[] = "other network";
inline constexpr char kMarkNoAddress[] = "no address";
inline constexpr char kMarkNew[] = "new";

using MacBytes = std::array<uint8_t, 6>;

// The part of a module the marks look at.
struct MarkSubject {
  MacBytes mac{};
  bool ipValid = false;
  uint32_t ip = 0;  // first octet in the most significant byte
};
MarkSubject MarkSubjectOf(const ModuleRecord& record);

struct ModuleMarks {
  // One list per module, in the order given; each in the order
  // duplicate IP, other network, no address, new.
  std::vector<std::vector<std::string>> marks;
  // MACs of the previous scan that did not answer this time (sorted).
  std::vector<MacBytes> gone;
};

// 0.0.0.0 or 169.254.0.0/16.
bool IsNoAddress(uint32_t ip);

// Marks every module. Without subnets nothing is "other network" (there is
// nothing to compare with); without a previous scan nothing is "new" and
// nothing gone. A module listed twice (both protocols) is one MAC: its two
// rows never make a duplicate IP with each other.
ModuleMarks ComputeMarks(std::span<const MarkSubject> modules, std::span<const HostSubnet> subnets,
                         const std::optional<std::set<MacBytes>>& previous);

// The marks for which "Move to this network" helps.
bool MarksAllowMove(const std::vector<std::string>& marks);

// What a mark means and how to fix it, one sentence each.
std::string MarkExplanation(const std::string& mark);

// "1 module no longer answers", "2 modules no longer answer"; "" for 0.
std::string GoneText(size_t count);

}  // namespace pelmar
