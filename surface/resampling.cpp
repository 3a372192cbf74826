#include "resampling.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace quenzil {

namespace {

// Which source pixels along one axis make up one target pixel: `first` to `last`, the first
// weighted `firstWeight`, the last `lastWeight` and those between them the axis's inner weight.
struct Tap
{
    int first = 0;
    int last = 0;
    std::uint64_t firstWeight = 0;
    std::uint64_t lastWeight = 0;
};

// The sums kept for one pixel: red, green and blue.
constexpr std::size_t channels = 3;

// The taps of every target pixel along one axis; each target's weights add up to `total`.
struct Axis
{
    std::vector<Tap> taps;
    std::uint64_t innerWeight = 0;
    std::uint64_t total = 0;
};

Axis smoothAxis(int from, int to)
{
    Axis axis;
    axis.taps.resize(std::size_t(to));
    const std::int64_t f = from;
    const std::int64_t t = to;
    if (to < from) {
        // Area averaging, in units of 1 / (from * to) of the axis: source pixel i covers
        // [i * to, (i + 1) * to), target pixel j covers [j * from, (j + 1) * from). Each source
        // pixel weighs the length it shares with the target, so whole ones weigh `to`.
        axis.innerWeight = std::uint64_t(t);
        axis.total = std::uint64_t(f);
        for (std::int64_t j = 0; j < t; ++j) {
            const std::int64_t begin = j * f;
            const std::int64_t end = begin + f;
            Tap &tap = axis.taps[std::size_t(j)];
            tap.first = int(begin / t);
            tap.last = int((end - 1) / t);
            tap.firstWeight = std::uint64_t(std::min((tap.first + 1) * t, end) - begin);
            tap.lastWeight = std::uint64_t(end - std::max(tap.last * t, begin));
        }
        return axis;
    }
    // Interpolating (or copying, at the same size): target pixel j's centre lies at
    // (j + 1/2) * from / to - 1/2 in source pixels, here in units of 1 / (2 * to). The edges
    // repeat the outermost pixels.
    axis.total = std::uint64_t(2 * t);
    for (std::int64_t j = 0; j < t; ++j) {
        const std::int64_t centre = (2 * j + 1) * f - t;
        Tap &tap = axis.taps[std::size_t(j)];
        const std::int64_t below = centre <= 0 ? 0 : std::min(centre / (2 * t), f - 1);
        const std::int64_t fraction = centre <= 0 || below == f - 1 ? 0 : centre % (2 * t);
        tap.first = int(below);
        tap.last = int(fraction == 0 ? below : below + 1);
        tap.firstWeight = std::uint64_t(2 * t - fraction);
        tap.lastWeight = std::uint64_t(fraction);
    }
    return axis;
}

// The three channels of a row of source pixels, and of a row of sums already taken along y.
struct PixelRow
{
    const QRgb *line;
    std::uint64_t red(int x) const { return std::uint64_t(qRed(line[x])); }
    std::uint64_t green(int x) const { return std::uint64_t(qGreen(line[x])); }
    std::uint64_t blue(int x) const { return std::uint64_t(qBlue(line[x])); }
};

struct SumRow
{
    const std::uint64_t *sums;
    std::uint64_t red(int x) const { return sums[std::size_t(x) * channels]; }
    std::uint64_t green(int x) const { return sums[std::size_t(x) * channels + 1]; }
    std::uint64_t blue(int x) const { return sums[std::size_t(x) * channels + 2]; }
};

// One row averaged along x: for each target pixel the sums of its source values' channels times
// their weights.
template <typename Row> void sumRow(const Row &row, const Axis &axis, std::uint64_t *sums)
{
    // Plain scalars: kept in registers, where arrays of sums went through memory on every pixel.
    for (const Tap &tap : axis.taps) {
        std::uint64_t red = 0;
        std::uint64_t green = 0;
        std::uint64_t blue = 0;
        const auto add = [&](int x, std::uint64_t weight) {
            red += weight * row.red(x);
            green += weight * row.green(x);
            blue += weight * row.blue(x);
        };
        add(tap.first, tap.firstWeight);
        if (tap.last != tap.first) {
            // Whole values between the ends all weigh the same: summed first, weighted once.
            std::uint64_t innerRed = 0;
            std::uint64_t innerGreen = 0;
            std::uint64_t innerBlue = 0;
            for (int x = tap.first + 1; x < tap.last; ++x) {
                innerRed += row.red(x);
                innerGreen += row.green(x);
                innerBlue += row.blue(x);
            }
            red += innerRed * axis.innerWeight;
            green += innerGreen * axis.innerWeight;
            blue += innerBlue * axis.innerWeight;
            add(tap.last, tap.lastWeight);
        }
        sums[0] = red;
        sums[1] = green;
        sums[2] = blue;
        sums += channels;
    }
}

// The weight of source row `row` in the target pixel `tap` makes.
std::uint64_t weightOf(const Tap &tap, int row, const Axis &axis)
{
    return row == tap.first ? tap.firstWeight : row == tap.last ? tap.lastWeight : axis.innerWeight;
}

int rounded(double value)
{
    return std::clamp(int(value + 0.5), 0, 255);
}

// Writes target row `y` from the sums of its pixels, each divided by the weights' total.
template <typename Sum> void putRow(QImage &result, int y, const Sum *sums, double total)
{
    auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x) {
        const Sum *pixel = sums + std::size_t(x) * channels;
        out[x] = qRgb(rounded(double(pixel[0]) / total), rounded(double(pixel[1]) / total),
                      rounded(double(pixel[2]) / total));
    }
}

// Source rows averaged along x first, then those rows along y.
void rowsFirst(const QImage &picture, QImage &result, const Axis &xs, const Axis &ys)
{
    const std::size_t rowSums = std::size_t(result.width()) * channels;

    // Source rows averaged along x, kept for the next target row: when shrinking a row on the
    // border between two target rows counts for both, when enlarging each row counts for
    // several.
    std::array<std::vector<std::uint64_t>, 2> kept{std::vector<std::uint64_t>(rowSums),
                                                   std::vector<std::uint64_t>(rowSums)};
    std::array<int, 2> keptRow{-1, -1};
    const auto summed = [&](int y) -> const std::vector<std::uint64_t> & {
        for (std::size_t slot = 0; slot < 2; ++slot)
            if (keptRow[slot] == y)
                return kept[slot];
        // Rows are asked for in ascending order: the older one is not needed again.
        const std::size_t slot = keptRow[0] < keptRow[1] ? 0 : 1;
        sumRow(PixelRow{reinterpret_cast<const QRgb *>(picture.constScanLine(y))}, xs,
               kept[slot].data());
        keptRow[slot] = y;
        return kept[slot];
    };

    // Summed in doubles, which is exact (see smooth()) and quicker here than whole numbers.
    std::vector<double> sums(rowSums);
    const double total = double(xs.total) * double(ys.total);
    for (int y = 0; y < result.height(); ++y) {
        const Tap &tap = ys.taps[std::size_t(y)];
        std::fill(sums.begin(), sums.end(), 0.0);
        for (int row = tap.first; row <= tap.last; ++row) {
            const double weight = double(weightOf(tap, row, ys));
            const std::vector<std::uint64_t> &line = summed(row);
            for (std::size_t i = 0; i < rowSums; ++i)
                sums[i] += weight * double(line[i]);
        }
        putRow(result, y, sums.data(), total);
    }
}

// The source rows of each target row summed along y first, then that sum along x.
void columnsFirst(const QImage &picture, QImage &result, const Axis &xs, const Axis &ys)
{
    const int width = picture.width();
    std::vector<std::uint64_t> columns(std::size_t(width) * channels);
    std::vector<std::uint64_t> sums(std::size_t(result.width()) * channels);
    const double total = double(xs.total) * double(ys.total);
    for (int y = 0; y < result.height(); ++y) {
        const Tap &tap = ys.taps[std::size_t(y)];
        std::fill(columns.begin(), columns.end(), 0);
        for (int row = tap.first; row <= tap.last; ++row) {
            const std::uint64_t weight = weightOf(tap, row, ys);
            const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(row));
            std::uint64_t *column = columns.data();
            for (int x = 0; x < width; ++x, column += channels) {
                column[0] += weight * std::uint64_t(qRed(line[x]));
                column[1] += weight * std::uint64_t(qGreen(line[x]));
                column[2] += weight * std::uint64_t(qBlue(line[x]));
            }
        }
        sumRow(SumRow{columns.data()}, xs, sums.data());
        putRow(result, y, sums.data(), total);
    }
}

QImage smooth(const QImage &picture, QSize size)
{
    QImage result(size, QImage::Format_ARGB32);
    if (result.isNull())
        return result;
    const Axis xs = smoothAxis(picture.width(), size.width());
    const Axis ys = smoothAxis(picture.height(), size.height());
    // Each pixel is the sum, over the source pixels it covers, of both axes' weights times the
    // pixel, divided by the weights' total. The sums are whole numbers below 2^53 (at most 255
    // times a total of 33,554,432 x 16,384 within the pixel limit), exact in doubles, so the
    // order they are taken in does not change a pixel. Summing rows along x first costs source
    // rows times target width, which for a picture that grows wider but lower (a column of 33
    // million pixels stretched to a row of 8192) is far more than the source and target pixels
    // together. There the columns are summed along y first: about the source pixels plus target
    // rows times source width, which is less than the target pixels.
    if (size.width() > picture.width() && size.height() < picture.height())
        columnsFirst(picture, result, xs, ys);
    else
        rowsFirst(picture, result, xs, ys);
    return result;
}

QImage nearest(const QImage &picture, QSize size)
{
    QImage result(size, QImage::Format_ARGB32);
    if (result.isNull())
        return result;
    // The source pixel under each target pixel's centre, (j + 1/2) * from / to.
    const auto under = [](int j, int from, int to) {
        return int((2 * std::int64_t(j) + 1) * from / (2 * std::int64_t(to)));
    };
    std::vector<int> columns(std::size_t(size.width()));
    for (int x = 0; x < size.width(); ++x)
        columns[std::size_t(x)] = under(x, picture.width(), size.width());
    for (int y = 0; y < size.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(
            picture.constScanLine(under(y, picture.height(), size.height())));
        auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            out[x] = in[columns[std::size_t(x)]] | 0xFF000000u;
    }
    return result;
}

} // namespace

QImage resampled(const QImage &picture, QSize size, Preparation::Resampling resampling)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    if (picture.format() != QImage::Format_ARGB32 && picture.format() != QImage::Format_RGB32)
        return resampled(picture.convertToFormat(QImage::Format_RGB32), size, resampling);
    if (resampling == Preparation::Resampling::Nearest)
        return nearest(picture, size);
    return smooth(picture, size);
}

} // namespace quenzil
