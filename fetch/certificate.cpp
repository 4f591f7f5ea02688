#include "fetch/certificate.h"

#include <curl/curl.h>
#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <string_view>

#include "fetch/status_fetch.h"

namespace {

struct FreeX509 {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FreeBio {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct CleanUpCurl {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
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

// The value of a "Name:value" entry of libcurl's certificate information.
bool take_field(std::string_view entry, std::string_view name, std::string& value) {
  if (entry.size() <= name.size() || !entry.starts_with(name) || entry[name.size()] != ':') return false;
  value = entry.substr(name.size() + 1);
  return true;
}

}  // namespace

bool read_certificate(const std::string& pem, CertificateFacts& facts) {
  const std::unique_ptr<BIO, FreeBio> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return false;
  const std::unique_ptr<X509, FreeX509> certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  if (!certificate) return false;
  facts.pin = public_key_pin(certificate.get());
  // Signed by its own key: X509_self_signed checks the signature too.
  facts.self_signed = X509_self_signed(certificate.get(), 1) == 1;
  int days = 0, seconds = 0;
  if (ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notAfter(certificate.get()))) {
    facts.days_left = days;
    facts.expired = days < 0 || seconds < 0;
  }
  if (ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notBefore(certificate.get())))
    facts.not_yet_valid = days > 0 || seconds > 0;
  return true;
}

CertificateLook look_at_certificate(const std::string& url) {
  CertificateLook look;
  const std::unique_ptr<CURL, CleanUpCurl> handle(curl_easy_init());
  if (!handle) {
    look.error = "libcurl could not start a transfer";
    return look;
  }
  char error[CURL_ERROR_SIZE] = "";
  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  // The handshake only: no request reaches the server's CGI.
  curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(h, CURLOPT_CERTINFO, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, CONNECT_TIMEOUT_SECONDS);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  const CURLcode code = curl_easy_perform(h);
  if (code != CURLE_OK) {
    look.error = error[0] ? error : curl_easy_strerror(code);
    return look;
  }
  curl_certinfo* chain = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CERTINFO, &chain) != CURLE_OK || !chain || chain->num_of_certs < 1) {
    look.error = "the server sent no certificate";
    return look;
  }
  // The first is the server's own; any others are its issuers.
  std::string pem;
  for (const curl_slist* entry = chain->certinfo[0]; entry; entry = entry->next) {
    const std::string_view text = entry->data;
    take_field(text, "Subject", look.facts.subject) || take_field(text, "Issuer", look.facts.issuer) ||
        take_field(text, "Start date", look.facts.not_before) || take_field(text, "Expire date", look.facts.not_after) ||
        take_field(text, "X509v3 Subject Alternative Name", look.facts.alt_names) || take_field(text, "Cert", pem);
  }
  look.seen = read_certificate(pem, look.facts);
  if (!look.seen) look.error = "the server's certificate could not be read";
  return look;
}
