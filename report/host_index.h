#pragma once
// The indexes that keep the report pass linear: the hosts that may get a
// service scan, numbered without regard to case; which of them lie inside a
// DOWN or UNREACHABLE host's name; and each host's service lines.
//
// Done naively, each group scans the whole table for its key
// "value='<host>'/>" and each host is compared with every DOWN host, which is
// quadratic and far too slow for the page of a mass outage. Here every line
// is read a fixed number of times.
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/stop_flag.h"
#include "report/problem_lines.h"

inline constexpr std::uint32_t NO_HOST = UINT32_MAX;

struct HostTable {
  std::vector<std::string_view> names;  // the first spelling met
  // By keyed_folded_hash of the name (common/keyed_hash.h), which the page
  // cannot steer: names that hash alike are the same name but for case.
  std::unordered_multimap<std::uint64_t, std::uint32_t> by_hash;
  std::vector<bool> has_length;  // has_length[n]: some host is n characters long

  // The number of the host spelled text without regard to case, or NO_HOST;
  // hash is keyed_folded_hash(text).
  std::uint32_t find(std::string_view text, std::uint64_t hash) const;
  // The host's number, new or known.
  std::uint32_t insert(std::string_view text);
};

// For each host, whether its name lies inside some DOWN or UNREACHABLE
// host's name, without regard to case. When *stop turns non-zero the
// answer is left unfinished, for the caller to throw away.
std::vector<bool> hosts_inside(const HostTable& hosts, const std::vector<std::string_view>& down_hosts,
                               StopFlag stop = nullptr);
// The three ways hosts_inside chooses between by their cost: every window of
// the DOWN names looked up per host length; one automaton over the hosts;
// or each host walked through the suffix automaton of the DOWN names.
std::vector<bool> hosts_inside_by_windows(const HostTable& hosts, const std::vector<std::string_view>& down_hosts);
std::vector<bool> hosts_inside_by_automaton(const HostTable& hosts, const std::vector<std::string_view>& down_hosts);
std::vector<bool> hosts_inside_by_suffixes(const HostTable& hosts, const std::vector<std::string_view>& down_hosts);

// The service lines of each host, in table order.
struct ServiceIndex {
  std::vector<std::uint32_t> start;  // lines of host g: line[start[g] .. start[g + 1])
  std::vector<std::uint32_t> line;
};

// The index of (host, line) pairs given in line order.
ServiceIndex index_by_host(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& filed, std::size_t host_count);

// The index of the service lines that read[l] allows: a line belongs to a
// host when it holds "value='<host>'/>" without regard to case. When *stop
// turns non-zero the index is left unfinished, for the caller to throw away.
ServiceIndex index_service_lines(const std::vector<ProblemLine>& lines, const std::vector<bool>& read,
                                 const HostTable& hosts, StopFlag stop = nullptr);
