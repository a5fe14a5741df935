#pragma once
// The analysis as `quillet-tool info` prints it: a short text for people, JSON for programs.

#include "analysis/analysis.h"

#include <string>
#include <string_view>

namespace quillet::analysis {

// How many of each kind of detail the text lists before it says how many more there are.
inline constexpr int TEXT_DETAILS = 5;

std::string InfoText(const Analysis& analysis, const std::string& file);

// Every detail; the keys are stable (docs/quillet-tool-info.md).
std::string InfoJson(const Analysis& analysis, const std::string& file);

// A JSON string of any bytes: control characters, '"', '\\' and bytes that are not UTF-8
// escaped (a stray byte b as \u00bb), UTF-8 kept.
std::string JsonString(std::string_view bytes);

// A JSON number that reads back to the same double; null for infinities and NaN.
std::string JsonNumber(double value);

} // namespace quillet::analysis
