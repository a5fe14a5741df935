#include "platform/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

namespace quillet {

namespace {

__extension__ typedef __int128 Int128;

// Exact signed integers of any size, just enough for the clipping of lines whose end points
// lie beyond what 128-bit arithmetic can hold (any finite double).
class BigInt {
  public:
    BigInt() = default;
    explicit BigInt(long long v) {
        neg_ = v < 0;
        unsigned long long m =
            neg_ ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        while (m != 0) {
            mag_.push_back(static_cast<std::uint32_t>(m));
            m >>= 32;
        }
    }
    // `d` must be finite and integral.
    static BigInt FromDouble(double d) {
        BigInt r;
        if (d == 0) {
            return r;
        }
        int exp = 0;
        double frac = std::frexp(std::fabs(d), &exp); // |d| = frac * 2^exp, frac in [0.5, 1)
        auto mant = static_cast<unsigned long long>(std::ldexp(frac, 53));
        int shift = exp - 53;
        if (shift < 0) {
            mant >>= -shift; // the dropped bits are zero since d is integral
            shift = 0;
        }
        r = BigInt(static_cast<long long>(mant));
        r.ShiftLeft(shift);
        r.neg_ = d < 0;
        return r;
    }

    friend BigInt operator+(const BigInt& a, const BigInt& b) {
        if (a.neg_ == b.neg_) {
            BigInt r = AddMag(a, b);
            r.neg_ = a.neg_;
            r.Trim();
            return r;
        }
        int c = CompareMag(a, b);
        if (c == 0) {
            return BigInt();
        }
        BigInt r = c > 0 ? SubMag(a, b) : SubMag(b, a);
        r.neg_ = c > 0 ? a.neg_ : b.neg_;
        r.Trim();
        return r;
    }
    friend BigInt operator-(const BigInt& a, const BigInt& b) { return a + (-b); }
    BigInt operator-() const {
        BigInt r = *this;
        if (!r.mag_.empty()) {
            r.neg_ = !r.neg_;
        }
        return r;
    }
    friend BigInt operator*(const BigInt& a, const BigInt& b) {
        BigInt r;
        if (a.mag_.empty() || b.mag_.empty()) {
            return r;
        }
        r.mag_.assign(a.mag_.size() + b.mag_.size(), 0);
        for (std::size_t i = 0; i < a.mag_.size(); ++i) {
            unsigned long long carry = 0;
            for (std::size_t j = 0; j < b.mag_.size(); ++j) {
                unsigned long long cur =
                    static_cast<unsigned long long>(a.mag_[i]) * b.mag_[j] + r.mag_[i + j] + carry;
                r.mag_[i + j] = static_cast<std::uint32_t>(cur);
                carry = cur >> 32;
            }
            r.mag_[i + b.mag_.size()] = static_cast<std::uint32_t>(carry);
        }
        r.neg_ = a.neg_ != b.neg_;
        r.Trim();
        return r;
    }
    friend bool operator<=(const BigInt& a, const BigInt& b) { return Compare(a, b) <= 0; }
    friend bool operator<(const BigInt& a, const BigInt& b) { return Compare(a, b) < 0; }
    BigInt Abs() const {
        BigInt r = *this;
        r.neg_ = false;
        return r;
    }
    int Sign() const { return mag_.empty() ? 0 : (neg_ ? -1 : 1); }

  private:
    void ShiftLeft(int bits) {
        if (mag_.empty() || bits == 0) {
            return;
        }
        int words = bits / 32;
        int rest = bits % 32;
        std::vector<std::uint32_t> out(mag_.size() + static_cast<std::size_t>(words) + 1, 0);
        for (std::size_t i = 0; i < mag_.size(); ++i) {
            unsigned long long v = static_cast<unsigned long long>(mag_[i]) << rest;
            out[i + static_cast<std::size_t>(words)] |= static_cast<std::uint32_t>(v);
            out[i + static_cast<std::size_t>(words) + 1] |= static_cast<std::uint32_t>(v >> 32);
        }
        mag_ = std::move(out);
        Trim();
    }
    void Trim() {
        while (!mag_.empty() && mag_.back() == 0) {
            mag_.pop_back();
        }
        if (mag_.empty()) {
            neg_ = false;
        }
    }
    static int CompareMag(const BigInt& a, const BigInt& b) {
        if (a.mag_.size() != b.mag_.size()) {
            return a.mag_.size() < b.mag_.size() ? -1 : 1;
        }
        for (std::size_t i = a.mag_.size(); i-- > 0;) {
            if (a.mag_[i] != b.mag_[i]) {
                return a.mag_[i] < b.mag_[i] ? -1 : 1;
            }
        }
        return 0;
    }
    static int Compare(const BigInt& a, const BigInt& b) {
        if (a.Sign() != b.Sign()) {
            return a.Sign() < b.Sign() ? -1 : 1;
        }
        int c = CompareMag(a, b);
        return a.neg_ ? -c : c;
    }
    static BigInt AddMag(const BigInt& a, const BigInt& b) {
        BigInt r;
        std::size_t n = std::max(a.mag_.size(), b.mag_.size());
        r.mag_.resize(n + 1, 0);
        unsigned long long carry = 0;
        for (std::size_t i = 0; i < n; ++i) {
            unsigned long long cur = carry;
            cur += i < a.mag_.size() ? a.mag_[i] : 0;
            cur += i < b.mag_.size() ? b.mag_[i] : 0;
            r.mag_[i] = static_cast<std::uint32_t>(cur);
            carry = cur >> 32;
        }
        r.mag_[n] = static_cast<std::uint32_t>(carry);
        return r;
    }
    static BigInt SubMag(const BigInt& a, const BigInt& b) { // |a| >= |b|
        BigInt r;
        r.mag_.resize(a.mag_.size(), 0);
        long long borrow = 0;
        for (std::size_t i = 0; i < a.mag_.size(); ++i) {
            long long cur = static_cast<long long>(a.mag_[i]) - borrow -
                            static_cast<long long>(i < b.mag_.size() ? b.mag_[i] : 0);
            borrow = cur < 0 ? 1 : 0;
            r.mag_[i] = static_cast<std::uint32_t>(cur + (borrow << 32));
        }
        return r;
    }

    bool neg_ = false;
    std::vector<std::uint32_t> mag_; // little-endian 32-bit words
};

Int128 CeilDiv(Int128 num, Int128 den) { // den > 0
    Int128 q = num / den;
    if (num % den != 0 && num > 0) {
        ++q;
    }
    return q;
}

// The pixels of a line, described along its major axis: for every major coordinate `a` from
// a0 towards a1 (a1 excluded) the minor coordinate is the integer nearest to the exact line,
// the smaller one where the line passes exactly halfway. Only major coordinates inside
// [0, majorLimit) are visited, so the work is bounded by the canvas, not by the line.
struct MajorRange {
    int first = 0;
    int last = -1; // inclusive
};

MajorRange VisibleRange(double a0, double a1, int majorLimit) {
    MajorRange r;
    double lo = 0;
    double hi = 0;
    if (a0 < a1) {
        lo = std::max(a0, 0.0);
        hi = a1 <= majorLimit - 1 ? a1 - 1 : majorLimit - 1; // a1 is small when subtracted
    } else {
        hi = std::min(a0, static_cast<double>(majorLimit - 1));
        lo = a1 >= 0 ? a1 + 1 : 0;
    }
    if (lo > hi) {
        return r;
    }
    r.first = static_cast<int>(lo);
    r.last = static_cast<int>(hi);
    return r;
}

// The span fill of ExtFloodFill from a seed of colour `seed` (not `brush`) at (sx, sy); with
// Count, what it paints is added to `work`, which it returns. Only the fill that is asked
// counts, in its busiest loop.
template <bool Count>
Surface::FloodWork SpanFill(Colour* pixels, int width, int height, int sx, int sy, Colour seed,
                            Colour brush, Surface::FloodWork work) {
    struct Span {
        int y, left, right, dy; // scan line y between left..right, reached from y - dy
    };
    std::vector<Span> stack;
    stack.reserve(256);
    stack.push_back({sy, sx, sx, 1});
    stack.push_back({sy - 1, sx, sx, -1});
    while (!stack.empty()) {
        Span s = stack.back();
        stack.pop_back();
        if (s.y < 0 || s.y >= height) {
            continue;
        }
        Colour* row = pixels + static_cast<std::size_t>(s.y) * static_cast<std::size_t>(width);
        int px = s.left;
        while (px <= s.right) {
            if (row[px] != seed) {
                ++px;
                continue;
            }
            int l = px;
            while (l > 0 && row[l - 1] == seed) {
                --l;
            }
            int r = px;
            while (r + 1 < width && row[r + 1] == seed) {
                ++r;
            }
            std::fill(row + l, row + r + 1, brush);
            if constexpr (Count) {
                work.pixels += static_cast<std::size_t>(r - l + 1);
                ++work.spans;
            }
            stack.push_back({s.y + s.dy, l, r, s.dy});
            // The run may overhang its parent span; what lies beyond must be looked at
            // on the parent's line too.
            if (l < s.left) {
                stack.push_back({s.y - s.dy, l, s.left - 1, -s.dy});
            }
            if (r > s.right) {
                stack.push_back({s.y - s.dy, s.right + 1, r, -s.dy});
            }
            px = r + 2;
        }
    }
    return work;
}

} // namespace

Surface::Surface(int width, int height, Colour backColor)
    : BackColor(backColor), width_(std::max(width, 0)), height_(std::max(height, 0)),
      blank_(backColor & COLOUR_MASK) {}

void Surface::Cls() {
    if (materialised_) {
        std::fill(pixels_.begin(), pixels_.end(), BackColor & COLOUR_MASK);
    } else {
        blank_ = BackColor & COLOUR_MASK;
    }
}

void Surface::Plot(int x, int y, Colour pen) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    Colour& p = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                        static_cast<std::size_t>(x)];
    switch (DrawMode) {
    case R2_BLACK:
        p = 0;
        break;
    case R2_XORPEN:
        p ^= pen & COLOUR_MASK;
        break;
    default:
        p = pen & COLOUR_MASK;
        break;
    }
}

void Surface::SetPixel(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    Materialise();
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = c & COLOUR_MASK;
}

void Surface::Dot(double x, double y, Colour pen) {
    if (!std::isfinite(x) || !std::isfinite(y) || std::trunc(x) != x || std::trunc(y) != y ||
        x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    Materialise();
    Plot(static_cast<int>(x), static_cast<int>(y), pen);
}

void Surface::Line(double x1, double y1, double x2, double y2, Colour pen) {
    for (double v : {x1, y1, x2, y2}) {
        if (!std::isfinite(v) || std::trunc(v) != v) {
            return;
        }
    }
    if (x1 == x2 && y1 == y2) {
        return;
    }
    Materialise();
    constexpr double kFast = 1152921504606846976.0; // 2^60: every product below fits 128 bits
    bool fast = std::fabs(x1) <= kFast && std::fabs(y1) <= kFast && std::fabs(x2) <= kFast &&
                std::fabs(y2) <= kFast;

    bool xMajor = false;
    if (fast) {
        xMajor = std::llabs(static_cast<long long>(x2) - static_cast<long long>(x1)) >
                 std::llabs(static_cast<long long>(y2) - static_cast<long long>(y1));
    } else {
        xMajor = (BigInt::FromDouble(y2) - BigInt::FromDouble(y1)).Abs() <
                 (BigInt::FromDouble(x2) - BigInt::FromDouble(x1)).Abs();
    }
    double a0 = xMajor ? x1 : y1;
    double a1 = xMajor ? x2 : y2;
    double b0 = xMajor ? y1 : x1;
    double b1 = xMajor ? y2 : x2;
    int majorLimit = xMajor ? width_ : height_;
    int minorLimit = xMajor ? height_ : width_;
    MajorRange range = VisibleRange(a0, a1, majorLimit);
    if (range.first > range.last || minorLimit <= 0) {
        return;
    }
    auto plotAt = [&](int a, int b) {
        if (xMajor) {
            Plot(a, b, pen);
        } else {
            Plot(b, a, pen);
        }
    };

    // Minor offset k of pixel a from b0: the smallest k with N <= (2k + 1) * D, where
    // D = |a1 - a0| and N = 2 * (a - a0) * sign(a1 - a0) * (b1 - b0).
    if (fast) {
        auto A0 = static_cast<Int128>(static_cast<long long>(a0));
        auto B0 = static_cast<Int128>(static_cast<long long>(b0));
        Int128 da = static_cast<Int128>(static_cast<long long>(a1)) - A0;
        Int128 db = static_cast<Int128>(static_cast<long long>(b1)) - B0;
        Int128 s = da > 0 ? 1 : -1;
        Int128 D = da * s;
        for (int a = range.first; a <= range.last; ++a) {
            Int128 N = 2 * (static_cast<Int128>(a) - A0) * s * db;
            Int128 b = B0 + CeilDiv(N - D, 2 * D);
            if (b >= 0 && b < minorLimit) {
                plotAt(a, static_cast<int>(b));
            }
        }
        return;
    }

    BigInt A0 = BigInt::FromDouble(a0);
    BigInt B0 = BigInt::FromDouble(b0);
    BigInt da = BigInt::FromDouble(a1) - A0;
    BigInt db = BigInt::FromDouble(b1) - B0;
    BigInt D = da.Abs();
    BigInt twoD = BigInt(2) * D;
    BigInt step = BigInt(2 * da.Sign()) * db; // N grows by this from one column to the next
    auto N = [&](long long a) { return (BigInt(a) - A0) * step; };
    auto R = [&](long long b) { return (BigInt(2) * (BigInt(b) - B0) + BigInt(1)) * D; };
    // The chosen minor coordinate of column a is at most b.
    auto chosenAtMost = [&](long long a, long long b) { return N(a) <= R(b); };
    const bool rising = step.Sign() >= 0; // the minor coordinate never falls along a
    auto entered = [&](long long a) {
        return rising ? !chosenAtMost(a, -1) : chosenAtMost(a, minorLimit - 1);
    };
    // The columns whose pixel lies on the canvas form one run: find where it starts.
    long long lo = range.first;
    long long hi = range.last + 1;
    while (lo < hi) {
        long long mid = lo + (hi - lo) / 2;
        if (entered(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (lo > range.last) {
        return;
    }
    const long long a = lo;
    if (chosenAtMost(a, -1) || !chosenAtMost(a, minorLimit - 1)) {
        return; // the line passes the canvas by
    }
    long long b = 0;
    long long top = minorLimit - 1;
    while (b < top) {
        long long mid = b + (top - b) / 2;
        if (chosenAtMost(a, mid)) {
            top = mid;
        } else {
            b = mid + 1;
        }
    }
    // From here on step along the line with additions only: N against the band of row b,
    // (2(b - b0) - 1) D < N <= (2(b - b0) + 1) D.
    BigInt n = N(a);
    BigInt r = R(b);
    for (long long col = a; col <= range.last; ++col) {
        if (col > a) {
            n = n + step;
            while (r < n) {
                ++b;
                r = r + twoD;
            }
            while (n <= r - twoD) {
                --b;
                r = r - twoD;
            }
        }
        if (b < 0 || b >= minorLimit) {
            break; // left the canvas, and it does not come back
        }
        plotAt(static_cast<int>(col), static_cast<int>(b));
    }
}

void Surface::Ellipse(double left, double top, double right, double bottom, Colour pen,
                      Colour brush) {
    for (double v : {left, top, right, bottom}) {
        if (!std::isfinite(v) || std::trunc(v) != v || std::fabs(v) > 1073741824.0) {
            return;
        }
    }
    Materialise();
    auto l = static_cast<long long>(std::min(left, right));
    auto r = static_cast<long long>(std::max(left, right));
    auto t = static_cast<long long>(std::min(top, bottom));
    auto b = static_cast<long long>(std::max(top, bottom));
    long long w = r - l;
    long long h = b - t;
    if (w <= 0 || h <= 0 || r <= 0 || b <= 0 || l >= width_ || t >= height_) {
        return;
    }
    // Pixel (x, y) of the box belongs to the ellipse when its centre lies inside the ellipse
    // inscribed in the box of pixels l..r-1 by t..b-1. In doubled coordinates that is
    // dx^2 h^2 + dy^2 w^2 <= w^2 h^2, exact in 128 bits.
    auto inside = [&](long long x, long long y) {
        if (x < l || x >= r || y < t || y >= b) {
            return false;
        }
        Int128 dx = 2 * (x - l) - (w - 1);
        Int128 dy = 2 * (y - t) - (h - 1);
        Int128 W = w;
        Int128 H = h;
        return dx * dx * H * H + dy * dy * W * W <= W * W * H * H;
    };
    long long x0 = std::max(l, 0LL);
    long long x1 = std::min(r, static_cast<long long>(width_));
    long long y0 = std::max(t, 0LL);
    long long y1 = std::min(b, static_cast<long long>(height_));
    for (long long y = y0; y < y1; ++y) {
        for (long long x = x0; x < x1; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            SetPixel(static_cast<int>(x), static_cast<int>(y), edge ? pen : brush);
        }
    }
}

Colour Surface::GetPixel(double x, double y) const {
    if (!(x >= 0 && y >= 0 && x < width_ && y < height_)) {
        return CLR_INVALID;
    }
    if (!materialised_) {
        return blank_;
    }
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

bool Surface::ExtFloodFill(double x, double y, Colour surfaceColour, Colour brush) {
    FloodWork uncounted;
    return Flood<false>(x, y, surfaceColour, brush, uncounted);
}

bool Surface::ExtFloodFill(double x, double y, Colour surfaceColour, Colour brush,
                           FloodWork& work) {
    return Flood<true>(x, y, surfaceColour, brush, work);
}

template <bool Count>
bool Surface::Flood(double x, double y, Colour surfaceColour, Colour brush, FloodWork& work) {
    brush &= COLOUR_MASK;
    const Colour seed = GetPixel(x, y);
    if (seed == CLR_INVALID || seed != surfaceColour || seed == brush) {
        return false;
    }
    Materialise();
    work = SpanFill<Count>(pixels_.data(), width_, height_, static_cast<int>(x),
                           static_cast<int>(y), seed, brush, work);
    return true;
}

void Surface::BitBlt(const Surface& src, int width, int height) {
    int w = std::min({width, width_, src.width_});
    int h = std::min({height, height_, src.height_});
    if (w <= 0 || h <= 0) {
        return;
    }
    src.Materialise();
    Materialise();
    for (int yy = 0; yy < h; ++yy) {
        const Colour* from = src.pixels_.data() +
                             static_cast<std::size_t>(yy) * static_cast<std::size_t>(src.width_);
        std::copy(from, from + w,
                  pixels_.data() + static_cast<std::size_t>(yy) * static_cast<std::size_t>(width_));
    }
}

void Surface::Swap(Surface& other) noexcept {
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    pixels_.swap(other.pixels_);
    std::swap(materialised_, other.materialised_);
    std::swap(blank_, other.blank_);
}

void Surface::FillSpan(int y, int left, int right, Colour c) {
    if (y < 0 || y >= height_) {
        return;
    }
    left = std::max(left, 0);
    right = std::min(right, width_ - 1);
    if (left > right) {
        return;
    }
    Materialise();
    Colour* row = pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    std::fill(row + left, row + right + 1, c & COLOUR_MASK);
}

} // namespace quillet
