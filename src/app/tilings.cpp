#include "app/tilings.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace quillet {

const std::vector<TilingCell>& Tilings() {
    static const std::vector<TilingCell> cells = [] {
        const double r2 = std::sqrt(2.0), r3 = std::sqrt(3.0);
        // The two-uniform cells arrive as files of rows; a build without them still knows
        // the Archimedean tilings.
        return std::vector<TilingCell> {
#include "app/archimedean.inc"
#if __has_include("app/two_uniform_a.inc")
#include "app/two_uniform_a.inc"
#endif
#if __has_include("app/two_uniform_b.inc")
#include "app/two_uniform_b.inc"
#endif
        };
    }();
    return cells;
}

namespace {

// Far more than a corner of a tiling by regular polygons can have (six triangles), but
// bounded, so that "3^999999" is refused rather than expanded.
constexpr std::size_t MOST_AROUND = 12;

std::optional<int> ParseCount(std::string_view digits) {
    if (digits.empty() || digits.size() > 3) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// "3^2.4.3.4" as "3.3.4.3.4", the smallest of its rotations and reflections.
std::optional<std::string> CanonicalType(std::string_view text) {
    std::vector<int> around;
    while (true) {
        const std::size_t dot = text.find('.');
        const std::string_view token = text.substr(0, dot);
        const std::size_t caret = token.find('^');
        const std::optional<int> n = ParseCount(token.substr(0, caret));
        const std::optional<int> times =
            caret == std::string_view::npos ? 1 : ParseCount(token.substr(caret + 1));
        if (!n || !times || *n < 3 || *times < 1 ||
            around.size() + static_cast<std::size_t>(*times) > MOST_AROUND) {
            return std::nullopt;
        }
        around.insert(around.end(), static_cast<std::size_t>(*times), *n);
        if (dot == std::string_view::npos) {
            break;
        }
        text.remove_prefix(dot + 1);
    }
    std::vector<int> best = around;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t k = 0; k < around.size(); ++k) {
            std::rotate(around.begin(), around.begin() + 1, around.end());
            best = std::min(best, around);
        }
        std::reverse(around.begin(), around.end());
    }
    std::string joined;
    for (int n : best) {
        joined += (joined.empty() ? "" : ".") + std::to_string(n);
    }
    return joined;
}

} // namespace

std::optional<TilingKey> ParseTilingName(std::string_view text) {
    std::string compact;
    for (char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            compact += c;
        }
    }
    std::string_view rest = compact;
    TilingKey key;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view suffix = rest.substr(close + 1);
        if (suffix == "1" || suffix == "2") {
            key.suffix = suffix[0] - '0';
        } else if (!suffix.empty()) {
            return std::nullopt;
        }
        rest = rest.substr(1, close - 1);
    }
    while (true) {
        const std::size_t semicolon = rest.find(';');
        const std::optional<std::string> type = CanonicalType(rest.substr(0, semicolon));
        if (!type || key.types.size() == 2) {
            return std::nullopt;
        }
        key.types.push_back(*type);
        if (semicolon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(semicolon + 1);
    }
    std::sort(key.types.begin(), key.types.end());
    return key;
}

const TilingCell* FindTiling(std::string_view text, bool* needsSuffix) {
    if (needsSuffix != nullptr) {
        *needsSuffix = false;
    }
    const std::optional<TilingKey> wanted = ParseTilingName(text);
    if (!wanted) {
        return nullptr;
    }
    for (const TilingCell& cell : Tilings()) {
        const std::optional<TilingKey> key = ParseTilingName(cell.name);
        if (!key) {
            continue;
        }
        if (*key == *wanted) {
            return &cell;
        }
        if (wanted->suffix == 0 && key->types == wanted->types && needsSuffix != nullptr) {
            *needsSuffix = true;
        }
    }
    return nullptr;
}

} // namespace quillet
