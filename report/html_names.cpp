#include "report/html_names.h"

#include <algorithm>
#include <cstdint>

#include "common/text_search.h"

namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character of the reference between '&' and ';' (name: what stands
// between them), or nothing.
bool reference_character(string_view name, std::uint32_t& c) {
  static constexpr std::pair<string_view, std::uint32_t> named[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
  for (const auto& [word, code] : named)
    if (name == word) {
      c = code;
      return true;
    }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t value = 0;
  for (const char d : digits) {
    int v;
    if (d >= '0' && d <= '9') v = d - '0';
    else if (hex && fold_ascii(d) >= 'a' && fold_ascii(d) <= 'f') v = fold_ascii(d) - 'a' + 10;
    else return false;
    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
  }
  // No zero byte, no surrogate, nothing beyond Unicode.
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  c = value;
  return true;
}

}  // namespace

void append_html_decoded(std::string& out, string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t amp = text.find('&', at);
    if (amp == npos) break;
    out.append(text.substr(at, amp - at));
    at = amp + 1;
    // References are short: a ';' further away ends none.
    const std::size_t semicolon = text.substr(0, std::min(text.size(), amp + 12)).find(';', amp + 1);
    std::uint32_t c;
    if (semicolon != npos && reference_character(text.substr(amp + 1, semicolon - amp - 1), c)) {
      append_utf8(out, c);
      at = semicolon + 1;
    } else {
      out += '&';
    }
  }
  out.append(text.substr(at));
}

std::shared_ptr<const std::string> decode_html_names(std::vector<LineNames>& names) {
  std::size_t room = 0;
  for (const LineNames& n : names) {
    if (n.host.find('&') != npos) room += n.host.size();
    if (n.service.find('&') != npos) room += n.service.size();
  }
  if (room == 0) return {};
  // Reserved whole, so the names taken from it never move.
  auto store = std::make_shared<std::string>();
  store->reserve(room);
  const auto decode = [&](string_view& name) {
    if (name.find('&') == npos) return;
    const std::size_t start = store->size();
    append_html_decoded(*store, name);
    name = string_view(store->data() + start, store->size() - start);
  };
  for (LineNames& n : names) {
    decode(n.host);
    decode(n.service);
  }
  return store;
}

bool is_html_page(string_view body) {
  for (std::size_t at = body.find('<'); at != npos; at = body.find('<', at + 1)) {
    if (tag_at(body, at, "<wml")) return false;
    // The document's element opens near the start; its kind is known then.
    if (tag_at(body, at, "<html")) return true;
  }
  return false;
}
