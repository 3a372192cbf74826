#include "colourreduction.h"

#include "displaycolour.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <vector>

namespace quenzil {

namespace {

// The 8 x 8 Bayer matrix: each threshold 0 to 63 once, neighbours far apart.
constexpr std::array<std::array<std::uint8_t, 8>, 8> bayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

using ValueTable = std::array<std::uint8_t, 256>;

// Everything one channel of `bits` bits needs, as tables over the 256 input values, so that
// reducing a channel is one lookup.
struct ChannelTables
{
    // The display value of the band a value falls in.
    ValueTable band{};
    // The display value nearest to a value; of two as near, the lower.
    ValueTable nearest{};
    // The display value ordered dithering gives a value under each of the 64 thresholds.
    std::array<ValueTable, 64> ordered{};
};

constexpr ChannelTables makeTables(unsigned bits)
{
    const unsigned top = (1u << bits) - 1;
    ChannelTables tables;
    for (unsigned value = 0; value < 256; ++value) {
        tables.band[value] = widenChannel(value >> (8 - bits), bits);

        unsigned best = 0;
        for (unsigned level = 1; level <= top; ++level) {
            const int distance = int(value) - int(widenChannel(level, bits));
            const int bestDistance = int(value) - int(widenChannel(best, bits));
            if ((distance < 0 ? -distance : distance) <
                (bestDistance < 0 ? -bestDistance : bestDistance))
                best = level;
        }
        tables.nearest[value] = widenChannel(best, bits);

        // The two display levels around the value; it takes the upper where its place between
        // them passes the threshold, so over an 8 x 8 block the share of upper levels matches
        // that place to within 1/64. A value on a level stays there.
        unsigned lower = 0;
        while (lower < top && widenChannel(lower + 1, bits) <= value)
            ++lower;
        const unsigned low = widenChannel(lower, bits);
        const unsigned high = lower < top ? widenChannel(lower + 1, bits) : low;
        for (unsigned threshold = 0; threshold < 64; ++threshold) {
            const bool upper = (value - low) * 128 > (2 * threshold + 1) * (high - low);
            tables.ordered[threshold][value] = std::uint8_t(upper ? high : low);
        }
    }
    return tables;
}

// Red and green have three bits, blue two.
constexpr ChannelTables threeBitTables = makeTables(3);
constexpr ChannelTables twoBitTables = makeTables(2);

// Error diffusion works in whole channel units. A value plus the errors it received lies within
// `diffusionReach` of 0..255: it receives one share of each kind, each from another pixel (see
// the check below the tables).
constexpr int diffusionReach = 64;

// What diffusion does with a value plus its received errors: the display value nearest to it
// (taken inside 0..255) and the four shares of the error, 7/16 to the next pixel of the row and
// 3/16, 5/16 and 1/16 to the pixels below behind, below and below ahead. The shares are rounded
// and the last takes what the others leave, so the whole error is handed on.
struct DiffusionStep
{
    std::int8_t right;
    std::int8_t belowBehind;
    std::int8_t belowHere;
    std::int8_t belowAhead;
    std::uint8_t shown;
};
using DiffusionTable = std::array<DiffusionStep, 256 + 2 * diffusionReach>;

constexpr int sixteenths(int value, int weight)
{
    const int scaled = value * weight;
    return scaled >= 0 ? (scaled + 8) / 16 : -((8 - scaled) / 16);
}

constexpr DiffusionTable makeDiffusionTable(const ValueTable &nearest)
{
    DiffusionTable table{};
    for (int index = 0; index < int(table.size()); ++index) {
        const int value = std::clamp(index - diffusionReach, 0, 255);
        const int shown = nearest[std::size_t(value)];
        const int error = value - shown;
        const int right = sixteenths(error, 7);
        const int belowBehind = sixteenths(error, 3);
        const int belowHere = sixteenths(error, 5);
        table[std::size_t(index)] = {
            std::int8_t(right), std::int8_t(belowBehind), std::int8_t(belowHere),
            std::int8_t(error - right - belowBehind - belowHere), std::uint8_t(shown)};
    }
    return table;
}

constexpr DiffusionTable threeBitDiffusion = makeDiffusionTable(threeBitTables.nearest);
constexpr DiffusionTable twoBitDiffusion = makeDiffusionTable(twoBitTables.nearest);

// The most a value can receive: the largest share of each kind added up.
constexpr int largestReceived(const DiffusionTable &table)
{
    const auto magnitude = [](std::int8_t share) { return share < 0 ? -int(share) : int(share); };
    int right = 0, belowBehind = 0, belowHere = 0, belowAhead = 0;
    for (const DiffusionStep &step : table) {
        right = std::max(right, magnitude(step.right));
        belowBehind = std::max(belowBehind, magnitude(step.belowBehind));
        belowHere = std::max(belowHere, magnitude(step.belowHere));
        belowAhead = std::max(belowAhead, magnitude(step.belowAhead));
    }
    return right + belowBehind + belowHere + belowAhead;
}
// Diffusion reads its tables without a bounds check; this keeps every index inside them.
static_assert(largestReceived(threeBitDiffusion) < diffusionReach &&
              largestReceived(twoBitDiffusion) < diffusionReach);

// Applies one table to each channel of every pixel.
struct PixelMapper
{
    ChannelLayout layout;
    std::uint32_t keptBits;

    explicit PixelMapper(ChannelLayout channels)
        : layout(channels), keptBits(~(0xFFu << channels.redShift | 0xFFu << channels.greenShift |
                                       0xFFu << channels.blueShift))
    {
    }

    std::uint32_t map(std::uint32_t pixel, const ValueTable &redGreen, const ValueTable &blue) const
    {
        return (pixel & keptBits) |
               std::uint32_t(redGreen[pixel >> layout.redShift & 0xFFu]) << layout.redShift |
               std::uint32_t(redGreen[pixel >> layout.greenShift & 0xFFu]) << layout.greenShift |
               std::uint32_t(blue[pixel >> layout.blueShift & 0xFFu]) << layout.blueShift;
    }
};

// The display level of `bits` bits nearest to a value (0 to 255), and the one after it.
struct NearLevels
{
    unsigned nearest;
    unsigned next;
    int addedCost; // what taking `next` instead adds to the squared difference
};

NearLevels nearLevels(int value, unsigned bits)
{
    const unsigned top = (1u << bits) - 1;
    const auto cost = [&](unsigned level) {
        const int difference = value - int(widenChannel(level, bits));
        return difference * difference;
    };
    unsigned nearest = 0;
    for (unsigned level = 1; level <= top; ++level) {
        if (cost(level) < cost(nearest))
            nearest = level;
    }
    unsigned next = nearest == 0 ? 1 : nearest - 1;
    if (nearest > 0 && nearest < top && cost(nearest + 1) < cost(next))
        next = nearest + 1;
    return {nearest, next, cost(next) - cost(nearest)};
}

// The code of three display levels.
unsigned codeOfLevels(unsigned red, unsigned green, unsigned blue)
{
    return red << 5 | green << 2 | blue;
}

// The display colour nearest to red, green, blue (0 to 255 each) whose code is not `key`, as its
// three levels: the nearest display colour, or where that is the key's, the key's with the one
// channel moved to its next nearest level that adds the least (red first on a tie). Moving one
// channel always costs less than moving two, the costs being a sum over the channels.
std::array<unsigned, 3> nearestOtherLevels(int red, int green, int blue, std::uint8_t key)
{
    const NearLevels levels[3] = {nearLevels(red, 3), nearLevels(green, 3), nearLevels(blue, 2)};
    std::array<unsigned, 3> chosen = {levels[0].nearest, levels[1].nearest, levels[2].nearest};
    if (codeOfLevels(chosen[0], chosen[1], chosen[2]) != key)
        return chosen;
    std::size_t moved = 0;
    for (std::size_t channel = 1; channel < 3; ++channel) {
        if (levels[channel].addedCost < levels[moved].addedCost)
            moved = channel;
    }
    chosen[moved] = levels[moved].next;
    return chosen;
}

// A display value's level: the band it lies in, which for a display value is its own.
unsigned levelOf(std::uint32_t value, unsigned bits)
{
    return (value & 0xFFu) >> (8 - bits);
}

// What makes the key mean "transparent" and nothing else, for the reductions that choose each
// pixel's colour on its own.
struct KeyRule
{
    const PixelMapper &mapper;
    std::uint8_t key;

    bool isTransparent(std::uint32_t pixel) const { return (pixel & mapper.keptBits) == 0; }
    std::uint32_t colour(std::uint32_t kept, unsigned red, unsigned green, unsigned blue) const
    {
        const ChannelLayout &layout = mapper.layout;
        return kept | std::uint32_t(widenChannel(red, 3)) << layout.redShift |
               std::uint32_t(widenChannel(green, 3)) << layout.greenShift |
               std::uint32_t(widenChannel(blue, 2)) << layout.blueShift;
    }
    std::uint32_t keyColour(std::uint32_t kept) const
    {
        return colour(kept, key >> 5, key >> 2 & 7u, key & 3u);
    }
    bool isKeyColour(std::uint32_t shown) const
    {
        const ChannelLayout &layout = mapper.layout;
        return codeOfLevels(levelOf(shown >> layout.redShift, 3),
                            levelOf(shown >> layout.greenShift, 3),
                            levelOf(shown >> layout.blueShift, 2)) == key;
    }
    // The colour a pixel shows, where the reduction chose `shown` for it.
    std::uint32_t operator()(std::uint32_t pixel, std::uint32_t shown) const
    {
        const std::uint32_t kept = pixel & mapper.keptBits;
        if (kept == 0)
            return keyColour(kept);
        if (!isKeyColour(shown))
            return shown;
        const ChannelLayout &layout = mapper.layout;
        const std::array<unsigned, 3> levels = nearestOtherLevels(
            int(pixel >> layout.redShift & 0xFFu), int(pixel >> layout.greenShift & 0xFFu),
            int(pixel >> layout.blueShift & 0xFFu), key);
        return colour(kept, levels[0], levels[1], levels[2]);
    }
};

// Without a key every pixel shows what the reduction chose.
struct NoKey
{
    std::uint32_t operator()(std::uint32_t, std::uint32_t shown) const { return shown; }
};

template <typename Rule>
void reduceByTable(PixelRows rows, const PixelMapper &mapper, const ValueTable &redGreen,
                   const ValueTable &blue, const Rule &rule)
{
    for (int y = 0; y < rows.height; ++y) {
        std::uint32_t *line = rows.pixels + y * rows.stride;
        for (int x = 0; x < rows.width; ++x)
            line[x] = rule(line[x], mapper.map(line[x], redGreen, blue));
    }
}

template <typename Rule>
void reduceOrdered(PixelRows rows, const PixelMapper &mapper, const Rule &rule)
{
    for (int y = 0; y < rows.height; ++y) {
        std::uint32_t *line = rows.pixels + y * rows.stride;
        const auto &thresholds = bayer[std::size_t(y) & 7u];
        for (int x = 0; x < rows.width; ++x) {
            const unsigned threshold = thresholds[std::size_t(x) & 7u];
            line[x] = rule(line[x], mapper.map(line[x], threeBitTables.ordered[threshold],
                                               twoBitTables.ordered[threshold]));
        }
    }
}

// The shares of one channel's errors on their way, kept in registers until they are complete.
struct ChannelDiffusion
{
    int right = 0;  // for the next pixel of this row
    int behind = 0; // collected so far for the pixel below the previous one
    int under = 0;  // collected so far for the pixel below this one
};

// Floyd-Steinberg over one row in the direction `Step` (1: left to right, -1: right to left).
// `errors` holds three a pixel (red, green, blue) with a spare pixel at each end: on entry what
// the row above handed down, on return what this row hands to the next. Each place is read
// before it is written again, so one row of them does. The shares for the next pixel and for
// the pixels below travel in registers until they are complete; what would leave the picture
// is dropped.
template <int Step>
void diffuseRow(std::uint32_t *line, int width, int *errors, const PixelMapper &mapper)
{
    ChannelDiffusion states[3];
    const auto diffuse = [](std::uint32_t pixel, unsigned shift, const DiffusionTable &table,
                            ChannelDiffusion &state, int *slot) {
        const int received = int(pixel >> shift & 0xFFu) + *slot + state.right;
        const DiffusionStep &step = table[std::size_t(received + diffusionReach)];
        slot[-3 * Step] = state.behind + step.belowBehind;
        state.behind = state.under + step.belowHere;
        state.under = step.belowAhead;
        state.right = step.right;
        return std::uint32_t(step.shown) << shift;
    };
    const unsigned redShift = mapper.layout.redShift;
    const unsigned greenShift = mapper.layout.greenShift;
    const unsigned blueShift = mapper.layout.blueShift;
    int x = Step > 0 ? 0 : width - 1;
    for (int count = 0; count < width; ++count, x += Step) {
        const std::uint32_t pixel = line[x];
        int *slot = errors + 3 * (x + 1);
        line[x] = (pixel & mapper.keptBits) |
                  diffuse(pixel, redShift, threeBitDiffusion, states[0], slot) |
                  diffuse(pixel, greenShift, threeBitDiffusion, states[1], slot + 1) |
                  diffuse(pixel, blueShift, twoBitDiffusion, states[2], slot + 2);
    }
    int *last = errors + 3 * (x - Step + 1);
    for (int channel = 0; channel < 3; ++channel)
        last[channel] = states[channel].behind;
}

// The step of an error that no table holds: a channel moved off its nearest level by the key.
DiffusionStep stepOf(int error, std::uint8_t shown)
{
    const int right = sixteenths(error, 7);
    const int belowBehind = sixteenths(error, 3);
    const int belowHere = sixteenths(error, 5);
    return {std::int8_t(right), std::int8_t(belowBehind), std::int8_t(belowHere),
            std::int8_t(error - right - belowBehind - belowHere), shown};
}

// diffuseRow() with a key. A transparent pixel takes the key's colour and drops the errors it
// received; a pixel diffused onto the key's colour takes the nearest other display colour to its
// value with the errors received, and hands on the error of that colour. Such errors can be
// larger than any table's, so the tables are read at a clamped place.
template <int Step>
void diffuseRowKeyed(std::uint32_t *line, int width, int *errors, const KeyRule &rule)
{
    const PixelMapper &mapper = rule.mapper;
    const unsigned shifts[3] = {mapper.layout.redShift, mapper.layout.greenShift,
                                mapper.layout.blueShift};
    const DiffusionTable *tables[3] = {&threeBitDiffusion, &threeBitDiffusion, &twoBitDiffusion};
    ChannelDiffusion states[3];
    int x = Step > 0 ? 0 : width - 1;
    for (int count = 0; count < width; ++count, x += Step) {
        const std::uint32_t pixel = line[x];
        int *slot = errors + 3 * (x + 1);
        DiffusionStep steps[3];
        int values[3];
        for (int channel = 0; channel < 3; ++channel) {
            const int received =
                int(pixel >> shifts[channel] & 0xFFu) + slot[channel] + states[channel].right;
            values[channel] = std::clamp(received, 0, 255);
            steps[channel] = (*tables[channel])[std::size_t(
                std::clamp(received, -diffusionReach, 255 + diffusionReach) + diffusionReach)];
        }
        const std::uint32_t kept = pixel & mapper.keptBits;
        std::uint32_t shown = 0;
        if (rule.isTransparent(pixel)) {
            shown = rule.keyColour(kept);
            for (DiffusionStep &step : steps)
                step = {};
        } else {
            shown =
                rule.colour(kept, steps[0].shown >> 5, steps[1].shown >> 5, steps[2].shown >> 6);
            if (rule.isKeyColour(shown)) {
                const std::array<unsigned, 3> levels =
                    nearestOtherLevels(values[0], values[1], values[2], rule.key);
                shown = rule.colour(kept, levels[0], levels[1], levels[2]);
                for (int channel = 0; channel < 3; ++channel) {
                    const auto value = std::uint8_t(shown >> shifts[channel] & 0xFFu);
                    steps[channel] = stepOf(values[channel] - value, value);
                }
            }
        }
        for (int channel = 0; channel < 3; ++channel) {
            ChannelDiffusion &state = states[channel];
            slot[channel - 3 * Step] = state.behind + steps[channel].belowBehind;
            state.behind = state.under + steps[channel].belowHere;
            state.under = steps[channel].belowAhead;
            state.right = steps[channel].right;
        }
        line[x] = shown;
    }
    int *last = errors + 3 * (x - Step + 1);
    for (int channel = 0; channel < 3; ++channel)
        last[channel] = states[channel].behind;
}

void reduceDiffused(PixelRows rows, const PixelMapper &mapper, const KeyRule *rule)
{
    std::vector<int> errors(3 * (std::size_t(rows.width) + 2), 0);
    for (int y = 0; y < rows.height; ++y) {
        std::uint32_t *line = rows.pixels + y * rows.stride;
        const bool forward = y % 2 == 0;
        if (rule && forward)
            diffuseRowKeyed<1>(line, rows.width, errors.data(), *rule);
        else if (rule)
            diffuseRowKeyed<-1>(line, rows.width, errors.data(), *rule);
        else if (forward)
            diffuseRow<1>(line, rows.width, errors.data(), mapper);
        else
            diffuseRow<-1>(line, rows.width, errors.data(), mapper);
    }
}

template <typename Rule>
void reduceWith(PixelRows rows, ColourReduction reduction, const PixelMapper &mapper,
                const Rule &rule)
{
    switch (reduction) {
    case ColourReduction::Bands:
        reduceByTable(rows, mapper, threeBitTables.band, twoBitTables.band, rule);
        break;
    case ColourReduction::Nearest:
        reduceByTable(rows, mapper, threeBitTables.nearest, twoBitTables.nearest, rule);
        break;
    case ColourReduction::Ordered:
        reduceOrdered(rows, mapper, rule);
        break;
    case ColourReduction::Diffuse:
        if constexpr (std::is_same_v<Rule, KeyRule>)
            reduceDiffused(rows, mapper, &rule);
        else
            reduceDiffused(rows, mapper, nullptr);
        break;
    }
}

} // namespace

void reduceToDisplayColours(PixelRows rows, ColourReduction reduction, ChannelLayout layout,
                            std::optional<std::uint8_t> key)
{
    if (!rows.pixels || rows.width <= 0 || rows.height <= 0)
        return;
    const PixelMapper mapper(layout);
    if (key)
        reduceWith(rows, reduction, mapper, KeyRule{mapper, *key});
    else
        reduceWith(rows, reduction, mapper, NoKey{});
}

} // namespace quenzil
