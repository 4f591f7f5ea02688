#include "check/password_mask.h"

#include <algorithm>
#include <cstdio>
#include <openssl/evp.h>
#include <utility>

namespace {

using std::string;
using std::string_view;

bool is_alphanumeric(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The printable ASCII characters other than letters and digits that an
// encoder leaves as they are; every other byte it writes as %XX.
constexpr string_view PLAIN_SETS[] = {
    "!$%&'()*+,-./:;=?@[\\]^_`{|}~",  // URL query
    "!$%&()*+,-./:;=?@[\\]^_`{|}~",   // URL query of a special scheme (http, https)
    "!$%&'()*+,-./:;=@[\\]^_|~",       // URL path
    "!$%&'()*+,-._~",                  // URL userinfo
    "!'()*-._~",                       // URL component, encodeURIComponent
    "-_.!~*'();/?:@&=+$,#",            // encodeURI
    "-._~",                            // RFC 3986 unreserved: curl, rawurlencode
    "*-._",                            // HTML forms (application/x-www-form-urlencoded)
    "-._~/",                           // Python's quote
    "",                                // everything
};

string percent_encoded(string_view password, string_view plain, string_view blank) {
  static constexpr char HEX[] = "0123456789ABCDEF";
  string out;
  for (const char c : password) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ') {
      out.append(blank);
    } else if (is_alphanumeric(byte) || plain.find(c) != string_view::npos) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(HEX[byte >> 4]);
      out.push_back(HEX[byte & 15]);
    }
  }
  return out;
}

// The code point of the UTF-8 sequence at text[at] and its length; a byte
// that starts no well-formed sequence stands for itself (as Latin-1 would).
std::pair<unsigned long, std::size_t> code_point(string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead <= 0xF4                             ? 4
                                                                                        : 1;
  if (length == 1 || at + length > text.size()) return {lead, 1};
  unsigned long point = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return {lead, 1};
    point = (point << 6) | (next & 0x3F);
  }
  return {point, length};
}

// Every character other than letters and digits as a numeric reference,
// blanks too or not.
string numeric_references(string_view password, bool hex, bool blanks) {
  string out;
  for (std::size_t i = 0; i < password.size();) {
    const auto byte = static_cast<unsigned char>(password[i]);
    if (is_alphanumeric(byte) || (byte == ' ' && !blanks)) {
      out.push_back(password[i++]);
      continue;
    }
    const auto [point, length] = code_point(password, i);
    char reference[16];
    std::snprintf(reference, sizeof reference, hex ? "&#x%lX;" : "&#%lu;", point);
    out.append(reference);
    i += length;
  }
  return out;
}

// How an HTML escaper writes the five characters it escapes.
struct Escapes {
  string_view greater, quote, apostrophe;
};

string html_escaped(string_view text, const Escapes& escapes) {
  string out;
  for (const char c : text) {
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append(escapes.greater); break;
      case '"': out.append(escapes.quote); break;
      case '\'': out.append(escapes.apostrophe); break;
      default: out.push_back(c);
    }
  }
  return out;
}

string base64(string_view bytes) {
  string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

// The same base64 in the URL's alphabet.
string url_alphabet(string text) {
  std::replace(text.begin(), text.end(), '+', '-');
  std::replace(text.begin(), text.end(), '/', '_');
  return text;
}

// The characters of password's base64 that depend on its bytes alone, when
// it starts offset bytes (0, 1 or 2) after a group of three in a longer text.
string base64_core(string_view password, std::size_t offset) {
  const string encoded = base64(string(offset, '\0') + string(password));
  // A character carries six bits: the first wholly after the offset's bytes,
  // up to the last wholly inside the password's.
  const std::size_t first = (8 * offset + 5) / 6;
  const std::size_t end = 8 * (offset + password.size()) / 6;
  return end > first ? encoded.substr(first, end - first) : string();
}

// text's base64 in both alphabets, with its padding and without.
void add_base64(std::vector<string>& forms, string_view text) {
  const string padded = base64(text);
  for (const string& encoded : {padded, padded.substr(0, padded.find('='))}) {
    forms.push_back(encoded);
    forms.push_back(url_alphabet(encoded));
  }
}

}  // namespace

std::vector<string> password_forms(string_view username, string_view password) {
  std::vector<string> forms;
  if (password.empty()) return forms;
  forms.emplace_back(password);
  for (const string_view plain : PLAIN_SETS)
    for (const string_view blank : {"%20", "+"}) {
      string encoded = percent_encoded(password, plain, blank);
      forms.push_back(html_escaped(encoded, {">", "\"", "'"}));
      forms.push_back(std::move(encoded));
    }
  for (const string_view greater : {">", "&gt;"})
    for (const string_view quote : {"\"", "&quot;", "&#34;"})
      for (const string_view apostrophe : {"'", "&apos;", "&#39;", "&#039;", "&#x27;"})
        forms.push_back(html_escaped(password, {greater, quote, apostrophe}));
  for (const bool hex : {false, true})
    for (const bool blanks : {false, true}) forms.push_back(numeric_references(password, hex, blanks));
  add_base64(forms, password);
  add_base64(forms, string(username) + ":" + string(password));
  for (std::size_t offset = 0; offset < 3; ++offset) {
    const string core = base64_core(password, offset);
    if (core.size() < BASE64_CORE_MIN) continue;
    forms.push_back(url_alphabet(core));
    forms.push_back(core);
  }
  std::sort(forms.begin(), forms.end());
  forms.erase(std::unique(forms.begin(), forms.end()), forms.end());
  return forms;
}

PasswordMask password_mask(string_view username, const std::vector<string>& passwords) {
  std::vector<string> forms;
  for (const string& password : passwords)
    for (string& form : password_forms(username, password)) forms.push_back(std::move(form));
  PasswordMask mask;
  std::vector<string_view> views(forms.begin(), forms.end());
  mask.forms = build_match_automaton(views);
  for (const string& form : forms) mask.lengths.push_back(static_cast<std::uint32_t>(form.size()));
  return mask;
}

string masked(string_view text, const PasswordMask& mask) {
  // The stretches to hide, [begin, end), in order, apart from each other.
  std::vector<std::pair<std::size_t, std::size_t>> stretches;
  find_longest_ends(mask.forms, text, [&](std::size_t end, std::uint32_t form) {
    std::size_t begin = end - mask.lengths[form];
    // A longer form may reach back over stretches found before.
    while (!stretches.empty() && stretches.back().second >= begin) {
      begin = std::min(begin, stretches.back().first);
      stretches.pop_back();
    }
    stretches.emplace_back(begin, end);
  });
  string out;
  std::size_t at = 0;
  for (const auto& [begin, end] : stretches) {
    out.append(text.substr(at, begin - at)).append(MASK);
    at = end;
  }
  return out.append(text.substr(at));
}
