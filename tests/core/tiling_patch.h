#pragma once
// Patches of the tilings users draw most (3.4.6.4, 4.8.8, 3.12.12), built by clicks as a user
// builds them: every polygon on a side of one already drawn, its corners snapped to, a click
// beside the side, every face then coloured. The faces come from the tilings' lattices, not
// from the program.

#include "scripted_platform.h"

#include <cmath>
#include <deque>
#include <string>
#include <vector>

namespace quillet::testing {

struct TilingFace {
    udtPoint centre;
    int n;
};

struct Tiling {
    std::string name;
    // Faces of one cell of the lattice spanned by u and v, relative to the cell's origin.
    double ux, uy, vx, vy;
    std::vector<TilingFace> cell;
};

// Side s: the lattices of the three tilings, each face placed by its centre.
inline std::vector<Tiling> Tilings(double s) {
    const double r3 = std::sqrt(3.0), r2 = std::sqrt(2.0);
    std::vector<Tiling> all;
    { // octagons on a square lattice, squares in the holes
        const double L = s * (1 + r2);
        all.push_back({"4.8.8", L, 0, 0, L, {{{0, 0}, 8}, {{L / 2, L / 2}, 4}}});
    }
    { // dodecagons on a triangular lattice, triangles in the holes
        const double D = s * (2 + r3);
        const double ux = D, vx = D / 2, vy = D * r3 / 2;
        all.push_back(
            {"3.12.12",
             ux,
             0,
             vx,
             vy,
             {{{0, 0}, 12}, {{(ux + vx) / 3, vy / 3}, 3}, {{2 * (ux + vx) / 3, 2 * vy / 3}, 3}}});
    }
    { // hexagons on a triangular lattice, squares on its edges, triangles in its holes
        const double D = s * (1 + r3);
        const double ux = D, vx = D / 2, vy = D * r3 / 2;
        all.push_back({"3.4.6.4",
                       ux,
                       0,
                       vx,
                       vy,
                       {{{0, 0}, 6},
                        {{ux / 2, 0}, 4},
                        {{vx / 2, vy / 2}, 4},
                        {{(ux + vx) / 2, vy / 2}, 4},
                        {{(ux + vx) / 3, vy / 3}, 3},
                        {{2 * (ux + vx) / 3, 2 * vy / 3}, 3}}});
    }
    return all;
}

inline double Apothem(int n, double s) {
    return s / (2 * std::tan(3.14159265358979323846 / n));
}
inline double Circumradius(int n, double s) {
    return s / (2 * std::sin(3.14159265358979323846 / n));
}

// The faces of the tiling that lie wholly inside the box, the lattice's origin at `origin`.
inline std::vector<TilingFace> FacesIn(const Tiling& t, double s, udtPoint origin, double left,
                                       double top, double right, double bottom) {
    std::vector<TilingFace> faces;
    for (int i = -40; i <= 40; ++i) {
        for (int j = -40; j <= 40; ++j) {
            for (const TilingFace& f : t.cell) {
                const udtPoint c{origin.X + i * t.ux + j * t.vx + f.centre.X,
                                 origin.Y + i * t.uy + j * t.vy + f.centre.Y};
                const double r = Circumradius(f.n, s);
                if (c.X - r >= left && c.X + r <= right && c.Y - r >= top && c.Y + r <= bottom) {
                    faces.push_back({c, f.n});
                }
            }
        }
    }
    return faces;
}

// The side two neighbouring faces share: its midpoint lies on the line between their centres.
inline bool SharedSide(const TilingFace& a, const TilingFace& b, double s, udtPoint& e1,
                       udtPoint& e2) {
    const double dx = b.centre.X - a.centre.X, dy = b.centre.Y - a.centre.Y;
    const double d = std::hypot(dx, dy);
    if (std::fabs(d - Apothem(a.n, s) - Apothem(b.n, s)) > 1e-6 * s) {
        return false;
    }
    const double ux = dx / d, uy = dy / d, m = Apothem(a.n, s);
    const udtPoint mid{a.centre.X + m * ux, a.centre.Y + m * uy};
    e1 = {mid.X - uy * s / 2, mid.Y + ux * s / 2};
    e2 = {mid.X + uy * s / 2, mid.Y - ux * s / 2};
    return true;
}

// Builds the faces by clicks, each on a side shared with one built before, starting with the
// face nearest `start`; returns the faces in the order built (faces that never touch a built
// one are left out).
inline std::vector<TilingFace> BuildByClicks(Form& f, const std::vector<TilingFace>& faces,
                                             double s, udtPoint start) {
    std::vector<bool> built(faces.size(), false);
    std::size_t first = 0;
    for (std::size_t i = 1; i < faces.size(); ++i) {
        if (std::hypot(faces[i].centre.X - start.X, faces[i].centre.Y - start.Y) <
            std::hypot(faces[first].centre.X - start.X, faces[first].centre.Y - start.Y)) {
            first = i;
        }
    }
    std::vector<TilingFace> order;
    std::deque<std::pair<std::size_t, std::size_t>> queue; // face, built neighbour
    auto build = [&](std::size_t i, udtPoint e1, udtPoint e2) {
        f.form.ctl.txtNumCorners = std::to_string(faces[i].n);
        f.ClickAt(e1.X, e1.Y);
        f.ClickAt(e2.X, e2.Y);
        f.ClickAt(faces[i].centre.X, faces[i].centre.Y);
        built[i] = true;
        order.push_back(faces[i]);
        for (std::size_t j = 0; j < faces.size(); ++j) {
            udtPoint a, b;
            if (!built[j] && SharedSide(faces[j], faces[i], s, a, b)) {
                queue.push_back({j, i});
            }
        }
    };
    // The first side anywhere on the first face: towards any neighbour it has.
    for (std::size_t j = 0; j < faces.size(); ++j) {
        udtPoint a, b;
        if (j != first && SharedSide(faces[first], faces[j], s, a, b)) {
            build(first, a, b);
            break;
        }
    }
    while (!queue.empty()) {
        auto [i, from] = queue.front();
        queue.pop_front();
        udtPoint a, b;
        if (!built[i] && SharedSide(faces[i], faces[from], s, a, b)) {
            build(i, a, b);
        }
    }
    return order;
}

// Every face coloured at its centre, the colour chosen by its number of corners.
inline void FillFaces(Form& f, const std::vector<TilingFace>& faces) {
    f.form.SetFillValue(1);
    for (const TilingFace& face : faces) {
        f.form.picSelColor_Click(face.n % 16);
        f.form.picMain_MouseMove(0, 0, static_cast<float>(face.centre.X),
                                 static_cast<float>(face.centre.Y));
        f.form.picMain_Click();
    }
    f.form.SetFillValue(0);
}

} // namespace quillet::testing
