#include <cstdlib>

#include "keystore.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

// The domain the governance and permissions are written for, as sros2 takes it.
std::string domain_id() {
  const char* id = std::getenv("ROS_DOMAIN_ID");
  return id == nullptr ? "0" : id;
}

const Argument kRoot{{}, "ROOT", Nargs::kOne, "root path of keystore"};

using Body = void (*)(const ParsedArgs& args, std::ostream& out);

// sros2's own errors come back as "Unable to create <what>: ..."; others as they are.
Verb security_verb(std::string name, std::string description, std::vector<Argument> arguments,
                   std::string what, Body body) {
  return {"security", std::move(name), std::move(description), std::move(arguments),
          [what, body](const ParsedArgs& args, std::ostream& out,
                       std::ostream&) -> std::optional<std::string> {
            try {
              body(args, out);
            } catch (const KeystoreError& e) {
              return "Unable to create " + what + ": " + e.what();
            }
            return std::nullopt;
          }};
}

}  // namespace

std::vector<Verb> security_verbs() {
  return {security_verb("create_enclave", "Create enclave",
                        {kRoot, {{}, "NAME", Nargs::kOne, "enclave name"}}, "enclave",
                        [](const ParsedArgs& args, std::ostream& out) {
                          create_enclave(args.positionals.at("ROOT"), args.positionals.at("NAME"),
                                         domain_id(), out);
                        }),
          security_verb("create_keystore", "Create keystore", {kRoot}, "keystore",
                        [](const ParsedArgs& args, std::ostream&) {
                          create_keystore(args.positionals.at("ROOT"), domain_id());
                        }),
          security_verb("create_permission", "Create permission",
                        {kRoot,
                         {{}, "NAME", Nargs::kOne, "key name, aka ROS enclave name"},
                         {{}, "POLICY_FILE_PATH", Nargs::kOne, "path of the policy xml file"}},
                        "permission", [](const ParsedArgs& args, std::ostream&) {
                          create_permission(args.positionals.at("ROOT"),
                                            args.positionals.at("NAME"),
                                            args.positionals.at("POLICY_FILE_PATH"), domain_id());
                        })};
}

}  // namespace ros2_lite
