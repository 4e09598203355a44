// Drops answers at random, so hosts can be tried against a lossy wire. The
// generator is seeded: the same seed and the same requests drop the same
// answers, so a test or a benchmark run can be repeated.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace mdspsim {

class AnswerLoss {
 public:
  AnswerLoss(double probability, uint32_t seed) : probability_(probability), engine_(seed) {}
  // Whether the next answer is dropped.
  bool Drop();

 private:
  double probability_;
  std::mt19937 engine_;
};

// "0", "0.05", "1", ".5": a probability from 0 to 1, at most 9 characters.
bool ParseProbability(const std::string& text, double& out);

}  // namespace mdspsim
