#pragma once
// How -s was read, in words, for orvek -t: the interval is taken with
// strtoul and kept in 32 bits, so a typing slip gives no error, only a
// surprising pause.
#include <cstdint>
#include <string>

// "10 s (the default)", "0 s (-s five: not a number: no pause between
// fetches)", "1 s (-s 1min: text after the number ignored)"...
// written: the -s argument as given, or null when there was none.
std::string interval_words(const char* written, std::uint32_t seconds);

// Whether the interval leaves the wall without a pause between fetches, or
// never refreshes it.
bool interval_unsound(std::uint32_t seconds);
