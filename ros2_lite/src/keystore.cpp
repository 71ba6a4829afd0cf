#include "keystore.hpp"

#include <cctype>
#include <fstream>
#include <vector>

#include "document_template.hpp"
#include "openssl.hpp"
#include "permissions_document.hpp"
#include "security_policy.hpp"

namespace ros2_lite {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCaCommonName = "sros2CA";
constexpr size_t kNamespaceMaxLength = 245;

struct Layout {
  fs::path root;

  fs::path public_file(const std::string& name) const { return root / "public" / name; }
  fs::path private_file(const std::string& name) const { return root / "private" / name; }
  fs::path enclaves() const { return root / "enclaves"; }
  // "/" is the enclaves directory itself.
  fs::path enclave_dir(const std::string& name) const {
    const size_t first = name.find_first_not_of('/');
    return first == std::string::npos ? enclaves() : enclaves() / name.substr(first);
  }
  CertificateAuthority identity_ca() const {
    return {public_file("identity_ca.cert.pem"), private_file("identity_ca.key.pem")};
  }
  CertificateAuthority permissions_ca() const {
    return {public_file("permissions_ca.cert.pem"), private_file("permissions_ca.key.pem")};
  }
  bool valid() const {
    return fs::is_regular_file(permissions_ca().cert) && fs::is_regular_file(identity_ca().cert) &&
           fs::is_regular_file(permissions_ca().key) && fs::is_regular_file(identity_ca().key) &&
           fs::is_regular_file(enclaves() / "governance.p7s");
  }
};

// As Python prints a pathlib.Path: no repeated or trailing '/', no "." steps.
std::string shown(const fs::path& path) {
  const std::string text = path.string();
  std::string out = !text.empty() && text[0] == '/' ? "/" : "";
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('/', begin);
    end = end == std::string::npos ? text.size() : end;
    const std::string step = text.substr(begin, end - begin);
    if (!step.empty() && step != ".") {
      out += (out.empty() || out.back() == '/' ? "" : "/") + step;
    }
    begin = end + 1;
  }
  return out.empty() ? "." : out;
}

// A relative symlink at link to target, unless link already leads there.
void link_to(const fs::path& target, const fs::path& link) {
  std::error_code ignored;
  if (fs::exists(link) && fs::equivalent(link, link.parent_path() / target, ignored)) {
    return;
  }
  fs::remove(link, ignored);
  fs::create_symlink(target, link);
}

fs::path relative_to(const fs::path& target, const fs::path& dir) {
  fs::path from = fs::absolute(dir).lexically_normal();
  if (from.filename().empty()) {
    from = from.parent_path();
  }
  return fs::absolute(target).lexically_normal().lexically_relative(from);
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!(out << text && out.flush())) {
    throw KeystoreError("cannot write '" + path.string() + "'");
  }
}

void write_signed_permissions(const Layout& keystore, const fs::path& dir,
                              const std::vector<Grant>& grants, const std::string& domain_id) {
  const fs::path cert = dir / "cert.pem";
  if (!fs::is_regular_file(cert)) {
    throw std::runtime_error("No such file or directory: '" + cert.string() + "'");
  }
  write_file(dir / "permissions.xml",
             permissions_document(grants, certificate_validity(cert), domain_id));
  sign_document(keystore.permissions_ca(), dir / "permissions.xml", dir / "permissions.p7s");
}

void check_domain_id(const std::string& domain_id) {
  if (domain_id.empty() || domain_id.find_first_not_of("0123456789") != std::string::npos) {
    throw KeystoreError("ROS_DOMAIN_ID '" + domain_id + "' is not a domain id");
  }
}

}  // namespace

std::optional<std::string> enclave_name_problem(const std::string& name) {
  auto problem = [&name](const std::string& what, size_t at) {
    return "Invalid namespace: namespace " + what + ":\n  '" + name + "'\n   " +
           std::string(at, ' ') + "^";
  };
  if (name.empty()) {
    return problem("must not be empty", 0);
  }
  if (name[0] != '/') {
    return problem("must be absolute, it must lead with a '/'", 0);
  }
  if (name == "/") {
    return std::nullopt;
  }
  if (name.back() == '/') {
    return problem("must not end with a '/', unless only a '/'", name.size() - 1);
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i])) && name[i] != '_' && name[i] != '/') {
      return problem("must not contain characters other than alphanumerics, '_', or '/'", i);
    }
  }
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i - 1] == '/' && name[i] == '/') {
      return problem("must not contain repeated '/'", i);
    }
    if (name[i - 1] == '/' && std::isdigit(static_cast<unsigned char>(name[i]))) {
      return problem("must not have a token that starts with a number", i);
    }
  }
  if (name.size() > kNamespaceMaxLength) {
    return problem("should not exceed '" + std::to_string(kNamespaceMaxLength) + "'",
                   kNamespaceMaxLength - 1);
  }
  return std::nullopt;
}

void create_keystore(const fs::path& root, const std::string& domain_id) {
  const Layout keystore{root};
  if (keystore.valid()) {
    throw KeystoreError("keystore '" + shown(root) + "' already exists");
  }
  check_domain_id(domain_id);
  for (const auto& dir : {root, root / "public", root / "private", keystore.enclaves()}) {
    fs::create_directories(dir);
  }
  const CertificateAuthority identity = keystore.identity_ca();
  const CertificateAuthority permissions = keystore.permissions_ca();
  if (!fs::is_regular_file(permissions.cert) || !fs::is_regular_file(permissions.key) ||
      !fs::is_regular_file(identity.cert) || !fs::is_regular_file(identity.key)) {
    const CertificateAuthority ca{keystore.public_file("ca.cert.pem"),
                                  keystore.private_file("ca.key.pem")};
    create_private_key(ca.key);
    create_certificate(kCaCommonName, ca.key, ca.cert, std::nullopt);
    for (const auto& role : {identity, permissions}) {
      link_to("ca.cert.pem", role.cert);
      link_to("ca.key.pem", role.key);
    }
  }
  const fs::path governance = keystore.enclaves() / "governance.xml";
  if (!fs::is_regular_file(governance)) {
    write_file(governance, fill(read_template("governance.xml"), {{"DOMAIN_ID", domain_id}}));
  }
  if (!fs::is_regular_file(keystore.enclaves() / "governance.p7s")) {
    sign_document(permissions, governance, keystore.enclaves() / "governance.p7s");
  }
}

void create_enclave(const fs::path& root, const std::string& name, const std::string& domain_id,
                    std::ostream& out) {
  const Layout keystore{root};
  if (!keystore.valid()) {
    throw KeystoreError("'" + shown(root) + "' is not a valid keystore");
  }
  if (const auto problem = enclave_name_problem(name)) {
    out << *problem << std::endl;
    throw KeystoreError("'" + name + "' is not a valid enclave name");
  }
  check_domain_id(domain_id);
  const fs::path dir = keystore.enclave_dir(name);
  fs::create_directories(dir);
  for (const auto& cert : {"identity_ca.cert.pem", "permissions_ca.cert.pem"}) {
    link_to(relative_to(keystore.public_file(cert), dir), dir / cert);
  }
  link_to(relative_to(keystore.enclaves() / "governance.p7s", dir), dir / "governance.p7s");
  if (!fs::is_regular_file(dir / "cert.pem") || !fs::is_regular_file(dir / "key.pem")) {
    create_private_key(dir / "key.pem");
    create_certificate(name, dir / "key.pem", dir / "cert.pem", keystore.identity_ca());
  }
  const std::string policy = fill(read_template("default_policy.xml"), {{"ENCLAVE", name}});
  write_signed_permissions(
      keystore, dir, policy_grants(policy, (share_dir() / "default_policy.xml").string(), name),
      domain_id);
}

void create_permission(const fs::path& root, const std::string& name, const fs::path& policy_file,
                       const std::string& domain_id) {
  const std::vector<Grant> grants = policy_file_grants(policy_file, name);
  check_domain_id(domain_id);
  const Layout keystore{root};
  write_signed_permissions(keystore, keystore.enclave_dir(name), grants, domain_id);
}

}  // namespace ros2_lite
