#include "firewall_rules.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace pelmar {
namespace {

using nlohmann::json;

// How a rule's matches relate to an answer from a module.
enum class Reach { kNever, kMaybe, kSurely };

bool HoldsValue(const json& right, const json& wanted) {
  if (right == wanted) return true;
  if (right.is_object() && right.contains("set")) {
    for (const json& item : right["set"])
      if (item == wanted) return true;
    return false;
  }
  if (right.is_object() && right.contains("range") && right["range"].is_array() &&
      right["range"].size() == 2 && wanted.is_number() && right["range"][0].is_number())
    return right["range"][0] <= wanted && wanted <= right["range"][1];
  if (right.is_array()) {  // ct state as a list of words
    for (const json& item : right)
      if (item == wanted) return true;
  }
  return false;
}

Reach JudgeMatch(const json& match) {
  const json& left = match.value("left", json());
  const json& right = match.value("right", json());
  const std::string op = match.value("op", "==");
  bool equal = op == "==" || op == "in";
  if (left.contains("payload")) {
    const json& payload = left["payload"];
    std::string protocol = payload.value("protocol", "");
    std::string field = payload.value("field", "");
    if (protocol == "udp" || protocol == "th") {
      if (field == "sport") {
        bool holds = HoldsValue(right, kModuleAnswerPort);
        return holds == equal ? Reach::kSurely : Reach::kNever;
      }
      return Reach::kMaybe;  // our receiving port is not known here
    }
    if ((protocol == "ip" && field == "protocol")) {
      bool holds = HoldsValue(right, "udp") || HoldsValue(right, 17);
      return holds == equal ? Reach::kSurely : Reach::kNever;
    }
    if (protocol == "ip6" || protocol == "tcp" || protocol == "icmp" || protocol == "icmpv6" ||
        protocol == "sctp")
      return Reach::kNever;
    return Reach::kMaybe;
  }
  if (left.contains("meta")) {
    std::string key = left["meta"].value("key", "");
    if (key == "l4proto") {
      bool holds = HoldsValue(right, "udp") || HoldsValue(right, 17);
      return holds == equal ? Reach::kSurely : Reach::kNever;
    }
    if (key == "nfproto") {
      bool holds = HoldsValue(right, "ipv4");
      return holds == equal ? Reach::kSurely : Reach::kNever;
    }
    if ((key == "iifname" || key == "iif") && HoldsValue(right, "lo"))
      return equal ? Reach::kNever : Reach::kSurely;
    return Reach::kMaybe;
  }
  if (left.contains("ct") && left["ct"].value("key", "") == "state") {
    // A broadcast's answers come from another address: conntrack sees them as new.
    bool holds = HoldsValue(right, "new") || HoldsValue(right, "untracked");
    return holds == equal ? Reach::kSurely : Reach::kNever;
  }
  return Reach::kMaybe;
}

struct RuleVerdict {
  Reach reach = Reach::kSurely;
  std::string verdict;  // "accept", "drop", "reject" or "" (none or a jump)
};

RuleVerdict JudgeRule(const json& rule) {
  RuleVerdict out;
  for (const json& expr : rule.value("expr", json::array())) {
    if (!expr.is_object()) continue;
    if (expr.contains("match")) {
      Reach reach = JudgeMatch(expr["match"]);
      if (reach == Reach::kNever) out.reach = Reach::kNever;
      else if (reach == Reach::kMaybe && out.reach == Reach::kSurely) out.reach = Reach::kMaybe;
    }
    for (const char* verdict : {"accept", "drop", "reject"})
      if (expr.contains(verdict)) out.verdict = verdict;
  }
  return out;
}

std::string FixFor(const std::string& family, const std::string& table, const std::string& chain) {
  return "sudo nft insert rule " + family + " " + table + " " + chain + " udp sport " +
         std::to_string(kModuleAnswerPort) + " accept";
}

}  // namespace

FirewallFacts AnalyseNftRuleset(const std::string& text) {
  FirewallFacts facts;
  json document = json::parse(text, nullptr, false);
  if (document.is_discarded() || !document.is_object() || !document.contains("nftables") ||
      !document["nftables"].is_array()) {
    facts.unreadableWhy = "nft printed no ruleset";
    return facts;
  }
  facts.readable = true;
  const json& items = document["nftables"];
  for (const json& item : items) {
    if (!item.is_object() || !item.contains("chain")) continue;
    const json& chain = item["chain"];
    std::string family = chain.value("family", "");
    if (chain.value("hook", "") != "input" || (family != "ip" && family != "inet")) continue;
    std::string table = chain.value("table", ""), name = chain.value("name", "");
    std::string where = family + " " + table + " " + name;
    bool settled = false;
    for (const json& other : items) {
      if (!other.is_object() || !other.contains("rule")) continue;
      const json& rule = other["rule"];
      if (rule.value("family", "") != family || rule.value("table", "") != table ||
          rule.value("chain", "") != name)
        continue;
      RuleVerdict judged = JudgeRule(rule);
      if (judged.reach == Reach::kNever || judged.verdict.empty()) continue;
      if (judged.verdict == "accept") {
        settled = true;  // also when only maybe: no finding where it is not plain
        break;
      }
      facts.dropsAnswers = true;
      facts.where = where;
      facts.rule = "rule handle " + std::to_string(rule.value("handle", 0)) + ", " +
                   judged.verdict;
      facts.fixCommand = FixFor(family, table, name);
      return facts;
    }
    if (!settled && chain.value("policy", "accept") == "drop") {
      facts.dropsAnswers = true;
      facts.where = where;
      facts.rule = "policy drop";
      facts.fixCommand = FixFor(family, table, name);
      return facts;
    }
  }
  return facts;
}

}  // namespace pelmar
