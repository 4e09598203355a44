#include "answer_loss.h"

#include <cstdlib>

namespace mdspsim {

bool AnswerLoss::Drop() {
  if (probability_ <= 0) return false;
  // Drawn even at 1, so one seed gives one sequence whatever the probability.
  const double draw = std::uniform_real_distribution<double>(0.0, 1.0)(engine_);
  return draw < probability_;
}

bool ParseProbability(const std::string& text, double& out) {
  if (text.empty() || text.size() > 9) return false;
  int dots = 0, digits = 0;
  for (char c : text) {
    if (c == '.') ++dots;
    else if (c >= '0' && c <= '9') ++digits;
    else return false;
  }
  if (dots > 1 || digits == 0) return false;
  out = std::strtod(text.c_str(), nullptr);
  return out >= 0 && out <= 1;
}

}  // namespace mdspsim
