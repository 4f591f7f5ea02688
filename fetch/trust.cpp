#include "fetch/trust.h"

#include <curl/curl.h>
#include <memory>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509_vfy.h>

#include "config/config_file.h"
#include "config/text_file.h"
#include "fetch/failure_words.h"
#include "fetch/status_fetch.h"

namespace {

constexpr std::string_view PIN_PREFIX = "sha256//";
// base64 of a SHA-256 digest: 32 bytes, 44 characters with one '='.
constexpr std::size_t PIN_BASE64_SIZE = 44;

bool is_sha256_base64(std::string_view text) {
  if (text.size() != PIN_BASE64_SIZE || text.back() != '=' || text[PIN_BASE64_SIZE - 2] == '=') return false;
  unsigned char decoded[PIN_BASE64_SIZE];
  // 44 characters decode to 33 bytes, the last of them the padding's.
  return EVP_DecodeBlock(decoded, reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<int>(text.size())) == 33;
}

}  // namespace

std::string pin_line_fault(std::string_view pin) {
  if (pin.empty()) return "the pin line has no value";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = pin.find(';', start);
    const std::string_view piece = pin.substr(start, end == std::string_view::npos ? pin.npos : end - start);
    if (!piece.starts_with(PIN_PREFIX) || !is_sha256_base64(piece.substr(PIN_PREFIX.size())))
      return "the pin line is not of the form sha256//BASE64[;sha256//BASE64...] (each BASE64 the 44 "
             "characters of a SHA-256 digest, as orvek -t prints it)";
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
}

std::string ca_file_fault(const std::string& path) {
  if (path.empty() || !why_unreadable(path.c_str()).empty()) return {};
  const std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), X509_STORE_free);
  if (!store) return {};
  // What libcurl's CURLOPT_CAINFO comes to: the file's PEM blocks loaded
  // into a store, which takes certificates and CRLs and skips the rest.
  const bool loaded = X509_STORE_load_file(store.get(), path.c_str()) == 1;
  bool certificate = false;
  if (loaded) {
    const STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(store.get());
    for (int i = 0; i < sk_X509_OBJECT_num(objects) && !certificate; ++i)
      certificate = X509_OBJECT_get_type(sk_X509_OBJECT_value(objects, i)) == X509_LU_X509;
  }
  // A failed load leaves its reasons queued, where a later handshake's
  // error report would find them.
  ERR_clear_error();
  return certificate ? std::string() : std::string("holds no certificate");
}

std::string set_trust_options(void* curl_handle, const Settings& settings) {
  CURL* handle = curl_handle;
  const bool pinned = !settings.pin.empty();
  if (pinned) {
    if (std::string fault = pin_line_fault(settings.pin); !fault.empty()) return fault;
  }
  // The name is checked in every case (libcurl's default host check).
  if (!settings.cafile.empty()) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_CAINFO, settings.cafile.c_str());
    // Only the file's authorities: not also those of the system's folder.
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  } else {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, settings.verify ? 1L : 0L);
  }
  if (pinned) curl_easy_setopt(handle, CURLOPT_PINNEDPUBLICKEY, settings.pin.c_str());
  return {};
}

TrustFailure trust_failure_of(const FetchResult& result) {
  switch (result.curl_code) {
    case CURLE_PEER_FAILED_VERIFICATION:
      // libcurl checks the name after the handshake, before it takes the
      // chain's verdict from OpenSSL: a failed name leaves the verdict as it
      // began (X509_V_ERR_UNSPECIFIED), or X509_V_OK. A chain that failed
      // during the handshake leaves OpenSSL's reason.
      switch (result.tls_verify_result) {
        case X509_V_OK:
        case X509_V_ERR_UNSPECIFIED: return TrustFailure::NAME_MISMATCH;
        case X509_V_ERR_CERT_HAS_EXPIRED: return TrustFailure::EXPIRED;
        case X509_V_ERR_CERT_NOT_YET_VALID: return TrustFailure::NOT_YET_VALID;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return TrustFailure::UNKNOWN_CA;
        default: return TrustFailure::OTHER_CHAIN;
      }
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH: return TrustFailure::PIN_MISMATCH;
    case CURLE_SSL_CACERT_BADFILE: return TrustFailure::CA_FILE_UNUSABLE;
    default: return TrustFailure::NONE;
  }
}

std::string trust_failure_words(const FetchResult& result) {
  // A failed check ends a transfer before any answer, so its row in the
  // failure words' table is the failure's.
  return trust_failure_of(result) == TrustFailure::NONE ? std::string() : failure_words(result);
}
