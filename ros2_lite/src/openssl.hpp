#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace ros2_lite {

// What the openssl command said when it failed.
class OpensslError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CertificateAuthority {
  std::filesystem::path cert;
  std::filesystem::path key;
};

// Validity of a certificate as ISO 8601 UTC without zone, "2024-05-01T12:00:00".
struct Validity {
  std::string not_before;
  std::string not_after;
};

// A new ECDSA P-256 private key, PKCS#8 PEM, readable by its owner only.
void create_private_key(const std::filesystem::path& key);

// A certificate for key with subject CN=common_name, valid from a day ago for
// 3650 days, signed with SHA-256: by issuer, or self-signed as a CA when there is none.
void create_certificate(const std::string& common_name, const std::filesystem::path& key,
                        const std::filesystem::path& cert,
                        const std::optional<CertificateAuthority>& issuer);

// A clear-signed S/MIME (text/plain) copy of document, signed by signer.
void sign_document(const CertificateAuthority& signer, const std::filesystem::path& document,
                   const std::filesystem::path& signed_document);

Validity certificate_validity(const std::filesystem::path& cert);

}  // namespace ros2_lite
