#pragma once
// The analysis as `quillet-tool info` prints it: a short text for people, JSON for programs.

#include "analysis/analysis.h"

#include <string>

namespace quillet::analysis {

// How many of each kind of detail the text lists before it says how many more there are.
inline constexpr int TEXT_DETAILS = 5;

std::string InfoText(const Analysis& analysis, const std::string& file);

// Every detail; the keys are stable (docs/quillet-tool-info.md).
std::string InfoJson(const Analysis& analysis, const std::string& file);

} // namespace quillet::analysis
