// The radiotext that the bytes of a now-playing file make: its first line, in the
// system's 8-bit code page, without control characters, at most one radiotext long.
#pragma once

#include <cstddef>
#include <string>

// The radiotext's length in characters of the 8-bit code page.
constexpr std::size_t NowPlayingTextLength = 64;

// Text in UTF-8 (with or without a byte-order mark) or UTF-16LE with its mark is
// converted to codePage, a character it lacks becoming "?"; bytes that are no valid
// UTF-8 are taken as text of codePage already.
std::string NowPlayingText(const std::string& bytes, unsigned codePage);
