#include "check/check_trust.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "check/server_value.h"
#include "check/shown_text.h"
#include "common/text_search.h"
#include "config/config_file.h"
#include "config/password_file.h"
#include "fetch/server_transfer.h"
#include "config/text_file.h"
#include "fetch/certificate.h"
#include "fetch/status_fetch.h"
#include "fetch/trust.h"

namespace {

using std::string;
using std::string_view;

// A certificate this close to its end earns a warning.
constexpr long EXPIRY_WARNING_DAYS = 14;

ServerValue server_value(const Settings& settings) { return read_server_value(server_text(settings)); }

// What the user wrote, as text: control bytes shown, nothing masked.
string written(string_view text) { return shown(text, {}); }

std::size_t pin_count(string_view pin) {
  std::size_t count = 1;
  for (const char c : pin) count += c == ';';
  return count;
}

// What the chain is checked against; empty when it is not checked.
string chain_check(const Settings& settings) {
  if (!settings.cafile.empty()) return "its chain against the CA certificates in " + written(settings.cafile) + " (cafile)";
  if (settings.verify) return "its chain against the system's CA certificates (" + switch_on("verify") + ")";
  return {};
}

string pin_check(const Settings& settings) {
  if (settings.pin.empty()) return {};
  const std::size_t keys = pin_count(settings.pin);
  return "its public key against the pin line (" + std::to_string(keys) + (keys == 1 ? " key)" : " keys)");
}

// The checks the settings ask for, in a sentence.
string checks_asked(const Settings& settings) {
  const string chain = chain_check(settings);
  const string pin = pin_check(settings);
  string text = chain;
  if (!pin.empty()) text += (text.empty() ? "" : ", ") + pin;
  if (text.empty()) return "its name only; its chain is not checked (no verify, cafile or pin line)";
  text += ", and its name";
  if (chain.empty()) text += "; its chain is not checked";
  return text;
}

string octal_mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Whether this process reads the file only through its group: then the
// group's read bit is what lets the monitor's own account read it (a file
// owned by root, group orvek, mode 0640), and no leak.
bool read_through_group(const struct stat& status) {
  if (::geteuid() == status.st_uid) return false;
  if (::getegid() == status.st_gid) return true;
  gid_t groups[256];
  const int count = ::getgroups(256, groups);
  for (int i = 0; i < count; ++i)
    if (groups[i] == status.st_gid) return true;
  return false;
}

string group_name(gid_t gid) {
  if (const struct group* entry = ::getgrgid(gid)) return entry->gr_name;
  return std::to_string(gid);
}

// A file holding the password that others, or the members of its group, may
// read.
void warn_if_readable(const string& path, string_view what, std::vector<CheckLine>& lines) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return;
  const string file = written(path);
  const string mode = octal_mode(status.st_mode);
  // The owner's bits kept, everyone else's taken away.
  const string mended = octal_mode(status.st_mode & 07700).substr(1);
  const string holds = string(what) + " " + file + " holds the password and can be read by ";
  if (status.st_mode & S_IROTH) {
    lines.push_back({"warning", holds + "every account on this machine (mode " + mode + "): chmod " + mended + " " + file});
  } else if ((status.st_mode & S_IRGRP) && !read_through_group(status)) {
    const string group = written(group_name(status.st_gid));
    lines.push_back({"warning", holds + "the members of its group " + group + " (mode " + mode + "): chmod " + mended +
                                    " " + file + ", unless " + group + " holds only the account that runs orvek"});
  }
}

}  // namespace

bool carries_carriage_return(const Settings& settings) {
  for (const string* value : {&settings.cafile, &settings.pin, &settings.passwordfile})
    if (value->find('\r') != string::npos) return true;
  return false;
}

bool uses_https(const Settings& settings) { return equal_ignoring_case(server_value(settings).scheme, "https"); }

bool needs_second_look(const Settings& settings, const FetchResult& fetched) {
  if (!uses_https(settings) || fetched.certificate.seen()) return false;
  switch (fetched.failure) {
    case FetchFailure::NO_HANDLE:
    case FetchFailure::PASSWORD_FILE:
    case FetchFailure::UNUSABLE_SETTINGS: return false;
    case FetchFailure::TRANSPORT:
      return fetched.status != 0 || trust_failure_of(fetched) != TrustFailure::NONE ||
             fetched.curl_code == CURLE_SSL_CONNECT_ERROR;
    case FetchFailure::NONE:
    case FetchFailure::HTTP_STATUS:
    case FetchFailure::HEADER_UNFINISHED:
    case FetchFailure::BODY_TOO_LARGE: return true;
  }
  return false;
}

ShownCertificate shown_certificate(const Settings& settings, const FetchResult& fetched,
                                   const CertificateLook* second_look) {
  ShownCertificate shown;
  if (!uses_https(settings)) return shown;
  if (fetched.certificate.seen()) {
    shown.asked = true;
    shown.facts = read_certificate(fetched.certificate.der);
  } else if (second_look) {
    shown.asked = true;
    shown.checked = false;
    if (second_look->certificate.seen()) shown.facts = read_certificate(second_look->certificate.der);
    shown.error = second_look->error;
  }
  if (shown.asked && !shown.facts && shown.error.empty()) shown.error = "the server's certificate could not be read";
  return shown;
}

std::vector<CheckLine> trust_setting_lines(const Settings& settings, const Credentials& credentials) {
  std::vector<CheckLine> lines;
  const bool asked = settings.verify || !settings.cafile.empty() || !settings.pin.empty();
  if (uses_https(settings)) {
    lines.push_back({"certificate", asked ? "checked: " + checks_asked(settings)
                                          : "not verified (its name must still match the host)"});
  } else if (asked) {
    lines.push_back(pitfall("the verify, cafile and pin lines apply to https only, and the server is reached "
                            "over plain http: nothing is checked"));
  }
  if (settings.verify && !settings.cafile.empty())
    lines.push_back(pitfall("both " + switch_on("verify") +
                            " and a cafile line: the chain is checked against the cafile only"));
  if (!settings.cafile.empty()) {
    if (const string reason = why_unreadable(settings.cafile.c_str()); !reason.empty())
      lines.push_back(pitfall("the cafile " + written(settings.cafile) + " cannot be read: " + reason));
    else if (const string fault = ca_file_fault(settings.cafile); !fault.empty())
      lines.push_back(pitfall("the cafile " + written(settings.cafile) + " " + fault +
                              ": it must hold the CA's certificates in PEM (-----BEGIN CERTIFICATE-----)"));
  }

  if (credentials.file) {
    const PasswordFileRead& read = *credentials.file;
    string value = "from the password file " + written(settings.passwordfile);
    if (!read.password) value += ", which cannot be read: " + written(read.reason);
    else if (read.password->empty()) value += " (its first line is empty)";
    else
      for (const string& surprise : password_surprises(*read.password)) value += "; " + surprise;
    if (!settings.password.empty()) value += "; the file wins over the password line, which is not used";
    lines.push_back({"password", value});
  } else {
    lines.push_back({"password", settings.password.empty() ? "none" : "from the password line"});
  }
  return lines;
}

std::vector<CheckLine> certificate_lines(const Settings& settings, const FetchResult& fetched,
                                         const ShownCertificate& certificate, const PasswordMask& mask) {
  std::vector<CheckLine> lines;
  if (!certificate.facts) {
    lines.push_back({"certificate", "could not be looked at: " + shown(certificate.error, mask)});
    return lines;
  }
  // A second handshake's certificate may not be the one the transfer was
  // refused: each of its lines says so.
  const string unchecked = certificate.checked ? "" : " (not checked)";
  const auto add = [&](string key, string value) { lines.push_back({std::move(key), std::move(value) + unchecked}); };
  const CertificateFacts& facts = *certificate.facts;
  add("certificate subject", shown(facts.subject, mask));
  add("certificate names", facts.alt_names.empty() ? "none (no subject alternative names)" : shown(facts.alt_names, mask));
  add("certificate issuer", shown(facts.issuer, mask));
  string validity = "from " + shown(facts.not_before, mask) + " to " + shown(facts.not_after, mask);
  if (facts.not_yet_valid) validity += " (not valid yet)";
  else if (facts.expired)
    validity += facts.days_left < 0 ? " (expired " + std::to_string(-facts.days_left) +
                                          (facts.days_left == -1 ? " day ago)" : " days ago)")
                                    : " (expired today)";
  else validity += " (" + std::to_string(facts.days_left) + (facts.days_left == 1 ? " day left)" : " days left)");
  add("certificate valid", validity);
  add("certificate self-signed", facts.self_signed ? "yes" : "no");

  const TrustFailure failure = trust_failure_of(fetched);
  const string checks = checks_asked(settings);
  if (failure != TrustFailure::NONE) {
    string words = trust_failure_words(fetched);
    if (const string_view failed = "certificate check failed: "; words.starts_with(failed)) words.erase(0, failed.size());
    lines.push_back({"certificate checked", "FAILED: " + words + " (checked: " + checks + ")"});
  } else if (!certificate.checked) {
    lines.push_back({"certificate checked", "not checked: the transfer failed before a certificate came; the lines "
                                            "above are from a second handshake that checks nothing"});
  } else {
    const bool handshake_done = fetched.ok() || fetched.status != 0;
    lines.push_back({"certificate checked", (handshake_done ? "passed (" : "not known, the transfer failed first (") +
                                                checks + ")"});
  }
  add("certificate pin", facts.pin);
  if (!certificate.checked) return lines;
  const bool chain_refused = failure == TrustFailure::UNKNOWN_CA || failure == TrustFailure::OTHER_CHAIN;
  const bool passed = failure == TrustFailure::NONE && (fetched.ok() || fetched.status != 0);
  if (failure == TrustFailure::PIN_MISMATCH)
    // Not an invitation to pin whoever answers now: that may be the impostor.
    lines.push_back({"hint", "this is not the key the pin line names: someone else may be answering; only if the "
                             "server's key was replaced on purpose, make the pin line: pin " + facts.pin});
  else if (chain_refused && (!settings.cafile.empty() || settings.verify))
    // A pin would change nothing here: the chain must hold as well.
    lines.push_back({"hint", (!settings.cafile.empty() ? "the CA file " + written(settings.cafile) + " does"
                                                       : string("the system's CA certificates do")) +
                                 " not vouch for this certificate's issuer, " + shown(facts.issuer, mask)});
  else if (passed && settings.pin.empty() && !facts.pin.empty())
    lines.push_back({"hint", "to accept this server and no other, add: pin " + facts.pin});
  return lines;
}

std::vector<CheckLine> json_certificate_lines(const Settings& settings, const FetchResult& json,
                                              const PasswordMask& mask) {
  if (trust_failure_of(json) == TrustFailure::NONE) return {};
  ShownCertificate certificate;
  certificate.asked = true;
  if (json.certificate.seen()) certificate.facts = read_certificate(json.certificate.der);
  if (!certificate.facts) certificate.error = trust_failure_words(json);
  std::vector<CheckLine> lines;
  // The list's hints fit no key that another connection passed: this is no
  // key change nor an authority to add, but someone else answering.
  for (CheckLine& line : certificate_lines(settings, json, certificate, mask))
    if (line.key.starts_with("certificate")) lines.push_back({"JSON " + line.key, std::move(line.value)});
  lines.push_back({"hint", "the list's connection passed the same checks and this one did not: someone else "
                           "answered at the server's address; find who before trusting this network path"});
  return lines;
}

std::vector<CheckLine> exposure_warnings(const Settings& settings, string_view config_file,
                                         const ShownCertificate& certificate) {
  std::vector<CheckLine> lines;
  const bool has_password = !settings.password.empty() || !settings.passwordfile.empty();
  const ServerValue value = server_value(settings);
  // No scheme: libcurl takes http.
  const bool plain_http = value.scheme.empty() || equal_ignoring_case(value.scheme, "http");
  if (plain_http && has_password && !settings.digest)
    lines.push_back({"warning", "over plain http orvek answers Basic when the server asks for it, and Basic carries "
                                "the password readable by anyone on the network: use https, or " + switch_on("digest") +
                                    " if the server offers Digest"});
  if (!settings.password.empty()) warn_if_readable(string(config_file), "the configuration", lines);
  if (!settings.passwordfile.empty()) warn_if_readable(settings.passwordfile, "the password file", lines);
  if (certificate.facts) {
    const CertificateFacts& facts = *certificate.facts;
    if (facts.expired)
      lines.push_back({"warning", "the certificate has expired (" + written(facts.not_after) + ")"});
    else if (facts.days_left < EXPIRY_WARNING_DAYS)
      lines.push_back({"warning", "the certificate expires within " + std::to_string(EXPIRY_WARNING_DAYS) +
                                      " days: in " + std::to_string(facts.days_left) +
                                      (facts.days_left == 1 ? " day (" : " days (") + written(facts.not_after) +
                                      ")"});
  }
  return lines;
}
