#pragma once
// What a drawing is made of, beyond its points and lines: the closed regions its lines form,
// the regular polygons among them, how they meet at each corner, and where the drawing has
// drifted (corners that differ only in their last bits) or overlaps itself.

#include "app/controls.h"
#include "drawing/drawing_state.h"
#include "project/project_format.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillet::analysis {

// Corners closer than this (in canvas pixels) are one corner; lines whose ends are that close
// are one line. Snapping joins corners exactly, so anything this close was meant to be joined.
inline constexpr double DRIFT_TOLERANCE = 1e-6;

// A face is a regular polygon when each side differs from the mean side by at most this
// fraction of it, and each turn from one side to the next from 360/n degrees by at most this
// many radians; both widened by what moving corners by the drift tolerance can change.
// Corners computed with sines and cosines agree to about 1e-13 of the size; a polygon drawn
// off by hand is off by far more.
inline constexpr double REGULAR_TOLERANCE = 1e-6;

// Interior angles at a corner adding up to more than 360 degrees by this much (in degrees)
// mean that polygons overlap there; sums of exact tilings differ from 360 by rounding only.
inline constexpr double ANGLE_SUM_TOLERANCE = 1e-6;

// Lines with an end farther than this from the origin (in either coordinate), or not finite,
// are left out of the faces, corners and crossings. The exact kernel's interval filters build
// an intersection from products of three coordinate differences; at 1e103 those exceed the
// largest double, and CGAL's sweep fails on the overflowed intervals. 1e100 keeps a margin of
// 1000 in each coordinate below that while leaving the window's canvas, 581 by 493 pixels,
// some 1e97 times over.
inline constexpr double MAX_COORDINATE = 1e100;

// What the analysis may spend before it refuses to find faces, corners and crossings: an answer
// within 10 s and 1 GB on a 2-core machine for any file the window opens.
struct Budget {
    // Pairs of line pieces that may meet (cross, overlap or touch between their ends), counted
    // before the arrangement is built: each costs the exact arrangement a vertex or a shared
    // edge, some 1.5 kB and, on a loaded 2-core machine, up to 70 us: 100,000 take 0.15 GB
    // and some 7 s.
    long long meetings = 100'000;
    double seconds = 8; // the rest of the work, checked in its loops
};

// Lists longer than this keep their first entries; the totals say how many there are.
inline constexpr std::size_t LISTED = 1000;

// The canvas the window shows; geometry outside it is kept but not seen.
inline constexpr int CANVAS_WIDTH = quillet::CANVAS_WIDTH;
inline constexpr int CANVAS_HEIGHT = quillet::CANVAS_HEIGHT;

struct Box {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Two stored points (1-based numbers, a < b) that differ, by at most the tolerance.
struct NearPoints {
    int a = 0, b = 0;
    double distance = 0;
};

// Two stored lines (1-based, a < b) that are not equal but whose ends coincide within the
// tolerance (in either direction).
struct NearLines {
    int a = 0, b = 0;
    double distance = 0; // the farther apart of the two pairs of ends
};

// A closed region of the line arrangement, after merging corners within the tolerance.
struct Face {
    // Its corners going round it (corners where its boundary turns; straight-through vertices
    // left out), in the canvas's coordinates.
    std::vector<udtPoint> corners;
    bool regular = false; // all sides and all angles equal within the tolerance
    double area = 0;      // inside the outer boundary, less its holes
    int holes = 0;        // separate groups of lines inside it; a face with holes is not regular
};

// A corner of the arrangement and the faces met going round it.
struct Corner {
    udtPoint at;
    // Corner counts of the faces met going round the corner (0 for a sector that is not a
    // bounded face, e.g. the outside, for a face that is not a regular polygon, and for a face
    // whose side goes straight through here), in order.
    std::vector<int> around;
    // Every sector is a regular polygon: then `configuration` is its vertex configuration in
    // canonical form (e.g. "3.4.6.4"), and `angleSum` the sum of their interior angles.
    bool surrounded = false;
    std::string configuration;
    double angleSum = 0; // degrees, over the regular faces at the corner
    // Degrees, over the regular polygons drawn with a corner here, found in the lines whether
    // or not other lines cut through them. Faces never overlap, so only this sum can show
    // polygons drawn over each other: above 360 degrees they overlap.
    double polygonAngleSum = 0;
};

// Two stored lines (1-based, a < b) that cross or overlap other than at a shared end. A line
// that merely ends on another (a T-junction) does not cross it.
struct Crossing {
    int a = 0, b = 0;
    udtPoint at;          // where they cross; for an overlap, a point on the shared piece
    bool overlap = false; // on one line, sharing a piece of it
};

// The faces by place, for FaceAt.
struct FaceIndex;

struct Analysis {
    double tolerance = DRIFT_TOLERANCE; // the tolerance the analysis used
    int points = 0, lines = 0, fills = 0;
    Box bounds;                 // of all points and line ends; zero when there are none
    int pointsOutside = 0;      // points off the canvas
    int linesPartlyOutside = 0; // lines with one end off the canvas but part of them on it
    int linesOutside = 0;       // lines wholly off the canvas
    // Lines (1-based) left out of faces, corners and crossings: an end not finite or beyond
    // MAX_COORDINATE. The first LISTED, and how many in all.
    std::vector<int> linesLeftOut;
    long long linesLeftOutTotal = 0;
    // Why faces, corners, overfull corners and crossings were not found (the budget it would
    // have taken), or empty when they were.
    std::string refused;
    // Each list holds its first LISTED entries (by a, then b); the totals count them all.
    std::vector<NearPoints> nearPoints;
    long long nearPointsTotal = 0;
    std::vector<NearLines> nearLines;
    long long nearLinesTotal = 0;
    std::vector<Face> faces;                   // bounded faces only
    std::vector<Corner> corners;               // top to bottom, then left to right
    std::map<std::string, int> configurations; // how often each configuration occurs
    std::vector<int> overfullCorners;          // indices into corners: angles over 360 degrees
    std::vector<Crossing> crossings;           // ordered by a, then b
    long long crossingsTotal = 0;
    std::shared_ptr<const FaceIndex> faceIndex;
};

// A negative or NaN tolerance counts as 0: only equal corners are joined.
Analysis Analyse(const ProjectData& data, double tolerance = DRIFT_TOLERANCE,
                 const Budget& budget = {});

// The bounded face (index into Analysis::faces) that contains the point in its interior, or
// -1 for the outside, a point on a line or a corner.
int FaceAt(const Analysis& analysis, udtPoint point);

// The canonical form of a vertex configuration: the rotation or reflection of the corner
// counts that is smallest, compared number by number, joined with dots ("3.4.6.4").
std::string CanonicalConfiguration(const std::vector<int>& around);

} // namespace quillet::analysis
