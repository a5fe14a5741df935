#include "analysis/arrangement.h"

#include <CGAL/Arr_consolidated_curve_data_traits_2.h>
#include <CGAL/Arr_extended_dcel.h>
#include <CGAL/Arr_segment_traits_2.h>
#include <CGAL/Arrangement_2.h>
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_2_algorithms.h>

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace quillet::analysis::detail {

namespace {

using Kernel = CGAL::Exact_predicates_exact_constructions_kernel;
using Point = Kernel::Point_2;
using SegmentTraits = CGAL::Arr_segment_traits_2<Kernel>;
// Every edge knows the pieces it belongs to; pieces that overlap share their edges.
using Traits = CGAL::Arr_consolidated_curve_data_traits_2<SegmentTraits, int>;
// Vertex: index into `vertices`; halfedge: its place in its face's outer ring (-1 on holes);
// face: index into `faces` (-1 unbounded).
using Dcel = CGAL::Arr_extended_dcel<Traits, int, int, int>;
using Arr = CGAL::Arrangement_2<Traits, Dcel>;
using Halfedge = Arr::Halfedge_const_handle;

udtPoint ToPoint(const Point& p) {
    return {CGAL::to_double(p.x()), CGAL::to_double(p.y())};
}

bool LeftToRight(udtPoint a, udtPoint b) {
    return a.X < b.X || (a.X == b.X && a.Y < b.Y);
}

std::uint64_t PairKey(int g, int h) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(g)) << 32) |
           static_cast<std::uint32_t>(h);
}

} // namespace

struct Arrangement::Impl {
    Arr arr;
    std::vector<int> pieceGroup;
    std::vector<std::vector<int>> groupPieces;
    // Per piece, its edges walked from `from` to `to`.
    std::vector<std::vector<Halfedge>> pieceHalfedges;
};

Arrangement::Arrangement(const std::vector<udtPoint>& corners, const std::vector<Piece>& pieces)
    : impl_(std::make_unique<Impl>()) {
    Arr& arr = impl_->arr;
    std::vector<Point> points;
    points.reserve(corners.size());
    for (const udtPoint& c : corners) {
        points.emplace_back(c.X, c.Y);
    }
    std::vector<Traits::Curve_2> curves;
    curves.reserve(pieces.size());
    std::vector<bool> pieceLeftToRight;
    int groups = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        curves.emplace_back(Kernel::Segment_2(points[static_cast<std::size_t>(p.from)],
                                              points[static_cast<std::size_t>(p.to)]),
                            static_cast<int>(i));
        pieceLeftToRight.push_back(LeftToRight(corners[static_cast<std::size_t>(p.from)],
                                               corners[static_cast<std::size_t>(p.to)]));
        impl_->pieceGroup.push_back(p.group);
        groups = std::max(groups, p.group + 1);
    }
    impl_->groupPieces.resize(static_cast<std::size_t>(groups));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        impl_->groupPieces[static_cast<std::size_t>(pieces[i].group)].push_back(
            static_cast<int>(i));
    }
    CGAL::insert(arr, curves.begin(), curves.end());

    impl_->pieceHalfedges.resize(pieces.size());
    for (auto e = arr.edges_begin(); e != arr.edges_end(); ++e) {
        e->set_data(-1);
        e->twin()->set_data(-1);
    }

    // Faces: number the bounded ones, walk their outer rings and holes.
    for (auto f = arr.faces_begin(); f != arr.faces_end(); ++f) {
        if (f->is_unbounded()) {
            f->set_data(-1);
            continue;
        }
        f->set_data(static_cast<int>(faces.size()));
        ArrFace face;
        auto h = f->outer_ccb();
        const auto first = h;
        int at = 0;
        do {
            face.outer.push_back(ToPoint(h->target()->point()));
            h->set_data(at++);
        } while (++h != first);
        for (auto hole = f->holes_begin(); hole != f->holes_end(); ++hole) {
            std::vector<udtPoint> ring;
            auto g = *hole;
            const auto start = g;
            do {
                ring.push_back(ToPoint(g->target()->point()));
            } while (++g != start);
            face.holes.push_back(std::move(ring));
        }
        faces.push_back(std::move(face));
    }

    std::unordered_set<std::uint64_t> met;
    auto meet = [&](int g, int h, udtPoint at, bool overlap) {
        if (g > h) {
            std::swap(g, h);
        }
        if (met.insert(PairKey(g, h)).second) {
            meetings.push_back({g, h, at, overlap});
        }
    };

    // Edges: which way each piece runs along them; pieces of different lines on one edge
    // overlap.
    std::vector<int> groupsHere;
    for (auto e = arr.edges_begin(); e != arr.edges_end(); ++e) {
        const bool edgeLeftToRight = e->direction() == CGAL::ARR_LEFT_TO_RIGHT;
        groupsHere.clear();
        for (const int piece : e->curve().data()) {
            const auto p = static_cast<std::size_t>(piece);
            impl_->pieceHalfedges[p].push_back(
                edgeLeftToRight == pieceLeftToRight[p] ? Halfedge(e) : Halfedge(e->twin()));
            groupsHere.push_back(impl_->pieceGroup[p]);
        }
        std::sort(groupsHere.begin(), groupsHere.end());
        groupsHere.erase(std::unique(groupsHere.begin(), groupsHere.end()), groupsHere.end());
        if (groupsHere.size() > 1) {
            const udtPoint s = ToPoint(e->source()->point());
            const udtPoint t = ToPoint(e->target()->point());
            const udtPoint mid{(s.X + t.X) / 2, (s.Y + t.Y) / 2};
            for (std::size_t i = 0; i < groupsHere.size(); ++i) {
                for (std::size_t j = i + 1; j < groupsHere.size(); ++j) {
                    meet(groupsHere[i], groupsHere[j], mid, true);
                }
            }
        }
    }

    // Vertices: the sectors round each, the corner it stands for, and the lines that cross
    // there. A line with two edges here passes through; one with one edge ends here.
    std::vector<std::pair<int, std::vector<int>>> groupEdges; // line, its edges' places here
    std::vector<std::pair<int, int>> pieceCount;              // piece, its edges here
    auto add = [](auto& list, int item, auto value) {
        auto it = std::find_if(list.begin(), list.end(),
                               [item](const auto& entry) { return entry.first == item; });
        if (it == list.end()) {
            list.emplace_back(item, decltype(it->second){});
            it = list.end() - 1;
        }
        value(it->second);
    };
    for (auto v = arr.vertices_begin(); v != arr.vertices_end(); ++v) {
        if (v->is_isolated()) {
            v->set_data(-1);
            continue;
        }
        v->set_data(static_cast<int>(vertices.size()));
        ArrVertex vertex;
        vertex.at = ToPoint(v->point());
        groupEdges.clear();
        pieceCount.clear();
        auto h = v->incident_halfedges();
        const auto first = h;
        int place = 0;
        do {
            vertex.sectors.push_back({h->face()->data(), h->data()});
            for (const int piece : h->curve().data()) {
                add(pieceCount, piece, [](int& n) { ++n; });
                add(groupEdges, impl_->pieceGroup[static_cast<std::size_t>(piece)],
                    [place](std::vector<int>& places) {
                        if (places.empty() || places.back() != place) {
                            places.push_back(place);
                        }
                    });
            }
            ++place;
        } while (++h != first);
        // A piece with one edge here ends here, at one of its corners.
        for (const auto& [piece, edges] : pieceCount) {
            if (edges == 1) {
                const Piece& p = pieces[static_cast<std::size_t>(piece)];
                vertex.corner =
                    v->point() == points[static_cast<std::size_t>(p.from)] ? p.from : p.to;
                break;
            }
        }
        for (std::size_t i = 0; i < groupEdges.size(); ++i) {
            const auto& [g, gPlaces] = groupEdges[i];
            if (gPlaces.size() != 2) {
                continue;
            }
            // A line passing through splits the edges here in two; with edges on both
            // sides it crosses every line that ends here, not just touches it.
            const int between = gPlaces[1] - gPlaces[0] - 1;
            const bool through = between > 0 && place - 2 - between > 0;
            for (std::size_t j = 0; j < groupEdges.size(); ++j) {
                const auto& [other, oPlaces] = groupEdges[j];
                const bool sharesEdge =
                    std::find_first_of(oPlaces.begin(), oPlaces.end(), gPlaces.begin(),
                                       gPlaces.end()) != oPlaces.end();
                if (j == i || sharesEdge) {
                    continue;
                }
                if (oPlaces.size() == 2 ? j > i : through) {
                    meet(g, other, vertex.at, false);
                }
            }
        }
        vertices.push_back(std::move(vertex));
    }
}

Arrangement::~Arrangement() = default;

bool Arrangement::ForEachFaceInside(const std::vector<PathSide>& path,
                                    const std::function<bool(int face)>& visit) const {
    std::unordered_set<const void*> wall;
    std::vector<Arr::Face_const_handle> todo;
    for (const PathSide& side : path) {
        for (const int piece : impl_->groupPieces[static_cast<std::size_t>(side.group)]) {
            for (Halfedge h : impl_->pieceHalfedges[static_cast<std::size_t>(piece)]) {
                const Halfedge inner = side.forward ? h : h->twin();
                wall.insert(&*inner);
                todo.push_back(inner->face());
            }
        }
    }
    std::unordered_set<int> seen;
    while (!todo.empty()) {
        const auto f = todo.back();
        todo.pop_back();
        if (f->is_unbounded()) {
            return false;
        }
        if (!seen.insert(f->data()).second) {
            continue;
        }
        if (!visit(f->data())) {
            return true;
        }
        auto cross = [&](Arr::Ccb_halfedge_const_circulator first) {
            auto h = first;
            do {
                if (wall.count(&*h) == 0) {
                    todo.push_back(h->twin()->face());
                }
            } while (++h != first);
        };
        cross(f->outer_ccb());
        for (auto hole = f->holes_begin(); hole != f->holes_end(); ++hole) {
            cross(*hole);
        }
    }
    return true;
}

bool SegmentMeetsBox(const udtLine& line, const Box& box) {
    const Kernel::Iso_rectangle_2 rect(Point(box.minX, box.minY), Point(box.maxX, box.maxY));
    const Point a(line.X1, line.Y1);
    const Point b(line.X2, line.Y2);
    if (line.X1 == line.X2 && line.Y1 == line.Y2) {
        return !rect.has_on_unbounded_side(a);
    }
    return CGAL::do_intersect(Kernel::Segment_2(a, b), rect);
}

Where Locate(const std::vector<udtPoint>& ring, udtPoint point) {
    using Inexact = CGAL::Exact_predicates_inexact_constructions_kernel;
    // Reused: the exporter asks about every pixel.
    thread_local std::vector<Inexact::Point_2> points;
    points.clear();
    for (const udtPoint& p : ring) {
        points.emplace_back(p.X, p.Y);
    }
    switch (CGAL::bounded_side_2(points.begin(), points.end(), Inexact::Point_2(point.X, point.Y),
                                 Inexact())) {
    case CGAL::ON_BOUNDED_SIDE:
        return Where::Inside;
    case CGAL::ON_BOUNDARY:
        return Where::OnBoundary;
    default:
        return Where::Outside;
    }
}

} // namespace quillet::analysis::detail
