// OpenCV's feature detector and matcher find the candidate points; the fit is
// our own, since the model is not a general homography: it has no horizontal
// offset and is fitted to rows only, so that the depth is never read as a
// misalignment.
#include "anaglyph/pair_measurement.h"

#include <opencv2/core.hpp>
#include <opencv2/core/hal/hal.hpp>
#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <emmintrin.h>
#include <cmath>
#include <numbers>
#include <random>

#include "anaglyph/pair_frame.h"
#include "anaglyph/parallel_parts.h"

namespace {

// The reduced views must leave room for the detector's 31-pixel patches.
constexpr int32_t kSmallestReducedSide = 64;
constexpr int32_t kFeatures = kMeasureFeatures;
constexpr int32_t kWindowFeatures = 700;
constexpr int32_t kPyramidLevels = 4;
constexpr int32_t kWindowPyramidLevels = 3;
constexpr int32_t kWindowBlockRows = 2;
// Matches are looked for only this share of the height above or below a
// point: a pair more out of line than that is no pair.
constexpr double kMatchBand = 0.1;
// Lowe's ratio: a match is kept when its best descriptor distance is clearly
// better than the second best.
constexpr float kMatchRatio = 0.8f;
// Too few agreeing matches, and a fit says more about chance than the pair.
constexpr size_t kFewestMatches = 24;
// Reduced pixels a match may miss the first, coarse fit by.
constexpr double kCoarseThreshold = 2.5;
constexpr int32_t kRansacRounds = 150;
// Full-resolution refinement: a patch of the left view around each matched
// point is searched for in the right view, scored by normalised correlation.
constexpr int32_t kPatchRadius = 7;
constexpr double kFewestCorrelation = 0.5;
constexpr size_t kMostRefined = 300;
// Reduced pixels a match may be out by before its refinement.
constexpr int32_t kReducedReach = 3;
// The fit's keystone terms are weakly held when the points cover little of
// the view; this much of a penalty keeps them at zero unless the matches
// ask for them.
constexpr double kKeystoneRidge = 1e-4;

// Rows of the linear system for the fit: p u + q v + t - g u vl - k v vl = vl,
// the row equation multiplied through by w.
struct Sample {
    double u, v, vl;
};

double RowResidual(const VerticalFit& fit, const Sample& s)
{
    double w = 1 + fit.g * s.u + fit.k * s.v;
    return (fit.p * s.u + fit.q * s.v + fit.t) / w - s.vl;
}

// Least squares over the samples flagged in use: the similarity's row terms
// only (three unknowns), or with the two keystones.
bool SolveFit(const std::vector<Sample>& samples, const std::vector<char>& use, bool keystone, VerticalFit& fit)
{
    const int unknowns = keystone ? 5 : 3;
    cv::Matx<double, 5, 5> normal = cv::Matx<double, 5, 5>::zeros();
    cv::Vec<double, 5> right = cv::Vec<double, 5>::all(0);
    size_t used = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (!use[i])
            continue;
        const Sample& s = samples[i];
        const double row[5] = {s.u, s.v, 1, -s.u * s.vl, -s.v * s.vl};
        for (int a = 0; a < unknowns; ++a) {
            right[a] += row[a] * s.vl;
            for (int b = 0; b < unknowns; ++b)
                normal(a, b) += row[a] * row[b];
        }
        ++used;
    }
    if (used < size_t(unknowns))
        return false;
    for (int a = 3; a < unknowns; ++a)
        normal(a, a) += kKeystoneRidge * double(used);
    for (int a = unknowns; a < 5; ++a)
        normal(a, a) = 1; // unknowns left out stay zero
    cv::Vec<double, 5> x;
    if (!cv::solve(normal, right, x, cv::DECOMP_CHOLESKY))
        return false;
    fit = {x[0], x[1], x[2], keystone ? x[3] : 0.0, keystone ? x[4] : 0.0};
    return std::isfinite(fit.p) && std::isfinite(fit.q) && std::isfinite(fit.t) && fit.q > 0.5;
}

// Flags the samples whose row residual is within threshold (normalised units).
size_t MarkInliers(const std::vector<Sample>& samples, const VerticalFit& fit, double threshold,
                   std::vector<char>& use)
{
    size_t count = 0;
    use.assign(samples.size(), 0);
    for (size_t i = 0; i < samples.size(); ++i) {
        double r = RowResidual(fit, samples[i]);
        if (std::isfinite(r) && std::abs(r) <= threshold) {
            use[i] = 1;
            ++count;
        }
    }
    return count;
}

// RANSAC on the three similarity terms, then least squares with the
// keystones on the agreeing samples, twice, so that a keystone the coarse
// threshold cut short is taken in. Returns the inlier count.
size_t RobustFit(const std::vector<Sample>& samples, double coarse, double fine, VerticalFit& fit,
                 std::vector<char>& use)
{
    if (samples.size() < kFewestMatches)
        return 0;
    std::mt19937 random(20260);
    std::uniform_int_distribution<size_t> pick(0, samples.size() - 1);
    size_t best = 0;
    VerticalFit bestFit;
    std::vector<char> trial(samples.size(), 0), chosen;
    for (int32_t round = 0; round < kRansacRounds; ++round) {
        size_t a = pick(random), b = pick(random), c = pick(random);
        if (a == b || b == c || a == c)
            continue;
        std::fill(trial.begin(), trial.end(), 0);
        trial[a] = trial[b] = trial[c] = 1;
        VerticalFit candidate;
        if (!SolveFit(samples, trial, false, candidate))
            continue;
        size_t count = MarkInliers(samples, candidate, coarse, chosen);
        if (count > best) {
            best = count;
            bestFit = candidate;
        }
    }
    if (best < kFewestMatches)
        return 0;
    fit = bestFit;
    size_t count = MarkInliers(samples, fit, coarse, use);
    for (double threshold : {coarse, 0.5 * (coarse + fine), fine}) {
        VerticalFit refined;
        if (!SolveFit(samples, use, true, refined))
            break;
        fit = refined;
        count = MarkInliers(samples, fit, threshold, use);
    }
    return count;
}

double Luma(uint32_t pixel)
{
    return 0.299 * ((pixel >> 16) & 0xFF) + 0.587 * ((pixel >> 8) & 0xFF) + 0.114 * (pixel & 0xFF);
}

// Luma of the square of radius r around (x, y); false when it leaves the view.
bool LumaSquare(ImageView view, int32_t x, int32_t y, int32_t r, std::vector<double>& out)
{
    if (x - r < 0 || y - r < 0 || x + r >= view.width || y + r >= view.height)
        return false;
    out.clear();
    for (int32_t dy = -r; dy <= r; ++dy) {
        const uint32_t* row = view.Row(y + dy);
        for (int32_t dx = -r; dx <= r; ++dx)
            out.push_back(Luma(row[x + dx]));
    }
    return true;
}

double ParabolaPeak(double before, double at, double after)
{
    double bend = before - 2 * at + after;
    return bend < 0 ? std::clamp(0.5 * (before - after) / bend, -0.5, 0.5) : 0.0;
}

// The same from a reduced grey view.
bool LumaSquare(const cv::Mat& grey, int32_t x, int32_t y, int32_t r, std::vector<double>& out)
{
    if (x - r < 0 || y - r < 0 || x + r >= grey.cols || y + r >= grey.rows)
        return false;
    out.clear();
    for (int32_t dy = -r; dy <= r; ++dy) {
        const uint8_t* row = grey.ptr<uint8_t>(y + dy);
        for (int32_t dx = -r; dx <= r; ++dx)
            out.push_back(row[x + dx]);
    }
    return true;
}

// Finds the left view's patch around (xl, yl) in the right view within
// reach of (xr, yr), to a fraction of a pixel. False when the patch is flat,
// leaves a view, or has no clear best place.
template <typename View>
bool Refine(const View& left, const View& right, PointPair& pair, int32_t reach)
{
    const int32_t r = kPatchRadius, xl = int32_t(std::lround(pair.xl)), yl = int32_t(std::lround(pair.yl));
    const int32_t xr = int32_t(std::lround(pair.xr)), yr = int32_t(std::lround(pair.yr));
    std::vector<double> patch, area;
    const int32_t span = r + reach + 1;
    if (!LumaSquare(left, xl, yl, r, patch) || !LumaSquare(right, xr, yr, span, area))
        return false;
    const int32_t side = 2 * r + 1, areaSide = 2 * span + 1;
    double mean = 0, energy = 0;
    for (double v : patch)
        mean += v;
    mean /= double(patch.size());
    for (double& v : patch) {
        v -= mean;
        energy += v * v;
    }
    if (energy < double(patch.size()) * 4.0) // a flat patch places nothing
        return false;
    const int32_t reachSide = 2 * (reach + 1) + 1;
    std::vector<double> score(size_t(reachSide) * size_t(reachSide), -1.0);
    double best = -1;
    int32_t bestX = 0, bestY = 0;
    for (int32_t oy = 0; oy < reachSide; ++oy)
        for (int32_t ox = 0; ox < reachSide; ++ox) {
            double sum = 0, sum2 = 0, cross = 0;
            for (int32_t y = 0; y < side; ++y) {
                const double* a = &area[size_t(oy + y) * size_t(areaSide) + size_t(ox)];
                const double* b = &patch[size_t(y) * size_t(side)];
                for (int32_t x = 0; x < side; ++x) {
                    sum += a[x];
                    sum2 += a[x] * a[x];
                    cross += a[x] * b[x];
                }
            }
            double n = double(side) * side, variance = sum2 - sum * sum / n;
            double value = variance > 0 ? cross / std::sqrt(variance * energy) : -1;
            score[size_t(oy) * size_t(reachSide) + size_t(ox)] = value;
            if (value > best) {
                best = value;
                bestX = ox;
                bestY = oy;
            }
        }
    // On the edge of the search: the true place may lie beyond it.
    if (best < kFewestCorrelation || bestX == 0 || bestY == 0 || bestX == reachSide - 1 || bestY == reachSide - 1)
        return false;
    auto at = [&](int32_t x, int32_t y) { return score[size_t(y) * size_t(reachSide) + size_t(x)]; };
    const int32_t centre = reach + 1;
    pair.xl = xl;
    pair.yl = yl;
    pair.xr = xr + (bestX - centre) + ParabolaPeak(at(bestX - 1, bestY), best, at(bestX + 1, bestY));
    pair.yr = yr + (bestY - centre) + ParabolaPeak(at(bestX, bestY - 1), best, at(bestX, bestY + 1));
    return true;
}

struct Features {
    cv::Mat reduced; // the grey view they were found in
    std::vector<cv::Point2f> points;
    cv::Mat descriptors; // 32 bytes a row
};

// The view reduced by factor, each pixel the mean of a factor x factor block
// of (r + 2g + b) / 4: in one pass, without a full-size grey copy, and
// close enough to luma for finding corners. Each row's pixels are added to
// per-column sums four at a time, the blocks' columns summed once per
// reduced row.
// rowsUsed of each block's rows (the middle ones) are read: all of them
// for the alignment, fewer for the stereo window, which reads a sixth of
// the memory that way and finds the same corners to a reduced pixel.
cv::Mat ReducedGrey(ImageView view, int32_t factor, int32_t rowsUsed, int32_t width, int32_t height)
{
    cv::Mat reduced(height, width, CV_8U);
    const int32_t used = width * factor; // the columns the blocks cover
    std::vector<uint32_t> columns(static_cast<size_t>(used) + 4);
    const uint32_t area = uint32_t(factor) * uint32_t(rowsUsed) * 4;
    const int32_t skipped = (factor - rowsUsed) / 2;
    const __m128i low = _mm_set1_epi32(0xFF);
    for (int32_t y = 0; y < height; ++y) {
        std::fill(columns.begin(), columns.end(), 0u);
        for (int32_t dy = 0; dy < rowsUsed; ++dy) {
            const uint32_t* row = view.Row(y * factor + skipped + dy);
            int32_t x = 0;
            for (; x + 4 <= used; x += 4) {
                const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
                const __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), low);
                const __m128i g = _mm_and_si128(_mm_srli_epi32(p, 8), low);
                const __m128i b = _mm_and_si128(p, low);
                const __m128i sum = _mm_add_epi32(_mm_add_epi32(r, b), _mm_add_epi32(g, g));
                __m128i* at = reinterpret_cast<__m128i*>(&columns[size_t(x)]);
                _mm_storeu_si128(at, _mm_add_epi32(_mm_loadu_si128(at), sum));
            }
            for (; x < used; ++x) {
                const uint32_t p = row[x];
                columns[size_t(x)] += ((p >> 16) & 0xFF) + 2 * ((p >> 8) & 0xFF) + (p & 0xFF);
            }
        }
        uint8_t* out = reduced.ptr<uint8_t>(y);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t sum = 0;
            for (int32_t dx = 0; dx < factor; ++dx)
                sum += columns[size_t(x * factor + dx)];
            out[x] = uint8_t((sum + area / 2) / area);
        }
    }
    return reduced;
}

Features Detect(ImageView view, int32_t factor, int32_t rowsUsed, int32_t width, int32_t height, int32_t most,
                int32_t levels)
{
    cv::Mat reduced = ReducedGrey(view, factor, rowsUsed, width, height);
    cv::Ptr<cv::ORB> orb = cv::ORB::create(most, 1.2f, levels, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31, 12);
    std::vector<cv::KeyPoint> keys;
    Features features;
    features.reduced = reduced;
    orb->detectAndCompute(reduced, cv::noArray(), keys, features.descriptors);
    for (const cv::KeyPoint& key : keys)
        features.points.push_back(key.pt);
    return features;
}

// OpenCV's, which uses the processor's population count where it has one.
int Hamming(const uint8_t* a, const uint8_t* b) { return cv::hal::normHamming(a, b, 32); }

// For each left point, the right points within band rows of it, best and
// second best by descriptor distance; kept when the best is clearly better
// (Lowe's ratio) and the right point's own best in the band is that left
// point. OpenCV's brute-force matcher would compare every pair; the band
// leaves a few per cent of them.
std::vector<std::pair<cv::Point2f, cv::Point2f>> BandMatches(const Features& left, const Features& right, double band)
{
    std::vector<size_t> order(right.points.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return right.points[a].y < right.points[b].y; });
    std::vector<float> ys;
    for (size_t i : order)
        ys.push_back(right.points[i].y);
    std::vector<int> bestLeftDistance(right.points.size(), 1 << 30);
    std::vector<int> bestLeft(right.points.size(), -1);
    struct Choice {
        int right = -1, distance = 1 << 30;
    };
    std::vector<Choice> choices(left.points.size());
    for (size_t l = 0; l < left.points.size(); ++l) {
        const float y = left.points[l].y;
        auto from = std::lower_bound(ys.begin(), ys.end(), float(y - band));
        auto to = std::upper_bound(ys.begin(), ys.end(), float(y + band));
        int best = 1 << 30, second = 1 << 30, bestIndex = -1;
        const uint8_t* a = left.descriptors.ptr<uint8_t>(int(l));
        for (auto it = from; it != to; ++it) {
            size_t r = order[size_t(it - ys.begin())];
            int d = Hamming(a, right.descriptors.ptr<uint8_t>(int(r)));
            if (d < bestLeftDistance[r]) {
                bestLeftDistance[r] = d;
                bestLeft[r] = int(l);
            }
            if (d < best) {
                second = best;
                best = d;
                bestIndex = int(r);
            } else if (d < second) {
                second = d;
            }
        }
        if (bestIndex >= 0 && float(best) < kMatchRatio * float(second))
            choices[l] = {bestIndex, best};
    }
    std::vector<std::pair<cv::Point2f, cv::Point2f>> matches;
    for (size_t l = 0; l < choices.size(); ++l)
        if (choices[l].right >= 0 && bestLeft[size_t(choices[l].right)] == int(l))
            matches.emplace_back(left.points[l], right.points[size_t(choices[l].right)]);
    return matches;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + long(at), values.end());
    return values[at];
}

std::vector<Sample> SamplesOf(const std::vector<PointPair>& pairs, const Normaliser& norm)
{
    std::vector<Sample> samples;
    samples.reserve(pairs.size());
    for (const PointPair& m : pairs)
        samples.push_back({(m.xr - norm.cx) / norm.n, (m.yr - norm.cy) / norm.n, (m.yl - norm.cy) / norm.n});
    return samples;
}

// The fit of the rows from the refined matches (pixel: how sure a match is,
// in full-resolution pixels), the last cut of the matches, and the
// disparities before and after; false with the problem in m.
bool FitRows(PairMeasurement& m, const std::vector<PointPair>& refined, size_t agreeing, double pixelSize)
{
    const Normaliser norm(m.width, m.height);
    std::vector<char> use;
    std::vector<Sample> samples = SamplesOf(refined, norm);
    const double pixel = pixelSize / norm.n;
    if (RobustFit(samples, 3 * pixel, 1.0 * pixel, m.fit, use) < kFewestMatches) {
        m.problem = "too few matches agree at full size (" + std::to_string(refined.size()) + " of " +
                    std::to_string(agreeing) + ")";
        return false;
    }
    // The last cut: matches further from the fit than three robust
    // deviations (at least a pixel) are no part of the pair's geometry.
    std::vector<double> residuals;
    for (size_t i = 0; i < samples.size(); ++i)
        if (use[i])
            residuals.push_back(std::abs(RowResidual(m.fit, samples[i])));
    double spread = std::max(pixel, 3 * 1.4826 * Percentile(residuals, 0.5));
    VerticalFit final;
    MarkInliers(samples, m.fit, spread, use);
    if (SolveFit(samples, use, true, final))
        m.fit = final;
    MarkInliers(samples, m.fit, spread, use);

    std::vector<double> before, after;
    m.matches.clear();
    for (size_t i = 0; i < samples.size(); ++i) {
        if (!use[i])
            continue;
        m.matches.push_back(refined[i]);
        before.push_back(std::abs(refined[i].yl - refined[i].yr));
        after.push_back(std::abs(RowResidual(m.fit, samples[i])) * norm.n);
    }
    if (m.matches.size() < kFewestMatches) {
        m.problem = "too few matches agree (" + std::to_string(m.matches.size()) + ")";
        m.matches.clear();
        return false;
    }
    m.before = {Percentile(before, 0.5), Percentile(before, 0.9)};
    m.after = {Percentile(after, 0.5), Percentile(after, 0.9)};
    return true;
}

} // namespace

PairMeasurement MeasurePair(ImageView left, ImageView right, bool toFullSize)
{
    PairMeasurement m;
    m.width = left.width;
    m.height = left.height;
    if (left.width != right.width || left.height != right.height || left.Empty() || right.Empty()) {
        m.problem = "the two views differ in size";
        return m;
    }
    // A whole factor: every reduced pixel the mean of a block of the view.
    const int32_t factor = int32_t(std::ceil(
        std::max({1.0, double(std::max(left.width, left.height)) / (toFullSize ? kMeasureMaxSide : kWindowMeasureMaxSide),
                  std::sqrt(double(left.width) * double(left.height) /
                            double(toFullSize ? kMeasureMaxArea : kWindowMeasureMaxArea))}) - 1e-9));
    const int32_t most = toFullSize ? kFeatures : kWindowFeatures;
    const int32_t levels = toFullSize ? kPyramidLevels : kWindowPyramidLevels;
    const int32_t rowsUsed = toFullSize ? factor : std::min(factor, kWindowBlockRows);
    const int32_t rw = left.width / factor, rh = left.height / factor;
    if (rw < kSmallestReducedSide || rh < kSmallestReducedSide) {
        m.problem = "the views are too small to measure (" + std::to_string(left.width) + " x " +
                    std::to_string(left.height) + " pixels)";
        return m;
    }
    const double f = factor;
    m.pixelsPerReduced = f;

    // Both views at once.
    Features features[2];
    ImageView views[2] = {left, right};
    if (PartsForCores() >= 2)
        RunParts(2, [&](int i) { features[i] = Detect(views[i], factor, rowsUsed, rw, rh, most, levels); });
    else
        for (int i = 0; i < 2; ++i)
            features[i] = Detect(views[i], factor, rowsUsed, rw, rh, most, levels);
    if (features[0].points.size() < kFewestMatches || features[1].points.size() < kFewestMatches) {
        m.problem = "the views show too little detail to match";
        return m;
    }
    std::vector<PointPair> candidates;
    for (const auto& [a, b] : BandMatches(features[0], features[1], kMatchBand * rh)) {
        // A reduced pixel's centre in full-resolution pixels.
        candidates.push_back({(a.x + 0.5) * f - 0.5, (a.y + 0.5) * f - 0.5, (b.x + 0.5) * f - 0.5, (b.y + 0.5) * f - 0.5});
    }
    m.candidateMatches = int32_t(candidates.size());

    const Normaliser norm(left.width, left.height);
    std::vector<char> use;
    VerticalFit coarse;
    std::vector<Sample> samples = SamplesOf(candidates, norm);
    const double reducedUnit = m.pixelsPerReduced / norm.n;
    if (RobustFit(samples, kCoarseThreshold * reducedUnit, 1.5 * reducedUnit, coarse, use) < kFewestMatches) {
        m.problem = "too few matches agree (" + std::to_string(candidates.size()) + " found)";
        return m;
    }

    // The agreeing matches placed to a fraction of a reduced pixel (the
    // detector's corners on its coarser levels are a few pixels out), then,
    // for the alignment, to a fraction of a full one: at most kMostRefined
    // of them, spread evenly over the list.
    std::vector<PointPair> agreeing;
    for (size_t i = 0; i < candidates.size(); ++i)
        if (use[i])
            agreeing.push_back(candidates[i]);
    std::vector<PointPair> placed; // to a fraction of a reduced pixel
    for (const PointPair& a : agreeing) {
        PointPair pair{(a.xl + 0.5) / f - 0.5, (a.yl + 0.5) / f - 0.5, (a.xr + 0.5) / f - 0.5, (a.yr + 0.5) / f - 0.5};
        if (Refine(features[0].reduced, features[1].reduced, pair, kReducedReach))
            placed.push_back({(pair.xl + 0.5) * f - 0.5, (pair.yl + 0.5) * f - 0.5, (pair.xr + 0.5) * f - 0.5,
                              (pair.yr + 0.5) * f - 0.5});
    }
    std::vector<PointPair> refined;
    if (toFullSize && factor > 1) {
        const size_t step = std::max<size_t>(1, (placed.size() + kMostRefined - 1) / kMostRefined);
        for (size_t i = 0; i < placed.size(); i += step) {
            PointPair pair = placed[i];
            if (Refine(left, right, pair, factor / 2 + 1))
                refined.push_back(pair);
        }
    } else {
        refined = placed;
    }
    // Matches placed at the reduced size are a reduced pixel's worth less sure.
    if (!FitRows(m, refined, agreeing.size(), toFullSize ? 1.0 : f))
        return m;
    // For the depth, every match placed at the reduced size that the fit
    // puts within two reduced pixels of its row.
    for (const PointPair& p : placed) {
        const Sample sample{(p.xr - norm.cx) / norm.n, (p.yr - norm.cy) / norm.n, (p.yl - norm.cy) / norm.n};
        if (std::abs(RowResidual(m.fit, sample)) * norm.n <= 2 * f)
            m.depthMatches.push_back(p);
    }
    return m;
}

void ReadyPairMeasurement() {}

void RefineAtFullSize(PairMeasurement& m, ImageView left, ImageView right, int32_t reach)
{
    if (!m.problem.empty() || left.width != m.width || left.height != m.height || right.width != m.width ||
        right.height != m.height)
        return;
    // Every match placed on the reduced views that the fit keeps, as
    // MeasurePair refines its placed matches.
    const std::vector<PointPair>& placed = m.depthMatches;
    const size_t step = std::max<size_t>(1, (placed.size() + kMostRefined - 1) / kMostRefined);
    std::vector<PointPair> refined;
    for (size_t i = 0; i < placed.size(); i += step) {
        PointPair pair = placed[i];
        if (Refine(left, right, pair, reach))
            refined.push_back(pair);
    }
    FitRows(m, refined, placed.size(), 1.0);
}
