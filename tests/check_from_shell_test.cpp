// What orvek -t says for answers a test server cannot easily give (time-outs,
// TLS and name failures), the page excerpt, and the server value's pitfalls.
#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>
#include <curl/curl.h>
#include <string>
#include <vector>

#include "check/check_from_shell.h"
#include "refresh/program.h"
#include "refresh/refresh_record.h"
#include "check/check_trust.h"
#include "page_lines.h"
#include "check/server_value.h"
#include "check/shown_text.h"
#include "config/config_diagnosis.h"

namespace {

const std::string PASSWORD = "Pw-s3cret-91zq";
// base64("alice:Pw-s3cret-91zq"), as a Basic Authorization header carries it.
const std::string BASIC = "YWxpY2U6UHctczNjcmV0LTkxenE=";

Program program_for(const std::string& config) {
  Program program;
  program.settings = parse_config(config);
  program.body = make_receive_buffer();
  return program;
}

// The report on a refresh whose transfer did what fetched says, of the
// page in program.body.
// The record as orvek -t's refresh leaves it, of the page in program.body.
RefreshRecord record_of(const Program& program, const FetchResult& fetched) {
  RefreshRecord record =
      read_refresh(read_credentials(program.settings), fetched, program.body, *program.excludes, program.settings.newcgi);
  decide_page_kind(record, program.body);
  return record;
}

CheckReport explain(const Program& program, const FetchResult& fetched, std::string_view config_file = "orvek.conf") {
  return explain_refresh(program, config_file, record_of(program, fetched));
}

const std::string CONFIG = "server http://monitor.example\nusername alice\npassword " + PASSWORD + "\n";

std::string lines_with(const std::string& text, const std::string& key) {
  std::string found;
  for (std::size_t at = text.find(key + ": "); at != std::string::npos; at = text.find(key + ": ", at + 1))
    if (at == 0 || text[at - 1] == '\n') found += text.substr(at, text.find('\n', at) + 1 - at);
  return found;
}

FetchResult transport(int code, double seconds, long os_error = 0) {
  FetchResult result;
  result.failure = FetchFailure::TRANSPORT;
  result.curl_code = code;
  result.error = "libcurl's words";
  result.seconds = seconds;
  result.os_error = os_error;
  return result;
}

// The connection made, the transfer bound (in seconds) ran out.
FetchResult connected(FetchResult result, long bound = TRANSFER_TIMEOUT_SECONDS) {
  result.connected = true;
  result.transfer_bound = bound;
  return result;
}

// A handshake whose chain OpenSSL refused for reason (an X509_V_ERR_ number).
FetchResult chain_refused(long reason) {
  FetchResult result = transport(CURLE_PEER_FAILED_VERIFICATION, 0.01);
  result.tls_verify_result = reason;
  return result;
}

FetchResult unusable(const std::string& why) {
  FetchResult result;
  result.failure = FetchFailure::UNUSABLE_SETTINGS;
  result.error = why;
  return result;
}

FetchResult failed(FetchFailure failure, long status = 0) {
  FetchResult result;
  result.failure = failure;
  result.status = status;
  return result;
}

struct FailureCase {
  const char* name;
  FetchResult fetched;
  std::string answer;  // the answer line
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class FailureWords : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureWords, NameTheCauseAndTheBanner) {
  const Program program = program_for(CONFIG);
  const CheckReport report = explain(program, GetParam().fetched);
  EXPECT_EQ(lines_with(report.text, "answer"), GetParam().answer + "\n") << report.text;
  EXPECT_EQ(report.status, GetParam().fetched.failure == FetchFailure::NO_HANDLE ? CHECK_UNFINISHED : CHECK_BANNER);
  EXPECT_TRUE(report.text.ends_with("verdict: FAIL: the monitor would show the banner \" No connection to server! \"\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailureWords,
    testing::Values(
        FailureCase{"refused", transport(CURLE_COULDNT_CONNECT, 0.001, ECONNREFUSED),
                    "answer: none: connection refused: nothing listens on that port (after 0.00 s)"},
        FailureCase{"no_route", transport(CURLE_COULDNT_CONNECT, 3.1, EHOSTUNREACH),
                    "answer: none: could not connect: No route to host (after 3.10 s)"},
        FailureCase{"connect_bound", transport(CURLE_OPERATION_TIMEDOUT, 10.0),
                    "answer: none: no connection within 10 s (TLS handshake included) (after 10.00 s)"},
        FailureCase{"transfer_bound", connected(transport(CURLE_OPERATION_TIMEDOUT, 30.0)),
                    "answer: none: connected, but no complete answer within 30 s (after 30.00 s)"},
        // A check's deadline of 7 s came first: its figure is quoted.
        FailureCase{"deadline", connected(transport(CURLE_OPERATION_TIMEDOUT, 7.0), 7),
                    "answer: none: connected, but no complete answer within 7 s (after 7.00 s)"},
        FailureCase{"name", transport(CURLE_COULDNT_RESOLVE_HOST, 0.2),
                    "answer: none: name not resolved: no address for the server's host name (after 0.20 s)"},
        FailureCase{"tls", transport(CURLE_SSL_CONNECT_ERROR, 0.01), "answer: none: TLS handshake failed (after 0.01 s)"},
        FailureCase{"certificate_name", transport(CURLE_PEER_FAILED_VERIFICATION, 0.01),
                    "answer: none: certificate check failed: name mismatch: the certificate is not made out to the "
                    "host in the server URL (after 0.01 s)"},
        // libcurl leaves 1 (unspecified) where the name failed.
        FailureCase{"certificate_name_unspecified", chain_refused(1),
                    "answer: none: certificate check failed: name mismatch: the certificate is not made out to the "
                    "host in the server URL (after 0.01 s)"},
        // OpenSSL's numbers: 10 expired, 9 not yet valid, 18 self-signed,
        // 20 issuer unknown here, 7 bad signature.
        FailureCase{"certificate_expired", chain_refused(10),
                    "answer: none: certificate check failed: expired: the server's certificate is no longer valid "
                    "(after 0.01 s)"},
        FailureCase{"certificate_not_yet_valid", chain_refused(9),
                    "answer: none: certificate check failed: not yet valid: the server's certificate is valid only "
                    "from a later date (or this machine's clock is behind) (after 0.01 s)"},
        FailureCase{"certificate_self_signed", chain_refused(18),
                    "answer: none: certificate check failed: unknown CA: no trusted certificate authority vouches "
                    "for the server's certificate (it is self-signed or its issuer is not trusted here) (after 0.01 s)"},
        FailureCase{"certificate_issuer_unknown", chain_refused(20),
                    "answer: none: certificate check failed: unknown CA: no trusted certificate authority vouches "
                    "for the server's certificate (it is self-signed or its issuer is not trusted here) (after 0.01 s)"},
        FailureCase{"certificate_other_reason", chain_refused(7),
                    "answer: none: certificate check failed: certificate signature failure (after 0.01 s)"},
        FailureCase{"pin", transport(CURLE_SSL_PINNEDPUBKEYNOTMATCH, 0.01),
                    "answer: none: certificate check failed: pin mismatch: the server's public key is none of those "
                    "in the pin line (after 0.01 s)"},
        FailureCase{"ca_file", transport(CURLE_SSL_CACERT_BADFILE, 0.01),
                    "answer: none: the CA certificates to check the server's certificate against could not be read "
                    "(after 0.01 s)"},
        FailureCase{"password_file", unusable("the password file /run/pw cannot be read: No such file or directory"),
                    "answer: none: the password file /run/pw cannot be read: No such file or directory (after 0.00 s)"},
        FailureCase{"too_large", failed(FetchFailure::BODY_TOO_LARGE, 200),
                    "answer: HTTP status 200 (OK), but body over 3,510,720 bytes, more than orvek takes (after 0.00 s)"},
        FailureCase{"header_unfinished", failed(FetchFailure::HEADER_UNFINISHED, 200),
                    "answer: HTTP status 200 (OK), but the answer ended before its header section did (after 0.00 s)"},
        FailureCase{"no_handle", failed(FetchFailure::NO_HANDLE),
                    "answer: none: libcurl could not start a transfer (after 0.00 s)"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::string config;
  std::vector<std::string> offered;
  std::string offered_line;
  std::string hint;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class Refusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, NamesTheOfferedSchemesAndWhatToChange) {
  const Program program = program_for(GetParam().config);
  FetchResult fetched = failed(FetchFailure::HTTP_STATUS, 401);
  fetched.offered_schemes = GetParam().offered;
  const CheckReport report = explain(program, fetched);
  EXPECT_EQ(lines_with(report.text, "offered by the server"), GetParam().offered_line + "\n");
  EXPECT_EQ(lines_with(report.text, "hint"), "hint: " + GetParam().hint + "\n");
  EXPECT_EQ(report.status, CHECK_BANNER);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refusal,
    testing::Values(
        RefusalCase{"digest_against_basic", CONFIG + "digest yes\n", {"Basic"}, "offered by the server: Basic",
                    "digest yes makes orvek answer Digest only, and the server does not offer it: remove the digest "
                    "line"},
        RefusalCase{"wrong_password", CONFIG + "digest yes\n", {"Digest"}, "offered by the server: Digest",
                    "the server refused the user name or the password"},
        RefusalCase{"broad_mask", CONFIG, {"Basic", "Digest"}, "offered by the server: Basic, Digest",
                    "the server refused the user name or the password"},
        RefusalCase{"unknown_scheme", CONFIG, {"Bearer"}, "offered by the server: Bearer",
                    "orvek answers Basic or Digest, which the server does not offer"},
        RefusalCase{"no_challenge", CONFIG, {}, "offered by the server: nothing (no WWW-Authenticate header)",
                    "orvek answers Basic or Digest, which the server does not offer"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever the server or libcurl echo, the password shows in no form.
TEST(CheckReport, NeverShowsThePassword) {
  Program program = program_for("server http://bob:" + PASSWORD + "@monitor.example/?x\nusername alice\npassword " +
                                PASSWORD + "\n");
  const std::string page = "<html><title>Echo</title><p>Authorization: Basic " + BASIC + "</p><p>password=" +
                           PASSWORD + "</p></html>";
  for (const char c : page) on_body_chunk(const_cast<char*>(&c), 1, 1, &program.body);
  FetchResult fetched;
  fetched.status = 200;
  fetched.body_size = page.size();
  const CheckReport answered = explain(program, fetched);
  FetchResult broken = transport(CURLE_RECV_ERROR, 1);
  broken.error = "Failure when receiving data for " + PASSWORD;
  const CheckReport failing = explain(program, broken);
  for (const CheckReport* report : {&answered, &failing}) {
    EXPECT_EQ(report->text.find(PASSWORD), std::string::npos) << report->text;
    EXPECT_EQ(report->text.find(BASIC), std::string::npos) << report->text;
    EXPECT_EQ(report->text.find("bob"), std::string::npos) << report->text;
    EXPECT_NE(report->text.find("URL: http://monitor.example/?x/cgi-bin/statuswml.cgi?style=uprobs\n"),
              std::string::npos)
        << report->text;
  }
  EXPECT_NE(answered.text.find("page text: \"Echo Authorization: Basic ******** password=********\"\n"),
            std::string::npos)
      << answered.text;
  EXPECT_NE(failing.text.find("libcurl says: Failure when receiving data for ********\n"), std::string::npos);
}

// A path from the configuration reaches the answer line as text: a carriage
// return shows as ^M, not as a jump to the line's start.
TEST(CheckReport, AnUnreadablePasswordFileIsNamedAsText) {
  const Program program = program_for("server https://mon.example\npasswordfile /run/pw\r\n");
  FetchResult fetched;
  fetched.failure = FetchFailure::PASSWORD_FILE;
  fetched.error = "the password file /run/pw\r cannot be read: No such file or directory";
  const std::string text = explain(program, fetched).text;
  EXPECT_EQ(lines_with(text, "answer"),
            "answer: none: the password file /run/pw^M cannot be read: No such file or directory (after 0.00 s)\n");
  EXPECT_EQ(lines_with(text, "password"),
            "password: from the password file /run/pw^M, which cannot be read: No such file or directory\n");
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

// Not shown, and no reason given: that would tell the password to whoever
// reads the report. Other names stay as written.
TEST(CheckReport, AUserNameHoldingThePasswordIsNotShown) {
  const struct {
    const char* config;
    const char* user_line;
  } cases[] = {
      {"username demo\npassword demo\n", "user name: not shown\n"},
      {"username Demo\npassword demo\n", "user name: not shown\n"},
      {"username demo-ops\npassword demo\n", "user name: not shown\n"},
      {"username ZGVtbw\npassword demo\n", "user name: not shown\n"},  // its base64
      {"username alice\npassword demo\n", "user name: alice\n"},
      {"username demo\npassword demo-ops\n", "user name: demo\n"},
      {"username demo:x\npassword demo\n", "user name: not shown\n"},  // nor its part before the ':'
  };
  for (const auto& c : cases) {
    const Program program = program_for(std::string("server http://mon.example\n") + c.config);
    const std::string text = explain(program, failed(FetchFailure::NO_HANDLE)).text;
    EXPECT_EQ(lines_with(text, "user name"), c.user_line) << c.config;
    EXPECT_EQ(text.find("the password\n"), std::string::npos) << text;
    if (c.user_line == std::string("user name: not shown\n")) {
      EXPECT_EQ(text.find("demo"), std::string::npos) << text;
    }
  }
}

// The configuration's lines hide the password where it stands as one, and
// show every other value as written, the password's letters in it or not.
TEST(CheckReport, ConfigurationLinesHideOnlyThePasswordsValue) {
  const std::string config =
      "server http://status.example\nusername status1\nusername status1\ncafile /etc/status/ca.pem\n"
      "cafile /etc/status/ca.pem\npassword status\npassword status\nPassword status\n";
  const Program program = program_for(config);
  SetUpNotes notes;
  notes.config = diagnose_config(config);
  const RefreshRecord record = read_refresh(read_credentials(program.settings), failed(FetchFailure::NO_HANDLE),
                                            program.body, *program.excludes, program.settings.newcgi);
  const std::string text = explain_refresh(program, "orvek.conf", record, nullptr, notes).text;
  EXPECT_EQ(lines_with(text, "line 2"), "line 2: \"username status1\": username is given again on line 3, which counts\n");
  EXPECT_EQ(lines_with(text, "line 4"),
            "line 4: \"cafile /etc/status/ca.pem\": cafile is given again on line 5, which counts\n");
  EXPECT_EQ(lines_with(text, "line 6"), "line 6: \"password ********\": password is given again on line 7, which counts\n");
  EXPECT_EQ(lines_with(text, "line 8").substr(0, 29), "line 8: \"Password ********\": ");
  EXPECT_EQ(text.find("password status"), std::string::npos) << text;
  EXPECT_EQ(text.find("Password status"), std::string::npos) << text;
}

struct ExcerptCase {
  const char* name;
  std::string body;
  std::string excerpt;
};

void PrintTo(const ExcerptCase& c, std::ostream* out) { *out << c.name; }

class Excerpt : public testing::TestWithParam<ExcerptCase> {};

TEST_P(Excerpt, IsTheTextWithoutMarkup) {
  EXPECT_EQ(page_excerpt(GetParam().body, password_mask("alice", {"s3cret"})), GetParam().excerpt);
}

const std::string LONG_TEXT(250, 'x');
// 199 letters, then a two-byte letter: the 200th character stays whole.
const std::string UTF8_AT_THE_CUT = std::string(199, 'a') + "\xc3\xa9" + "bcd";

INSTANTIATE_TEST_SUITE_P(
    Table, Excerpt,
    testing::Values(
        ExcerptCase{"cgi_error",
                    "<?xml version=\"1.0\"?>\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" \"x\">\n<wml>\n"
                    "<head>\n<meta forua=\"true\"/>\n</head>\n<P>Error: Could not read some or all object "
                    "configuration data!</P>\n</wml>\n",
                    "Error: Could not read some or all object configuration data!"},
        ExcerptCase{"scripts_and_styles_are_no_text",
                    "<html><head><TITLE>Sign in</TITLE><style>p{}</style><SCRIPT type=x>a < b</SCRIPT>"
                    "<script src=x /></head><body>\r\n\tWelcome\t back</body>",
                    "Sign in Welcome back"},
        ExcerptCase{"empty", "", ""},
        ExcerptCase{"markup_only", "<wml><card></card></wml>", ""},
        ExcerptCase{"unclosed_tag_ends_the_text", "before <p class='x", "before"},
        ExcerptCase{"cut_at_200_characters", LONG_TEXT, std::string(200, 'x') + "..."},
        ExcerptCase{"utf8_kept_whole", UTF8_AT_THE_CUT, std::string(199, 'a') + "\xc3\xa9..."},
        ExcerptCase{"control_bytes_shown", std::string("a\x1b[2Jb\0c\x7f", 9), "a^[[2Jb^@c^?"},
        // Masked before the cut: not even the part of it before the 200th character shows.
        ExcerptCase{"secret_across_the_cut", std::string(197, 'y') + "s3cret", std::string(197, 'y') + "***..."}),
    [](const auto& info) { return std::string(info.param.name); });

struct ServerCase {
  const char* name;
  std::string server;
  std::string scheme;
  bool credentials, query, slash;
  std::string without;  // without_credentials(server)
};

void PrintTo(const ServerCase& c, std::ostream* out) { *out << c.name; }

class ServerValues : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerValues, ShowTheirPitfalls) {
  const ServerCase& c = GetParam();
  const ServerValue value = read_server_value(c.server);
  EXPECT_EQ(value.scheme, c.scheme);
  EXPECT_EQ(value.has_credentials, c.credentials);
  EXPECT_EQ(value.has_query, c.query);
  EXPECT_EQ(value.ends_in_slash, c.slash);
  EXPECT_EQ(without_credentials(c.server), c.without);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServerValues,
    testing::Values(ServerCase{"plain", "https://mon.example/nagios", "https", false, false, false,
                               "https://mon.example/nagios"},
                    ServerCase{"credentials", "http://u:p@ss@mon.example:8080/x", "http", true, false, false,
                               "http://mon.example:8080/x"},
                    ServerCase{"at_sign_in_the_path_is_no_credential", "http://mon.example/a@b", "http", false, false,
                               false, "http://mon.example/a@b"},
                    ServerCase{"no_scheme", "user@mon.example/", "", true, false, true, "mon.example/"},
                    ServerCase{"query", "http://mon.example/?a=1", "http", false, true, false,
                               "http://mon.example/?a=1"},
                    ServerCase{"other_scheme", "ftp://mon.example", "ftp", false, false, false, "ftp://mon.example"},
                    ServerCase{"empty", "", "", false, false, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckReport, SetUpPitfallsAreNamed) {
  struct Case {
    std::string config;
    std::string pitfall;
  };
  const Case cases[] = {
      {"username alice\n", "pitfall: no server line: the URL is only the status path\n"},
      {"server mon.example\n", "pitfall: the server value has no scheme: libcurl takes it for http://; write http:// "
                               "or https://\n"},
      {"server ftp://mon.example\n", "pitfall: the server value's scheme is ftp, not http or https\n"},
      {"server http://mon.example\r\n", "pitfall: a value ends in a carriage return: the file has Windows line "
                                        "ends; convert it with sed -i 's/\\r$//'\n"},
      {"server http://mon.example\nusername dom:ops\n",
       "pitfall: the user name holds ':', which Basic cannot carry (its user-id ends at the first ':'): against "
       "Basic the server sees the user dom; set digest yes if the server offers Digest\n"},
      // With Digest the whole name is sent: no pitfall.
      {"server http://mon.example\nusername dom:ops\ndigest yes\n", ""},
      {"server https://mon.example\npasswordfile /run/pw\r\n",
       "pitfall: a value ends in a carriage return: the file has Windows line ends; convert it with sed -i "
       "'s/\\r$//'\n"},
      {"server http://mon.example\npin sha256//x\n",
       "pitfall: the verify, cafile and pin lines apply to https only, and the server is reached over plain http: "
       "nothing is checked\n"},
      {"server https://mon.example\nverify yes\ncafile /etc/ssl/private-ca.pem\n",
       "pitfall: both verify yes and a cafile line: the chain is checked against the cafile only\n"
       "pitfall: the cafile /etc/ssl/private-ca.pem cannot be read: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    const Program program = program_for(c.config);
    const std::string text = explain(program, failed(FetchFailure::NO_HANDLE)).text;
    EXPECT_EQ(lines_with(text, "pitfall"), c.pitfall) << text;
  }
}

// A proxy from the environment is named where the transfer went through it,
// and a failure to reach it is told as the proxy's; a TLS server found on the
// plain http port is named.
TEST(CheckReport, TheRouteToTheServerIsNamed) {
  const Program program = program_for(CONFIG);
  const FetchResult refused = transport(CURLE_COULDNT_CONNECT, 0.001, ECONNREFUSED);
  const auto report = [&](const FetchResult& fetched, const RouteLook& route) {
    return explain_refresh(program, "orvek.conf", record_of(program, fetched), nullptr, {}, route)
        .text;
  };
  RouteLook proxied;
  proxied.proxy = {"http_proxy", "127.0.0.1:3128", "", ""};
  std::string text = report(refused, proxied);
  EXPECT_EQ(lines_with(text, "route"),
            "route: through the proxy 127.0.0.1:3128 from http_proxy; neither no_proxy nor NO_PROXY is set\n");
  EXPECT_EQ(lines_with(text, "answer"), "answer: none: through the proxy 127.0.0.1:3128 from http_proxy: connection "
                                        "refused: nothing listens on that port (after 0.00 s)\n");
  EXPECT_NE(text.find("ORVEK CRITICAL - the monitor would show the banner \" No connection to server! \": through "
                      "the proxy 127.0.0.1:3128 from http_proxy: connection refused"),
            std::string::npos)
      << text;
  EXPECT_EQ(lines_with(text, "hint"), "hint: the proxy comes from the environment, not from orvek.conf: unset "
                                      "http_proxy, or name the server's host in NO_PROXY\n");

  proxied.proxy.no_proxy_variable = "NO_PROXY";
  proxied.proxy.no_proxy = "example.org";
  text = report(failed(FetchFailure::HTTP_STATUS, 401), proxied);
  EXPECT_EQ(lines_with(text, "route"),
            "route: through the proxy 127.0.0.1:3128 from http_proxy; NO_PROXY (\"example.org\") does not name this "
            "host\n");
  EXPECT_EQ(text.find("through the proxy 127.0.0.1:3128 from http_proxy:"), std::string::npos) << text;

  // Without a proxy nothing is said of one.
  text = report(refused, {});
  EXPECT_EQ(lines_with(text, "route"), "");
  EXPECT_EQ(lines_with(text, "answer"), "answer: none: connection refused: nothing listens on that port (after 0.00 s)\n");

  RouteLook tls;
  tls.tls_answered = true;
  text = report(transport(CURLE_GOT_NOTHING, 0.002), tls);
  EXPECT_EQ(lines_with(text, "answer"), "answer: none: the server closed the connection without answering (after 0.00 s)\n");
  EXPECT_EQ(lines_with(text, "hint"),
            "hint: this port may speak TLS: try https:// (a TLS server answered a handshake there)\n");
}

// Only a plain http transfer that the far end closed, reset or answered with
// no HTTP is worth a TLS handshake, and never one made through a proxy.
TEST(CheckRoute, ATlsProbeOnlyWhereATlsPortWouldAnswerSo) {
  const Settings plain = parse_config("server http://mon.example:8443\n");
  const Settings bare = parse_config("server mon.example:8443\n");
  const Settings tls = parse_config("server https://mon.example\n");
  const ProxyRoute direct;
  const ProxyRoute proxy = {"http_proxy", "127.0.0.1:3128", "", ""};
  EXPECT_TRUE(needs_tls_probe(plain, transport(CURLE_GOT_NOTHING, 0.01), direct));
  EXPECT_TRUE(needs_tls_probe(plain, transport(CURLE_RECV_ERROR, 0.01), direct));
  EXPECT_TRUE(needs_tls_probe(plain, transport(CURLE_WEIRD_SERVER_REPLY, 0.01), direct));
  EXPECT_TRUE(needs_tls_probe(bare, transport(CURLE_GOT_NOTHING, 0.01), direct));
  EXPECT_FALSE(needs_tls_probe(plain, transport(CURLE_GOT_NOTHING, 0.01), proxy));
  EXPECT_FALSE(needs_tls_probe(tls, transport(CURLE_GOT_NOTHING, 0.01), direct));
  EXPECT_FALSE(needs_tls_probe(plain, transport(CURLE_COULDNT_CONNECT, 0.01, ECONNREFUSED), direct));
  EXPECT_FALSE(needs_tls_probe(plain, transport(CURLE_OPERATION_TIMEDOUT, 30.0), direct));
  EXPECT_FALSE(needs_tls_probe(plain, failed(FetchFailure::HTTP_STATUS, 400), direct));
}

// The password is masked where the server sends it back, never in what the
// user wrote: a password that is a word of the URL, a path or the file's
// name leaves them whole.
TEST(CheckReport, MasksThePasswordOnlyWhereTheServerSendsItBack) {
  Program program = program_for("server http://mon.example/status\nusername alice\npassword status\n"
                                "cafile /etc/status/ca.pem\n");
  const std::string page = "<p>Your status is: status</p>";
  for (const char c : page) on_body_chunk(const_cast<char*>(&c), 1, 1, &program.body);
  FetchResult fetched;
  fetched.status = 200;
  fetched.body_size = page.size();
  const std::string text = explain(program, fetched, "c/status.conf").text;
  for (const std::string whole : {"configuration: c/status.conf\n",
                                  "URL: http://mon.example/status/cgi-bin/statuswml.cgi?style=uprobs\n",
                                  "pitfall: the verify, cafile and pin lines apply to https only"})
    EXPECT_NE(text.find(whole), std::string::npos) << whole << "\n" << text;
  EXPECT_EQ(lines_with(text, "page text"), "page text: \"Your ******** is: ********\"\n") << text;

  FetchResult moved = failed(FetchFailure::HTTP_STATUS, 302);
  moved.location = "http://elsewhere.example/login?password=status";
  EXPECT_EQ(lines_with(explain(program, moved).text, "redirected to"),
            "redirected to: http://elsewhere.example/login?password=********\n");
}

TEST(CheckReport, FirstLineAndExitStatusFollowTheCheckPluginConvention) {
  const std::string page = "<wml><card>\n" + service_line("host1", "Load", "CRI") + "</card></wml>\n";
  struct Case {
    const char* name;
    std::string config;
    std::uint32_t interval;
    FetchResult fetched;
    int status;
    std::string first;  // the first line's start
  };
  FetchResult arrived;
  arrived.status = 200;
  const Case cases[] = {
      {"works", CONFIG + "newcgi true\n", 10, arrived, CHECK_OK,
       "ORVEK OK - the monitor would draw this page as its report | time=0.000s size="},
      {"pitfall", "server http://mon.example/?q\nnewcgi true\n", 10, arrived, CHECK_NOTED,
       "ORVEK WARNING - the monitor draws the report, but the server value holds a query"},
      {"no pause", CONFIG + "newcgi true\n", 0, arrived, CHECK_NOTED,
       "ORVEK WARNING - the monitor draws the report, but interval 0 s"},
      {"never refreshes", CONFIG + "newcgi true\n", 4294967295u, arrived, CHECK_NOTED,
       "ORVEK WARNING - the monitor draws the report, but interval 4294967295 s"},
      {"banner", CONFIG, 10, failed(FetchFailure::HTTP_STATUS, 500), CHECK_BANNER,
       "ORVEK CRITICAL - the monitor would show the banner \" No connection to server! \": HTTP status 500"},
      {"unfinished", CONFIG, 10, failed(FetchFailure::NO_HANDLE), CHECK_UNFINISHED,
       "ORVEK UNKNOWN - the check could not finish: libcurl could not start a transfer\n"},
  };
  for (const Case& c : cases) {
    Program program = program_for(c.config);
    program.options.refresh_interval = c.interval;
    program.options.interval_text = c.interval == 10 ? nullptr : c.interval == 0 ? "five" : "-1";
    for (const char ch : page) on_body_chunk(const_cast<char*>(&ch), 1, 1, &program.body);
    FetchResult fetched = c.fetched;
    fetched.body_size = program.body.length;
    const CheckReport report = explain(program, fetched);
    const std::string output = check_output(report);
    EXPECT_EQ(report.status, c.status) << c.name << "\n" << output;
    EXPECT_TRUE(output.starts_with(c.first)) << c.name << "\n" << output;
    const std::string first = output.substr(0, output.find('\n'));
    if (c.status <= CHECK_NOTED) {
      EXPECT_TRUE(first.ends_with(" problems=1")) << c.name << ": " << first;
    }
  }
}

// Valid UTF-8 throughout: no sequence cut.
bool whole_utf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

TEST(CheckOutput, OneBarStartsThePerformanceDataAndTheFirstLineStaysShort) {
  const std::string perfdata = "time=0.012s size=5120B problems=3";
  struct Case {
    const char* name;
    std::string summary;
    std::string expected_first;  // without " | perfdata"; empty: only its length and end are checked
  };
  const std::string long_summary = "the monitor draws the report, but " + std::string(300, 'x');
  // A two-byte letter across the place of the cut.
  std::string letters;
  for (int i = 0; i < 150; ++i) letters += "\xC3\xA9";
  const Case cases[] = {
      {"bars in the summary", "page titled Single sign-on | Please log in", "ORVEK WARNING - page titled Single sign-on \xC2\xA6 Please log in"},
      {"long summary", long_summary, ""},
      {"letters of two bytes", letters, ""},
      {"exactly at the limit", std::string(200 - 16 - 3 - perfdata.size(), 'y'),
       "ORVEK WARNING - " + std::string(200 - 16 - 3 - perfdata.size(), 'y')},
  };
  for (const Case& c : cases) {
    CheckReport report;
    report.status = CHECK_NOTED;
    report.text = "ORVEK WARNING - " + c.summary + "\nline 3: \"something|odd\": unknown key\nverdict: WARNING\n";
    report.perfdata = perfdata;
    const std::string output = check_output(report);
    const std::string first = output.substr(0, output.find('\n'));
    EXPECT_LE(first.size(), FIRST_LINE_LIMIT) << c.name;
    EXPECT_TRUE(first.ends_with(" | " + perfdata)) << c.name << ": " << first;
    if (!c.expected_first.empty()) EXPECT_EQ(first, c.expected_first + " | " + perfdata) << c.name;
    else EXPECT_TRUE(first.ends_with("... | " + perfdata)) << c.name << ": " << first;
    EXPECT_TRUE(whole_utf8(output)) << c.name;
    EXPECT_EQ(std::count(output.begin(), output.end(), '|'), 1) << c.name << ": " << output;
    // The details stay whole, bars shown as such.
    EXPECT_TRUE(output.ends_with("\nline 3: \"something\xC2\xA6odd\": unknown key\nverdict: WARNING\n")) << c.name;
  }
  // Without performance data (the check could not finish): no bar at all.
  const std::string unknown = check_output(unfinished_check("could not find orvek.conf: /a|b: No such file", {"/a|b: x\x01"}));
  EXPECT_EQ(unknown, "ORVEK UNKNOWN - could not find orvek.conf: /a\xC2\xA6" "b: No such file\n/a\xC2\xA6" "b: x^A\n");
}

CertificateFacts facts_of(const std::string& issuer) {
  CertificateFacts facts;
  facts.subject = "CN = mon.example";
  facts.alt_names = "DNS:mon.example";
  facts.issuer = issuer;
  facts.not_before = "Jan  1 00:00:00 2026 GMT";
  facts.not_after = "Jan  1 00:00:00 2099 GMT";
  facts.days_left = 26000;
  facts.pin = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";
  return facts;
}

// A pin is offered only for a key that passed every check asked for; where
// the CA file refused the server, the issuer it does not vouch for is named.
// The list came through, but the JSON CGI's connection was refused by the
// pin: someone else answers there. Named with or without maxage; without,
// the wall draws the report, so the check warns.
TEST(CheckReport, NamesAnImpostorOnTheJsonConnection) {
  const std::string page = "<wml><card>\n" + service_line("host1", "Load", "CRI") + "</card></wml>\n";
  const std::string trust = "server https://mon.example\nnewcgi true\npin sha256//AAAA\n";
  for (const bool max_age : {false, true}) {
    Program program = program_for(trust + (max_age ? "maxage 300\n" : ""));
    for (const char ch : page) on_body_chunk(const_cast<char*>(&ch), 1, 1, &program.body);
    FetchResult fetched;
    fetched.status = 200;
    fetched.body_size = program.body.length;
    RefreshRecord record = record_of(program, fetched);
    DataAgeFetch json;
    json.fetched = transport(CURLE_SSL_PINNEDPUBKEYNOTMATCH, 0.01);
    json.age.problem = "no answer: libcurl's words";
    if (max_age)
      take_data_age(record, json, 300);
    else
      record.data_age = json;
    const CheckReport report = explain_refresh(program, "orvek.conf", record);
    EXPECT_EQ(lines_with(report.text, "JSON certificate"),
              "JSON certificate: could not be looked at: certificate check failed: pin mismatch: the server's "
              "public key is none of those in the pin line\n")
        << report.text;
    EXPECT_EQ(report.status, max_age ? CHECK_BANNER : CHECK_NOTED) << report.text;
    if (!max_age) {
      EXPECT_TRUE(report.text.starts_with("ORVEK WARNING - the monitor draws the report, but the JSON status CGI's "
                                          "connection failed its certificate check"))
          << report.text;
    }
  }
  // A JSON connection that checked out says nothing of its certificate.
  Program program = program_for(trust);
  RefreshRecord record = read_refresh(read_credentials(program.settings), failed(FetchFailure::HTTP_STATUS, 404),
                                      program.body, *program.excludes, program.settings.newcgi);
  record.data_age = DataAgeFetch{failed(FetchFailure::HTTP_STATUS, 404), {}};
  EXPECT_EQ(lines_with(explain_refresh(program, "orvek.conf", record).text, "JSON certificate"), "");
}

TEST(CertificateLines, OfferAPinOnlyForAKeyThatPassedEveryCheck) {
  struct Case {
    const char* name;
    std::string trust;  // lines after the server line
    FetchResult fetched;
    bool checked;
    std::string hint;  // the hint lines, "" when none
  };
  FetchResult answered;
  answered.status = 200;
  const std::string pin_hint = "hint: to accept this server and no other, add: pin "
                               "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n";
  const Case cases[] = {
      {"passed, no trust line", "", answered, true, pin_hint},
      {"passed the cafile", "cafile /etc/orvek/ca.pem\n", answered, true, pin_hint},
      {"already pinned", "pin sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n", answered, true, ""},
      {"cafile refused it", "cafile /etc/orvek/ca.pem\n", chain_refused(18), true,
       "hint: the CA file /etc/orvek/ca.pem does not vouch for this certificate's issuer, CN = Other CA\n"},
      {"verify refused it", "verify yes\n", chain_refused(20), true,
       "hint: the system's CA certificates do not vouch for this certificate's issuer, CN = Other CA\n"},
      {"name mismatch", "", transport(CURLE_PEER_FAILED_VERIFICATION, 0.01), true, ""},
      {"expired under the cafile", "cafile /etc/orvek/ca.pem\n", chain_refused(10), true, ""},
      {"a second, unchecked look", "", transport(CURLE_SSL_CONNECT_ERROR, 0.01), false, ""},
  };
  for (const Case& c : cases) {
    const Settings settings = parse_config("server https://mon.example\n" + c.trust);
    ShownCertificate certificate;
    certificate.asked = true;
    certificate.checked = c.checked;
    certificate.facts = facts_of("CN = Other CA");
    std::string text;
    for (const CheckLine& line : certificate_lines(settings, c.fetched, certificate, {}))
      text += line.key + ": " + line.value + "\n";
    EXPECT_EQ(lines_with(text, "hint"), c.hint) << c.name << "\n" << text;
    for (const char* key : {"certificate subject", "certificate issuer", "certificate pin"})
      EXPECT_EQ(lines_with(text, key).ends_with(" (not checked)\n"), !c.checked) << c.name << "\n" << text;
    if (!c.checked) {
      EXPECT_TRUE(lines_with(text, "certificate checked").starts_with("certificate checked: not checked: ")) << text;
    }
  }
}

// What -t says of a page that is not the list of problems, or that could
// not be read whole: the card it got, the place of a zero byte.
struct PageWordsCase {
  const char* name;
  std::string server;
  std::string body;
  std::string page_line;
};

void PrintTo(const PageWordsCase& c, std::ostream* out) { *out << c.name; }

std::string wml_card(const std::string& title, const std::string& text) {
  return "<?xml version='1.0'?>\n<wml>\n<card id='card1' title='" + title + "'>\n<p>\n" + text +
         "</p>\n</card>\n</wml>\n";
}

const std::string CGI = "http://monitor.example/cgi-bin/statuswml.cgi";
const std::string INDEX = wml_card("Main Menu", "<a href='statuswml.cgi?style=uprobs'>1</a>\n"
                                                "<a href='statuswml.cgi?style=aprobs'>2</a>\n"
                                                "<a href='statuswml.cgi?style=processinfo'>3</a>\n");
const std::string TABLES = "<b>Host Problems:</b><table>\n<tr><td>No problems</td></tr>\n</table>\n"
                           "<b>Svc Problems:</b><table>\n<tr><td>No problems</td></tr>\n</table>\n";

class PageWords : public testing::TestWithParam<PageWordsCase> {};

TEST_P(PageWords, NamesWhatCameInsteadOfTheList) {
  const PageWordsCase& c = GetParam();
  Program program = program_for("server " + c.server + "\nusername alice\npassword " + PASSWORD + "\n");
  for (const char ch : c.body) on_body_chunk(const_cast<char*>(&ch), 1, 1, &program.body);
  FetchResult fetched;
  fetched.status = 200;
  fetched.body_size = c.body.size();
  const CheckReport report = explain(program, fetched);
  EXPECT_EQ(lines_with(report.text, "page"), "page: " + c.page_line + "\n") << report.text;
  EXPECT_EQ(report.status, CHECK_BANNER);
  EXPECT_EQ(report.text.find("all clear"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageWords,
    testing::Values(
        PageWordsCase{"index_card", CGI + "?", INDEX,
                      "no list of problems: the server's index card: remove the query from the server value"},
        PageWordsCase{"host_card", CGI + "?host=", wml_card("Host Status", "Up<br/>\n"),
                      "no list of problems: a host's card: remove the query from the server value"},
        PageWordsCase{"process_card", CGI + "?style=processinfo&x=", wml_card("Process Info", "pid 1<br/>\n"),
                      "no list of problems: the server's process card: remove the query from the server value"},
        PageWordsCase{"titled_card", "http://monitor.example", wml_card("Quick Look", "3 up<br/>\n"),
                      "no list of problems: the server's card \"Quick Look\": the status path must lead to "
                      "statuswml.cgi?style=uprobs"},
        PageWordsCase{"zero_byte", "http://monitor.example", wml_card("Problems", TABLES + std::string(1, '\0')),
                      "no status page: a zero byte at offset " +
                          std::to_string(wml_card("Problems", TABLES).find("</p>")) + " (counted from 0) of the body"},
        PageWordsCase{"row_without_host", "http://monitor.example",
                      wml_card("Problems", TABLES + "<table><tr><td>CRI</td><td>/Load</td></tr></table>\n"),
                      "no list of problems: 1 line carries a status token, but not one of them yields a host or "
                      "service name"},
        PageWordsCase{"status_cell_unread", "http://monitor.example",
                      wml_card("Problems", TABLES + "<table><td>CRI</td><td>#comments</td></table>\n"),
                      "not read whole: nothing to show, yet a table cell outside the rows holds a status token that "
                      "gave no problem: a calm screen would say more than the page"}),
    [](const auto& info) { return std::string(info.param.name); });

// A row of the list that holds a status but cannot be read: the list is
// drawn with the count, and the check lists the row where it stands, the
// password masked, control bytes visible.
TEST(UnreadRows, ListedWhereTheyStand) {
  const std::string row = "<tr><td>web1 " + PASSWORD + "\x1b</td><td>DWN</td><td>Load</td></tr>";
  const std::string body = wml_card("Problems", TABLES + row + "\n");
  Program program = program_for("server http://monitor.example\nusername alice\npassword " + PASSWORD + "\n");
  for (const char ch : body) on_body_chunk(const_cast<char*>(&ch), 1, 1, &program.body);
  FetchResult fetched;
  fetched.status = 200;
  fetched.body_size = body.size();
  const CheckReport report = explain(program, fetched);
  EXPECT_EQ(report.status, 2) << report.text;
  EXPECT_TRUE(report.text.starts_with("ORVEK CRITICAL - 1 unread")) << report.text;
  const std::size_t at = report.text.find("\nunread row at byte ");
  ASSERT_NE(at, std::string::npos) << report.text;
  const std::string listed = report.text.substr(at + 1, report.text.find('\n', at + 1) - at);
  EXPECT_EQ(listed, "unread row at byte " + std::to_string(body.find(row)) +
                        " (counted from 0): <tr><td>web1 ********^[</td><td>DWN</td><td>Load</td></tr>\n")
      << report.text;
  EXPECT_EQ(report.text.find(PASSWORD), std::string::npos);
}

}  // namespace
