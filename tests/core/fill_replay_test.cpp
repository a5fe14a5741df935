// The fills replayed on regions give the pixels of the flood fills one after another, and a
// loaded file gives the canvas and the fill-undo snapshots of its fills replayed in turn.
#include "drawing/fill_replay.h"
#include "geometry/render.h"
#include "project/project_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <variant>
#include <vector>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

constexpr Colour WHITE = 0xFFFFFF;
constexpr Colour BLACK = 0;

// Few colours, so that fills often meet regions of their own colour and join them.
constexpr Colour PALETTE[] = {WHITE, BLACK, 0x0000FF, 0x00FF00, 0xFF0000};

Colour PaletteColour(std::mt19937& rng) {
    return PALETTE[rng() % std::size(PALETTE)];
}

// Kinds of drawing, each drawn with its own seeded generator.
using Drawing = std::function<void(Surface&, std::mt19937&)>;

void RandomLines(Surface& s, std::mt19937& rng) {
    const int w = s.ScaleWidth(), h = s.ScaleHeight();
    for (int i = 0; i < 12; ++i) {
        s.Line(
            static_cast<double>(rng() % (w + 20)) - 10, static_cast<double>(rng() % (h + 20)) - 10,
            static_cast<double>(rng() % (w + 20)) - 10, static_cast<double>(rng() % (h + 20)) - 10,
            rng() % 3 == 0 ? PaletteColour(rng) : BLACK);
    }
}

// Thin teeth joined along the bottom: one region that winds through the whole picture.
void Comb(Surface& s, std::mt19937& rng) {
    const int w = s.ScaleWidth(), h = s.ScaleHeight();
    const int gap = 2 + static_cast<int>(rng() % 2);
    for (int x = 1; x < w; x += gap) {
        s.Line(x, 0, x, h - 2, BLACK);
    }
}

// Diagonals two to four apart: every line pixel is a region of its own.
void DiagonalMaze(Surface& s, std::mt19937& rng) {
    const int w = s.ScaleWidth(), h = s.ScaleHeight();
    for (int k = -h; k < w; k += 2 + static_cast<int>(rng() % 3)) {
        if (rng() % 2 == 0) {
            s.Line(k, 0, k + h, h, BLACK);
        } else {
            s.Line(k + h, 0, k, h, BLACK);
        }
    }
}

// Isolated dots on a grid: one background region touching hundreds of others.
void Dots(Surface& s, std::mt19937& rng) {
    const int step = 2 + static_cast<int>(rng() % 2);
    for (int y = 1; y < s.ScaleHeight(); y += step) {
        for (int x = 1; x < s.ScaleWidth(); x += step) {
            s.SetPixel(x, y, rng() % 4 == 0 ? PaletteColour(rng) : BLACK);
        }
    }
}

// Pixels of any palette colour: regions of every shape and size.
void Noise(Surface& s, std::mt19937& rng) {
    for (int y = 0; y < s.ScaleHeight(); ++y) {
        for (int x = 0; x < s.ScaleWidth(); ++x) {
            s.SetPixel(x, y, rng() % 3 == 0 ? PaletteColour(rng) : WHITE);
        }
    }
}

struct FillSeed {
    double x, y;
    Colour colour;
};

// Seeds mostly on the picture, some off it, some not numbers at all (unless `finite`: a file
// holds numbers only), some on half pixels; colours mostly from the palette, sometimes with
// the high byte set.
FillSeed RandomFill(std::mt19937& rng, int w, int h, bool finite = false) {
    FillSeed f{static_cast<double>(rng() % static_cast<unsigned>(w)),
               static_cast<double>(rng() % static_cast<unsigned>(h)), PaletteColour(rng)};
    switch (rng() % 16) {
    case 0:
        f.x = -1;
        break;
    case 1:
        f.y = h;
        break;
    case 2:
        f.x = finite ? 1e300 : std::numeric_limits<double>::quiet_NaN();
        break;
    case 3:
        f.y = finite ? -1e300 : -std::numeric_limits<double>::infinity();
        break;
    case 4:
        f.x += 0.5;
        f.y -= 0.5;
        break;
    case 5:
        f.colour |= 0xFF000000u;
        break;
    case 6:
        f.colour = static_cast<Colour>(rng());
        break;
    default:
        break;
    }
    return f;
}

struct Kind {
    const char* name;
    Drawing draw;
};

const Kind KINDS[] = {{"random lines", RandomLines},
                      {"comb", Comb},
                      {"diagonal maze", DiagonalMaze},
                      {"dots", Dots},
                      {"noise", Noise}};

// A picture of a few thousand pixels drawn by `kind`, its size at random.
Surface SmallPicture(const Kind& kind, std::mt19937& rng) {
    const int w = 40 + static_cast<int>(rng() % 30);
    const int h = 30 + static_cast<int>(rng() % 30);
    Surface picture(w, h);
    kind.draw(picture, rng);
    return picture;
}

TEST(FillReplay, GivesThePixelsOfTheFillsOneAfterAnother) {
    // Thresholds: every region crowded, a few, the program's, none.
    const std::size_t thresholds[] = {0, 4, FillReplay::CROWDED,
                                      std::numeric_limits<std::size_t>::max()};
    for (const Kind& kind : KINDS) {
        for (const std::size_t crowded : thresholds) {
            for (unsigned seed = 1; seed <= 3; ++seed) {
                std::mt19937 rng(seed);
                Surface plain = SmallPicture(kind, rng);
                const int w = plain.ScaleWidth(), h = plain.ScaleHeight();
                FillReplay regions(plain, crowded);
                for (int i = 1; i <= 400; ++i) {
                    const FillSeed f = RandomFill(rng, w, h);
                    const bool painted =
                        plain.ExtFloodFill(f.x, f.y, plain.GetPixel(f.x, f.y), f.colour);
                    ASSERT_EQ(regions.Fill(f.x, f.y, f.colour), painted)
                        << kind.name << ", threshold " << crowded << ", seed " << seed << ", fill "
                        << i;
                    if (i % 50 == 0) {
                        Surface replayed(w, h, 0x123456);
                        regions.WriteTo(replayed);
                        ASSERT_EQ(replayed.Pixels(), plain.Pixels())
                            << kind.name << ", threshold " << crowded << ", seed " << seed
                            << ", fill " << i;
                    }
                }
            }
        }
    }
}

// Which fill last changed each pixel, against painting the fills one by one and comparing the
// picture before and after each.
TEST(FillReplay, TellsWhichFillLastChangedEachPixel) {
    const std::size_t thresholds[] = {0, 4, FillReplay::CROWDED};
    for (const Kind& kind : KINDS) {
        for (const std::size_t crowded : thresholds) {
            for (unsigned seed = 1; seed <= 3; ++seed) {
                std::mt19937 rng(seed);
                Surface plain = SmallPicture(kind, rng);
                const int w = plain.ScaleWidth(), h = plain.ScaleHeight();
                FillReplay regions(plain, FillReplay::Track::Painters, crowded);
                std::vector<int> expected(plain.Pixels().size(), 0);
                for (int i = 1; i <= 300; ++i) {
                    // Few colours, so that fills join regions often and repaint joined ones.
                    FillSeed f = RandomFill(rng, w, h);
                    f.colour = (rng() % 3 == 0) ? 0xFFFFFFu : PaletteColour(rng) & 0x0000FFu;
                    const std::vector<Colour> before = plain.Pixels();
                    plain.ExtFloodFill(f.x, f.y, plain.GetPixel(f.x, f.y), f.colour);
                    regions.Fill(f.x, f.y, f.colour);
                    for (std::size_t p = 0; p < before.size(); ++p) {
                        if (plain.Pixels()[p] != before[p]) {
                            expected[p] = i;
                        }
                    }
                    if (i % 60 == 0) {
                        ASSERT_EQ(regions.Painters(), expected)
                            << kind.name << ", threshold " << crowded << ", seed " << seed
                            << ", fill " << i;
                    }
                }
            }
        }
    }
}

// The same fills through ReplayFills, which paints the first ones and takes the rest on the
// regions once they have painted enough: stopped after fill `stop`, or at the end.
TEST(FillReplay, ReplayFillsPaintsThenTakesTheRegionsAndStopsWhenTold) {
    for (const Kind& kind : KINDS) {
        for (const int stop : {1, 3, 150, 400}) {
            std::mt19937 rng(11);
            const int w = 50 + static_cast<int>(rng() % 20);
            const int h = 40 + static_cast<int>(rng() % 20);
            Surface plain(w, h);
            kind.draw(plain, rng);
            Surface replayed = plain;
            std::vector<FillAt> fills;
            for (int i = 0; i < 400; ++i) {
                const FillSeed f = RandomFill(rng, w, h);
                fills.push_back({f.x, f.y, f.colour});
            }
            for (int i = 0; i < stop; ++i) {
                const FillAt& f = fills[static_cast<std::size_t>(i)];
                plain.ExtFloodFill(f.x, f.y, plain.GetPixel(f.x, f.y), f.brush);
            }
            int told = 0;
            const int painted = ReplayFills(
                replayed, 400, [&](int i) { return fills[static_cast<std::size_t>(i - 1)]; },
                [&](int i) {
                    EXPECT_EQ(i, ++told) << "fills are told in order";
                    return i < stop;
                });
            EXPECT_EQ(painted, stop) << kind.name;
            EXPECT_EQ(replayed.Pixels(), plain.Pixels()) << kind.name << ", stop " << stop;
        }
    }
}

TEST(FillReplay, NothingOnAnEmptyPicture) {
    for (const auto& [w, h] : {std::pair{0, 0}, {0, 5}, {5, 0}}) {
        Surface s(w, h);
        FillReplay regions(s);
        EXPECT_FALSE(regions.Fill(0, 0, BLACK));
        regions.WriteTo(s);
        EXPECT_TRUE(s.Pixels().empty());
    }
}

// A drawing made of lines as a file holds them, and fills at random, many of them where the
// lines are (the file does not refuse those).
ProjectData RandomProject(std::mt19937& rng, int fills) {
    ProjectData d;
    std::uniform_real_distribution<double> coordinate(-40, 620);
    d.points.push_back({100, 100});
    const int lines = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < lines; ++i) {
        d.lines.push_back({coordinate(rng), coordinate(rng), coordinate(rng), coordinate(rng)});
    }
    // Diagonals close together, as a maze of them: many small regions.
    for (int k = 0; k < static_cast<int>(rng() % 3) * 40; ++k) {
        const double x = 4.0 * k;
        d.lines.push_back({x, 0, x + 300, 300});
    }
    for (int i = 0; i < fills; ++i) {
        const FillSeed f = RandomFill(rng, 581, 493, true);
        d.fills.push_back({static_cast<std::int32_t>(f.colour), f.x, f.y});
    }
    return d;
}

TEST(FillReplay, ALoadGivesTheCanvasAndSnapshotsOfItsFillsReplayedInTurn) {
    TempDir dir;
    const int counts[] = {0, 1, 2, 3, 4, 60, 300};
    std::mt19937 rng(7);
    for (const int n : counts) {
        for (int round = 0; round < 3; ++round) {
            ProjectData data = RandomProject(rng, n);
            if (round == 2) {
                // Fills that flood most of the canvas, one colour and then another: after a
                // few of them the rest are taken on the regions.
                for (int i = 0; i < n; ++i) {
                    data.fills[static_cast<std::size_t>(i)] = {
                        static_cast<std::int32_t>(i % 2 ? 0x0000FF : 0xFF0000), 580, 0};
                }
            }
            const std::string path = dir.Write("p.qlf", WriteProject(data, '.'));
            ProjectData linesOnly = data;
            linesOnly.fills.clear();
            const std::string linesPath = dir.Write("lines.qlf", WriteProject(linesOnly, '.'));

            Form loaded;
            loaded.form.LoadProject(path);
            ASSERT_EQ(loaded.form.intFillCount, n)
                << (loaded.platform.messages.empty() ? "" : loaded.platform.messages[0].detail);

            // The same lines, then every fill painted by the fill routine of the canvas.
            Form expected;
            expected.form.LoadProject(linesPath);
            frmMain& e = expected.form;
            const std::vector<Colour> undo2Before = e.picUndo2.Pixels();
            std::vector<Colour> undo1 = e.picUndo1.Pixels(), undo2 = undo2Before;
            for (int i = 1; i <= n; ++i) {
                if (i == n - 1) {
                    undo2 = e.picMain.Pixels();
                }
                if (i == n) {
                    undo1 = e.picMain.Pixels();
                }
                const udtFill& f = data.fills[static_cast<std::size_t>(i - 1)];
                e.FloodFillAt(f.Color, f.X, f.Y);
            }
            const std::string at = std::to_string(n) + " fills, round " + std::to_string(round);
            EXPECT_EQ(loaded.form.picMain.Pixels(), e.picMain.Pixels()) << at;
            EXPECT_EQ(loaded.form.picUndo1.Pixels(), undo1) << at;
            EXPECT_EQ(loaded.form.picUndo2.Pixels(), undo2) << at;
            EXPECT_EQ(loaded.form.intFillUndoDepth, std::min(n, 2)) << at;
        }
    }
}

// Two crossing lines and nine fills flooding the quarters in turn: the older fills cost as
// much as the regions just before the last of them, so that one alone is taken on the regions.
TEST(FillReplay, ALoadThatTakesOnlyTheLastOlderFillOnTheRegionsPaintsItToo) {
    const std::string path = std::string(QUILLET_TEST_DATA) + "/quadrants-nine-fills.qlf";
    Form loaded;
    loaded.form.LoadProject(path);
    ASSERT_TRUE(loaded.platform.messages.empty()) << loaded.platform.messages[0].detail;
    ASSERT_EQ(loaded.form.intFillCount, 9);

    // The lines alone, then every fill flooded in turn.
    auto parsed = ParseProjectFile(path, ',', {});
    ASSERT_TRUE(std::holds_alternative<ProjectData>(parsed));
    ProjectData linesOnly = std::get<ProjectData>(parsed);
    const std::vector<udtFill> fills = linesOnly.fills;
    linesOnly.fills.clear();
    TempDir dir;
    Form expected;
    expected.form.LoadProject(dir.Write("lines.qlf", WriteProject(linesOnly, ',')));
    Surface& canvas = expected.form.picMain;
    for (const udtFill& f : fills) {
        const double x = RoundPixel(f.X), y = RoundPixel(f.Y);
        canvas.ExtFloodFill(x, y, canvas.GetPixel(x, y), static_cast<Colour>(f.Color));
    }
    EXPECT_EQ(loaded.form.picMain.Pixels(), canvas.Pixels());
}

} // namespace
} // namespace quillet
