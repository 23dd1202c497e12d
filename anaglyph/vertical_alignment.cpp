// FFTW is used from this file only.
#include "anaglyph/vertical_alignment.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

// The reduced views are at most this many pixels on their longer side: enough
// detail to find an offset, small enough to transform in milliseconds.
constexpr int32_t kReducedSide = 512;
// The full-resolution patch that refines the reduced views' answer.
constexpr int32_t kPatchSide = 256;
// An answer is trusted when the best row's peak stands clearly above the best
// peak on any other row.
constexpr double kSureConfidence = 0.5;
// Rows near the peak belong to it: a fractional offset spreads the peak.
constexpr int32_t kPeakRadius = 2;

struct Grey {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<double> values; // row by row
};

double Luma(uint32_t pixel)
{
    return 0.299 * ((pixel >> 16) & 0xFF) + 0.587 * ((pixel >> 8) & 0xFF) + 0.114 * (pixel & 0xFF);
}

// The grey of a width x height grid of factor x factor blocks starting at
// (x0, y0); the caller keeps the blocks inside the view.
Grey GreyBlocks(ImageView view, int32_t x0, int32_t y0, int32_t width, int32_t height, int32_t factor)
{
    Grey grey;
    grey.width = width;
    grey.height = height;
    grey.values.assign(size_t(width) * size_t(height), 0.0);
    const double area = double(factor) * factor;
    for (int32_t y = 0; y < height * factor; ++y) {
        const uint32_t* row = view.Row(y0 + y) + x0;
        double* out = &grey.values[size_t(y / factor) * size_t(width)];
        for (int32_t x = 0; x < width * factor; ++x)
            out[x / factor] += Luma(row[x]) / area;
    }
    return grey;
}

// Mean removed and a Hann window applied, so that the picture's edges do not
// correlate with themselves.
void Taper(Grey& grey)
{
    double mean = 0;
    for (double v : grey.values)
        mean += v;
    mean /= double(grey.values.size());
    for (int32_t y = 0; y < grey.height; ++y) {
        double wy = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (y + 0.5) / grey.height);
        for (int32_t x = 0; x < grey.width; ++x) {
            double wx = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (x + 0.5) / grey.width);
            double& v = grey.values[size_t(y) * size_t(grey.width) + size_t(x)];
            v = (v - mean) * wx * wy;
        }
    }
}

struct Peak {
    double dx = 0, dy = 0; // where b's content sits against a's, fractional
    double confidence = 0;
};

// FFTW's planner is not thread-safe; executing distinct plans is.
std::mutex& PlannerLock()
{
    static std::mutex lock;
    return lock;
}

struct Transform {
    int32_t width, height;
    double* real = nullptr;
    fftw_complex* spectrum = nullptr;
    fftw_plan forward = nullptr, inverse = nullptr;

    Transform(int32_t w, int32_t h) : width(w), height(h)
    {
        real = fftw_alloc_real(size_t(w) * size_t(h));
        spectrum = fftw_alloc_complex(size_t(h) * size_t(w / 2 + 1));
        std::lock_guard<std::mutex> hold(PlannerLock());
        if (real && spectrum) {
            forward = fftw_plan_dft_r2c_2d(h, w, real, spectrum, FFTW_ESTIMATE);
            inverse = fftw_plan_dft_c2r_2d(h, w, spectrum, real, FFTW_ESTIMATE);
        }
    }
    ~Transform()
    {
        std::lock_guard<std::mutex> hold(PlannerLock());
        if (forward)
            fftw_destroy_plan(forward);
        if (inverse)
            fftw_destroy_plan(inverse);
        fftw_free(real);
        fftw_free(spectrum);
    }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
    bool Ready() const { return forward && inverse; }
    size_t SpectrumSize() const { return size_t(height) * size_t(width / 2 + 1); }
};

// Offset of the peak around index i of a sampled curve, from the parabola
// through it and its neighbours.
double ParabolaOffset(double before, double at, double after)
{
    double bend = before - 2 * at + after;
    return bend < 0 ? std::clamp(0.5 * (before - after) / bend, -0.5, 0.5) : 0.0;
}

// Phase correlation of two grey grids of the same size: the normalised cross
// spectrum turns back into a single peak at b's offset against a.
Peak PhaseCorrelate(Grey a, Grey b)
{
    Peak peak;
    Taper(a);
    Taper(b);
    Transform t(a.width, a.height);
    if (!t.Ready())
        return peak;
    const size_t n = a.values.size(), bins = t.SpectrumSize();
    std::copy(a.values.begin(), a.values.end(), t.real);
    fftw_execute(t.forward);
    std::vector<std::complex<double>> spectrumA(bins);
    for (size_t i = 0; i < bins; ++i)
        spectrumA[i] = {t.spectrum[i][0], t.spectrum[i][1]};
    std::copy(b.values.begin(), b.values.end(), t.real);
    fftw_execute(t.forward);
    double strongest = 0;
    std::vector<std::complex<double>> cross(bins);
    for (size_t i = 0; i < bins; ++i) {
        cross[i] = std::complex<double>(t.spectrum[i][0], t.spectrum[i][1]) * std::conj(spectrumA[i]);
        strongest = std::max(strongest, std::abs(cross[i]));
    }
    // Frequencies with next to no energy in either view carry only rounding
    // noise; they are left out rather than blown up to full weight. A flat
    // pair leaves nothing, and so no peak.
    const double floor = strongest * 1e-9;
    for (size_t i = 0; i < bins; ++i) {
        double magnitude = std::abs(cross[i]);
        std::complex<double> unit = magnitude > floor && magnitude > 0 ? cross[i] / magnitude : 0.0;
        t.spectrum[i][0] = unit.real();
        t.spectrum[i][1] = unit.imag();
    }
    fftw_execute(t.inverse);
    const int32_t w = a.width, h = a.height;
    auto at = [&](int32_t x, int32_t y) { return t.real[size_t((y + h) % h) * size_t(w) + size_t((x + w) % w)] / double(n); };
    int32_t bestX = 0, bestY = 0;
    double best = 0;
    std::vector<double> rowBest(size_t(h), 0.0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            double v = at(x, y);
            rowBest[size_t(y)] = std::max(rowBest[size_t(y)], v);
            if (v > best) {
                best = v;
                bestX = x;
                bestY = y;
            }
        }
    if (best <= 0)
        return peak;
    // How sure: the best peak against the best on any row that is not its own.
    double rival = 0;
    for (int32_t y = 0; y < h; ++y) {
        int32_t distance = std::abs(y - bestY);
        distance = std::min(distance, h - distance);
        if (distance > kPeakRadius)
            rival = std::max(rival, rowBest[size_t(y)]);
    }
    peak.confidence = std::max(0.0, 1 - rival / best);
    peak.dx = (bestX > w / 2 ? bestX - w : bestX) + ParabolaOffset(at(bestX - 1, bestY), best, at(bestX + 1, bestY));
    peak.dy = (bestY > h / 2 ? bestY - h : bestY) + ParabolaOffset(at(bestX, bestY - 1), best, at(bestX, bestY + 1));
    return peak;
}

// A full-resolution patch of each view around the middle, the right one
// placed where the reduced views put its content, refines the answer to a
// pixel. Returns false when the patch does not fit or gives no clear answer.
bool RefineAtFullSize(ImageView left, ImageView right, int32_t& rows, int32_t& columns)
{
    const int32_t side = std::min({kPatchSide, left.width - std::abs(columns), left.height - std::abs(rows)});
    if (side < 32)
        return false;
    // Both patches inside their views: left at (x, y), right at (x + columns, y + rows).
    const int32_t x = std::clamp((left.width - side) / 2, std::max(0, -columns), left.width - side - std::max(0, columns));
    const int32_t y = std::clamp((left.height - side) / 2, std::max(0, -rows), left.height - side - std::max(0, rows));
    Peak residual = PhaseCorrelate(GreyBlocks(left, x, y, side, side, 1),
                                   GreyBlocks(right, x + columns, y + rows, side, side, 1));
    if (residual.confidence < kSureConfidence)
        return false;
    rows += static_cast<int32_t>(std::lround(residual.dy));
    columns += static_cast<int32_t>(std::lround(residual.dx));
    return true;
}

} // namespace

VerticalOffset EstimateVerticalOffset(ImageView left, ImageView right)
{
    VerticalOffset offset;
    if (left.width != right.width || left.height != right.height || left.width < 8 || left.height < 8)
        return offset;
    const int32_t factor = std::max(1, (std::max(left.width, left.height) + kReducedSide - 1) / kReducedSide);
    const int32_t width = left.width / factor, height = left.height / factor;
    Peak coarse = PhaseCorrelate(GreyBlocks(left, 0, 0, width, height, factor),
                                 GreyBlocks(right, 0, 0, width, height, factor));
    offset.confidence = coarse.confidence;
    offset.rows = static_cast<int32_t>(std::lround(coarse.dy * factor));
    offset.columns = static_cast<int32_t>(std::lround(coarse.dx * factor));
    // An offset of a quarter of the height is no tilt of a camera: more
    // likely two unrelated pictures.
    offset.sure = coarse.confidence >= kSureConfidence && std::abs(offset.rows) < left.height / 4;
    if (offset.sure && factor > 1)
        RefineAtFullSize(left, right, offset.rows, offset.columns);
    return offset;
}

bool RemoveVerticalOffset(ImageView& left, ImageView& right, int32_t rows)
{
    const int64_t amount = rows < 0 ? -int64_t{rows} : int64_t{rows};
    if (amount >= left.height || left.height != right.height)
        return false;
    const int32_t height = left.height - static_cast<int32_t>(amount);
    // A point on row y of the left view is on row y + rows of the right.
    left = left.Crop(0, rows < 0 ? static_cast<int32_t>(amount) : 0, left.width, height);
    right = right.Crop(0, rows > 0 ? rows : 0, right.width, height);
    return true;
}

void AlignViewsVertically(ImageView& left, ImageView& right, std::string& notes)
{
    VerticalOffset offset = EstimateVerticalOffset(left, right);
    char line[256];
    if (!offset.sure) {
        std::snprintf(line, sizeof line,
                      "Vertical alignment: not sure (confidence %.2f); the views are left as they are.\n",
                      offset.confidence);
    } else if (offset.rows == 0) {
        std::snprintf(line, sizeof line, "Vertical alignment: the views are level (confidence %.2f).\n",
                      offset.confidence);
    } else {
        bool cut = RemoveVerticalOffset(left, right, offset.rows);
        std::snprintf(line, sizeof line,
                      "Vertical alignment: the right view sits %d rows %s than the left (confidence %.2f); %s.\n",
                      std::abs(offset.rows), offset.rows > 0 ? "lower" : "higher", offset.confidence,
                      cut ? "as many rows cut" : "the views are left as they are");
    }
    notes += line;
}
