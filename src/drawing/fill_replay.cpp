#include "drawing/fill_replay.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace quillet {

namespace {

std::uint32_t NextPass(std::vector<std::uint32_t>& marks, std::uint32_t& pass) {
    if (++pass == 0) {
        std::fill(marks.begin(), marks.end(), 0u);
        pass = 1;
    }
    return pass;
}

} // namespace

int ReplayFills(Surface& picture, int count, const std::function<FillAt(int)>& fill,
                const std::function<bool(int)>& painted) {
    // In the units of a flood fill's work, a pixel painted counting one and a span eight, the
    // regions cost about a pixel of the picture and 70 to 120 a run (measured with the
    // benchmarks). The fills are painted until they have cost as much, so that either way
    // costs at most about twice the better one, and small fills on a busy picture are never
    // taken on regions. The runs are counted only once the fills have painted a picture's worth.
    constexpr std::size_t SPAN = 8;
    constexpr std::size_t RUN = 100;
    const bool fits = FillReplay::Fits(picture);
    std::size_t regionsCost = picture.Pixels().size();
    bool runsCounted = false;
    Surface::FloodWork work;
    int i = 1;
    for (; i <= count; ++i) {
        if (fits && work.pixels + SPAN * work.spans >= regionsCost) {
            if (runsCounted) {
                break;
            }
            regionsCost += RUN * FillReplay::Runs(picture);
            runsCounted = true;
        }
        const FillAt f = fill(i);
        picture.ExtFloodFill(f.x, f.y, picture.GetPixel(f.x, f.y), f.brush, work);
        if (!painted(i)) {
            return i;
        }
    }
    if (i > count) {
        return count;
    }
    FillReplay regions(picture);
    for (; i <= count; ++i) {
        const FillAt f = fill(i);
        regions.Fill(f.x, f.y, f.brush);
        if (!painted(i)) {
            break;
        }
    }
    regions.WriteTo(picture);
    return std::min(i, count);
}

std::vector<int> LastPainters(const Surface& picture, int count,
                              const std::function<FillAt(int)>& fill) {
    FillReplay regions(picture, FillReplay::Track::Painters);
    for (int i = 1; i <= count; ++i) {
        const FillAt f = fill(i);
        regions.Fill(f.x, f.y, f.brush);
    }
    return regions.Painters();
}

bool FillReplay::Fits(const Surface& picture) {
    // A run a pixel at most, and four entries a run in the lists of touching runs.
    return picture.Pixels().size() < static_cast<std::size_t>(std::numeric_limits<Id>::max()) / 8;
}

std::size_t FillReplay::Runs(const Surface& picture) {
    const auto w = static_cast<std::size_t>(picture.ScaleWidth());
    const std::vector<Colour>& pixels = picture.Pixels();
    std::size_t runs = 0;
    for (std::size_t y = 0; w > 0 && y < static_cast<std::size_t>(picture.ScaleHeight()); ++y) {
        const Colour* row = pixels.data() + y * w;
        runs += 1;
        for (std::size_t x = 1; x < w; ++x) {
            runs += row[x] != row[x - 1] ? 1 : 0;
        }
    }
    return runs;
}

FillReplay::~FillReplay() = default;

FillReplay::FillReplay(const Surface& picture, Track, std::size_t crowded)
    : FillReplay(picture, crowded) {
    tracking_ = true;
    const std::size_t runs = runLeft_.size();
    // The joins of the cut itself happened before any fill: as if each run joined its root at
    // fill 0.
    joinedTo_.resize(runs);
    for (std::size_t r = 0; r < runs; ++r) {
        joinedTo_[r] = Find(static_cast<Id>(r));
    }
    joinedAt_.assign(runs, 0);
    recoloured_.assign(runs, 0);
}

std::vector<int> FillReplay::Painters() const {
    std::vector<int> painters(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                              0);
    if (!tracking_) {
        return painters;
    }
    for (int y = 0; y < height_; ++y) {
        const Id first = rowStart_[static_cast<std::size_t>(y)];
        const Id end = rowStart_[static_cast<std::size_t>(y) + 1];
        for (Id r = first; r < end; ++r) {
            // Up the tree of joins: each region counts with a recolouring later than the join
            // that brought the run into it.
            int last = 0;
            int since = 0;
            for (Id a = r;;) {
                const auto at = static_cast<std::size_t>(a);
                if (recoloured_[at] > since) {
                    last = std::max(last, recoloured_[at]);
                }
                if (joinedTo_[at] == a) {
                    break;
                }
                since = joinedAt_[at];
                a = joinedTo_[at];
            }
            const int right = r + 1 < end ? runLeft_[static_cast<std::size_t>(r) + 1] : width_;
            std::fill(painters.begin() + static_cast<std::ptrdiff_t>(y) * width_ +
                          runLeft_[static_cast<std::size_t>(r)],
                      painters.begin() + static_cast<std::ptrdiff_t>(y) * width_ + right, last);
        }
    }
    return painters;
}

FillReplay::FillReplay(const Surface& picture, std::size_t crowded)
    : crowdedAbove_(crowded), width_(picture.ScaleWidth()), height_(picture.ScaleHeight()) {
    const std::vector<Colour>& pixels = picture.Pixels();
    const auto w = static_cast<std::size_t>(width_);
    const std::size_t expected = Runs(picture); // counted first to allocate once
    rowStart_.reserve(static_cast<std::size_t>(height_) + 1);
    runLeft_.reserve(expected);
    parent_.reserve(expected);
    size_.reserve(expected);
    colour_.reserve(expected);
    // Pairs of runs of different colours that touch: along a row, or across two rows.
    std::vector<std::pair<Id, Id>> touching;
    touching.reserve(2 * expected);
    for (int y = 0; y < height_; ++y) {
        const Colour* row = pixels.data() + static_cast<std::size_t>(y) * w;
        const Id first = static_cast<Id>(runLeft_.size());
        rowStart_.push_back(first);
        for (int x = 0; x < width_;) {
            const Colour c = row[x];
            const Id run = static_cast<Id>(runLeft_.size());
            runLeft_.push_back(x);
            parent_.push_back(run);
            size_.push_back(1);
            colour_.push_back(c);
            if (run > first) {
                touching.emplace_back(run - 1, run);
            }
            while (x < width_ && row[x] == c) {
                ++x;
            }
        }
        if (y == 0) {
            continue;
        }
        // Both rows divide the same columns into runs: walk them together, pair by pair of
        // runs that share a column.
        Id above = rowStart_[static_cast<std::size_t>(y) - 1];
        Id below = first;
        const Id end = static_cast<Id>(runLeft_.size());
        while (above < first && below < end) {
            if (colour_[static_cast<std::size_t>(above)] ==
                colour_[static_cast<std::size_t>(below)]) {
                Union(above, below);
            } else {
                touching.emplace_back(above, below);
            }
            const int aboveEnd =
                above + 1 < first ? runLeft_[static_cast<std::size_t>(above) + 1] : width_;
            const int belowEnd =
                below + 1 < end ? runLeft_[static_cast<std::size_t>(below) + 1] : width_;
            if (aboveEnd <= belowEnd) {
                ++above;
            }
            if (belowEnd <= aboveEnd) {
                ++below;
            }
        }
    }
    rowStart_.push_back(static_cast<Id>(runLeft_.size()));
    const std::size_t runs = runLeft_.size();

    for (std::size_t r = 0; r < runs; ++r) {
        parent_[r] = Find(static_cast<Id>(r));
    }
    // The neighbours of each region, each once: bucket the pairs by region, then drop repeats.
    std::vector<Id> start(runs + 1, 0);
    for (auto& [a, b] : touching) {
        a = parent_[static_cast<std::size_t>(a)];
        b = parent_[static_cast<std::size_t>(b)];
        ++start[static_cast<std::size_t>(a) + 1];
        ++start[static_cast<std::size_t>(b) + 1];
    }
    for (std::size_t r = 0; r < runs; ++r) {
        start[r + 1] += start[r];
    }
    std::vector<Id> all(static_cast<std::size_t>(start[runs]));
    {
        std::vector<Id> next(start.begin(), start.end() - 1);
        for (const auto& [a, b] : touching) {
            all[static_cast<std::size_t>(next[static_cast<std::size_t>(a)]++)] = b;
            all[static_cast<std::size_t>(next[static_cast<std::size_t>(b)]++)] = a;
        }
    }
    touching = {};
    neighbours_.resize(runs);
    crowded_.resize(runs);
    seen_.assign(runs, 0);
    refileSeen_.assign(runs, 0);
    for (std::size_t r = 0; r < runs; ++r) {
        if (start[r] == start[r + 1]) {
            continue;
        }
        const std::uint32_t mark = NextPass(seen_, pass_);
        const auto from = all.begin() + start[r];
        auto kept = from;
        for (auto i = from; i != all.begin() + start[r + 1]; ++i) {
            if (seen_[static_cast<std::size_t>(*i)] != mark) {
                seen_[static_cast<std::size_t>(*i)] = mark;
                *kept++ = *i;
            }
        }
        neighbours_[r].assign(from, kept);
    }
    for (std::size_t r = 0; r < runs; ++r) {
        if (neighbours_[r].size() > crowdedAbove_) {
            MakeCrowded(static_cast<Id>(r));
        }
    }
}

FillReplay::Id FillReplay::Find(Id r) const {
    while (parent_[static_cast<std::size_t>(r)] != r) {
        Id& up = parent_[static_cast<std::size_t>(r)];
        up = parent_[static_cast<std::size_t>(up)]; // path halving
        r = up;
    }
    return r;
}

FillReplay::Id FillReplay::Union(Id a, Id b) {
    a = Find(a);
    b = Find(b);
    if (a == b) {
        return a;
    }
    if (size_[static_cast<std::size_t>(a)] < size_[static_cast<std::size_t>(b)]) {
        std::swap(a, b);
    }
    parent_[static_cast<std::size_t>(b)] = a;
    size_[static_cast<std::size_t>(a)] += size_[static_cast<std::size_t>(b)];
    if (tracking_) {
        joinedTo_[static_cast<std::size_t>(b)] = a;
        joinedAt_[static_cast<std::size_t>(b)] = fills_;
    }
    return a;
}

FillReplay::Id FillReplay::RunAt(int x, int y) const {
    const auto first = runLeft_.begin() + rowStart_[static_cast<std::size_t>(y)];
    const auto last = runLeft_.begin() + rowStart_[static_cast<std::size_t>(y) + 1];
    return static_cast<Id>(std::upper_bound(first, last, x) - runLeft_.begin() - 1);
}

void FillReplay::Compact(std::vector<Id>& list, Id self, std::vector<std::uint32_t>& marks,
                         std::uint32_t& pass) {
    const std::uint32_t mark = NextPass(marks, pass);
    marks[static_cast<std::size_t>(self)] = mark;
    std::size_t kept = 0;
    for (const Id id : list) {
        const Id r = Find(id);
        if (marks[static_cast<std::size_t>(r)] != mark) {
            marks[static_cast<std::size_t>(r)] = mark;
            list[kept++] = r;
        }
    }
    list.resize(kept);
}

bool FillReplay::Fill(double x, double y, Colour brush) {
    ++fills_;
    brush &= COLOUR_MASK;
    if (!(x >= 0 && y >= 0 && x < width_ && y < height_)) {
        return false; // as GetPixel: outside, or not a number
    }
    const Id region = Find(RunAt(static_cast<int>(x), static_cast<int>(y)));
    if (colour_[static_cast<std::size_t>(region)] == brush) {
        return false;
    }
    if (tracking_) {
        recoloured_[static_cast<std::size_t>(region)] = fills_;
    }
    Recolour(region, brush);
    return true;
}

void FillReplay::Recolour(Id region, Colour brush) {
    const auto at = static_cast<std::size_t>(region);
    colour_[at] = brush;
    joined_.clear();
    if (!crowded_[at]) {
        // Look at every neighbour: join those of the brush colour, tell the crowded ones.
        std::vector<Id>& list = neighbours_[at];
        const std::uint32_t mark = NextPass(seen_, pass_);
        seen_[at] = mark;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const Id r = Find(list[i]);
            const auto ra = static_cast<std::size_t>(r);
            if (seen_[ra] == mark) {
                continue;
            }
            seen_[ra] = mark;
            list[kept++] = r;
            if (colour_[ra] == brush) {
                joined_.push_back(r);
            }
            if (crowded_[ra]) {
                File(r, brush, region);
            }
        }
        list.resize(kept);
    } else {
        Crowded& crowded = *crowded_[at];
        const auto it = crowded.byColour.find(brush);
        if (it != crowded.byColour.end()) {
            const std::uint32_t mark = NextPass(seen_, pass_);
            seen_[at] = mark;
            for (const Id id : it->second) {
                const Id r = Find(id);
                const auto ra = static_cast<std::size_t>(r);
                if (seen_[ra] != mark && colour_[ra] == brush) {
                    seen_[ra] = mark;
                    joined_.push_back(r);
                }
            }
            // Every neighbour of the brush colour is joined below: none is left to file.
            crowded.filed -= it->second.size();
            crowded.byColour.erase(it);
        }
        Compact(crowded.crowdedNeighbours, region, seen_, pass_);
        for (const Id r : crowded.crowdedNeighbours) {
            File(r, brush, region);
        }
    }
    if (!joined_.empty()) {
        Join(region, brush);
    }
}

void FillReplay::Join(Id region, Colour brush) {
    // The pieces' neighbour lists and files go to the new region: the longest is kept, the
    // others are added to it.
    pieces_.clear();
    Id root = region;
    auto take = [this](Id r) {
        const auto ra = static_cast<std::size_t>(r);
        pieces_.push_back({std::move(neighbours_[ra]), std::move(crowded_[ra])});
        neighbours_[ra] = {};
    };
    take(region);
    for (const Id r : joined_) {
        take(r);
        root = Union(root, r);
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < pieces_.size(); ++i) {
        const Piece& p = pieces_[i];
        const Piece& b = pieces_[best];
        if (static_cast<bool>(p.crowded) != static_cast<bool>(b.crowded)
                ? static_cast<bool>(p.crowded)
                : p.neighbours.size() > b.neighbours.size()) {
            best = i;
        }
    }
    const auto ra = static_cast<std::size_t>(root);
    std::vector<Id>& list = neighbours_[ra];
    list = std::move(pieces_[best].neighbours);
    crowded_[ra] = std::move(pieces_[best].crowded);
    Crowded* crowded = crowded_[ra].get();
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        if (i == best) {
            continue;
        }
        Piece& p = pieces_[i];
        if (crowded != nullptr) {
            if (p.crowded) {
                for (auto& [c, ids] : p.crowded->byColour) {
                    std::vector<Id>& to = crowded->byColour[c];
                    to.insert(to.end(), ids.begin(), ids.end());
                    crowded->filed += ids.size();
                }
                crowded->crowdedNeighbours.insert(crowded->crowdedNeighbours.end(),
                                                  p.crowded->crowdedNeighbours.begin(),
                                                  p.crowded->crowdedNeighbours.end());
            } else {
                // An ordinary piece: its neighbours are filed now, and the crowded ones among
                // them learn of the crowded region they touch.
                for (const Id id : p.neighbours) {
                    const Id r = Find(id);
                    if (r == root) {
                        continue;
                    }
                    const auto rr = static_cast<std::size_t>(r);
                    crowded->byColour[colour_[rr]].push_back(r);
                    ++crowded->filed;
                    if (crowded_[rr]) {
                        crowded->crowdedNeighbours.push_back(r);
                        crowded_[rr]->crowdedNeighbours.push_back(root);
                    }
                }
            }
        }
        list.insert(list.end(), p.neighbours.begin(), p.neighbours.end());
    }
    pieces_.clear();
    if (crowded != nullptr) {
        // No neighbour has the brush colour: those that had it belong to the region now.
        const auto it = crowded->byColour.find(brush);
        if (it != crowded->byColour.end()) {
            crowded->filed -= it->second.size();
            crowded->byColour.erase(it);
        }
        if (crowded->filed > 2 * list.size() + crowdedAbove_) {
            Refile(root);
        }
    } else if (list.size() > crowdedAbove_) {
        Compact(list, root, seen_, pass_);
        if (list.size() > crowdedAbove_) {
            MakeCrowded(root);
        }
    }
}

void FillReplay::File(Id crowded, Colour c, Id neighbour) {
    Crowded& to = *crowded_[static_cast<std::size_t>(crowded)];
    to.byColour[c].push_back(neighbour);
    // Stale entries pile up as neighbours change colour: once they outnumber the neighbours,
    // file every neighbour anew.
    if (++to.filed > 2 * neighbours_[static_cast<std::size_t>(crowded)].size() + crowdedAbove_) {
        Refile(crowded);
    }
}

void FillReplay::Refile(Id crowded) {
    const auto at = static_cast<std::size_t>(crowded);
    Crowded& c = *crowded_[at];
    std::vector<Id>& list = neighbours_[at];
    Compact(list, crowded, refileSeen_, refilePass_);
    Compact(c.crowdedNeighbours, crowded, refileSeen_, refilePass_);
    c.byColour.clear();
    for (const Id r : list) {
        c.byColour[colour_[static_cast<std::size_t>(r)]].push_back(r);
    }
    c.filed = list.size();
}

void FillReplay::MakeCrowded(Id region) {
    const auto at = static_cast<std::size_t>(region);
    crowded_[at] = std::make_unique<Crowded>();
    Crowded& c = *crowded_[at];
    for (const Id id : neighbours_[at]) {
        const Id r = Find(id);
        const auto ra = static_cast<std::size_t>(r);
        c.byColour[colour_[ra]].push_back(r);
        if (crowded_[ra] && r != region) {
            c.crowdedNeighbours.push_back(r);
            crowded_[ra]->crowdedNeighbours.push_back(region);
        }
    }
    c.filed = neighbours_[at].size();
}

void FillReplay::WriteTo(Surface& picture) const {
    for (int y = 0; y < height_; ++y) {
        const Id first = rowStart_[static_cast<std::size_t>(y)];
        const Id end = rowStart_[static_cast<std::size_t>(y) + 1];
        for (Id r = first; r < end; ++r) {
            const int right =
                r + 1 < end ? runLeft_[static_cast<std::size_t>(r) + 1] - 1 : width_ - 1;
            picture.FillSpan(y, runLeft_[static_cast<std::size_t>(r)], right,
                             colour_[static_cast<std::size_t>(Find(r))]);
        }
    }
}

} // namespace quillet
