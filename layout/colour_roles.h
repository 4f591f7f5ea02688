#pragma once
// What each colour on the screen means, and the curses colour pair that
// shows it. The one place where roles meet pair numbers and colours: the
// painter defines the pairs from this table, and everything else names roles.
#include <array>

enum ColourRole : unsigned char {
  TEXT_ROLE,         // the background's own colours: service names
  HOST_ROLE,         // a host with service problems
  WARNING_ROLE,      // "WARNING"
  CRITICAL_ROLE,     // "CRITICAL"
  UNKNOWN_ROLE,      // "UNKNOWN"
  UNREACHABLE_ROLE,  // an UNREACHABLE host
  NORMAL_ROLE,       // the screen's background while all hosts are up
  DOWN_HOST_ROLE,    // a DOWN host
  ALARM_ROLE,        // the screen's background while a host is DOWN or UNREACHABLE
  BANNER_ROLE,       // " No connection to server! ", and a failing server's header
  SERVER_ROLE,       // a server's header, when several share the screen
  // A failing server's header and its name in -u's last row while the
  // screen is red, where the banner's own colours would not stand out.
  FAILING_SERVER_ALARM_ROLE,
  FRESH_AGE_ROLE,  // the age of a problem younger than fresh
  ROLE_COUNT
};

// Curses' standard colour numbers.
inline constexpr short BLACK = 0, RED = 1, GREEN = 2, YELLOW = 3, BLUE = 4, MAGENTA = 5, CYAN = 6, WHITE = 7;

struct ColourPair {
  short pair;  // 0: no pair of its own
  short foreground;
  short background;
};

inline constexpr std::array<ColourPair, ROLE_COUNT> ROLE_PAIRS = {{
    /* TEXT_ROLE */ {0, -1, -1},
    /* HOST_ROLE */ {1, BLACK, GREEN},
    /* WARNING_ROLE */ {2, BLACK, YELLOW},
    /* CRITICAL_ROLE */ {3, BLACK, RED},
    /* UNKNOWN_ROLE */ {4, BLACK, MAGENTA},
    /* UNREACHABLE_ROLE */ {4, BLACK, MAGENTA},
    /* NORMAL_ROLE */ {5, WHITE, BLACK},
    /* DOWN_HOST_ROLE */ {6, BLACK, WHITE},
    /* ALARM_ROLE */ {7, WHITE, RED},
    /* BANNER_ROLE */ {7, WHITE, RED},
    /* SERVER_ROLE */ {8, WHITE, BLUE},
    /* FAILING_SERVER_ALARM_ROLE */ {6, BLACK, WHITE},
    /* FRESH_AGE_ROLE */ {9, BLACK, CYAN},
}};

inline constexpr int PAIR_COUNT = 9;

inline constexpr short colour_pair(ColourRole role) { return ROLE_PAIRS[role].pair; }

// Roles that share a pair must agree on its colours, and pairs 1 to PAIR_COUNT must
// all be defined.
consteval bool role_pairs_agree() {
  for (const ColourPair& a : ROLE_PAIRS)
    for (const ColourPair& b : ROLE_PAIRS)
      if (a.pair == b.pair && (a.foreground != b.foreground || a.background != b.background)) return false;
  for (short pair = 1; pair <= PAIR_COUNT; ++pair) {
    bool defined = false;
    for (const ColourPair& a : ROLE_PAIRS) defined = defined || a.pair == pair;
    if (!defined) return false;
  }
  return true;
}
static_assert(role_pairs_agree());
