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

using Body = void (*)(const ParsedArgs& args, std::ostream& out);

// sros2's own errors come back as "Unable to create <what>: ..."; others as they are.
Verb security_verb(std::string name, std::vector<std::string> positionals, std::string what,
                   Body body) {
  return {"security",
          std::move(name),
          {},
          std::move(positionals),
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
  return {security_verb("create_enclave", {"ROOT", "NAME"}, "enclave",
                        [](const ParsedArgs& args, std::ostream& out) {
                          create_enclave(args.positionals.at("ROOT"), args.positionals.at("NAME"),
                                         domain_id(), out);
                        }),
          security_verb("create_keystore", {"ROOT"}, "keystore",
                        [](const ParsedArgs& args, std::ostream&) {
                          create_keystore(args.positionals.at("ROOT"), domain_id());
                        }),
          security_verb("create_permission", {"ROOT", "NAME", "POLICY_FILE_PATH"}, "permission",
                        [](const ParsedArgs& args, std::ostream&) {
                          create_permission(args.positionals.at("ROOT"),
                                            args.positionals.at("NAME"),
                                            args.positionals.at("POLICY_FILE_PATH"), domain_id());
                        })};
}

}  // namespace ros2_lite
