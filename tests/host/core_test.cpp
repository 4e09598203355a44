// The tool's widget-free host core: command line and picker reply, module
// records and cell texts, row order, interface table and settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <set>

#include "api_stub.h"
#include "command_line.h"
#include "entry_points.h"
#include "interface_table.h"
#include "settings_file.h"
#include "module_cells.h"
#include "module_record.h"
#include "row_order.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

// ------------------------------------------------------------ command line

TEST(CommandLine, NoArgumentIsNormalMode) {
  StartOptions o = ParseCommandLine({});
  EXPECT_FALSE(o.picker);
  EXPECT_FALSE(o.replyPort);
  EXPECT_EQ(o.requestedInterface, "");
}

TEST(CommandLine, PickerWithPort) {
  StartOptions o = ParseCommandLine({"SOCKETCOMM", "5000"});
  EXPECT_TRUE(o.picker);
  ASSERT_TRUE(o.replyPort);
  EXPECT_EQ(*o.replyPort, 5000);
}

TEST(CommandLine, PortReadAsLeadingDigits) {
  EXPECT_EQ(*ParseCommandLine({"SOCKETCOMM", "5001xyz"}).replyPort, 5001);
  EXPECT_EQ(*ParseCommandLine({"SOCKETCOMM", " 42"}).replyPort, 42);
  EXPECT_EQ(*ParseCommandLine({"SOCKETCOMM", "65535"}).replyPort, 65535);
  EXPECT_EQ(*ParseCommandLine({"SOCKETCOMM", "1"}).replyPort, 1);
}

TEST(CommandLine, BadPortsKeepPickerModeWithoutReply) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"SOCKETCOMM"}, {"SOCKETCOMM", "x5000"}, {"SOCKETCOMM", ""},
        {"SOCKETCOMM", "0"}, {"SOCKETCOMM", "65536"}, {"SOCKETCOMM", "-5"},
        {"SOCKETCOMM", "99999999999"}}) {
    StartOptions o = ParseCommandLine(args);
    EXPECT_TRUE(o.picker) << (args.size() > 1 ? args[1] : "(none)");
    EXPECT_FALSE(o.replyPort) << (args.size() > 1 ? args[1] : "(none)");
  }
}

TEST(CommandLine, KeywordsAreCaseSensitive) {
  StartOptions o = ParseCommandLine({"socketcomm", "5000"});
  EXPECT_FALSE(o.picker);
  EXPECT_FALSE(o.replyPort);
  EXPECT_EQ(ParseCommandLine({"ip", "10.0.0.7"}).requestedInterface, "");
}

TEST(CommandLine, OnlyTheFirstTwoArgumentsCount) {
  StartOptions o = ParseCommandLine({"IP", "10.0.0.7", "SOCKETCOMM", "5000"});
  EXPECT_FALSE(o.picker);
  EXPECT_EQ(o.requestedInterface, "10.0.0.7");
  StartOptions p = ParseCommandLine({"IP", "SOCKETCOMM", "5000"});
  EXPECT_FALSE(p.picker);
  EXPECT_EQ(p.requestedInterface, "SOCKETCOMM");
}

TEST(CommandLine, IpWithoutAddressRequestsNothing) {
  StartOptions o = ParseCommandLine({"IP"});
  EXPECT_FALSE(o.picker);
  EXPECT_EQ(o.requestedInterface, "");
}

// Only as the first argument: after a keyword they are its value.
TEST(CommandLine, HelpAndVersionAsTheFirstArgument) {
  const struct {
    std::vector<std::string> args;
    bool help, version, picker;
    const char* requestedInterface;
  } cases[] = {
      {{"--help"}, true, false, false, ""},
      {{"--version"}, false, true, false, ""},
      {{"--version", "SOCKETCOMM", "5000"}, false, true, false, ""},
      {{"SOCKETCOMM", "--help"}, false, false, true, ""},
      {{"IP", "--version"}, false, false, false, "--version"},
      {{"-help"}, false, false, false, ""},
      {{"--HELP"}, false, false, false, ""},
  };
  for (const auto& c : cases) {
    StartOptions o = ParseCommandLine(c.args);
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    EXPECT_EQ(o.help, c.help);
    EXPECT_EQ(o.version, c.version);
    EXPECT_EQ(o.picker, c.picker);
    EXPECT_EQ(o.requestedInterface, c.requestedInterface);
  }
}

TEST(PickerReply, Layout) {
  EXPECT_EQ(PickerReply("192.168.0.10", "02-00-00-00-10-01"),
            "<SELECTED_IP>192.168.0.10</SELECTED_IP>\n<SELECTED_MAC>02-00-00-00-10-01</SELECTED_MAC>");
  EXPECT_EQ(PickerReply("", ""), "<SELECTED_IP></SELECTED_IP>\n<SELECTED_MAC></SELECTED_MAC>");
  std::string reply = PickerReply("1", "2");
  EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 1);
  EXPECT_EQ(reply.find('\0'), std::string::npos);
}

TEST(PickerReply, TextsCutTo17) {
  EXPECT_EQ(PickerReply("123456789012345678901", "ABCDEFGHIJKLMNOPQRSTU"),
            "<SELECTED_IP>12345678901234567</SELECTED_IP>\n<SELECTED_MAC>ABCDEFGHIJKLMNOPQ</SELECTED_MAC>");
}

// ----------------------------------------------------------- entry points

TEST(EntryPoints, NamesInBindingOrder) {
  EXPECT_STREQ(kEntryPointNames[0], "MDSP_GetNumberOfNics");
  EXPECT_STREQ(kEntryPointNames[9], "SMDSP_SendDiscover");
  EXPECT_STREQ(kEntryPointNames[23], "SMDSP_SendMassRestart");
  EXPECT_STREQ(kEntryPointNames[24], "DllGetVersion");
}

// The library's version script exports exactly the names the host binds.
TEST(EntryPoints, ExportMapListsExactlyTheEntryPoints) {
  std::ifstream in(MDSP_EXPORTS_MAP);
  ASSERT_TRUE(in) << MDSP_EXPORTS_MAP;
  std::string map((std::istreambuf_iterator<char>(in)), {});
  const size_t global = map.find("global:"), local = map.find("local:");
  ASSERT_NE(global, std::string::npos);
  ASSERT_NE(local, std::string::npos);
  std::set<std::string> exported;
  std::string name;
  for (char c : map.substr(global + 7, local - global - 7)) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      name += c;
    } else if (!name.empty()) {
      exported.insert(name);
      name.clear();
    }
  }
  const std::set<std::string> listed(kEntryPointNames, kEntryPointNames + kEntryPointCount);
  EXPECT_EQ(listed.size(), kEntryPointCount) << "a name listed twice";
  EXPECT_EQ(exported, listed);
}

TEST(EntryPoints, AllOrNothing) {
  LibraryApi api;
  int dummy = 0;
  EXPECT_TRUE(FillLibraryApi(api, [&](const char*) { return static_cast<void*>(&dummy); }));
  EXPECT_EQ(CountSetEntryPoints(api), kEntryPointCount);
  EXPECT_FALSE(FillLibraryApi(api, [&](const char* name) {
    return std::string(name) == "DllGetVersion" ? nullptr : static_cast<void*>(&dummy);
  }));
  EXPECT_EQ(CountSetEntryPoints(api), 0u);
}

// --------------------------------------------------------- module records

stub::Entry TextModule() {
  stub::Entry e;
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, 0x01};
  std::memcpy(e.mac, mac, 6);
  e.tags[254] = stub::U8(1);
  e.tags[253] = stub::U8(0);
  e.tags[252] = stub::Text("SIM-IO 16DI");
  e.tags[251] = stub::U8(3);
  e.tags[250] = stub::U8(1);
  e.tags[249] = stub::U16(7);
  e.tags[4] = stub::U32(0xC0A8000A);
  e.tags[5] = stub::U32(0xFFFFFF00);
  e.tags[6] = stub::U32(0xC0A80001);
  e.tags[9] = stub::U8(0);
  e.tags[248] = stub::U8(1);
  e.tags[10] = stub::Text("press-line-1");
  e.tags[7] = stub::U32(0xC0A80001);
  e.tags[8] = stub::U32(0);
  e.tags[244] = stub::Text("k7Q2ZP91");
  e.tags[247] = stub::U8(1);
  e.tags[246] = stub::U8(2);
  e.tags[245] = stub::U16(3);
  return e;
}

stub::Entry SecureModule() {
  stub::Entry e;
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0x20, 0x01};
  std::memcpy(e.mac, mac, 6);
  e.tags[255] = stub::U8(1);
  e.tags[0] = stub::U8(1);
  e.tags[2] = stub::Text("SIM-GW secure");
  e.tags[1] = stub::Text("4.0.2");
  e.tags[4] = stub::U32(0xC0A80014);
  e.tags[9] = stub::U8(1);
  return e;
}

class Records : public ::testing::Test {
 protected:
  void SetUp() override { stub::S() = stub::State{}; }
  ModuleRecord Read(uint32_t index, bool* listable = nullptr) {
    ModuleRecord r;
    bool l = ReadModuleRecord(stub::Api(), index, &r);
    if (listable) *listable = l;
    return r;
  }
};

TEST_F(Records, TextModuleEveryField) {
  stub::S().table = {TextModule()};
  bool listable = false;
  ModuleRecord r = Read(0, &listable);
  EXPECT_TRUE(listable);
  EXPECT_FALSE(r.secure);
  EXPECT_TRUE(r.protocolValid);
  EXPECT_STREQ(r.typeText, "SIM-IO 16DI");
  EXPECT_TRUE(r.versionValid);
  EXPECT_EQ(r.versionBuild, 7);
  EXPECT_TRUE(r.macValid);
  EXPECT_EQ(r.ip, 0xC0A8000Au);
  EXPECT_TRUE(r.dhcpValid);
  EXPECT_TRUE(r.passwordFlagValid);
  EXPECT_STREQ(r.hostName, "press-line-1");
  EXPECT_TRUE(r.dns2Valid);
  EXPECT_STREQ(r.seedText, "k7Q2ZP91");
  EXPECT_TRUE(r.kernelValid);
  EXPECT_EQ(r.kernelBuild, 3);
  CellTexts cells = MakeCellTexts(r);
  EXPECT_EQ(cells[0], "192.168.0.10");
  EXPECT_EQ(cells[1], "255.255.255.0");
  EXPECT_EQ(cells[2], "192.168.0.1");
  EXPECT_EQ(cells[3], "Off");
  EXPECT_EQ(cells[4], "3.01.7");
  EXPECT_EQ(cells[5], "SIM-IO 16DI");
  EXPECT_EQ(cells[6], "02-00-00-00-10-01");
}

TEST_F(Records, SecureModuleCells) {
  stub::S().table = {SecureModule()};
  bool listable = false;
  ModuleRecord r = Read(0, &listable);
  EXPECT_TRUE(listable);
  EXPECT_TRUE(r.secure);
  EXPECT_EQ(r.authRequired, 1);
  CellTexts cells = MakeCellTexts(r);
  EXPECT_EQ(cells[0], "192.168.0.20");
  EXPECT_EQ(cells[1], "N/A");
  EXPECT_EQ(cells[2], "N/A");
  EXPECT_EQ(cells[3], "On");
  EXPECT_EQ(cells[4], "4.0.2");
  EXPECT_EQ(cells[5], "SIM-GW secure");
}

TEST_F(Records, SecureWithTag252OnlyHasEmptyTypeAndVersion) {
  stub::Entry e = SecureModule();
  e.tags.erase(2);
  e.tags.erase(1);
  e.tags[252] = stub::Text("FB");
  stub::S().table = {e};
  bool listable = false;
  ModuleRecord r = Read(0, &listable);
  EXPECT_TRUE(listable);
  CellTexts cells = MakeCellTexts(r);
  EXPECT_EQ(cells[4], "");
  EXPECT_EQ(cells[5], "");
}

TEST_F(Records, NotListableWithoutTypeText) {
  stub::Entry e = TextModule();
  e.tags.erase(252);
  stub::S().table = {e};
  bool listable = true;
  Read(0, &listable);
  EXPECT_FALSE(listable);
}

TEST_F(Records, MissingValuesReadNA) {
  stub::Entry e;
  e.tags[252] = stub::Text("T");
  e.tags[9] = stub::U16(1);  // wrong size: not read
  stub::S().table = {e};
  ModuleRecord r = Read(0);
  CellTexts cells = MakeCellTexts(r);
  for (int c : {0, 1, 2, 3, 4}) EXPECT_EQ(cells[c], "N/A") << c;
  EXPECT_EQ(cells[5], "T");
}

TEST_F(Records, UnreadableMacIsNotValid) {
  stub::Entry e = TextModule();
  e.macReadable = false;
  stub::S().table = {e};
  ModuleRecord r = Read(0);
  EXPECT_FALSE(r.macValid);
}

TEST(Cells, DottedQuadAndMac) {
  EXPECT_EQ(Ipv4Text(0xC0A8000A), "192.168.0.10");
  const uint8_t mac[6] = {0xAB, 0x01, 0, 0xFF, 0x10, 0x0c};
  EXPECT_EQ(MacText(mac), "AB-01-00-FF-10-0C");
}

TEST(Cells, ColumnSpecification) {
  auto columns = ParseColumnSpec(kColumnSpec);
  ASSERT_EQ(columns.size(), 7u);
  EXPECT_EQ(columns[0].header, "IP");
  EXPECT_EQ(columns[0].width, 90);
  EXPECT_EQ(columns[3].header, "DHCP");
  EXPECT_EQ(columns[3].width, 50);
  EXPECT_EQ(columns[6].header, "MAC");
  EXPECT_EQ(columns[6].width, 115);
  EXPECT_TRUE(ParseColumnSpec("nocomma").empty());
}

// ------------------------------------------------------------- row order

struct Keyed {
  std::string text;
  CellKey key;
  uint64_t arrival;
};

std::vector<std::string> Sorted(std::vector<std::string> texts, bool ascending) {
  TextCollator collator("C");
  std::vector<Keyed> rows;
  for (size_t i = 0; i < texts.size(); ++i) rows.push_back({texts[i], MakeCellKey(texts[i]), i});
  std::stable_sort(rows.begin(), rows.end(), [&](const Keyed& a, const Keyed& b) {
    return RowBefore(a.text, a.key, a.arrival, b.text, b.key, b.arrival, ascending, collator);
  });
  std::vector<std::string> out;
  for (auto& r : rows) out.push_back(r.text);
  return out;
}

TEST(RowOrder, DottedQuadsNumerically) {
  EXPECT_EQ(Sorted({"10.0.0.10", "10.0.0.2", "9.255.255.255"}, true),
            (std::vector<std::string>{"9.255.255.255", "10.0.0.2", "10.0.0.10"}));
  EXPECT_EQ(Sorted({"10.0.0.10", "10.0.0.2"}, false),
            (std::vector<std::string>{"10.0.0.10", "10.0.0.2"}));
}

TEST(RowOrder, VersionTextsAsStrings) {
  EXPECT_EQ(Sorted({"1.9.0", "1.10.0"}, true), (std::vector<std::string>{"1.10.0", "1.9.0"}));
}

TEST(RowOrder, NotApplicableBeforeDottedQuadsAscending) {
  EXPECT_EQ(Sorted({"10.0.0.1", "N/A", "1.2.3.4", "N/A"}, true),
            (std::vector<std::string>{"N/A", "N/A", "1.2.3.4", "10.0.0.1"}));
  EXPECT_EQ(Sorted({"10.0.0.1", "N/A", "1.2.3.4"}, false),
            (std::vector<std::string>{"10.0.0.1", "1.2.3.4", "N/A"}));
}

TEST(RowOrder, ConsistentBothWays) {
  TextCollator collator("C");
  const std::string ip = "10.0.0.1", na = "N/A";
  int a = CompareCells(ip, MakeCellKey(ip), na, MakeCellKey(na), collator);
  int b = CompareCells(na, MakeCellKey(na), ip, MakeCellKey(ip), collator);
  EXPECT_EQ(a, -b);
  EXPECT_NE(a, 0);
}

TEST(RowOrder, EqualKeysKeepArrivalOrderBothDirections) {
  TextCollator collator("C");
  CellKey k = MakeCellKey("X");
  EXPECT_TRUE(RowBefore("X", k, 1, "X", k, 2, true, collator));
  EXPECT_FALSE(RowBefore("X", k, 2, "X", k, 1, true, collator));
  EXPECT_TRUE(RowBefore("X", k, 1, "X", k, 2, false, collator));
}

TEST(RowOrder, CaseSensitiveCollator) {
  TextCollator collator("C");
  EXPECT_NE(collator.Compare("abc", "ABC"), 0);
  EXPECT_LT(collator.Compare("ABC", "abc"), 0);
}

TEST(RowOrder, DottedQuadDefinition) {
  EXPECT_TRUE(IsDottedQuad("1.2.3.4"));
  EXPECT_TRUE(IsDottedQuad("..."));
  EXPECT_FALSE(IsDottedQuad("1.2.3"));
  EXPECT_FALSE(IsDottedQuad("1.2.3.4.5"));
  EXPECT_FALSE(IsDottedQuad("1.2.3.x"));
  EXPECT_FALSE(IsDottedQuad(""));
  EXPECT_EQ(DottedQuadValue("..."), 0u);
  EXPECT_EQ(DottedQuadValue("1.2.3.4"), 0x01020304u);
  EXPECT_EQ(DottedQuadValue("1.256.3.4"), 0x01000304u);
}

TEST(RowOrder, FirstClickOnSortColumnToggles) {
  EXPECT_FALSE(NextAscending(0, 0, true));  // IP clicked once after start: descending
  EXPECT_TRUE(NextAscending(1, 0, false));  // another column: ascending
  EXPECT_TRUE(NextAscending(1, 1, false));
}

// -------------------------------------------------------- interface table

class Interfaces : public ::testing::Test {
 protected:
  void SetUp() override {
    stub::S() = stub::State{};
    stub::S().nics = {{0x0A000001, 0}, {0xC0A80111, 0}, {0x0A4D0001, 0}};
    stub::S().descriptions = {"eth0", "eth1", "eth2"};
  }
  InterfaceChoice choice;
};

TEST_F(Interfaces, RefreshFillsTable) {
  ASSERT_TRUE(RefreshInterfaces(stub::Api(), choice));
  EXPECT_EQ(choice.count, 3u);
  EXPECT_EQ(choice.entries[1].address, "192.168.1.17");
  EXPECT_EQ(choice.entries[1].description, "eth1");
}

TEST_F(Interfaces, RefreshFailureAtEntryKeepsPartialTable) {
  stub::S().infoFailsAt = 2;
  EXPECT_FALSE(RefreshInterfaces(stub::Api(), choice));
  EXPECT_EQ(choice.count, 2u);
  EXPECT_EQ(choice.entries[1].address, "192.168.1.17");
}

TEST_F(Interfaces, RefreshCountFailureKeepsOldTable) {
  ASSERT_TRUE(RefreshInterfaces(stub::Api(), choice));
  stub::S().countFails = true;
  EXPECT_FALSE(RefreshInterfaces(stub::Api(), choice));
  EXPECT_EQ(choice.count, 3u);
}

TEST_F(Interfaces, RefreshCapsAt64) {
  stub::S().nics.assign(70, {0x0A000001, 0});
  ASSERT_TRUE(RefreshInterfaces(stub::Api(), choice));
  EXPECT_EQ(choice.count, 64u);
}

TEST_F(Interfaces, ApplyAllInterfaces) {
  RefreshInterfaces(stub::Api(), choice);
  EXPECT_TRUE(ApplyInterface(stub::Api(), choice));
  EXPECT_EQ(stub::S().devices, (std::vector<std::pair<uint32_t, std::string>>{
                                   {0, "10.0.0.1"}, {1, "192.168.1.17"}, {2, "10.77.0.1"}}));
}

TEST_F(Interfaces, ApplyRequestedInterface) {
  RefreshInterfaces(stub::Api(), choice);
  choice.requestedInterface = "10.77.0.1";
  choice.specificInterface = 1;
  choice.selectedInterface = 0;
  EXPECT_TRUE(ApplyInterface(stub::Api(), choice));
  EXPECT_EQ(choice.requestedInterface, "");
  EXPECT_EQ(stub::S().devices, (std::vector<std::pair<uint32_t, std::string>>{{0, "10.77.0.1"}}));
}

TEST_F(Interfaces, RequestedInterfaceNotFoundFailsAndIsEmptied) {
  RefreshInterfaces(stub::Api(), choice);
  choice.requestedInterface = "10.77.0";
  EXPECT_FALSE(ApplyInterface(stub::Api(), choice));
  EXPECT_EQ(choice.requestedInterface, "");
  EXPECT_TRUE(stub::S().devices.empty());
  EXPECT_TRUE(ApplyInterface(stub::Api(), choice));  // the second attempt: settings decide
  EXPECT_EQ(stub::S().devices.size(), 3u);
}

TEST_F(Interfaces, ApplySpecificInterface) {
  RefreshInterfaces(stub::Api(), choice);
  choice.specificInterface = 1;
  choice.selectedInterface = 1;
  ApplyInterface(stub::Api(), choice);
  EXPECT_EQ(stub::S().devices,
            (std::vector<std::pair<uint32_t, std::string>>{{0, "192.168.1.17"}}));
}

TEST_F(Interfaces, SelectedPastCountUsesEntryZero) {
  RefreshInterfaces(stub::Api(), choice);
  choice.specificInterface = 1;
  choice.selectedInterface = 7;
  ApplyInterface(stub::Api(), choice);
  EXPECT_EQ(stub::S().devices, (std::vector<std::pair<uint32_t, std::string>>{{0, "10.0.0.1"}}));
}

TEST_F(Interfaces, EmptyTableSetsNoDevice) {
  stub::S().nics.clear();
  RefreshInterfaces(stub::Api(), choice);
  choice.specificInterface = 1;
  EXPECT_TRUE(ApplyInterface(stub::Api(), choice));
  choice.specificInterface = 0;
  EXPECT_TRUE(ApplyInterface(stub::Api(), choice));
  EXPECT_TRUE(stub::S().devices.empty());
}

// --------------------------------------------------------- settings file

class SettingsFile : public Interfaces {
 protected:
  void SetUp() override {
    Interfaces::SetUp();
    char pattern[] = "/tmp/pelmar-settings-XXXXXX";
    folder = mkdtemp(pattern);
    path = folder + "/Tordal/Corvane Pelmar/settings.dat";
    RefreshInterfaces(stub::Api(), choice);
  }
  void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }
  std::string Bytes() {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const std::string& bytes) {
    std::system(("mkdir -p '" + folder + "/Tordal/Corvane Pelmar'").c_str());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string folder, path;
};

TEST_F(SettingsFile, NoSpecificInterfaceIsFourBytes) {
  ASSERT_TRUE(SaveSettings(path, choice));  // folders are created
  EXPECT_EQ(Bytes(), std::string("CVP\0", 4));
  InterfaceChoice loaded;
  loaded.specificInterface = 1;
  EXPECT_FALSE(LoadSettings(path, loaded));  // too short to be read as one
  EXPECT_EQ(loaded.specificInterface, 0);
}

TEST_F(SettingsFile, SpecificInterfaceLayoutAndRoundTrip) {
  choice.specificInterface = 1;
  choice.selectedInterface = 1;
  ASSERT_TRUE(SaveSettings(path, choice));
  EXPECT_EQ(Bytes(), std::string("CVP\0" "192.168.1.17", 16));
  InterfaceChoice loaded;
  RefreshInterfaces(stub::Api(), loaded);
  EXPECT_TRUE(LoadSettings(path, loaded));
  EXPECT_EQ(loaded.specificInterface, 1);
  EXPECT_EQ(loaded.selectedInterface, 1u);
}

TEST_F(SettingsFile, SavedAddressGoneSelectsEveryInterface) {
  // One interface the user never chose would find nothing and look like an
  // empty network: every interface is used, and the address kept for the
  // message. The file itself is left as it is.
  Write(std::string("CVP\0" "10.9.9.9", 12));
  choice.selectedInterface = 1;
  EXPECT_TRUE(LoadSettings(path, choice));
  EXPECT_EQ(choice.specificInterface, 0);
  EXPECT_EQ(choice.missingSavedInterface, "10.9.9.9");
  EXPECT_EQ(Bytes(), std::string("CVP\0" "10.9.9.9", 12));
  stub::S().devices.clear();
  ASSERT_TRUE(ApplyInterface(stub::Api(), choice));
  ASSERT_EQ(stub::S().devices.size(), choice.count);
  for (uint32_t i = 0; i < choice.count; ++i)
    EXPECT_EQ(stub::S().devices[i], std::make_pair(i, choice.entries[i].address));
  // A later load that finds its interface forgets the missing one.
  Write(std::string("CVP\0" "10.77.0.1", 13));
  EXPECT_TRUE(LoadSettings(path, choice));
  EXPECT_EQ(choice.specificInterface, 1);
  EXPECT_EQ(choice.selectedInterface, 2u);
  EXPECT_EQ(choice.missingSavedInterface, "");
}

TEST_F(SettingsFile, LoadEdgeCases) {
  EXPECT_FALSE(LoadSettings(path, choice));  // missing
  EXPECT_FALSE(LoadSettings("", choice));
  Write("XVP\0" "10.0.0.1");
  EXPECT_FALSE(LoadSettings(path, choice));  // foreign
  Write(std::string("CVPX10.77.0.1", 13));     // the fourth byte is not examined
  EXPECT_TRUE(LoadSettings(path, choice));
  EXPECT_EQ(choice.selectedInterface, 2u);
  Write(std::string("CVP\0\0" "10.0.0.1", 13));  // text ends at the first NUL: empty
  choice.specificInterface = 1;
  EXPECT_TRUE(LoadSettings(path, choice));
  EXPECT_EQ(choice.specificInterface, 0);
  Write(std::string("CVP\0" "10.0.0.1\0junk", 17));
  choice.selectedInterface = 2;
  EXPECT_TRUE(LoadSettings(path, choice));
  EXPECT_EQ(choice.selectedInterface, 0u);
  Write("CV");
  EXPECT_FALSE(LoadSettings(path, choice));
}

TEST_F(SettingsFile, BoundedRead) {
  // A text past 2043 characters is compared cut: it matches no interface,
  // even one whose address is the cut text's start.
  std::string text = "10.0.0.1" + std::string(3000, ' ');
  Write(std::string("CVP\0", 4) + text);
  choice.selectedInterface = 2;
  EXPECT_TRUE(LoadSettings(path, choice));
  EXPECT_EQ(choice.specificInterface, 0);  // matches none: every interface
  EXPECT_EQ(choice.missingSavedInterface.size(), 64u);  // cut for the message
  EXPECT_EQ(choice.selectedInterface, 2u);
  // Exactly 2043 characters after the header are all read.
  InterfaceChoice c2;
  c2.count = 1;
  c2.entries[0].address = std::string(2043, '7');
  Write(std::string("CVP\0", 4) + std::string(2043, '7') + "8");
  c2.selectedInterface = 5;
  EXPECT_TRUE(LoadSettings(path, c2));
  EXPECT_EQ(c2.selectedInterface, 0u);
}

TEST_F(SettingsFile, AtomicWriteLeavesNoTemporaryAndReplacesOld) {
  Write(std::string(100, 'Z'));
  choice.specificInterface = 1;
  choice.selectedInterface = 2;
  ASSERT_TRUE(SaveSettings(path, choice));
  EXPECT_EQ(Bytes(), std::string("CVP\0" "10.77.0.1", 13));
  std::string listing;
  FILE* ls = popen(("ls -A '" + folder + "/Tordal/Corvane Pelmar'").c_str(), "r");
  char line[256];
  while (fgets(line, sizeof line, ls)) listing += line;
  pclose(ls);
  EXPECT_EQ(listing, "settings.dat\n");
}

TEST_F(SettingsFile, WriteFailureReportsFalse) {
  std::system(("mkdir -p '" + folder + "/Tordal' && touch '" + folder + "/Tordal/Corvane Pelmar'").c_str());
  EXPECT_FALSE(SaveSettings(path, choice));  // a file where the folder should be
}

TEST_F(SettingsFile, PathFromXdgConfigHome) {
  setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  EXPECT_EQ(SettingsPath(), "/x/cfg/Tordal/Corvane Pelmar/settings.dat");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(SettingsPath(), "/home/u/.config/Tordal/Corvane Pelmar/settings.dat");
}

}  // namespace
}  // namespace pelmar_test

#include "configure_request.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

TEST(PasswordValues, SeededTextModuleNeverSeesThePassword) {
  PasswordValues v;
  ASSERT_TRUE(MakePasswordValues(PasswordRuleFor(false, true, "k7Q2ZP91"), "secret", true, "new",
                                 [] { return 0; }, &v));
  char expected[kMd5HexLength + 1];
  ASSERT_TRUE(AuthAnswer("k7Q2ZP91", "secret", expected));
  EXPECT_EQ(v.authentication, expected);
  EXPECT_EQ(v.newValue.size(), kNewPasswordValueLength);
  EXPECT_EQ(v.newValue.substr(0, 2), "aa");  // random 0 gives 'a' twice
  EXPECT_EQ(v.newValue.find("new"), std::string::npos);
  // An empty seed still counts as seeded.
  ASSERT_TRUE(MakePasswordValues(PasswordRuleFor(false, true, ""), "secret", false, "", SystemRandom, &v));
  EXPECT_EQ(v.authentication.size(), kMd5HexLength);
  EXPECT_EQ(v.newValue, "");
}

TEST(PasswordValues, OthersGetTheTextsAsTyped) {
  PasswordValues v;
  // An unseeded text module, and a secure module even with a seed.
  for (bool secure : {false, true}) {
    ASSERT_TRUE(MakePasswordValues(PasswordRuleFor(secure, /*seeded=*/secure, "ignored"),
                                   "secret", true, "new", SystemRandom, &v));
    EXPECT_EQ(v.authentication, "secret") << secure;
    EXPECT_EQ(v.newValue, "new") << secure;
  }
}

}  // namespace
}  // namespace pelmar_test
