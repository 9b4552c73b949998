#pragma once

#include "platform/dir_search.h"
#include "platform/local_time.h"

#include <compare>
#include <string>
#include <string_view>

namespace core {

// The fixed texts of count mode, the same in every locale: the date as "yyyymmdd" and the time as
// "hhmmss" on the 24-hour clock. They are plain functions, so formatting them changes nothing of
// the locale's formats that age mode and the log use. A year outside 0..9999 is written with all
// its digits (and its sign).
void appendKeyDate(std::string &out, const platform::LocalTime &time);
void appendKeyTime(std::string &out, const platform::LocalTime &time);

// The sort key of a file: "yyyymmdd", "hhmmss", ":" and the name, e.g.
// «20170203140508:backup.zip». Count mode lists files in the order of these keys, except that a
// file whose time is unknown (platform::kUnknownTime) counts as newer than every other.
std::string MakeSortKey(const platform::FileEntry &entry);

// The order of sort keys: ASCII letters compare as lower case (so "_" sorts before letters), every
// other byte by its value; keys that are still equal then compare by their bytes, so two names
// differing only in case («A.txt», «a.txt») still have a fixed order.
std::strong_ordering compareSortKeys(std::string_view left, std::string_view right);

// The 14 digits "yyyymmddhhmmss" read as one number, which orders times exactly as their texts
// do; kNoTimeNumber when the year has no four-digit text, and kUnknownTimeNumber, above every
// other, for an unknown time.
inline constexpr std::uint64_t kNoTimeNumber = UINT64_MAX;
inline constexpr std::uint64_t kUnknownTimeNumber = UINT64_MAX - 1;
std::uint64_t keyTimeNumber(const platform::LocalTime &time);

} // namespace core
