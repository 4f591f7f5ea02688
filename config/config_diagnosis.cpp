#include "config/config_diagnosis.h"

#include <algorithm>
#include <optional>

#include "common/shown_limits.h"
#include "common/text_search.h"
#include "config/config_file.h"
#include "config/password_file.h"
#include "config/text_file.h"

namespace {

using std::string;
using std::string_view;

// Other words people write for a key. The keys themselves come from the
// table (CONFIG_KEYS), so a new key is suggested without a line here.
struct OtherName {
  string_view word;
  string_view key;
};
constexpr OtherName OTHER_NAMES[] = {
    {"user", "username"},   {"usr", "username"}, {"login", "username"},  {"name", "username"},
    {"pass", "password"},   {"passwd", "password"}, {"pwd", "password"}, {"secret", "password"},
    {"url", "server"},      {"uri", "server"},   {"host", "server"},     {"address", "server"},
    {"base", "server"},     {"auth", "digest"},  {"cgi", "newcgi"},      {"new_cgi", "newcgi"},
    {"new-cgi", "newcgi"},
};

// Pieces of the words people write for a password.
constexpr string_view SECRET_WORD_STARTS[] = {"pass", "pwd", "secret"};

// Whether a key's value never shows in a note.
bool is_secret(string_view key) {
  const std::optional<std::size_t> k = key_index(key);
  return k && CONFIG_KEYS[*k].secret;
}

// The key a word that starts a secret's usual names stands for.
constexpr string_view SECRET_KEY = CONFIG_KEYS[key_of("password")].name;

// The blank (other than the space the reader takes) that starts at text[at]:
// its byte length and its name; length 0 when there is none.
struct Blank {
  std::size_t length = 0;
  string_view name;
};

Blank blank_at(string_view text, std::size_t at) {
  const string_view rest = text.substr(at);
  if (rest.empty()) return {};
  switch (rest[0]) {
    case '\t': return {1, "a tab"};
    case '\r': return {1, "a carriage return"};
    case '\v': return {1, "a vertical tab"};
    case '\f': return {1, "a form feed"};
    default: break;
  }
  if (rest.starts_with("\xC2\xA0")) return {2, "a no-break space"};
  if (rest.starts_with(BYTE_ORDER_MARK)) return {BYTE_ORDER_MARK.size(), "a byte-order mark (EF BB BF)"};
  if (rest.starts_with("\xE3\x80\x80")) return {3, "an ideographic space"};
  // U+2000 to U+200A, U+202F, U+205F: the typographic spaces.
  if (rest.size() >= 3 && rest[0] == '\xE2' &&
      ((rest[1] == '\x80' && (static_cast<unsigned char>(rest[2]) <= 0x8A || rest[2] == '\xAF')) ||
       (rest[1] == '\x81' && rest[2] == '\x9F')) &&
      static_cast<unsigned char>(rest[2]) >= 0x80)
    return {3, "a Unicode space"};
  return {};
}

// Edits (insert, delete, replace, swap of neighbours) from a to b, ASCII
// case folded, or limit + 1 when more.
std::size_t edit_distance(string_view a, string_view b, std::size_t limit) {
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return limit + 1;
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = fold_ascii(a[i - 1]) == fold_ascii(b[j - 1]);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && fold_ascii(a[i - 1]) == fold_ascii(b[j - 2]) && fold_ascii(a[i - 2]) == fold_ascii(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return std::min(d[a.size()][b.size()], limit + 1);
}

// The known key a word starts with (without regard to case), for a key
// glued to its value; empty when none. sectioned, here and below: the file
// has server sections, and so the keys only such a file reads.
string_view key_prefix(string_view word, bool sectioned) {
  string_view longest;
  for (const ConfigKey& row : CONFIG_KEYS)
    if (const string_view key = row.name; key_is_read(row, sectioned) && word.size() > key.size() &&
                                          equal_ignoring_case(word.substr(0, key.size()), key) &&
                                          key.size() > longest.size())
      longest = key;
  return longest;
}

// Built with append: a literal + string chain trips a false -Wrestrict alarm
// of g++ 12 at -O3.
string quoted(string_view text) {
  string out = "\"";
  out.append(text).push_back('"');
  return out;
}

// A word that may be a password's name glued to its value.
bool may_hold_secret(string_view word) {
  for (const string_view hint : SECRET_WORD_STARTS)
    if (equal_ignoring_case(word.substr(0, hint.size()), hint) && word.size() > hint.size() + 2) return true;
  return false;
}

// A word as a reason quotes it: not when it may hold a password.
string quoted_word(string_view word) { return may_hold_secret(word) ? string("(not shown)") : quoted(word); }

string key_list(bool sectioned) {
  string keys;
  for (const ConfigKey& row : CONFIG_KEYS)
    if (key_is_read(row, sectioned)) keys.append(keys.empty() ? "" : ", ").append(row.name);
  return keys;
}

// The first word of a line as the user meant it: after the spaces the
// reader skips, up to a space, a "#" or another blank.
struct FirstWord {
  std::size_t start = 0, end = 0;
  string_view word;
  Blank before;  // a blank other than a space before the word
};

FirstWord first_word(string_view line) {
  FirstWord result;
  std::size_t at = line.find_first_not_of(' ');
  if (at == string_view::npos) at = line.size();
  // Blanks the reader does not skip may stand before the word.
  while (at < line.size()) {
    const Blank blank = blank_at(line, at);
    if (blank.length == 0) break;
    if (result.before.length == 0) result.before = blank;
    at += blank.length;
    while (at < line.size() && line[at] == ' ') ++at;
  }
  result.start = at;
  std::size_t end = at;
  while (end < line.size() && line[end] != ' ' && line[end] != '#' && blank_at(line, end).length == 0) ++end;
  result.end = end;
  result.word = line.substr(at, end - at);
  return result;
}

// The line as a note shows it: cut at SHOWN_LINE_LIMIT, and for a secret
// key everything after the key masked.
string shown_line(string_view raw, string_view key, std::size_t key_end, bool sectioned) {
  if (is_secret(key)) {
    const bool value_follows = raw.substr(key_end).find_first_not_of(" \t") != string_view::npos;
    string_view key_part = raw.substr(0, key_end);
    while (!key_part.empty() && key_part.back() == ' ') key_part.remove_suffix(1);
    return string(key_part) + (value_follows ? " ********" : "");
  }
  // A word anywhere on the line that means a secret key ("x password y",
  // "Passwd: y") masks what follows it: better a line half shown than a
  // password on a screen.
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t start = raw.find_first_not_of(" \t#", at);
    if (start == string_view::npos) break;
    // A byte-order mark where two files were joined hides no word after it.
    if (raw.substr(start).starts_with(BYTE_ORDER_MARK)) {
      at = start + BYTE_ORDER_MARK.size();
      continue;
    }
    std::size_t end = start;
    while (end < raw.size() && raw[end] != ' ' && raw[end] != '\t' && raw[end] != '#') ++end;
    const string_view word = raw.substr(start, end - start);
    const string meant = probable_key(word, sectioned);
    if (is_secret(meant)) return shown_line(raw, meant, end, sectioned);
    if (!meant.empty()) {
      // Another key ("passwordfile"): its value may be shown.
      at = end;
      continue;
    }
    if (const string_view glued = key_prefix(word, sectioned); is_secret(glued))
      return shown_line(raw, glued, start + glued.size(), sectioned);
    // Another name glued to its value ("passwdx", "pwd=x"): the name's
    // usual beginnings mask the rest of the word.
    for (const string_view hint : SECRET_WORD_STARTS)
      if (equal_ignoring_case(word.substr(0, hint.size()), hint))
        return shown_line(raw, SECRET_KEY, start + hint.size(), sectioned);
    at = end;
  }
  return shown_line_start(raw);
}

bool means_on(string_view value) {
  std::size_t end = value.size();
  while (end > 0 && (value[end - 1] == '\r' || value[end - 1] == '\t' || value[end - 1] == ' ')) --end;
  value = value.substr(0, end);
  for (const string_view word : {"yes", "true", "on", "1", "y"})
    if (equal_ignoring_case(value, word)) return true;
  return false;
}

// Why the reader found no key in a line it met with an empty token.
string why_no_key(const FirstWord& first, string_view raw, bool sectioned) {
  if (first.before.length != 0 && first.word.empty() && (first.start == raw.size() || raw[first.start] == '#'))
    return "a line of blanks holding " + string(first.before.name) +
           ": to the reader it is text, not an empty line (Windows line ends?)";
  const string_view word = first.word;
  // Only a file without sections gets here with such a line: in one with
  // sections it is a fault of the whole file.
  if (word.starts_with('['))
    return "a section header is written [server NAME]: this one opens no section, and the file has none, so it is "
           "text";
  if (first.before.length != 0)
    return string(first.before.name) + " before the key: only spaces may stand there, so this line is no key";
  if (!sectioned && equal_ignoring_case(word, CONFIG_KEYS[key_of("exclude")].name))
    return "exclude is a key only of a file with [server NAME] sections: for one server, name the exclude file with "
           "-e";
  if (is_config_key(word, sectioned)) {
    if (const Blank blank = blank_at(raw, first.end); blank.length != 0)
      return string(blank.name) + " between " + string(word) +
             " and its value: the reader takes only a space there, so this line is no key";
    if (first.end < raw.size() && raw[first.end] == '#')
      return "\"#\" right after the key " + string(word) + ": a key must be followed by a space";
    return "the key " + string(word) + " has no space and no value after it: write " + string(word) +
           ", a space and the value";
  }
  const string meant = probable_key(word, sectioned);
  if (!meant.empty() && equal_ignoring_case(meant, word)) return "keys are lower case: " + meant;
  if (const string_view glued = key_prefix(word, sectioned); !glued.empty()) {
    const string_view typed = word.substr(0, glued.size());
    return "no space after " + string(typed) + ": the key is glued to what follows" +
           (typed == glued ? "" : "; keys are lower case: " + string(glued));
  }
  if (!meant.empty()) return "unknown key " + quoted_word(word) + ", probably meant " + meant;
  return "unknown key " + quoted_word(word) + " (the keys are " + key_list(sectioned) + ")";
}

// How the reader changed a value it took: spaces or "#..." dropped, blanks
// kept, a value the key could not use.
std::vector<string> value_changes(const LineReading& line, std::size_t key, bool masked) {
  const ConfigKey& row = CONFIG_KEYS[key];
  // On a masked line the value is not quoted either.
  const string taken_as = masked ? string() : ": taken as " + quoted(line.value);
  std::vector<string> changes;
  // "value # note" is a comment; "ab#cd" loses "#cd".
  const bool inner_spaces = line.spaces_dropped, hash_glued = line.cut_at_hash;
  if (row.secret) {
    if (in_quotes(line.value)) changes.push_back("the quotes are part of the password");
    if (inner_spaces || hash_glued)
      changes.push_back(string("spaces and # are dropped from ") + string(row.name) +
                        (is_config_key("passwordfile") ? "; use passwordfile" : ""));
  } else {
    if (inner_spaces) changes.push_back("spaces inside the value are dropped" + taken_as);
    if (hash_glued) changes.push_back("\"#\" starts a comment even inside a value" + taken_as);
  }
  if (line.value.ends_with('\r'))
    changes.push_back("a carriage return stays at the end of the value (Windows line ends)");
  else if (line.value.find('\r') != string::npos)
    changes.push_back("a carriage return stays in the value");
  if (line.value.find('\t') != string::npos) changes.push_back("a tab stays in the value");
  if (line.use == ValueUse::OFF && means_on(line.value))
    changes.push_back("only exactly \"" + string(row.on_word) + "\" turns " + string(row.name) +
                      " on: this line leaves it off");
  if (line.use == ValueUse::UNUSABLE)
    changes.push_back("not a number of seconds up to " + std::to_string(MAX_AGE_LIMIT) +
                      " (an m or h after the number counts minutes or hours): " + string(row.name) + " is not set");
  return changes;
}

string joined(const std::vector<string>& parts) {
  string text;
  for (const string& part : parts) text.append(text.empty() ? "" : "; ").append(part);
  return text;
}

// The keys of a line in the reader's (commit) order.
std::vector<std::size_t> keys_of(const LineReading& line) {
  std::vector<std::size_t> keys;
  for (std::size_t k = 0; k < KEY_COUNT; ++k)
    if (line.keys & (1u << k)) keys.push_back(k);
  return keys;
}

// Why the reader took nothing from a line that held text but no key. bom:
// the line is the first and starts with a byte-order mark, left out of raw.
std::vector<string> why_not_taken(const std::vector<LineReading>& lines, std::size_t n, const FirstWord& first,
                                  string_view raw, bool bom, bool sectioned) {
  const LineReading& line = lines[n];
  if (line.fate == LineFate::RUN_ON)
    return {"not read: line " + std::to_string(line.carried_from) +
            " was not taken, and its text runs on into every line after it, so no key is found from there on"};
  std::vector<string> why = {bom ? "the file starts with a byte-order mark (EF BB BF): save it without"
                                 : why_no_key(first, raw, sectioned)};
  if (!line.ended) {
    why.push_back("and it is the last line, without a line end");
    return why;
  }
  bool lost_after = false, rejoined = false;
  for (std::size_t m = n + 1; m < lines.size() && lines[m].carried_from == line.number; ++m) {
    rejoined = rejoined || lines[m].joined;
    lost_after = lost_after || lines[m].fate == LineFate::RUN_ON;
  }
  if (rejoined)
    why.push_back("its text runs on into the next lines until the reader finds a key in it");
  else if (lost_after)
    why.push_back("its text stays in the reader, so no key on the lines after it is found");
  return why;
}

// What is worth saying of a line the reader found keys on.
std::vector<string> why_changed(const ConfigReading& reading, const LineReading& line, string_view raw,
                                const string& shown) {
  std::vector<string> why;
  const string_view key = CONFIG_KEYS[line.first_key].name;
  if (line.joined)
    why.push_back("read as " + string(key) + " only together with line " + std::to_string(line.carried_from) +
                  ": write the key and its value on one line");
  const std::vector<std::size_t> keys = keys_of(line);
  if (line.fate == LineFate::UNENDED) {
    string dropped = "the last line has no line end: the reader drops it";
    if (const std::size_t counts = reading.last_line[line.first_key]; counts != 0)
      dropped += "; line " + std::to_string(counts) + " counts";
    why.push_back(dropped);
    return why;
  }
  if (keys.size() > 1) {
    string two = "two keys on one line: " + string(CONFIG_KEYS[keys.front()].name) + " takes the value";
    for (std::size_t i = 1; i < keys.size(); ++i) two += ", " + string(CONFIG_KEYS[keys[i]].name) + " gets an empty one";
    why.push_back(two);
  } else {
    const bool masked = shown.find("********") != string::npos && raw.find("********") == string_view::npos;
    const std::vector<string> changes = value_changes(line, keys.front(), masked);
    why.insert(why.end(), changes.begin(), changes.end());
  }
  for (const std::size_t k : keys)
    if (const std::size_t counts = reading.last_line[k]; counts != line.number)
      why.push_back(string(CONFIG_KEYS[k].name) + " is given again on line " + std::to_string(counts) +
                    ", which counts");
  return why;
}

}  // namespace

bool is_config_key(string_view key, bool sectioned) { return read_key_index(key, sectioned).has_value(); }

string probable_key(string_view word, bool sectioned) {
  if (word.empty()) return {};
  for (const ConfigKey& row : CONFIG_KEYS)
    if (key_is_read(row, sectioned) && equal_ignoring_case(word, row.name)) return string(row.name);
  for (const OtherName& other : OTHER_NAMES)
    if (equal_ignoring_case(word, other.word)) return string(other.key);
  // A slip of one key (two in longer words); the nearest wins, and a tie
  // suggests nothing.
  const std::size_t limit = word.size() <= 4 ? 1 : 2;
  string best;
  std::size_t best_distance = limit + 1;
  bool tie = false;
  for (const ConfigKey& row : CONFIG_KEYS) {
    if (!key_is_read(row, sectioned)) continue;
    const std::size_t distance = edit_distance(word, row.name, limit);
    if (distance < best_distance) {
      best = string(row.name);
      best_distance = distance;
      tie = false;
    } else if (distance == best_distance && distance <= limit) {
      tie = true;
    }
  }
  return best_distance <= limit && !tie ? best : string();
}

namespace {

// The notes on the lines of one reading, added to result.
void diagnose_part(string_view text, const ConfigReading& reading, bool sectioned, LineNotes& result) {
  const std::vector<LineReading>& lines = reading.lines;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const LineReading& line = lines[n];
    string_view raw = text.substr(std::min(line.start, text.size()), line.length);
    // The mark is invisible on a terminal: the line is shown, and its words
    // read, without it, and the reason names it.
    const bool bom = line.start == 0 && raw.starts_with(BYTE_ORDER_MARK);
    if (bom) raw.remove_prefix(BYTE_ORDER_MARK.size());
    const FirstWord first = first_word(raw);
    // The key this line was written for: the one found, else the likely one.
    string key = line.keys != 0 ? string(CONFIG_KEYS[line.first_key].name) : string();
    std::size_t key_end = first.end;
    if (key.empty()) {
      key = probable_key(first.word, sectioned);
      if (key.empty() && !key_prefix(first.word, sectioned).empty()) {
        key = string(key_prefix(first.word, sectioned));
        key_end = first.start + key.size();
      }
    }
    if (!key.empty()) result.key_lines.emplace_back(key, line.number);
    if (line.keys != 0 && !line.joined) key_end = line.value_start;
    // A secret key anywhere on the line masks the value ("username password x").
    string masking = key;
    for (const std::size_t k : keys_of(line))
      if (CONFIG_KEYS[k].secret) masking = string(CONFIG_KEYS[k].name);
    // Past the notes listed, a line is only counted: its text is not made.
    const bool listed = result.notes.size() < SHOWN_LINES_LIMIT;
    const string shown = listed ? shown_line(raw, masking, std::min(key_end, raw.size()), sectioned) : string();

    const std::vector<string> why =
        line.keys == 0 ? why_not_taken(lines, n, first, raw, bom, sectioned) : why_changed(reading, line, raw, shown);
    if (!why.empty()) add_note(result, line.number, shown, joined(why));
  }
}

}  // namespace

LineNotes diagnose_config(string_view text, const ConfigReading& reading) {
  LineNotes result;
  diagnose_part(text, reading, false, result);
  return result;
}

LineNotes diagnose_servers(string_view text, const ServersConfig& servers) {
  LineNotes result;
  // Each part on its own: a key of the defaults set again in a section, or
  // in two sections, is no key given twice.
  for (const ConfigReading& part : servers.parts) diagnose_part(text, part, servers.sectioned, result);
  return result;
}

LineNotes diagnose_config(string_view text) { return diagnose_config(text, read_config(text).reading); }

std::vector<string> config_search_failures(const char* config_path, const std::vector<string>& directories) {
  std::vector<string> paths;
  if (config_path)
    paths.emplace_back(config_path);
  else
    for (const string& directory : directories) paths.push_back(directory + string(CONFIG_FILE_NAME));
  std::vector<string> failures;
  for (const string& path : paths) {
    const string reason = why_unreadable(path.c_str());
    failures.push_back(path + ": " + (reason.empty() ? string("readable now (it was not when orvek looked)") : reason));
  }
  return failures;
}

