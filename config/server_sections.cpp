#include "config/server_sections.h"

#include <algorithm>
#include <set>
#include <utility>

#include "common/shown_limits.h"
#include "config/text_file.h"

namespace {

using std::string_view;

constexpr string_view HEADER_START = "[server";
// Bytes of a mistyped header quoted in its fault.
constexpr std::size_t LOOK_ALIKE_QUOTE_LIMIT = 60;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

string_view without_leading_blanks(string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  return text;
}

string_view without_blanks_around(string_view text) {
  text = without_leading_blanks(text);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// "[server" after blanks, then a blank or "]": "[servers]" or "[global]"
// stay text for the reader, as they always were.
bool opens_section(string_view line) {
  line = without_leading_blanks(line);
  return line.starts_with(HEADER_START) && line.size() > HEADER_START.size() &&
         (is_blank(line[HEADER_START.size()]) || line[HEADER_START.size()] == ']');
}

// UTF-8 characters: every byte but those that continue one.
std::size_t characters(string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

bool has_control_byte(string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') return true;
  return false;
}

// The characters a name may not hold, with their words: each breaks the
// check's plugin line (its label quoting, "=", "|"; ";" the monitoring
// server turns into ":") or the quoting of a shell command that passes the
// name (-S '$ARG2$').
struct ForbiddenCharacter {
  char c;
  string_view words;
};
constexpr ForbiddenCharacter FORBIDDEN_IN_NAMES[] = {
    {'|', "a vertical bar (|)"},  {'\'', "a single quote (')"}, {'"', "a double quote (\")"},
    {'=', "an equals sign (=)"},  {';', "a semicolon (;)"},     {'`', "a backquote (`)"},
    {'$', "a dollar sign ($)"},   {'\\', "a backslash (\\)"},
};

// Why a name that is no longer than the limit and holds no C0 control byte
// is still refused: a forbidden character or a C1 control character
// (U+0080 to U+009F, C2 80 to C2 9F in UTF-8), the first of them named.
std::string refused_character(string_view name) {
  for (std::size_t at = 0; at < name.size(); ++at) {
    for (const ForbiddenCharacter& forbidden : FORBIDDEN_IN_NAMES)
      if (name[at] == forbidden.c)
        return std::string(forbidden.words) +
               " in the server name: it would break the check's output or a shell's quoting; a name holds none of "
               "| ' \" = ; ` $ \\";
    if (name[at] == '\xC2' && at + 1 < name.size() && (static_cast<unsigned char>(name[at + 1]) & 0xE0) == 0x80) {
      static constexpr char HEX[] = "0123456789ABCDEF";
      const unsigned code = static_cast<unsigned char>(name[at + 1]);
      return std::string("a control character (U+00") + HEX[code >> 4] + HEX[code & 0xF] + ") in the server name";
    }
  }
  return {};
}

// What a section's header line names: the server, or why it names none.
struct HeaderName {
  string_view name;
  std::string fault;
};

HeaderName header_name(string_view line) {
  line = without_leading_blanks(line).substr(HEADER_START.size());
  if (line.ends_with('\r')) line.remove_suffix(1);  // Windows line ends
  const std::size_t close = line.find(']');
  if (close == string_view::npos) return {{}, "no \"]\" ends the section header"};
  const string_view name = without_blanks_around(line.substr(0, close));
  if (name.empty()) return {{}, "a server section without a name"};
  if (has_control_byte(name)) return {{}, "a control character in the server name"};
  if (characters(name) > SERVER_NAME_LIMIT)
    return {{}, "a server name longer than " + std::to_string(SERVER_NAME_LIMIT) + " characters"};
  if (std::string refused = refused_character(name); !refused.empty()) return {{}, std::move(refused)};
  if (!without_leading_blanks(line.substr(close + 1)).empty()) return {{}, "text after \"]\" in the section header"};
  return {name, {}};
}

// A line that starts with "[" yet opens no section, as its fault quotes
// it: up to its first "]", or its first word when none ends it (a line
// that holds more may hold a password).
std::string look_alike_quote(string_view line) {
  line = without_leading_blanks(line);
  if (line.ends_with('\r')) line.remove_suffix(1);
  const std::size_t close = line.find(']');
  std::size_t end = close != string_view::npos ? close + 1 : line.find_first_of(" \t");
  return shown_line_start(line.substr(0, std::min(end, line.size())), LOOK_ALIKE_QUOTE_LIMIT);
}

struct Section {
  std::size_t header_line;
  string_view name;
  LineSpan span;  // its own lines, after the header
};

// The file's section headers, and the part before the first of them.
struct Parts {
  LineSpan defaults;
  std::vector<Section> sections;
  std::size_t end_line = 1;  // one past the last line
  std::string fault;         // the first header's that names no usable server, or look-alike's
};

// The file's fault: where it lies and what it is, in words.
void set_fault(Parts& parts, std::size_t& fault_line, string_view file_name, std::size_t number, string_view why) {
  if (fault_line != 0 && fault_line < number) return;
  fault_line = number;
  parts.fault = std::string(file_name) + ":" + std::to_string(number) + ": " + std::string(why);
}

Parts parts_of(string_view text, string_view file_name) {
  Parts parts;
  parts.defaults = {0, text.size(), 1};
  std::set<string_view> names;
  std::size_t number = 1, fault_line = 0;
  // The first line that starts with "[" and opens no section: in a file
  // with sections it is a header mistyped, whose server would vanish.
  std::size_t look_alike_line = 0;
  string_view look_alike;
  for (std::size_t at = 0; at < text.size(); ++number) {
    const std::size_t newline = text.find('\n', at);
    const std::size_t next = newline == string_view::npos ? text.size() : newline + 1;
    const string_view line = text.substr(at, (newline == string_view::npos ? text.size() : newline) - at);
    if (opens_section(line)) {
      (parts.sections.empty() ? parts.defaults : parts.sections.back().span).end = at;
      HeaderName header = header_name(line);
      if (header.fault.empty() && !names.insert(header.name).second)
        header.fault = "a second server named \"" + std::string(header.name) + "\"";
      if (!header.fault.empty()) set_fault(parts, fault_line, file_name, number, header.fault);
      parts.sections.push_back({number, header.name, {next, text.size(), number + 1}});
    } else if (look_alike_line == 0 && without_leading_blanks(line).starts_with('[')) {
      look_alike_line = number;
      look_alike = line;
    }
    at = next;
  }
  parts.end_line = number;
  // A file without sections is read as ever: there such a line is text.
  if (!parts.sections.empty() && look_alike_line != 0)
    set_fault(parts, fault_line, file_name, look_alike_line,
              "\"" + look_alike_quote(look_alike) + "\": a section header is written [server NAME]");
  return parts;
}

ServersConfig without_sections(string_view text, std::size_t end_line) {
  ConfigRead read = read_config(text);
  ServersConfig result;
  ServerConfig& server = result.servers.emplace_back();
  server.first_line = 1;
  server.end_line = end_line;
  server.server_given = read.reading.last_line[key_of("server")] != 0;
  server.settings = std::move(read.settings);
  result.parts.push_back(std::move(read.reading));
  return result;
}

}  // namespace

ServersConfig read_servers(string_view text, string_view file_name) {
  const Parts parts = parts_of(text, file_name);
  if (parts.sections.empty()) return without_sections(text, parts.end_line);

  ServersConfig result;
  result.sectioned = true;
  result.fault = parts.fault;
  // Each part read on its own, so that text one leaves unended does not
  // run on into the next.
  ConfigReading defaults_reading;
  const ConfigValues defaults = read_config_values(text, parts.defaults, true, defaults_reading);
  const bool server_by_default = defaults_reading.last_line[key_of("server")] != 0;
  result.parts.push_back(std::move(defaults_reading));
  for (std::size_t s = 0; s < parts.sections.size(); ++s) {
    const Section& section = parts.sections[s];
    ConfigReading reading;
    ConfigValues values = read_config_values(text, section.span, true, reading);
    for (std::size_t k = 0; k < KEY_COUNT; ++k)
      if (reading.last_line[k] == 0) values[k] = defaults[k];
    ServerConfig server;
    server.name = section.name;
    server.header_line = section.header_line;
    server.first_line = section.span.first_line;
    server.end_line = s + 1 < parts.sections.size() ? parts.sections[s + 1].header_line : parts.end_line;
    server.server_given = server_by_default || reading.last_line[key_of("server")] != 0;
    server.exclude_path = std::move(values[key_of("exclude")]);
    server.settings = settings_of(std::move(values));
    result.parts.push_back(std::move(reading));
    if (result.fault.empty()) result.servers.push_back(std::move(server));
  }
  return result;
}

std::optional<ServersConfig> load_servers(const std::string& path, std::string* text) {
  std::optional<std::string> read = read_text_file(path.c_str(), CONFIG_READ_LIMIT);
  if (!read) return std::nullopt;
  ServersConfig servers = read_servers(*read, path);
  if (text) *text = std::move(*read);
  return servers;
}

std::optional<ServersConfig> find_servers_file(const char* config_path,
                                               const std::vector<std::string>& search_directories,
                                               std::string* chosen_path, std::string* text) {
  const std::optional<std::string> chosen = choose_config_file(config_path, search_directories);
  if (!chosen) return std::nullopt;
  if (chosen_path) *chosen_path = *chosen;
  return load_servers(*chosen, text);
}
