#include "check/shown_text.h"

#include <algorithm>
#include <utility>

#include "common/text_search.h"

namespace {

using std::string;
using std::string_view;

// Page text beyond this is not looked at for the excerpt.
constexpr std::size_t EXCERPT_SCAN_LIMIT = 1 << 16;

// The length of the well-formed UTF-8 sequence at text[at], 0 when the byte
// there starts none.
std::size_t utf8_length(string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
  return length;
}

// Control characters as ^X (C0 and DEL) and M-^X (C1: U+0080 to U+009F in
// UTF-8, or a byte 0x80 to 0x9F standing alone, which an eight-bit terminal
// takes as one), so that no text from outside moves the cursor or sends
// escape sequences to the terminal the report is read on.
string printable(string_view text) {
  string out;
  const auto caret = [&out](unsigned char control) {
    out.push_back('^');
    out.push_back(control == 0x7f ? '?' : static_cast<char>((control & 0x1f) + 0x40));
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f) {
      caret(byte);
      ++i;
      continue;
    }
    if (byte < 0x80) {
      out.push_back(text[i++]);
      continue;
    }
    const std::size_t length = utf8_length(text, i);
    if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      out.append("M-");
      caret(static_cast<unsigned char>(text[i + 1]));
    } else if (length == 0 && byte < 0xA0) {
      out.append("M-");
      caret(byte);
    } else {
      out.append(text.substr(i, length == 0 ? 1 : length));
    }
    i += length == 0 ? 1 : length;
  }
  return out;
}

bool is_letter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// The tag that ends the contents of a script or style element opened by
// tag, whose contents are no text either; empty for any other tag.
string_view contents_end(string_view tag) {
  static constexpr std::pair<string_view, string_view> ELEMENTS[] = {{"<script", "</script"}, {"<style", "</style"}};
  if (tag.ends_with("/>")) return {};
  for (const auto& [opening, closing] : ELEMENTS)
    if (tag_at(tag, 0, opening) && !is_letter(tag[opening.size()]))
      return closing;
  return {};
}

// The page's text: tags out, white space runs made one space, trimmed.
string page_text(string_view body) {
  string text;
  bool pending_space = false;
  std::size_t i = 0;
  while (i < body.size() && text.size() < EXCERPT_SCAN_LIMIT) {
    if (body[i] == '<') {
      const std::size_t close = body.find('>', i);
      if (close == string_view::npos) break;
      const string_view end_tag = contents_end(body.substr(i, close + 1 - i));
      // Contents that never end run to the end of the body.
      i = end_tag.empty() ? close + 1 : std::min(find_tag(body, end_tag, close + 1), body.size());
      pending_space = true;
    } else if (is_white_space(body[i])) {
      pending_space = true;
      ++i;
    } else {
      if (pending_space && !text.empty()) text.push_back(' ');
      pending_space = false;
      text.push_back(body[i++]);
    }
  }
  return text;
}

// The first limit characters of text, a UTF-8 sequence counting as one.
string first_characters(string_view text, std::size_t limit, bool& cut) {
  std::size_t characters = 0;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && characters++ == limit) break;
  }
  cut = i < text.size();
  return string(text.substr(0, i));
}

}  // namespace

string shown(string_view text, const PasswordMask& mask) { return printable(masked(text, mask)); }

string page_excerpt(string_view body, const PasswordMask& mask) {
  const string text = page_text(masked(body, mask));
  bool cut = false;
  string excerpt = first_characters(text, PAGE_EXCERPT_LIMIT, cut);
  return printable(excerpt) + (cut ? "..." : "");
}
