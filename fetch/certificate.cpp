#include "fetch/certificate.h"

#include <algorithm>
#include <curl/curl.h>
#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "fetch/curl_handle.h"
#include "fetch/failure_words.h"
#include "fetch/server_transfer.h"

namespace {

struct FreeX509 {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FreeBio {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct CleanUpUrl {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// "sha256//" and the base64 of the SHA-256 of the DER SubjectPublicKeyInfo:
// the form libcurl's pinned public key takes.
std::string public_key_pin(X509* certificate) {
  unsigned char* der = nullptr;
  const int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
  if (size <= 0) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digest_size = 0;
  const bool hashed = EVP_Digest(der, static_cast<std::size_t>(size), digest, &digest_size, EVP_sha256(), nullptr) == 1;
  OPENSSL_free(der);
  if (!hashed) return {};
  unsigned char base64[4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1];
  const int length = EVP_EncodeBlock(base64, digest, static_cast<int>(digest_size));
  return "sha256//" + std::string(reinterpret_cast<const char*>(base64), static_cast<std::size_t>(length));
}

// What OpenSSL printed into a memory BIO.
template <typename Print>
std::string printed(Print print) {
  const std::unique_ptr<BIO, FreeBio> bio(BIO_new(BIO_s_mem()));
  if (!bio || print(bio.get()) <= 0) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

// "CN = a, O = b", as libcurl and openssl x509 -noout -subject write it.
std::string name_text(const X509_NAME* name) {
  return printed([name](BIO* bio) { return X509_NAME_print_ex(bio, name, 0, XN_FLAG_ONELINE) >= 0 ? 1 : 0; });
}

std::string time_text(const ASN1_TIME* time) {
  return printed([time](BIO* bio) { return ASN1_TIME_print(bio, time); });
}

std::string alt_names_text(X509* certificate) {
  const int at = X509_get_ext_by_NID(certificate, NID_subject_alt_name, -1);
  if (at < 0) return {};
  X509_EXTENSION* extension = X509_get_ext(certificate, at);
  return printed([extension](BIO* bio) { return X509V3_EXT_print(bio, extension, 0, 0); });
}

// A TLS handshake with the host of url, nothing checked, no request sent,
// within bound_ms; direct: past any proxy the environment names.
CertificateLook handshake(const std::string& url, long bound_ms, bool direct) {
  CertificateLook look;
  const CurlHandle handle = new_curl_handle();
  if (!handle) {
    FetchResult unstarted;
    unstarted.failure = FetchFailure::NO_HANDLE;
    look.error = failure_words(unstarted);
    return look;
  }
  char error[CURL_ERROR_SIZE] = "";
  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // The handshake only: no request reaches the server's CGI.
  curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
  if (direct) curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
  keep_certificate(h, look.certificate);
  const long bound = std::max(1L, bound_ms);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, bound);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, bound);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  const CURLcode code = curl_easy_perform(h);
  if (code != CURLE_OK && !look.certificate.seen()) look.error = error[0] ? error : curl_easy_strerror(code);
  else if (!look.certificate.seen()) look.error = "the server sent no certificate";
  return look;
}

}  // namespace

std::optional<CertificateFacts> read_certificate(std::string_view der) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
  const std::unique_ptr<X509, FreeX509> certificate(d2i_X509(nullptr, &bytes, static_cast<long>(der.size())));
  if (!certificate) return std::nullopt;
  X509* c = certificate.get();
  CertificateFacts facts;
  facts.subject = name_text(X509_get_subject_name(c));
  facts.issuer = name_text(X509_get_issuer_name(c));
  facts.alt_names = alt_names_text(c);
  facts.not_before = time_text(X509_get0_notBefore(c));
  facts.not_after = time_text(X509_get0_notAfter(c));
  facts.pin = public_key_pin(c);
  // Signed by its own key: X509_self_signed checks the signature too.
  facts.self_signed = X509_self_signed(c, 1) == 1;
  int days = 0, seconds = 0;
  if (ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notAfter(c))) {
    facts.days_left = days;
    facts.expired = days < 0 || seconds < 0;
  }
  if (ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notBefore(c))) facts.not_yet_valid = days > 0 || seconds > 0;
  return facts;
}

CertificateLook look_at_certificate(const std::string& url, long bound_ms) {
  return handshake(url, std::min(bound_ms, CONNECT_TIMEOUT_SECONDS * 1000), false);
}

bool tls_answers(const std::string& url, long bound_ms) {
  const std::unique_ptr<CURLU, CleanUpUrl> parts(curl_url());
  if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), CURLU_DEFAULT_SCHEME) != CURLUE_OK) return false;
  // The port as the plain transfer used it, kept when the scheme changes.
  char* port = nullptr;
  if (curl_url_get(parts.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) != CURLUE_OK) return false;
  const bool set = curl_url_set(parts.get(), CURLUPART_PORT, port, 0) == CURLUE_OK &&
                   curl_url_set(parts.get(), CURLUPART_SCHEME, "https", 0) == CURLUE_OK;
  curl_free(port);
  // No user or password in the URL, come what may.
  curl_url_set(parts.get(), CURLUPART_USER, nullptr, 0);
  curl_url_set(parts.get(), CURLUPART_PASSWORD, nullptr, 0);
  char* https = nullptr;
  if (!set || curl_url_get(parts.get(), CURLUPART_URL, &https, 0) != CURLUE_OK) return false;
  const std::string probed = https;
  curl_free(https);
  const CertificateLook look = handshake(probed, std::min(bound_ms, TLS_PROBE_SECONDS * 1000), true);
  return look.certificate.seen();
}
