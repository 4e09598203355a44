// Secure protocol, module side. Requests are put together by hand here,
// byte by byte, so the simulator's reader and writer are checked against an
// independent picture of the layout.
#include <gtest/gtest.h>

#include "addresses.h"
#include "digests.h"
#include "secure_side.h"
#include "simulator.h"

namespace mdspsim_test {
using namespace mdspsim;
namespace {

const Mac kHost = {0x02, 0x00, 0x00, 0xAA, 0xBB, 0xCC};
const Mac kModule = {0x02, 0x00, 0x00, 0x00, 0x20, 0x01};
const Mac kAll = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Endpoint kFrom{0x0A4D0001, 3250};  // 10.77.0.1

Bytes Hex(const std::string& text) {
  std::string compact;
  for (char c : text)
    if (c != ' ') compact += c;
  Bytes out;
  EXPECT_TRUE(FromHex(compact, out)) << text;
  return out;
}

std::string hexOf(const Bytes& bytes) { return ToHex(bytes.data(), bytes.size()); }

SimModule SecureModule() {
  SimModule m;
  m.cfg.mac = kModule;
  m.cfg.speaksText = false;
  m.cfg.speaksSecure = true;
  m.cfg.password = "secret";
  m.cfg.ip = 0xC0A80014;  // 192.168.0.20
  m.cfg.subnet = 0xFFFFFF00;
  m.cfg.gateway = 0xC0A80001;
  m.cfg.dns1 = 0xC0A80001;
  m.cfg.dns2 = 0;
  m.cfg.hostname = "valve-block-2";
  m.cfg.typeText = "SIM-GW secure";
  m.cfg.versionText = "4.0.2";
  return m;
}

// A request as the host lays it out: header, then seed + digest over
// password, seed, payload when `password` is given.
Bytes Request(uint8_t type, const Mac& to, const Bytes& payload, const char* password = nullptr,
              Seed seed = {}) {
  Bytes out = {0xC1, 0xAB};
  out.insert(out.end(), to.begin(), to.end());
  out.insert(out.end(), kHost.begin(), kHost.end());
  out.push_back(0x00);
  out.push_back(type);
  size_t length = payload.size() + (password ? 36 : 0);
  out.push_back(static_cast<uint8_t>(length));
  out.push_back(static_cast<uint8_t>(length >> 8));
  if (password) {
    Digest32 d{};
    EXPECT_TRUE(Blake2s256({password, std::string_view(reinterpret_cast<char*>(seed.data()), 4),
                            std::string_view(reinterpret_cast<const char*>(payload.data()),
                                             payload.size())},
                           d));
    out.insert(out.end(), seed.begin(), seed.end());
    out.insert(out.end(), d.begin(), d.end());
  }
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

struct Harness {
  explicit Harness(SimModule m, Seed next = {0x5E, 0xED, 0x01, 0x02})
      : sim({std::move(m)}, [this] { return nextSeed; }), nextSeed(next) {}
  std::vector<Outgoing> send(const Bytes& datagram, uint64_t nowMs = 1000) {
    std::vector<Outgoing> out;
    notes.clear();
    sim.Handle(datagram.data(), datagram.size(), kFrom, nowMs, out, notes);
    return out;
  }
  // Authenticates and returns the seed handed out.
  Seed authenticate(uint64_t nowMs = 1000) {
    auto out = send(Request(kAuthentication, kModule, {}), nowMs);
    EXPECT_EQ(out.size(), 1u);
    return nextSeed;
  }
  Simulator sim;
  Seed nextSeed;
  std::vector<std::string> notes;
};

TEST(SimSecure, DiscoverReplyLayoutIsByteExact) {
  Harness h(SecureModule());
  auto out = h.send(Request(kDiscover, kAll, {}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].to.ip, 0xFFFFFFFFu);
  EXPECT_EQ(out[0].to.port, 3250);
  EXPECT_EQ(hexOf(out[0].data),
            hexOf(Hex("c1ab 020000aabbcc 020000002001 01 00 4900"
                      "000101"
                      "0105 342e302e32"
                      "020d 53494d2d4757207365637572 65"
                      "0404 1400a8c0"
                      "0504 00ffffff"
                      "0604 0100a8c0"
                      "0704 0100a8c0"
                      "0804 00000000"
                      "090100"
                      "0a0d 76616c76652d626c6f636b2d32")));
}

TEST(SimSecure, DiscoverFaultsAndAddressing) {
  SimModule m = SecureModule();
  m.cfg.faults.malformed = true;
  Harness broken(m);
  auto out = broken.send(Request(kDiscover, kAll, {}));
  ASSERT_EQ(out.size(), 1u);
  // The last item claims 200 bytes but only 3 follow.
  EXPECT_EQ(hexOf(Bytes(out[0].data.end() - 5, out[0].data.end())), "0ac8637574");

  Harness normal(SecureModule());
  EXPECT_EQ(normal.send(Request(kDiscover, kModule, {})).size(), 1u);
  EXPECT_TRUE(normal.send(Request(kDiscover, kHost, {})).empty());
  EXPECT_TRUE(normal.send(Request(kAuthentication, kAll, {})).empty());
}

TEST(SimSecure, AuthenticationHandsOutAFreshSeed) {
  Harness h(SecureModule(), {0xDE, 0xAD, 0xBE, 0xEF});
  auto out = h.send(Request(kAuthentication, kModule, {}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc02000000200101010400deadbeef");
  h.nextSeed = {1, 2, 3, 4};
  out = h.send(Request(kAuthentication, kModule, {}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc02000000200101010400" "01020304");
}

TEST(SimSecure, RefusedAuthenticationHandsOutNoSeed) {
  SimModule m = SecureModule();
  m.cfg.faults.authenticationStatus = 2;
  Harness h(m, {0xDE, 0xAD, 0xBE, 0xEF});
  auto out = h.send(Request(kAuthentication, kModule, {}));
  ASSERT_EQ(out.size(), 1u);
  // Status flag set, one status byte where the seed would be.
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc020000002001" "0301" "0100" "02");
  EXPECT_EQ(h.notes.back(), "event 02-00-00-00-20-01 authentication refused status=2");
  EXPECT_FALSE(h.sim.Modules()[0].seedHandedOut);
  // The seed it would have given is no good for a request.
  out = h.send(Request(kWink, kModule, {1}, "secret", {0xDE, 0xAD, 0xBE, 0xEF}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc020000002001" "0303" "0100" "01");
}

TEST(SimSecure, ConfigureWithAHandBuiltDigestIsApplied) {
  Harness h(SecureModule());
  Seed seed = h.authenticate();
  Bytes payload = Hex("0004 0a00a8c0  0104 0000ffff  0204 fe00a8c0  0304 08080808"
                      "0404 04040808  0501 01  0606 63656c6c2d37  0703 6e3377"
                      "c802 abcd");
  Bytes datagram = Request(kConfigure, kModule, payload, "secret", seed);
  ASSERT_EQ(datagram.size(), 54 + payload.size());
  EXPECT_EQ(datagram[16] | datagram[17] << 8, 36 + static_cast<int>(payload.size()));
  auto out = h.send(datagram);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc020000002001" "01" "02" "0000");
  const ModuleConfig& c = h.sim.Modules()[0].cfg;
  EXPECT_EQ(FormatDotted(c.ip), "192.168.0.10");
  EXPECT_EQ(FormatDotted(c.subnet), "255.255.0.0");
  EXPECT_EQ(FormatDotted(c.gateway), "192.168.0.254");
  EXPECT_EQ(FormatDotted(c.dns1), "8.8.8.8");
  EXPECT_EQ(FormatDotted(c.dns2), "8.8.4.4");
  EXPECT_TRUE(c.dhcp);
  EXPECT_EQ(c.hostname, "cell-7");
  EXPECT_EQ(c.password, "n3w");

  // The new password is the one checked from now on.
  seed = h.authenticate();
  EXPECT_EQ(hexOf(h.send(Request(kWink, kModule, {1}, "n3w", seed))[0].data),
            "c1ab020000aabbcc020000002001010300" "00");
}

TEST(SimSecure, IgnoredFieldIsAcceptedButKept) {
  SimModule module = SecureModule();
  module.cfg.faults.ignoreFields = {"gateway", "hostname"};
  Harness h(module);
  Seed seed = h.authenticate();
  Bytes payload = Hex("0004 0a00a8c0  0204 fe00a8c0  0606 63656c6c2d37");
  auto out = h.send(Request(kConfigure, kModule, payload, "secret", seed));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc020000002001" "01" "02" "0000");  // accepted
  const ModuleConfig& c = h.sim.Modules()[0].cfg;
  EXPECT_EQ(FormatDotted(c.ip), "192.168.0.10");
  EXPECT_EQ(FormatDotted(c.gateway), FormatDotted(module.cfg.gateway));
  EXPECT_EQ(c.hostname, module.cfg.hostname);
}

TEST(SimSecure, BadDigestAnswersStatusOne) {
  Harness h(SecureModule());
  const std::string refused = "c1ab020000aabbcc020000002001" "03" "02" "0100" "01";
  // No seed handed out yet.
  auto out = h.send(Request(kConfigure, kModule, {}, "secret", {1, 2, 3, 4}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), refused);

  Seed seed = h.authenticate();
  EXPECT_EQ(hexOf(h.send(Request(kConfigure, kModule, Hex("0501 01"), "wrong", seed))[0].data),
            refused);
  // Right password but not the seed handed out last.
  h.authenticate();
  EXPECT_EQ(hexOf(h.send(Request(kConfigure, kModule, Hex("0501 01"), "secret", {9, 9, 9, 9}))[0]
                      .data),
            refused);
  // Payload changed after the digest was made.
  seed = h.authenticate();
  Bytes tampered = Request(kConfigure, kModule, Hex("0501 01"), "secret", seed);
  tampered.back() = 0x00;
  EXPECT_EQ(hexOf(h.send(tampered)[0].data), refused);
  EXPECT_FALSE(h.sim.Modules()[0].cfg.dhcp);
  EXPECT_EQ(h.notes.back(), "event 02-00-00-00-20-01 bad-digest configure");

  seed = h.authenticate();
  EXPECT_EQ(hexOf(h.send(Request(kPing, kModule, {}, "wrong", seed))[0].data),
            "c1ab020000aabbcc020000002001" "03" "ff" "0100" "01");
}

TEST(SimSecure, ASeedServesOneRequestOnly) {
  Harness h(SecureModule());
  const std::string winkDone = "c1ab020000aabbcc020000002001" "0103" "0000";
  const std::string winkRefused = "c1ab020000aabbcc020000002001" "0303" "0100" "01";
  Seed seed = h.authenticate();
  Bytes wink = Request(kWink, kModule, {1}, "secret", seed);
  EXPECT_EQ(hexOf(h.send(wink)[0].data), winkDone);
  // The same request again, and another kind with the same seed.
  EXPECT_EQ(hexOf(h.send(wink)[0].data), winkRefused);
  EXPECT_EQ(hexOf(h.send(Request(kPing, kModule, {}, "secret", seed))[0].data),
            "c1ab020000aabbcc020000002001" "03ff" "0100" "01");

  // A bad digest uses the seed up as well.
  seed = h.authenticate();
  EXPECT_EQ(hexOf(h.send(Request(kWink, kModule, {1}, "wrong", seed))[0].data), winkRefused);
  EXPECT_EQ(hexOf(h.send(Request(kWink, kModule, {1}, "secret", seed))[0].data), winkRefused);
  EXPECT_FALSE(h.sim.Modules()[0].seedHandedOut);

  // A fixed seed handed out again is good again, once.
  seed = h.authenticate();
  EXPECT_EQ(hexOf(h.send(Request(kWink, kModule, {1}, "secret", seed))[0].data), winkDone);
}

TEST(SimSecure, EmptyPasswordDigestCoversSeedAndPayloadOnly) {
  SimModule m = SecureModule();
  m.cfg.password = "";
  Harness h(m);
  Seed seed = h.authenticate();
  auto out = h.send(Request(kWink, kModule, {7}, "", seed));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].data[14], 0x01);
}

TEST(SimSecure, ConfigureRefusals) {
  struct Case {
    const char* payload;
    uint8_t status;
  } cases[] = {
      {"0606 616263646566", 31},  // host name longer than 5
      {"0704 31323334", 32},      // password longer than 3
      {"0003 0a00a8", 33},        // address of 3 bytes
      {"0501 02", 33},            // DHCP neither 0 nor 1
  };
  for (const Case& c : cases) {
    SimModule m = SecureModule();
    m.cfg.maxHostname = 5;
    m.cfg.maxPassword = 3;
    Harness h(m);
    Seed seed = h.authenticate();
    auto out = h.send(Request(kConfigure, kModule, Hex(c.payload), "secret", seed));
    ASSERT_EQ(out.size(), 1u) << c.payload;
    EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc0200000020010302" "0100" + ToHex(&c.status, 1))
        << c.payload;
    EXPECT_EQ(h.sim.Modules()[0].cfg.ip, 0xC0A80014u) << c.payload;
  }

  SimModule m = SecureModule();
  m.cfg.faults.configureStatus = 7;
  Harness h(m);
  Seed seed = h.authenticate();
  auto out = h.send(Request(kConfigure, kModule, Hex("0501 01"), "secret", seed));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc02000000200103020100" "07");
  EXPECT_FALSE(h.sim.Modules()[0].cfg.dhcp);
}

TEST(SimSecure, WinkRestartPingAndMassRestart) {
  SimModule m = SecureModule();
  m.cfg.faults.restartSilenceMs = 5000;
  Harness h(m);
  Seed seed = h.authenticate(1000);
  EXPECT_EQ(hexOf(h.send(Request(kWink, kModule, {1}, "secret", seed), 1000)[0].data),
            "c1ab020000aabbcc0200000020010103" "0000");
  EXPECT_EQ(h.notes.back(), "event 02-00-00-00-20-01 wink value=1");
  // An authenticated request with no payload is 54 bytes, length field 36.
  seed = h.authenticate(1000);
  Bytes ping = Request(kPing, kModule, {}, "secret", seed);
  ASSERT_EQ(ping.size(), 54u);
  EXPECT_EQ(hexOf(Bytes(ping.begin() + 16, ping.begin() + 18)), "2400");
  EXPECT_EQ(hexOf(h.send(ping, 1000)[0].data), "c1ab020000aabbcc020000002001" "03ff" "0100" "00");

  seed = h.authenticate(1000);
  Bytes restart = Request(kRestart, kModule, {0}, "secret", seed);
  seed = h.authenticate(1000);  // a second seed, outstanding while it restarts
  EXPECT_EQ(hexOf(h.send(restart, 1000)[0].data), "c1ab020000aabbcc020000002001" "0104" "0000");
  // Away while restarting, and the outstanding seed is gone afterwards.
  EXPECT_TRUE(h.send(Request(kDiscover, kAll, {}), 5999).empty());
  EXPECT_EQ(h.notes.back(), "event 02-00-00-00-20-01 restarting discover");
  EXPECT_EQ(h.send(Request(kDiscover, kAll, {}), 6000).size(), 1u);
  EXPECT_EQ(hexOf(h.send(Request(kPing, kModule, {}, "secret", seed), 6000)[0].data),
            "c1ab020000aabbcc020000002001" "03ff" "0100" "01");

  // Mass restart: no answer unless a status is configured.
  EXPECT_TRUE(h.send(Request(kMassRestart, kAll, {}), 7000).empty());
  SimModule loud = SecureModule();
  loud.cfg.faults.massRestartStatus = 3;
  Harness h2(loud);
  EXPECT_EQ(hexOf(h2.send(Request(kMassRestart, kAll, {}))[0].data),
            "c1ab020000aabbcc020000002001" "0305" "0100" "03");
}

TEST(SimSecure, MalformedRequestsAreDroppedUnread) {
  Harness h(SecureModule());
  Bytes discover = Request(kDiscover, kAll, {});
  Bytes longer = discover;
  longer[16] = 5;  // claims 5 payload bytes, none follow
  EXPECT_TRUE(h.send(longer).empty());
  EXPECT_EQ(h.notes.back(), "drop secure length-past-end");
  Bytes trailing = discover;
  trailing.push_back(0x99);  // one byte more than the length field says
  EXPECT_TRUE(h.send(trailing).empty());
  EXPECT_EQ(h.notes.back(), "drop secure bytes-past-length");
  EXPECT_TRUE(h.send(Bytes(discover.begin(), discover.begin() + 17)).empty());
  EXPECT_EQ(h.notes.back(), "drop secure too-short");
  Bytes huge = Request(kDiscover, kAll, Bytes(531, 0));
  EXPECT_TRUE(h.send(huge).empty());
  EXPECT_EQ(h.notes.back(), "drop secure too-long");
  // Replies (our own broadcasts coming back) are not requests and not logged.
  Bytes reply = discover;
  reply[14] = 0x01;
  EXPECT_TRUE(h.send(reply).empty());
  EXPECT_TRUE(h.notes.empty());
  for (uint8_t flags : {0x02, 0x80}) {
    Bytes flagged = discover;
    flagged[14] = flags;
    EXPECT_TRUE(h.send(flagged).empty());
    EXPECT_EQ(h.notes.back(), "drop secure flags " + ToHex(&flags, 1));
  }
  EXPECT_TRUE(h.send(Request(6, kModule, {})).empty());
  EXPECT_EQ(h.notes.back(), "drop secure unknown-type 6");
  EXPECT_FALSE(h.sim.Modules()[0].seedHandedOut);

  // Each type carries exactly its payload; a dropped request leaves the seed.
  Seed seed = h.authenticate();
  struct Case {
    Bytes datagram;
    const char* note;
  } cases[] = {
      {Request(kWink, kModule, {1}), "drop secure no-auth-block wink 1"},
      {Request(kPing, kModule, {}), "drop secure no-auth-block ping 0"},
      {Request(kWink, kModule, {}, "secret", seed), "drop secure payload-size wink 36"},
      {Request(kWink, kModule, {1, 2}, "secret", seed), "drop secure payload-size wink 38"},
      {Request(kRestart, kModule, {}, "secret", seed), "drop secure payload-size restart 36"},
      {Request(kPing, kModule, {0}, "secret", seed), "drop secure payload-size ping 37"},
      {Request(kDiscover, kAll, {0}), "drop secure payload-size discover 1"},
      {Request(kAuthentication, kModule, {0, 0, 0, 0}), "drop secure payload-size authentication 4"},
      {Request(kMassRestart, kAll, {1}), "drop secure payload-size mass_restart 1"},
      {Request(kConfigure, kModule, Hex("0004 0a00a8c0 06"), "secret", seed),
       "drop secure bad-tlv"},
      {Request(kConfigure, kModule, Hex("0604 6162"), "secret", seed), "drop secure bad-tlv"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(h.send(c.datagram).empty()) << c.note;
    EXPECT_EQ(h.notes.size(), 1u) << c.note;
    EXPECT_EQ(h.notes.back(), c.note);
  }
  EXPECT_TRUE(h.sim.Modules()[0].seedHandedOut);
  // An empty Configure payload is a sequence of no items.
  auto out = h.send(Request(kConfigure, kModule, {}, "secret", seed));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(hexOf(out[0].data), "c1ab020000aabbcc020000002001" "0102" "0000");
}

TEST(SimSecure, OwnAnswersAreNotRequests) {
  Harness h(SecureModule());
  auto out = h.send(Request(kDiscover, kAll, {}));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(LooksLikeRequest(out[0].data.data(), out[0].data.size()));
  Bytes discover = Request(kDiscover, kAll, {});
  EXPECT_TRUE(LooksLikeRequest(discover.data(), discover.size()));
  const std::string notice("Reconfigured: 02-00-00-00-20-01", 32);
  EXPECT_FALSE(LooksLikeRequest(reinterpret_cast<const uint8_t*>(notice.data()), notice.size()));
  const std::string scan("MODULE SCAN", 12);
  EXPECT_TRUE(LooksLikeRequest(reinterpret_cast<const uint8_t*>(scan.data()), scan.size()));
  EXPECT_FALSE(LooksLikeRequest(reinterpret_cast<const uint8_t*>(scan.data()), 11));

  // Texts other than the host's exact requests get no answer, only a log line.
  SimModule text = SecureModule();
  text.cfg.speaksText = true;
  Harness ht(text);
  EXPECT_TRUE(ht.send(Bytes(scan.begin(), scan.end() - 1)).empty());
  EXPECT_EQ(ht.notes, std::vector<std::string>{"drop text no NUL \"MODULE SCAN\""});
  EXPECT_TRUE(ht.send(Bytes(notice.begin(), notice.end())).empty());
  EXPECT_EQ(ht.notes,
            std::vector<std::string>{"drop text not a request \"Reconfigured: 02-00-00-00-20-01\""});
}

TEST(SimSecure, IgnoreDelayUnicastAndSilence) {
  SimModule m = SecureModule();
  m.cfg.faults.ignore = {"authentication"};
  m.cfg.faults.delayMs = 250;
  m.cfg.replyUnicast = true;
  Harness h(m);
  EXPECT_TRUE(h.send(Request(kAuthentication, kModule, {})).empty());
  EXPECT_EQ(h.notes.back(), "event 02-00-00-00-20-01 ignored authentication");
  auto out = h.send(Request(kDiscover, kAll, {}), 1000);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].dueMs, 1250u);
  EXPECT_EQ(out[0].to.ip, kFrom.ip);
  EXPECT_EQ(out[0].to.port, kFrom.port);

  SimModule quiet = SecureModule();
  quiet.cfg.faults.silent = true;
  Harness hq(quiet);
  EXPECT_TRUE(hq.send(Request(kDiscover, kAll, {})).empty());
}

TEST(SimSecure, SeedDelayHoldsBackOnlyAuthenticationAnswers) {
  SimModule refusing = SecureModule();
  refusing.cfg.mac[5] = 0x02;
  refusing.cfg.faults.authenticationStatus = 2;
  SimModule slow = SecureModule();
  slow.cfg.faults.delayMs = 100;
  Simulator sim({SecureModule(), refusing, slow}, [] { return Seed{1, 2, 3, 4}; }, 1500);
  const struct {
    const char* what;
    Bytes request;
    std::vector<uint64_t> due;  // one per answer, in module order
  } rows[] = {
      {"seed", Request(kAuthentication, kModule, {}), {2500, 2600}},
      {"refusal", Request(kAuthentication, Mac{0x02, 0, 0, 0, 0x20, 0x02}, {}), {2500}},
      {"discover", Request(kDiscover, kAll, {}), {1000, 1000, 1100}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<Outgoing> out;
    std::vector<std::string> notes;
    sim.Handle(row.request.data(), row.request.size(), kFrom, 1000, out, notes);
    std::vector<uint64_t> due;
    for (const Outgoing& o : out) due.push_back(o.dueMs);
    EXPECT_EQ(due, row.due);
  }
}

TEST(SimSecure, BothProtocolsAnswerOneScanEach) {
  SimModule both = SecureModule();
  both.cfg.speaksText = true;
  Harness h(both);
  std::string scan("MODULE SCAN", 12);
  auto text = h.send(Bytes(scan.begin(), scan.end()));
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(std::string(text[0].data.begin(), text[0].data.begin() + 16), "protocol version");
  EXPECT_EQ(h.send(Request(kDiscover, kAll, {})).size(), 1u);
}

}  // namespace
}  // namespace mdspsim_test
