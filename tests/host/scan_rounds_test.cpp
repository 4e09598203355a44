// Thorough scans in the host core: the "Scan rounds" file, the list merged
// by MAC and protocol, and finding a module of an earlier round again.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "api_stub.h"
#include "scan_rounds.h"

namespace pelmar_test {
namespace {

using pelmar::ScanRounds;

// ---------------------------------------------------------------- the file

TEST(ScanRoundsFile, ParseTable) {
  struct Case {
    const char* text;
    bool ok;
    uint32_t rounds, interval;
  };
  const Case cases[] = {
      {"rounds=3\ninterval=200\n", true, 3, 200},
      {"interval=50\nrounds=5", true, 5, 50},     // any order, last newline optional
      {"rounds=2\r\n", true, 2, 200},             // written on another system
      {"", true, 1, 200},                         // both keys optional
      {"rounds=1\ninterval=0\n", true, 1, 0},
      {"rounds=0\n", false, 0, 0},                // below the range
      {"rounds=6\n", false, 0, 0},                // above it
      {"rounds=99999999999\n", false, 0, 0},      // no overflow into range
      {"rounds=-2\n", false, 0, 0},
      {"rounds= 3\n", false, 0, 0},
      {"interval=10001\n", false, 0, 0},
      {"rounds=3\nrounds=4\n", false, 0, 0},      // repeated key
      {"colour=blue\n", false, 0, 0},             // unknown key
      {"rounds 3\n", false, 0, 0},                // no '='
      {"rounds=3\n\x01\x02garbage", false, 0, 0},
  };
  for (const Case& c : cases) {
    ScanRounds out{4, 999};
    EXPECT_EQ(pelmar::ParseScanRounds(c.text, &out), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(out.rounds, c.rounds) << c.text;
      EXPECT_EQ(out.intervalMs, c.interval) << c.text;
    } else {
      EXPECT_EQ(out, (ScanRounds{4, 999})) << "a damaged text leaves the value alone: " << c.text;
    }
  }
  for (uint32_t r = 1; r <= 5; ++r) {
    ScanRounds back;
    ASSERT_TRUE(pelmar::ParseScanRounds(pelmar::FormatScanRounds({r, r * 100}), &back));
    EXPECT_EQ(back, (ScanRounds{r, r * 100}));
  }
}

class ScanRoundsOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/scan-rounds-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    folder = templ;
    settings = folder + "/Tordal/Corvane Pelmar/settings.dat";
    path = pelmar::ScanRoundsPath(settings);
  }
  void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }
  void Write(const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string Listing() {
    std::string out;
    FILE* ls = popen(("ls -A '" + folder + "/Tordal/Corvane Pelmar'").c_str(), "r");
    char line[256];
    while (fgets(line, sizeof line, ls)) out += line;
    pclose(ls);
    return out;
  }
  std::string folder, settings, path;
};

TEST_F(ScanRoundsOnDisk, BesideSettingsAndAtomic) {
  EXPECT_EQ(path, folder + "/Tordal/Corvane Pelmar/scan_rounds.txt");
  EXPECT_EQ(pelmar::ScanRoundsPath(""), "");
  EXPECT_EQ(pelmar::LoadScanRounds(path), ScanRounds{});  // missing: the default
  ASSERT_TRUE(pelmar::SaveScanRounds(path, {3, 150}));     // folders are created
  EXPECT_EQ(pelmar::LoadScanRounds(path), (ScanRounds{3, 150}));
  ASSERT_TRUE(pelmar::SaveScanRounds(path, {2, 200}));
  EXPECT_EQ(Listing(), "scan_rounds.txt\n");  // no temporary left, settings.dat untouched
}

TEST_F(ScanRoundsOnDisk, DamagedOrHugeFileGivesTheDefault) {
  ASSERT_TRUE(pelmar::SaveScanRounds(path, {3, 150}));
  for (const std::string& bytes :
       {std::string("rounds=9\n"), std::string("\0\0\0\0", 4), std::string("rounds=3"),
        std::string("rounds=3\n") + std::string(4096, '\n')}) {
    Write(bytes);
    const ScanRounds loaded = pelmar::LoadScanRounds(path);
    EXPECT_EQ(loaded.rounds, bytes == "rounds=3" ? 3u : 1u) << bytes.size();
    EXPECT_EQ(loaded.intervalMs, 200u);
  }
  EXPECT_FALSE(pelmar::SaveScanRounds("", {2, 200}));
}

// ---------------------------------------------------------------- merging

pelmar::ModuleRecord Answer(uint8_t last, bool secure, uint32_t index, uint32_t ip) {
  pelmar::ModuleRecord r;
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, last};
  std::memcpy(r.mac, mac, 6);
  r.macValid = true;
  r.secure = secure;
  r.moduleIndex = index;
  r.ip = ip;
  return r;
}

TEST(MergedScan, LatestAnswerWinsOncePerMacAndProtocol) {
  pelmar::MergedScan merged;
  // round, MAC byte, secure, index, ip; expected: added, position
  struct Step {
    uint32_t round;
    uint8_t mac;
    bool secure;
    uint32_t index, ip;
    bool added;
    size_t position;
  };
  const Step steps[] = {
      {1, 1, false, 0, 10, true, 0},
      {1, 2, true, 1, 20, true, 1},
      {1, 2, false, 2, 21, true, 2},  // same MAC, other protocol: its own entry
      {2, 2, true, 0, 22, false, 1},  // answered again: replaced in place
      {3, 3, false, 0, 30, true, 3},  // seen only in round 3
      {3, 1, false, 1, 11, false, 0},
  };
  for (const Step& s : steps) {
    while (merged.round() < s.round) merged.BeginRound();
    const auto result = merged.Add(Answer(s.mac, s.secure, s.index, s.ip));
    EXPECT_EQ(result.added, s.added) << int(s.mac) << " round " << s.round;
    EXPECT_EQ(result.position, s.position) << int(s.mac) << " round " << s.round;
  }
  ASSERT_EQ(merged.entries().size(), 4u);
  const uint8_t mac2[6] = {0x02, 0, 0, 0, 0x10, 2};
  const auto* secure2 = merged.Find(mac2, true);
  const auto* text2 = merged.Find(mac2, false);
  ASSERT_TRUE(secure2 && text2);
  EXPECT_EQ(secure2->record.ip, 22u);
  EXPECT_EQ(secure2->round, 2u);
  EXPECT_FALSE(merged.Current(*secure2));  // its index names round 2's table
  EXPECT_FALSE(merged.Current(*text2));
  EXPECT_TRUE(merged.Current(merged.entries()[0]));
  merged.Clear();
  EXPECT_TRUE(merged.entries().empty());
  EXPECT_EQ(merged.round(), 0u);
}

// ------------------------------------------------------- finding it again

stub::Entry Module(uint8_t last, bool secure) {
  stub::Entry e;
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, last};
  std::memcpy(e.mac, mac, 6);
  if (secure) e.tags[SMDSP_TAG_SECURE_MODULE] = stub::U8(1);
  return e;
}

TEST(FindModuleAgain, ByMacAndProtocolThenUpToThreeDiscovers) {
  struct Case {
    const char* what;
    std::vector<stub::Entry> table;  // the current table
    uint32_t recordIndex;
    int answersAtDiscover;            // the module is in the table from this discover on; 0: never
    bool discoverFails;
    std::optional<uint32_t> expected;
    int discovers;
  };
  // The module looked for is the text module ..07; ..09 answers every discover.
  const Case cases[] = {
      {"its own index still names it", {Module(1, true), Module(7, false)}, 1, 0, false, 1u, 0},
      {"elsewhere in the current table", {Module(9, false), Module(1, true), Module(7, false)},
       0, 0, false, 2u, 0},
      {"only its other protocol is there", {Module(7, true)}, 0, 2, false, 1u, 2},
      {"answers the third discover", {}, 4, 3, false, 1u, 3},
      {"stays silent", {Module(1, false)}, 0, 0, false, std::nullopt, 3},
      {"discover cannot be sent", {}, 0, 1, true, std::nullopt, 3},
  };
  for (const Case& c : cases) {
    stub::S() = stub::State{};
    stub::S().table = c.table;
    pelmar::ModuleRecord record;
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, 7};
    std::memcpy(record.mac, mac, 6);
    record.secure = false;
    record.moduleIndex = c.recordIndex;
    int discovers = 0, looks = 0;
    pelmar::RefindSteps steps;
    steps.waitMs = 60;
    steps.lookEveryMs = 20;
    steps.sleep = [&](uint32_t) { ++looks; };
    steps.discover = [&] {
      ++discovers;
      if (c.discoverFails) return false;
      // Every discover empties the table; the module answers from its turn on.
      stub::S().table = {Module(9, false)};
      if (c.answersAtDiscover && discovers >= c.answersAtDiscover)
        stub::S().table.push_back(Module(7, false));
      return true;
    };
    const auto found = pelmar::FindModuleAgain(stub::Api(), record, steps);
    EXPECT_EQ(found, c.expected) << c.what;
    EXPECT_EQ(discovers, c.discovers) << c.what;
    EXPECT_LE(looks, discovers * 3) << c.what;
    if (c.discoverFails) {
      EXPECT_EQ(looks, 0) << "no wait after a discover that did not leave";
    }
  }
}

}  // namespace
}  // namespace pelmar_test
