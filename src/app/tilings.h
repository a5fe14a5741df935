#pragma once
// The periodic tilings by regular polygons that the generator knows: the 11 Archimedean
// tilings and the two-uniform ones whose cells are built in, each as one lattice cell, and
// the names users give them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One face of a cell, side 1, y axis up: its corner count, its centre and the direction
// (degrees, counterclockwise from +x) from the centre to one of its corners.
struct CellFace {
    int n = 0;
    double x = 0, y = 0;
    double cornerDeg = 0;
};

// A tiling as two translations a and b and the faces of one cell: every face of the tiling is
// exactly one of these moved by i*a + j*b.
struct TilingCell {
    std::string name; // as the standard list gives it: "3.4.6.4", "[3^3.4^2; 4^4]1"
    double ax = 0, ay = 0, bx = 0, by = 0;
    std::vector<CellFace> faces;
};

// Every built-in tiling, the Archimedean ones first.
const std::vector<TilingCell>& Tilings();

// The vertex types a name gives, each expanded and in canonical form ("3.3.4.3.4"), sorted,
// and its suffix (0 for none); nothing when the text is not a name of that form. Accepts
// either exponent form, any rotation or reflection of a type, either order of the types, and
// spaces anywhere: "[3.4^2.6 ; 4.6.4.3]" gives {"3.4.4.6", "3.4.6.4"}, 0.
struct TilingKey {
    std::vector<std::string> types;
    int suffix = 0;
    bool operator==(const TilingKey&) const = default;
};
std::optional<TilingKey> ParseTilingName(std::string_view text);

// The built-in tiling a user's name means; nothing for an unknown name, a name that is not
// one at all, or one that needs its suffix 1 or 2 and lacks it (then `needsSuffix` is set).
const TilingCell* FindTiling(std::string_view text, bool* needsSuffix = nullptr);

} // namespace quillet
