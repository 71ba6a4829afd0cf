#include "security_policy.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xinclude.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

namespace ros2_lite {
namespace {

constexpr const char* kPolicyVersion = "0.2.0";

// Each kind of list, its items and the attributes that allow or deny them, in
// the order they are translated.
struct ListKind {
  std::string list;
  std::string item;
  std::vector<std::string> qualifiers;
};
const std::vector<ListKind> kListKinds = {{"topics", "topic", {"publish", "subscribe"}},
                                          {"services", "service", {"request", "reply"}},
                                          {"actions", "action", {"call", "execute"}}};

using Group = std::vector<std::string>;

// The topic groups one qualifier of a list grants, for publishing and for subscribing.
struct Groups {
  std::vector<Group> publish;
  std::vector<Group> subscribe;
};

std::string name_of(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

std::vector<xmlNode*> child_elements(xmlNode* parent) {
  std::vector<xmlNode*> children;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      children.push_back(child);
    }
  }
  return children;
}

std::optional<std::string> attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) {
    return std::nullopt;
  }
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

std::string text_of(xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content == nullptr ? "" : reinterpret_cast<const char*>(content);
  xmlFree(content);
  return text;
}

// Checks a document against the policy format and reports the first fault with its line.
class Checker {
 public:
  explicit Checker(std::string source) : source_(std::move(source)) {}

  void policy(xmlNode* root) const {
    if (name_of(root) != "policy") {
      fail(root, "the root element must be <policy>, not <" + name_of(root) + ">");
    }
    attributes(root, {"version"});
    if (attribute(root, "version") != kPolicyVersion) {
      fail(root, std::string("<policy> needs version=\"") + kPolicyVersion + "\"");
    }
    const auto children = child_elements(root);
    if (children.size() != 1 || name_of(children[0]) != "enclaves") {
      fail(root, "<policy> must hold exactly one <enclaves>");
    }
    for (xmlNode* enclave : of_kind(children[0], "enclave")) {
      attributes(enclave, {"path"});
      required(enclave, "path");
      for (xmlNode* profiles : of_kind(enclave, "profiles")) {
        this->profiles(profiles);
      }
    }
  }

  [[noreturn]] void fail(xmlNode* at, const std::string& what) const {
    throw PolicyError(source_ + ":" + std::to_string(xmlGetLineNo(at)) + ": " + what);
  }

 private:
  void profiles(xmlNode* profiles) const {
    attributes(profiles, {"type"});
    bool metadata_seen = false;
    size_t count = 0;
    for (xmlNode* child : child_elements(profiles)) {
      if (name_of(child) == "profile" && !metadata_seen) {
        profile(child);
        ++count;
      } else if (name_of(child) == "metadata" && !metadata_seen && count > 0) {
        metadata_seen = true;
      } else {
        fail(child, "<profiles> holds <profile> elements, then at most one <metadata>");
      }
    }
    if (count == 0) {
      fail(profiles, "<profiles> needs at least one <profile>");
    }
  }

  void profile(xmlNode* profile) const {
    attributes(profile, {"ns", "node"});
    required(profile, "ns");
    required(profile, "node");
    for (xmlNode* list : child_elements(profile)) {
      const auto kind = std::find_if(kListKinds.begin(), kListKinds.end(),
                                     [&](const ListKind& k) { return k.list == name_of(list); });
      if (kind == kListKinds.end()) {
        fail(list, "<" + name_of(list) + "> is not allowed in <profile>");
      }
      std::set<std::string> allowed(kind->qualifiers.begin(), kind->qualifiers.end());
      attributes(list, allowed);
      for (const auto& qualifier : kind->qualifiers) {
        const auto value = attribute(list, qualifier.c_str());
        if (value && *value != "ALLOW" && *value != "DENY") {
          fail(list, qualifier + "=\"" + *value + "\" must be ALLOW or DENY");
        }
      }
      of_kind(list, kind->item);
    }
  }

  // The children of parent, all named name; at least one.
  std::vector<xmlNode*> of_kind(xmlNode* parent, const std::string& name) const {
    const auto children = child_elements(parent);
    for (xmlNode* child : children) {
      if (name_of(child) != name) {
        fail(child,
             "<" + name_of(parent) + "> holds only <" + name + ">, not <" + name_of(child) + ">");
      }
    }
    if (children.empty()) {
      fail(parent, "<" + name_of(parent) + "> needs at least one <" + name + ">");
    }
    return children;
  }

  // xml:base comes with XInclude and is allowed everywhere.
  void attributes(xmlNode* node, const std::set<std::string>& allowed) const {
    for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
      const std::string name = reinterpret_cast<const char*>(a->name);
      const bool xml_base = name == "base" && a->ns != nullptr && a->ns->prefix != nullptr &&
                            std::string(reinterpret_cast<const char*>(a->ns->prefix)) == "xml";
      if (!xml_base && allowed.count(name) == 0) {
        fail(node, "<" + name_of(node) + "> has no attribute '" + name + "'");
      }
    }
  }

  void required(xmlNode* node, const char* name) const {
    if (!attribute(node, name)) {
      fail(node, "<" + name_of(node) + "> needs the attribute '" + name + "'");
    }
  }

  std::string source_;
};

std::string delimited(const std::string& ns) {
  return !ns.empty() && ns.back() == '/' ? ns : ns + "/";
}

// A ROS name of the profile made fully qualified: "~" stands for the node.
std::string fully_qualified(const std::string& name, const std::string& ns,
                            const std::string& node) {
  if (!name.empty() && name[0] == '/') {
    return name;
  }
  if (!name.empty() && name[0] == '~') {
    return delimited(ns) + node + name.substr(1);
  }
  return delimited(ns) + name;
}

Group prefixed(const std::vector<std::string>& names, const std::vector<std::string>& prefixes,
               const std::vector<std::string>& suffixes) {
  Group group;
  for (const auto& name : names) {
    for (size_t i = 0; i < prefixes.size(); ++i) {
      group.push_back(prefixes[i] + name + suffixes[i]);
    }
  }
  return group;
}

// The DDS topics behind one qualifier, as rmw_cyclonedds_cpp names them.
Groups translate(const std::string& qualifier, const std::vector<std::string>& names) {
  const std::vector<std::string> requests = {"rq", "rq", "rq"};
  const std::vector<std::string> replies = {"rr", "rr", "rr", "rt", "rt"};
  const std::vector<std::string> request_suffixes = {
      "/_action/cancel_goalRequest", "/_action/get_resultRequest", "/_action/send_goalRequest"};
  const std::vector<std::string> reply_suffixes = {
      "/_action/cancel_goalReply", "/_action/get_resultReply", "/_action/send_goalReply",
      "/_action/feedback", "/_action/status"};
  if (qualifier == "publish") {
    return {{prefixed(names, {"rt"}, {""})}, {}};
  }
  if (qualifier == "subscribe") {
    return {{}, {prefixed(names, {"rt"}, {""})}};
  }
  if (qualifier == "request") {
    return {{prefixed(names, {"rq"}, {"Request"})}, {prefixed(names, {"rr"}, {"Reply"})}};
  }
  if (qualifier == "reply") {
    return {{prefixed(names, {"rr"}, {"Reply"})}, {prefixed(names, {"rq"}, {"Request"})}};
  }
  if (qualifier == "call") {
    return {{prefixed(names, requests, request_suffixes)},
            {prefixed(names, replies, reply_suffixes)}};
  }
  return {{prefixed(names, replies, reply_suffixes)},
          {prefixed(names, requests, request_suffixes)}};
}

// Groups ordered by their first topic (stable), then merged; a topic listed twice is kept once.
std::vector<std::string> merged(std::vector<Group> groups) {
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.front() < b.front(); });
  std::vector<std::string> topics;
  for (const auto& group : groups) {
    for (const auto& topic : group) {
      if (std::find(topics.begin(), topics.end(), topic) == topics.end()) {
        topics.push_back(topic);
      }
    }
  }
  return topics;
}

TopicRule rule(const std::vector<xmlNode*>& profiles, const std::string& verdict) {
  Groups all;
  for (xmlNode* profile : profiles) {
    const std::string ns = *attribute(profile, "ns");
    const std::string node = *attribute(profile, "node");
    for (xmlNode* list : child_elements(profile)) {
      std::vector<std::string> names;
      for (xmlNode* item : child_elements(list)) {
        names.push_back(fully_qualified(text_of(item), ns, node));
      }
      for (const auto& kind : kListKinds) {
        if (kind.list != name_of(list)) {
          continue;
        }
        for (const auto& qualifier : kind.qualifiers) {
          if (attribute(list, qualifier.c_str()) == verdict) {
            Groups groups = translate(qualifier, names);
            all.publish.insert(all.publish.end(), groups.publish.begin(), groups.publish.end());
            all.subscribe.insert(all.subscribe.end(), groups.subscribe.begin(),
                                 groups.subscribe.end());
          }
        }
      }
    }
  }
  return {merged(std::move(all.publish)), merged(std::move(all.subscribe))};
}

}  // namespace

std::vector<Grant> policy_grants(const std::string& policy_text, const std::string& source,
                                 const std::string& enclave) {
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
      xmlReadMemory(policy_text.data(), static_cast<int>(policy_text.size()), source.c_str(),
                    nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      &xmlFreeDoc);
  if (!doc) {
    const xmlError* error = xmlGetLastError();
    std::string what = error != nullptr && error->message != nullptr ? error->message : "";
    while (!what.empty() && what.back() == '\n') {
      what.pop_back();
    }
    throw PolicyError(source + ":" + std::to_string(error != nullptr ? error->line : 0) +
                      ": not well-formed XML: " + what);
  }
  if (xmlXIncludeProcessFlags(doc.get(), XML_PARSE_NONET | XML_PARSE_NOERROR) < 0) {
    throw PolicyError(source + ": an XInclude of the policy cannot be resolved");
  }
  xmlNode* root = xmlDocGetRootElement(doc.get());
  const Checker checker(source);
  checker.policy(root);
  for (xmlNode* element : child_elements(child_elements(root)[0])) {
    if (attribute(element, "path") != enclave) {
      continue;
    }
    std::vector<Grant> grants;
    for (xmlNode* profiles : child_elements(element)) {
      std::vector<xmlNode*> profile_list;
      for (xmlNode* child : child_elements(profiles)) {
        if (name_of(child) == "profile") {
          profile_list.push_back(child);
        }
      }
      grants.push_back({enclave, rule(profile_list, "DENY"), rule(profile_list, "ALLOW")});
    }
    return grants;
  }
  throw PolicyError("unable to find enclave \"" + enclave + "\"");
}

std::vector<Grant> policy_file_grants(const std::filesystem::path& policy_file,
                                      const std::string& enclave) {
  std::ifstream in(policy_file);
  std::ostringstream text;
  if (!std::filesystem::is_regular_file(policy_file) || !in) {
    throw PolicyError("policy file '" + policy_file.string() + "' does not exist");
  }
  text << in.rdbuf();
  return policy_grants(text.str(), policy_file.string(), enclave);
}

}  // namespace ros2_lite
