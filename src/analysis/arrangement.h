#pragma once
// The exact geometry under the analysis: the arrangement of the drawing's lines, segment and
// point tests. CGAL's templates take long to build, so they live in one translation unit;
// nothing here names a CGAL type.

#include "analysis/analysis.h"

#include <functional>
#include <memory>
#include <vector>

namespace quillet::analysis::detail {

// A line, or the part of one between two corners that lie on it, from corner `from` to corner
// `to` (indices into the corners given to the arrangement).
struct Piece {
    int from = 0, to = 0;
    int group = 0; // the line it is part of
};

struct ArrFace {
    std::vector<udtPoint> outer; // every vertex going round, counter-clockwise as x, y go
    std::vector<std::vector<udtPoint>> holes;
};

// The face met in one sector round a vertex, and where the vertex stands in its outer ring.
struct ArrSector {
    int face = -1; // -1 for the unbounded face
    int at = -1;   // index into the face's outer ring; -1 on the boundary of a hole
};

struct ArrVertex {
    udtPoint at;
    int corner = -1; // the corner given, or -1 where lines cross between corners
    std::vector<ArrSector> sectors;
};

// Two lines (groups) that cross or overlap other than at an end of both.
struct Meeting {
    int g = 0, h = 0; // g < h
    udtPoint at;
    bool overlap = false;
};

// One side of a closed path along lines: the line, and whether it is walked from its first
// piece's `from` corner (forward) or the other way.
struct PathSide {
    int group = 0;
    bool forward = true;
};

class Arrangement {
  public:
    Arrangement(const std::vector<udtPoint>& corners, const std::vector<Piece>& pieces);
    ~Arrangement();
    Arrangement(const Arrangement&) = delete;
    Arrangement& operator=(const Arrangement&) = delete;

    std::vector<ArrFace> faces; // the bounded faces
    std::vector<ArrVertex> vertices;
    std::vector<Meeting> meetings;

    // Visits the faces inside a closed path turning counter-clockwise (as x, y go), until
    // `visit` returns false. Returns false when the inside reaches the unbounded face.
    bool ForEachFaceInside(const std::vector<PathSide>& path,
                           const std::function<bool(int face)>& visit) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether the segment meets the closed box, exactly.
bool SegmentMeetsBox(const udtLine& line, const Box& box);

enum class Where { Inside, OnBoundary, Outside };

// Where the point lies with respect to the closed ring of points, exactly.
Where Locate(const std::vector<udtPoint>& ring, udtPoint point);

} // namespace quillet::analysis::detail
