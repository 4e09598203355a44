// Reads the firewall's ruleset (as `nft -j list ruleset` prints it) for one
// question: does it keep the modules' answers, UDP from port 3250, out of
// this computer?
#pragma once

#include <string>

#include "doctor_report.h"

namespace pelmar {

inline constexpr int kModuleAnswerPort = 3250;

// Fills dropsAnswers, where, rule and fixCommand; readable is set true when
// the text is a ruleset, false (with unreadableWhy) when it cannot be parsed.
// A rule it cannot judge for certain is taken to let answers in, so a
// finding is only made where a drop is plain.
FirewallFacts AnalyseNftRuleset(const std::string& json);

}  // namespace pelmar
