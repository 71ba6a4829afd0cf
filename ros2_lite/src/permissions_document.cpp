#include "permissions_document.hpp"

#include "document_template.hpp"

namespace ros2_lite {
namespace {

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string topics(const char* element, const std::vector<std::string>& names) {
  if (names.empty()) {
    return "";
  }
  std::string text = std::string("        <") + element + ">\n          <topics>\n";
  for (const auto& name : names) {
    text += "            <topic>" + escaped(name) + "</topic>\n";
  }
  return text + "          </topics>\n        </" + element + ">\n";
}

std::string rule(const char* element, const TopicRule& rule, const std::string& domain_id) {
  if (rule.empty()) {
    return "";
  }
  return std::string("      <") + element + ">\n        <domains>\n          <id>" + domain_id +
         "</id>\n        </domains>\n" + topics("publish", rule.publish) +
         topics("subscribe", rule.subscribe) + "      </" + element + ">\n";
}

}  // namespace

std::string permissions_document(const std::vector<Grant>& grants, const Validity& validity,
                                 const std::string& domain_id) {
  const std::string grant_template = read_template("permissions_grant.xml");
  std::string text;
  for (const auto& grant : grants) {
    text += fill(grant_template, {{"ENCLAVE", escaped(grant.name)},
                                  {"NOT_BEFORE", validity.not_before},
                                  {"NOT_AFTER", validity.not_after},
                                  {"DOMAIN_ID", domain_id},
                                  {"RULES", rule("deny_rule", grant.deny, domain_id) +
                                                rule("allow_rule", grant.allow, domain_id)}});
  }
  return fill(read_template("permissions.xml"), {{"GRANTS", text}});
}

}  // namespace ros2_lite
