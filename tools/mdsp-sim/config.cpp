#include "config.h"

#include <nlohmann/json.hpp>

#include <set>

#include "addresses.h"
#include "text_side.h"

namespace mdspsim {
namespace {

using nlohmann::json;

constexpr uint32_t kMaxModules = 65535;

// Reads keys of one object; the first problem sticks in `error`.
class Reader {
 public:
  Reader(const json& object, std::string where, std::string& error)
      : object_(object), where_(std::move(where)), error_(error) {}

  bool fail(const std::string& key, const std::string& what) {
    if (error_.empty()) error_ = where_ + ": \"" + key + "\" " + what;
    return false;
  }
  bool has(const char* key) {
    used_.insert(key);
    return object_.contains(key);
  }
  void text(const char* key, std::string& out) {
    if (!has(key)) return;
    const json& v = object_[key];
    if (!v.is_string()) return void(fail(key, "must be a string"));
    out = v.get<std::string>();
  }
  // Text a module puts into its answers: no ';' (the text protocol's
  // separator) and no NUL, at most one TLV value long.
  void answerText(const char* key, std::string& out) {
    std::string value = out;
    text(key, value);
    if (value.find(';') != std::string::npos || value.find('\0') != std::string::npos)
      return void(fail(key, "must not contain ';' or NUL"));
    if (value.size() > 255) return void(fail(key, "is longer than 255 characters"));
    out = value;
  }
  void flag(const char* key, bool& out) {
    if (!has(key)) return;
    const json& v = object_[key];
    if (!v.is_boolean()) return void(fail(key, "must be true or false"));
    out = v.get<bool>();
  }
  void number(const char* key, uint32_t& out, uint32_t max) {
    if (!has(key)) return;
    const json& v = object_[key];
    if (!v.is_number_unsigned() || v.get<uint64_t>() > max)
      return void(fail(key, "must be a whole number from 0 to " + std::to_string(max)));
    out = static_cast<uint32_t>(v.get<uint64_t>());
  }
  void status(const char* key, int& out) {
    uint32_t value = 0;
    if (!has(key)) return;
    number(key, value, 255);
    out = static_cast<int>(value);
  }
  void address(const char* key, uint32_t& out) {
    std::string text;
    if (!has(key)) return;
    this->text(key, text);
    if (!error_.empty()) return;
    if (!ParseDotted(text, out)) fail(key, "must be a dotted address like 192.168.0.10");
  }
  // "3.1.7" into 2 or 3 numbers.
  template <typename Last>
  void version(const char* key, uint8_t& major, uint8_t& minor, Last* build) {
    std::string text;
    if (!has(key)) return;
    this->text(key, text);
    if (!error_.empty()) return;
    unsigned a = 0, b = 0, c = 0;
    char tail = 0;
    int n = build ? std::sscanf(text.c_str(), "%u.%u.%u%c", &a, &b, &c, &tail)
                  : std::sscanf(text.c_str(), "%u.%u%c", &a, &b, &tail);
    if (n != (build ? 3 : 2) || a > 255 || b > 255 || c > 65535)
      return void(fail(key, build ? "must look like 3.1.7" : "must look like 1.0"));
    major = static_cast<uint8_t>(a);
    minor = static_cast<uint8_t>(b);
    if (build) *build = static_cast<Last>(c);
  }
  void noOtherKeys() {
    for (auto it = object_.begin(); it != object_.end(); ++it) {
      if (!used_.count(it.key())) fail(it.key(), "is not a known key");
    }
  }

 private:
  const json& object_;
  std::string where_;
  std::string& error_;
  std::set<std::string> used_;
};

void ReadFaults(const json& object, const std::string& where, Faults& f, std::string& error) {
  if (!object.is_object()) {
    if (error.empty()) error = where + ": \"faults\" must be an object";
    return;
  }
  Reader r(object, where + " faults", error);
  r.flag("silent", f.silent);
  r.number("delay_ms", f.delayMs, 600000);
  r.number("repeat", f.repeat, 16);
  r.flag("unsupported", f.unsupported);
  r.flag("malformed", f.malformed);
  if (r.has("raw_answer")) {
    f.hasRawAnswer = true;
    r.text("raw_answer", f.rawAnswer);
  }
  if (r.has("raw_discover_payload")) {
    std::string hex;
    r.text("raw_discover_payload", hex);
    f.hasRawDiscoverPayload = true;
    if (!FromHex(hex, f.rawDiscoverPayload) || f.rawDiscoverPayload.size() > 530)
      r.fail("raw_discover_payload", "must be hex digits, at most 530 bytes");
  }
  if (r.has("ignore")) {
    const json& list = object["ignore"];
    if (!list.is_array()) r.fail("ignore", "must be a list of request kinds");
    for (const json& kind : list.is_array() ? list : json::array()) {
      if (!kind.is_string() || !RequestKinds().count(kind.get<std::string>()))
        r.fail("ignore", "holds an unknown request kind (known: scan, text_configure, "
                         "text_wink, discover, authentication, configure, wink, restart, "
                         "mass_restart, ping)");
      else
        f.ignore.insert(kind.get<std::string>());
    }
  }
  if (r.has("ignore_fields")) {
    const json& list = object["ignore_fields"];
    if (!list.is_array()) r.fail("ignore_fields", "must be a list of configure fields");
    for (const json& field : list.is_array() ? list : json::array()) {
      if (!field.is_string() || !ConfigureFields().count(field.get<std::string>()))
        r.fail("ignore_fields", "holds an unknown field (known: ip, mask, gateway, dns1, dns2, "
                                "dhcp, hostname)");
      else
        f.ignoreFields.insert(field.get<std::string>());
    }
  }
  r.status("configure_status", f.configureStatus);
  r.status("ping_status", f.pingStatus);
  r.status("mass_restart_status", f.massRestartStatus);
  r.status("authentication_status", f.authenticationStatus);
  r.number("restart_silence_ms", f.restartSilenceMs, 3600000);
  if (r.has("auth_seed")) {
    std::string hex;
    Bytes bytes;
    r.text("auth_seed", hex);
    if (!FromHex(hex, bytes) || bytes.size() != 4)
      r.fail("auth_seed", "must be 8 hex digits");
    else
      std::copy(bytes.begin(), bytes.end(), f.fixedAuthSeed.begin());
    f.hasFixedAuthSeed = true;
  }
  if (f.repeat == 0) r.fail("repeat", "must be at least 1");
  r.noOtherKeys();
}

// Every key except "mac" and "protocol", shared by modules and templates.
void ReadValues(Reader& r, const json& object, const std::string& where, ModuleConfig& c,
                std::string& error) {
  r.text("password", c.password);
  if (r.has("reply")) {
    std::string reply;
    r.text("reply", reply);
    if (reply == "unicast")
      c.replyUnicast = true;
    else if (reply == "broadcast")
      c.replyUnicast = false;
    else
      r.fail("reply", "must be \"broadcast\" or \"unicast\"");
  }
  r.address("ip", c.ip);
  r.address("subnet", c.subnet);
  r.address("gateway", c.gateway);
  r.address("dns1", c.dns1);
  r.address("dns2", c.dns2);
  r.flag("dhcp", c.dhcp);
  r.answerText("hostname", c.hostname);
  r.answerText("type", c.typeText);
  r.answerText("version", c.versionText);
  r.version<uint16_t>("protocol_version", c.protocolMajor, c.protocolMinor, nullptr);
  r.version("module_version", c.moduleMajor, c.moduleMinor, &c.moduleBuild);
  r.version("kernel_version", c.kernelMajor, c.kernelMinor, &c.kernelBuild);
  if (r.has("password_set")) {
    bool set = false;
    r.flag("password_set", set);
    c.passwordFlag = set ? 1 : 0;
  }
  if (r.has("seed")) {
    c.hasSeed = true;
    r.answerText("seed", c.seed);
  }
  r.number("max_hostname", c.maxHostname, 255);
  r.number("max_password", c.maxPassword, 255);
  if (r.has("faults")) ReadFaults(object["faults"], where, c.faults, error);
}

bool ReadModule(const json& object, const std::string& where, SimModule& module,
                std::string& error) {
  if (!object.is_object()) {
    error = where + " must be an object";
    return false;
  }
  Reader r(object, where, error);
  ModuleConfig& c = module.cfg;
  std::string mac;
  if (!r.has("mac")) return r.fail("mac", "is missing");
  r.text("mac", mac);
  if (error.empty() && !ParseMac(mac, c.mac)) r.fail("mac", "must look like 02-00-00-00-10-01");
  if (r.has("protocol")) {
    std::string protocol;
    r.text("protocol", protocol);
    c.speaksText = protocol == "text" || protocol == "both";
    c.speaksSecure = protocol == "secure" || protocol == "both";
    if (!c.speaksText && !c.speaksSecure)
      r.fail("protocol", "must be \"text\", \"secure\" or \"both\"");
  }
  ReadValues(r, object, where, c, error);
  r.noOtherKeys();
  return error.empty();
}

bool ReadGenerate(const json& object, std::vector<SimModule>& out, std::string& error) {
  if (!object.is_object()) {
    error = "\"generate\" must be an object";
    return false;
  }
  Reader r(object, "generate", error);
  uint32_t text = 0, secure = 0;
  std::string prefix = "02-00-01";
  ModuleConfig base;
  r.number("text", text, kMaxModules);
  r.number("secure", secure, kMaxModules);
  r.text("mac_prefix", prefix);
  if (r.has("template")) {
    const json& t = object["template"];
    if (!t.is_object()) return r.fail("template", "must be an object");
    Reader tr(t, "generate template", error);
    ReadValues(tr, t, "generate template", base, error);
    tr.noOtherKeys();
  }
  r.noOtherKeys();
  return error.empty() && GenerateModules(text, secure, prefix, base, out, error);
}

}  // namespace

bool ParseConfig(std::string_view jsonText, std::vector<SimModule>& out, std::string& error) {
  json root = json::parse(jsonText.begin(), jsonText.end(), nullptr, false);
  if (root.is_discarded()) {
    error = "not valid JSON";
    return false;
  }
  if (!root.is_object()) {
    error = "the file must hold one JSON object";
    return false;
  }
  Reader r(root, "config", error);
  std::vector<SimModule> modules;
  if (r.has("modules")) {
    const json& list = root["modules"];
    if (!list.is_array()) return r.fail("modules", "must be a list");
    for (size_t i = 0; i < list.size(); ++i) {
      SimModule module;
      if (!ReadModule(list[i], "module " + std::to_string(i), module, error)) return false;
      modules.push_back(std::move(module));
    }
  }
  if (r.has("generate") && !ReadGenerate(root["generate"], modules, error)) return false;
  r.noOtherKeys();
  if (!error.empty()) return false;
  out.insert(out.end(), modules.begin(), modules.end());
  return true;
}

bool GenerateModules(uint32_t textCount, uint32_t secureCount, std::string_view macPrefix,
                     const ModuleConfig& base, std::vector<SimModule>& out, std::string& error) {
  Mac prefix{};
  if (!ParseMac(std::string(macPrefix) + "-00-00-00", prefix)) {
    error = "generate: mac prefix must be three bytes like 02-00-01";
    return false;
  }
  if (textCount + secureCount > kMaxModules) {
    error = "generate: at most " + std::to_string(kMaxModules) + " modules";
    return false;
  }
  for (uint32_t i = 1; i <= textCount + secureCount; ++i) {
    SimModule module;
    module.cfg = base;
    ModuleConfig& c = module.cfg;
    c.mac = prefix;
    c.mac[3] = static_cast<uint8_t>(i >> 16);
    c.mac[4] = static_cast<uint8_t>(i >> 8);
    c.mac[5] = static_cast<uint8_t>(i);
    c.speaksText = i <= textCount;
    c.speaksSecure = !c.speaksText;
    c.ip = 0x0A000000u | i;
    c.hostname = "sim-" + std::to_string(i);
    out.push_back(std::move(module));
  }
  return true;
}

bool FinishModules(std::vector<SimModule>& modules, std::string& error) {
  std::set<Mac> seen;
  for (SimModule& module : modules) {
    std::string mac = FormatMac(module.cfg.mac);
    if (!seen.insert(module.cfg.mac).second) {
      error = "module " + mac + " is listed twice (use \"protocol\": \"both\" for one that "
              "speaks both protocols)";
      return false;
    }
    if (module.cfg.hasSeed && module.cfg.speaksSecure) {
      // A seeded module keeps only a salted MD5 of its password, which the
      // secure digest cannot be checked against.
      error = "module " + mac + ": a seed is for text-only modules";
      return false;
    }
    PrepareTextModule(module);
  }
  return true;
}

}  // namespace mdspsim
