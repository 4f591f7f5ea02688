#pragma once
// How far the fetch trusts the server's certificate. By default its chain is
// not checked (a self-signed server keeps working) and only its name must
// match the host; the verify, cafile and pin lines ask for more.
#include <string>
#include <string_view>

struct Settings;
struct FetchResult;

// Why a pin line cannot be used; empty when every piece is sha256// and the
// base64 of 32 bytes. (libcurl would take any other piece for the name of a
// key file.)
std::string pin_line_fault(std::string_view pin);

// Why the CA file cannot serve as one, read the way libcurl has OpenSSL
// read it: "holds no certificate" (a private key, a certificate request, a
// CRL alone, or DER in place of PEM); empty when it holds one, and also when
// it cannot be opened, which the caller tells in the system's words.
std::string ca_file_fault(const std::string& path);

// Sets the certificate checks the settings ask for on a libcurl easy handle.
// Returns why they cannot be used (a malformed pin line), and then sets
// nothing: the fetch must not go ahead less checked than asked.
std::string set_trust_options(void* curl_handle, const Settings& settings);

// Which check a failed transfer failed, as a user would name it.
enum class TrustFailure {
  NONE,             // no certificate check failed
  UNKNOWN_CA,       // no trusted authority vouches for the certificate
  EXPIRED,          // its validity has ended
  NOT_YET_VALID,    // its validity has not begun
  NAME_MISMATCH,    // it is made out to another name than the URL's host
  PIN_MISMATCH,     // its public key is none of the pin line's
  OTHER_CHAIN,      // the chain failed for another reason (OpenSSL's words)
  CA_FILE_UNUSABLE, // the CA certificates could not be read
};

TrustFailure trust_failure_of(const FetchResult& result);

// Plain words for a failed check, e.g. "certificate check failed: expired:
// ...", as failure_words gives them; empty when no check failed.
std::string trust_failure_words(const FetchResult& result);
