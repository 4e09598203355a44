// Thorough scans over a lossy wire, in throwaway network namespaces (never
// on the machine's own network): the simulator plays --text + --secure
// modules and drops each answer with probability --loss (seeded). Runs
// --runs scans of one round and as many of --rounds rounds (--interval ms
// apart), merged by MAC and protocol as the tool and mdspctl merge them,
// and prints how many modules each run found. Prints figures only.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "entry_points.h"
#include "mdsp.h"
#include "netns.h"
#include "scale_lab.h"
#include "scan_rounds.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_lock;
std::vector<uint32_t> g_indexes;  // event 1 of the current round

int32_t OnEvent(int32_t event, int32_t index, uint8_t*, int32_t, void*) {
  if (event == SMDSP_EVENT_MODULE_FOUND) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_indexes.push_back(static_cast<uint32_t>(index));
  }
  return 0;
}

size_t Collected() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_indexes.size();
}

// Waits `ms`, or for the last round until the answers stop for `quietMs`.
void AwaitRound(uint32_t ms, bool last, uint32_t quietMs) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  if (!last) return;
  size_t seen = Collected();
  auto lastChange = Clock::now();
  while (Clock::now() - lastChange < std::chrono::milliseconds(quietMs)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (Collected() != seen) {
      seen = Collected();
      lastChange = Clock::now();
    }
  }
}

struct Run {
  size_t found = 0;
  double seconds = 0;
};

Run Scan(const pelmar::LibraryApi& api, uint32_t rounds, uint32_t intervalMs, uint32_t quietMs) {
  pelmar::MergedScan merged;
  const auto start = Clock::now();
  for (uint32_t round = 1; round <= rounds; ++round) {
    {
      std::lock_guard<std::mutex> guard(g_lock);
      g_indexes.clear();
    }
    merged.BeginRound();
    api.SMDSP_SendDiscover(nullptr);
    AwaitRound(intervalMs, round == rounds, quietMs);
    std::vector<uint32_t> indexes;
    {
      std::lock_guard<std::mutex> guard(g_lock);
      indexes.swap(g_indexes);
    }
    // Read before the next discover empties the table.
    for (uint32_t index : indexes) {
      pelmar::ModuleRecord key;
      if (api.SMDSP_GetModuleMac(index, key.mac) != MDSP_RESULT_OK) continue;
      key.moduleIndex = index;
      key.secure = pelmar::IsSecureModule(api, index, pelmar::SecureCheck::ReadOnly);
      merged.Add(key);
    }
  }
  return {merged.entries().size(),
          std::chrono::duration<double>(Clock::now() - start).count()};
}

void Report(const char* label, const std::vector<Run>& runs, uint32_t expected) {
  std::vector<size_t> found;
  double seconds = 0;
  int complete = 0;
  for (const Run& r : runs) {
    found.push_back(r.found);
    seconds += r.seconds;
    complete += r.found == expected;
  }
  std::printf("%s: found per run:", label);
  for (size_t f : found) std::printf(" %zu", f);
  std::printf("\n%s: min %zu, max %zu, all %u found in %d of %zu runs, %.2f s per scan\n", label,
              *std::min_element(found.begin(), found.end()),
              *std::max_element(found.begin(), found.end()), expected, complete, runs.size(),
              seconds / static_cast<double>(runs.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t text = scale::Arg(argc, argv, "--text", 500);
  const uint32_t secure = scale::Arg(argc, argv, "--secure", 500);
  const uint32_t rounds = std::clamp(scale::Arg(argc, argv, "--rounds", 3), 1u, 5u);
  const uint32_t interval = scale::Arg(argc, argv, "--interval", 200);
  const uint32_t runs = scale::Arg(argc, argv, "--runs", 20);
  const uint32_t quietMs = scale::Arg(argc, argv, "--quiet-ms", 1000);
  const std::string loss = scale::TextArg(argc, argv, "--loss", "0.05");
  const std::string seed = scale::TextArg(argc, argv, "--loss-seed", "1");

  net_test::Lab lab;
  if (scale::StartSimulatedModules(lab, text, secure, {"--loss", loss, "--loss-seed", seed})
          .empty())
    return 1;
  const pelmar::LibraryApi& api = pelmar::LinkedLibraryApi();
  api.SMDSP_RegisterCallBack(OnEvent);
  if (!api.MDSP_Start()) {
    std::fprintf(stderr, "cannot start the library's worker\n");
    return 1;
  }
  std::printf("%u text + %u secure modules, loss %s (seed %s), %u runs each\n", text, secure,
              loss.c_str(), seed.c_str(), runs);
  std::vector<Run> one, several;
  for (uint32_t i = 0; i < runs; ++i) one.push_back(Scan(api, 1, interval, quietMs));
  for (uint32_t i = 0; i < runs; ++i) several.push_back(Scan(api, rounds, interval, quietMs));
  Report("1 round", one, text + secure);
  const std::string label = std::to_string(rounds) + " rounds";
  Report(label.c_str(), several, text + secure);
  api.MDSP_Stop();
  return 0;
}
