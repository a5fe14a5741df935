#pragma once
// Many flood fills on one picture without painting each of them. The picture is cut once into
// its regions (4-connected pixels of one exact colour). A fill gives its region the brush
// colour and joins it with the neighbouring regions that have that colour already: together
// they are what the next fill at any of their pixels floods. The pixels come out exactly as
// from Surface::ExtFloodFill called for each fill in turn, at a cost that does not grow with
// the area each fill floods.

#include "platform/surface.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quillet {

// One fill as a replay takes it: the seed (as Surface::GetPixel reads it) and the brush.
struct FillAt {
    double x;
    double y;
    Colour brush;
};

// Paints fills 1..count onto the picture exactly as picture.ExtFloodFill(x, y,
// picture.GetPixel(x, y), brush) for each in turn would. While the fills are small they are
// painted so; once they have painted about as much as cutting the picture into regions costs,
// the rest are replayed on the regions. `fill(i)` gives fill i; `painted(i)` is told after fill
// i and returns false to stop there. Returns how many fills were painted.
int ReplayFills(Surface& picture, int count, const std::function<FillAt(int)>& fill,
                const std::function<bool(int)>& painted);

// For each pixel of the picture (row by row), the number of the last of fills 1..count that
// changed its colour, 0 where none did: what ReplayFills paints, told fill by fill, at the
// cost of replaying on the regions. The picture must fit (FillReplay::Fits).
std::vector<int> LastPainters(const Surface& picture, int count,
                              const std::function<FillAt(int)>& fill);

class FillReplay {
  public:
    // The runs of equal colour in the rows of the picture: the cost of cutting it.
    static std::size_t Runs(const Surface& picture);

    // Whether the picture is small enough for the 32-bit region numbers.
    static bool Fits(const Surface& picture);

    // A region with more neighbours than this is kept crowded (see Crowded below). A fill of
    // an ordinary region looks at all its neighbours; one of a crowded region at those of the
    // brush colour and at its crowded neighbours, of which there are few: their neighbours
    // would not fit the picture.
    static constexpr std::size_t CROWDED = 384;

    // Fits(picture). Tests choose other thresholds to take either way more often.
    explicit FillReplay(const Surface& picture, std::size_t crowded = CROWDED);
    // Keeps, in addition, what each fill repainted, for Painters().
    enum class Track { Painters };
    FillReplay(const Surface& picture, Track, std::size_t crowded = CROWDED);
    ~FillReplay();
    FillReplay(const FillReplay&) = delete;
    FillReplay& operator=(const FillReplay&) = delete;

    // As picture.ExtFloodFill(x, y, picture.GetPixel(x, y), brush) on the picture as the fills
    // so far have left it.
    bool Fill(double x, double y, Colour brush);

    // Paints the picture as the fills have left it onto `picture`, of the size given above.
    void WriteTo(Surface& picture) const;

    // With Track::Painters: for each pixel, the number of the last Fill call (counted from 1)
    // that changed its colour; 0 where none did.
    std::vector<int> Painters() const;

  private:
    using Id = std::int32_t;
    // A region with many neighbours keeps them by colour, so that a fill of it finds those to
    // join without looking at all of them, and it is told when one of them changes colour.
    struct Crowded {
        // Neighbours filed under the colour they took; stale entries are skipped when read.
        std::unordered_map<Colour, std::vector<Id>> byColour;
        std::vector<Id> crowdedNeighbours; // the crowded regions among the neighbours
        std::size_t filed = 0;             // entries in byColour
    };
    struct Piece {
        std::vector<Id> neighbours;
        std::unique_ptr<Crowded> crowded;
    };

    Id Find(Id r) const;
    Id Union(Id a, Id b);
    Id RunAt(int x, int y) const;
    void Recolour(Id region, Colour brush);
    void Join(Id region, Colour brush);
    void File(Id crowded, Colour c, Id neighbour);
    void Refile(Id crowded);
    void MakeCrowded(Id region);
    // Every id of the list replaced by its region, without `self` and without repeats.
    void Compact(std::vector<Id>& list, Id self, std::vector<std::uint32_t>& marks,
                 std::uint32_t& pass);

    std::size_t crowdedAbove_;
    int width_;
    int height_;
    std::vector<Id> rowStart_; // first run of each row, and one past the last run
    std::vector<int> runLeft_; // a run ends where the next one in its row starts
    // Union-find over the runs; a root stands for its region.
    mutable std::vector<Id> parent_;
    std::vector<Id> size_;
    std::vector<Colour> colour_;                    // of each root
    std::vector<std::vector<Id>> neighbours_;       // of each root; may hold stale ids
    std::vector<std::unique_ptr<Crowded>> crowded_; // of each crowded root
    // Marks of the current pass over some regions; refiling has its own, as it happens in
    // the middle of another pass.
    std::vector<std::uint32_t> seen_;
    std::uint32_t pass_ = 0;
    std::vector<std::uint32_t> refileSeen_;
    std::uint32_t refilePass_ = 0;
    std::vector<Id> joined_; // scratch: the regions a fill joins
    std::vector<Piece> pieces_;

    // What each fill repainted, kept only when tracked. A region's colour changes only as a
    // whole, so a run was last repainted by the latest recolouring of a region it belonged to
    // then: that of an ancestor in the tree of joins (kept apart from the halved parent_
    // links) that happened after the run's branch had joined it.
    bool tracking_ = false;
    int fills_ = 0;
    std::vector<Id> joinedTo_;    // the root a root was joined to; itself while a root
    std::vector<int> joinedAt_;   // the fill during which it was joined
    std::vector<int> recoloured_; // the latest fill that recoloured it while a root
};

} // namespace quillet
