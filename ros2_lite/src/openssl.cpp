#include "openssl.hpp"

#include <stdlib.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <vector>

#include "document_template.hpp"
#include "run_command.hpp"

namespace ros2_lite {
namespace {

using Clock = std::chrono::system_clock;
using Days = std::chrono::duration<int64_t, std::ratio<86400>>;

// Validity as sros2 gives it: back-dated a day so that a peer whose clock is a
// little behind does not take the certificate for one from the future.
constexpr Days kBackdate{1};
constexpr Days kLifetime{3650};

std::string openssl(std::vector<std::string> args) {
  args.insert(args.begin(), "openssl");
  const CommandOutput result = run_command(args);
  if (result.status != 0) {
    throw OpensslError("openssl " + args[1] + " failed (exit status " +
                       std::to_string(result.status) + "): " + result.output);
  }
  return result.output;
}

std::string asn1_time(Clock::time_point t) {
  const std::time_t seconds = Clock::to_time_t(t);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &utc);
  return text;
}

// A scratch directory for `openssl ca`, removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ros2_lite_ca.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a scratch directory in " +
                               std::filesystem::temp_directory_path().string());
    }
    path_ = pattern;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path);
  if (!(out << text && out.flush())) {
    throw std::runtime_error("cannot write '" + path.string() + "'");
  }
}

// "/align_controller" must not be read as a path of RDNs.
std::string subject(const std::string& common_name) {
  std::string escaped = "/CN=";
  for (const char c : common_name) {
    if (c == '/' || c == '\\' || c == '+' || c == '=') {
      escaped += '\\';
    }
    escaped += c;
  }
  return escaped;
}

std::string iso_time(const std::string& openssl_line, const std::string& field) {
  // "notBefore=2024-05-01 12:00:00Z"
  const size_t at = openssl_line.find(field + "=");
  const size_t begin = at == std::string::npos ? at : at + field.size() + 1;
  const size_t end = begin == std::string::npos ? begin : openssl_line.find('Z', begin);
  if (end == std::string::npos || end - begin != 19) {
    throw OpensslError("unexpected validity from openssl x509: " + openssl_line);
  }
  std::string iso = openssl_line.substr(begin, end - begin);
  iso[10] = 'T';
  return iso;
}

}  // namespace

void create_private_key(const std::filesystem::path& key) {
  openssl({"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-pkeyopt",
           "ec_param_enc:named_curve", "-out", key.string()});
}

void create_certificate(const std::string& common_name, const std::filesystem::path& key,
                        const std::filesystem::path& cert,
                        const std::optional<CertificateAuthority>& issuer) {
  const ScratchDir scratch;
  const auto config = scratch.path() / "ca.cnf";
  const auto request = scratch.path() / "request.csr";
  write_file(config, fill(read_template("openssl_ca.cnf"), {{"WORK_DIR", scratch.path()}}));
  write_file(scratch.path() / "index.txt", "");
  openssl({"req", "-new", "-config", config.string(), "-utf8", "-key", key.string(), "-subj",
           subject(common_name), "-out", request.string()});
  const auto now = Clock::now();
  std::vector<std::string> args = {"ca",          "-batch",
                                   "-config",     config.string(),
                                   "-in",         request.string(),
                                   "-out",        cert.string(),
                                   "-notext",     "-rand_serial",
                                   "-startdate",  asn1_time(now - kBackdate),
                                   "-enddate",    asn1_time(now + kLifetime),
                                   "-extensions", issuer ? "enclave_cert" : "ca_cert"};
  if (issuer) {
    args.insert(args.end(), {"-cert", issuer->cert.string(), "-keyfile", issuer->key.string()});
  } else {
    args.insert(args.end(), {"-selfsign", "-keyfile", key.string()});
  }
  openssl(args);
}

void sign_document(const CertificateAuthority& signer, const std::filesystem::path& document,
                   const std::filesystem::path& signed_document) {
  openssl({"smime", "-sign", "-text", "-in", document.string(), "-out", signed_document.string(),
           "-signer", signer.cert.string(), "-inkey", signer.key.string()});
}

Validity certificate_validity(const std::filesystem::path& cert) {
  const std::string dates = openssl(
      {"x509", "-in", cert.string(), "-noout", "-startdate", "-enddate", "-dateopt", "iso_8601"});
  return {iso_time(dates, "notBefore"), iso_time(dates, "notAfter")};
}

}  // namespace ros2_lite
