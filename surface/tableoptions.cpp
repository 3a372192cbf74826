#include "tableoptions.h"

#include <algorithm>
#include <array>

namespace quenzil {

namespace {

using Scaling = Preparation::Scaling;
using Resampling = Preparation::Resampling;

// The length of the valid UTF-8 sequence of more than one byte at the start of `text`, or 0.
std::size_t utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u)
            return 0;
    }
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    const unsigned second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// A switch's value: "true" or "false".
std::string applySwitch(std::string_view value, bool &target)
{
    if (value != "true" && value != "false")
        return quotedText(value) + " is not true or false";
    target = value == "true";
    return {};
}

std::optional<std::string> onlyWhen(bool on)
{
    return on ? std::optional<std::string>("true") : std::nullopt;
}

std::optional<QSize> parseSize(std::string_view text)
{
    const std::size_t cross = text.find('x');
    if (cross == std::string_view::npos)
        return std::nullopt;
    const auto side = [](std::string_view digits) {
        return parseNumber(digits, 1, unsigned(Preparation::largestSide));
    };
    const std::optional<unsigned> width = side(text.substr(0, cross));
    const std::optional<unsigned> height = side(text.substr(cross + 1));
    if (!width || !height)
        return std::nullopt;
    return QSize(int(*width), int(*height));
}

std::string sizeText(QSize size)
{
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

// Fit and stretch: a box, and how the picture goes into it.
template <Scaling scaling> std::string applyBox(TableSettings &settings, std::string_view value)
{
    const std::optional<QSize> box = parseSize(value);
    if (!box)
        return quotedText(value) + " is not a size WxH with each side 1 to " +
               std::to_string(Preparation::largestSide);
    settings.preparation.scaling = scaling;
    settings.preparation.box = *box;
    return {};
}

template <Scaling scaling> std::optional<std::string> boxValue(const TableSettings &settings)
{
    if (settings.preparation.scaling != scaling)
        return std::nullopt;
    return sizeText(settings.preparation.box);
}

std::optional<QRgb> parseColour(std::string_view text)
{
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    if (text.size() != 6)
        return std::nullopt;
    QRgb colour = 0;
    for (const char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        colour = colour << 4 | QRgb(digit);
    }
    return colour | 0xFF000000u;
}

// A value out of a fixed list of names, each standing for one value of the setting.
template <typename Value> struct Choice
{
    std::string_view name;
    Value value;
};

template <typename Value, std::size_t count>
std::string chooseFrom(const std::array<Choice<Value>, count> &choices, std::string_view value,
                       Value &target)
{
    for (const Choice<Value> &choice : choices) {
        if (choice.name == value) {
            target = choice.value;
            return {};
        }
    }
    std::string names;
    for (std::size_t i = 0; i < count; ++i)
        names += std::string(i == 0           ? ""
                             : i + 1 == count ? " or "
                                              : ", ") +
                 std::string(choices[i].name);
    return quotedText(value) + " is not " + names;
}

template <typename Value, std::size_t count>
std::optional<std::string> nameOf(const std::array<Choice<Value>, count> &choices, Value value)
{
    // The first choice is the default, which is not written out.
    for (std::size_t i = 1; i < count; ++i) {
        if (choices[i].value == value)
            return std::string(choices[i].name);
    }
    return std::nullopt;
}

constexpr std::array<Choice<Resampling>, 2> resamplings{{
    {"smooth", Resampling::Smooth},
    {"nearest", Resampling::Nearest},
}};

// --nearest and --dither share the one reduction: a dither works with the nearest levels anyway,
// so --nearest changes nothing beside one, and --dither none leaves --nearest standing.
constexpr std::array<Choice<ColourReduction>, 3> dithers{{
    {"none", ColourReduction::Bands},
    {"ordered", ColourReduction::Ordered},
    {"diffuse", ColourReduction::Diffuse},
}};

bool isDither(ColourReduction reduction)
{
    return reduction == ColourReduction::Ordered || reduction == ColourReduction::Diffuse;
}

constexpr std::array<Choice<Radix>, 3> radixes{{
    {"bin", Radix::binary},
    {"hex", Radix::hexadecimal},
    {"dec", Radix::decimal},
}};

// The help below names the limits; they must stay those of the constants.
static_assert(Preparation::largestSide == 8192 && TableFormat::maxPerLine == 64 &&
              TableFormat::maxLabelLength == 32 && TableFormat::maxRun == 255);

const std::vector<SettingOption> options = {
    {"fit", "WxH", "Scale to the largest size inside W x H, aspect kept (each side 1 to 8192).",
     &applyBox<Scaling::Fit>, &boxValue<Scaling::Fit>},
    {"stretch", "WxH", "Scale to exactly W x H.", &applyBox<Scaling::Stretch>,
     &boxValue<Scaling::Stretch>},
    {"pad", "", "With --fit: centre on a W x H canvas of the background.",
     [](TableSettings &settings, std::string_view value) {
         return applySwitch(value, settings.preparation.pad);
     },
     [](const TableSettings &settings) { return onlyWhen(settings.preparation.pad); }},
    {"resample", "MODE",
     "How scaling samples: smooth (the default; averaging) or nearest (pixel art stays sharp).",
     [](TableSettings &settings, std::string_view value) {
         return chooseFrom(resamplings, value, settings.preparation.resampling);
     },
     [](const TableSettings &settings) {
         return nameOf(resamplings, settings.preparation.resampling);
     }},
    {"background", "RRGGBB",
     "Blend transparent pixels over this colour (also #RRGGBB); padding takes it too. Without it "
     "transparency is dropped and padding is black.",
     [](TableSettings &settings, std::string_view value) -> std::string {
         const std::optional<QRgb> colour = parseColour(value);
         if (!colour)
             return quotedText(value) + " is not a colour RRGGBB";
         settings.preparation.background = colour;
         return {};
     },
     [](const TableSettings &settings) -> std::optional<std::string> {
         if (!settings.preparation.background)
             return std::nullopt;
         static const char digits[] = "0123456789ABCDEF";
         std::string text;
         for (int shift = 20; shift >= 0; shift -= 4)
             text += digits[*settings.preparation.background >> shift & 0xFu];
         return text;
     }},
    {"nearest", "", "Code each channel as its nearest display level instead of its band.",
     [](TableSettings &settings, std::string_view value) {
         bool nearest = false;
         std::string error = applySwitch(value, nearest);
         ColourReduction &reduction = settings.preparation.reduction;
         if (error.empty() && !isDither(reduction))
             reduction = nearest ? ColourReduction::Nearest : ColourReduction::Bands;
         return error;
     },
     [](const TableSettings &settings) {
         return onlyWhen(settings.preparation.reduction == ColourReduction::Nearest);
     }},
    {"dither", "MODE",
     "none (the default), ordered (8 x 8 Bayer) or diffuse (Floyd-Steinberg): mix display "
     "colours to match the picture.",
     [](TableSettings &settings, std::string_view value) {
         ColourReduction reduction = ColourReduction::Bands;
         std::string error = chooseFrom(dithers, value, reduction);
         ColourReduction &target = settings.preparation.reduction;
         if (error.empty() && (isDither(reduction) || isDither(target)))
             target = reduction;
         return error;
     },
     [](const TableSettings &settings) { return nameOf(dithers, settings.preparation.reduction); }},
    {"radix", "bin|hex|dec",
     "How numbers are written: bin (&B and 8 digits, the default), hex (&H and 2 digits) or dec.",
     [](TableSettings &settings, std::string_view value) {
         return chooseFrom(radixes, value, settings.format.radix);
     },
     [](const TableSettings &settings) { return nameOf(radixes, settings.format.radix); }},
    {"label", "NAME",
     "The header line is NAME: (default Picture): a letter, then letters, digits or _, at most "
     "32.",
     [](TableSettings &settings, std::string_view value) -> std::string {
         if (!isValidLabel(value))
             return quotedText(value) +
                    " is not a BASIC label (a letter, then letters, digits or _, at most " +
                    std::to_string(TableFormat::maxLabelLength) + ")";
         settings.format.label = std::string(value);
         return {};
     },
     [](const TableSettings &settings) -> std::optional<std::string> {
         if (settings.format.label == TableFormat{}.label)
             return std::nullopt;
         return settings.format.label;
     }},
    {"per-line", "N", "Numbers on a Data line, 1 to 64 (default 8).",
     [](TableSettings &settings, std::string_view value) -> std::string {
         const std::optional<unsigned> count = parseNumber(value, 1, TableFormat::maxPerLine);
         if (!count)
             return quotedText(value) + " is not a number from 1 to " +
                    std::to_string(TableFormat::maxPerLine);
         settings.format.perLine = *count;
         return {};
     },
     [](const TableSettings &settings) -> std::optional<std::string> {
         if (settings.format.perLine == TableFormat{}.perLine)
             return std::nullopt;
         return std::to_string(settings.format.perLine);
     }},
    {"size-line", "", "The first Data line holds the picture's width and height.",
     [](TableSettings &settings, std::string_view value) {
         return applySwitch(value, settings.format.sizeLine);
     },
     [](const TableSettings &settings) { return onlyWhen(settings.format.sizeLine); }},
    {"row-lines", "", "A line also ends where a picture row ends.",
     [](TableSettings &settings, std::string_view value) {
         return applySwitch(value, settings.format.rowLines);
     },
     [](const TableSettings &settings) { return onlyWhen(settings.format.rowLines); }},
    {"rle", "",
     "Codes as pairs \"count , code\" of runs of 1 to 255 equal codes; a pair never splits "
     "across lines, so N must be even.",
     [](TableSettings &settings, std::string_view value) {
         return applySwitch(value, settings.format.runLength);
     },
     [](const TableSettings &settings) { return onlyWhen(settings.format.runLength); }},
};

} // namespace

const std::vector<SettingOption> &settingOptions()
{
    return options;
}

const std::vector<std::string_view> &settingNames()
{
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> list;
        for (const SettingOption &option : options)
            list.push_back(option.name);
        return list;
    }();
    return names;
}

std::string applySetting(TableSettings &settings, std::string_view name, std::string_view value)
{
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const SettingOption &row) { return row.name == name; });
    if (option == options.end())
        return "unknown option " + quotedText("--" + std::string(name));
    TableSettings changed = settings;
    if (std::string error = option->apply(changed, value); !error.empty())
        return "option '--" + std::string(name) + "': " + error;
    settings = std::move(changed);
    return {};
}

std::vector<std::pair<std::string, std::string>> settingValues(const TableSettings &settings)
{
    std::vector<std::pair<std::string, std::string>> values;
    for (const SettingOption &option : options) {
        if (std::optional<std::string> value = option.value(settings))
            values.emplace_back(std::string(option.name), std::move(*value));
    }
    return values;
}

std::string settingsError(const TableSettings &settings)
{
    // A label and a count per line set other than through their options (the window's dialog,
    // the fuzz checks) are held to the options' own rules and messages.
    TableSettings probe;
    if (std::string error = applySetting(probe, "label", settings.format.label); !error.empty())
        return error;
    if (std::string error =
            applySetting(probe, "per-line", std::to_string(settings.format.perLine));
        !error.empty())
        return error;
    if (settings.preparation.pad && settings.preparation.scaling != Scaling::Fit)
        return "option '--pad' needs '--fit'";
    if (settings.format.runLength && settings.format.perLine % 2 != 0)
        return "option '--rle' needs an even '--per-line', not " +
               std::to_string(settings.format.perLine);
    return {};
}

std::string settingsClash(const std::vector<std::string_view> &given)
{
    const auto has = [&](std::string_view name) {
        return std::find(given.begin(), given.end(), name) != given.end();
    };
    if (has("fit") && has("stretch"))
        return "option '--stretch' cannot go with '--fit'";
    return {};
}

std::string quotedText(std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string readable = "'";
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            readable += char(byte);
            ++i;
        } else if (const std::size_t length = utf8SequenceLength(text.substr(i));
                   length > 0 &&
                   !(byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            // A character beyond ASCII, but not one of the C1 control characters.
            readable += text.substr(i, length);
            i += length;
        } else {
            readable += {'\\', 'x', digits[byte >> 4], digits[byte & 0xFu]};
            ++i;
        }
    }
    return readable + "'";
}

std::optional<unsigned> parseNumber(std::string_view text, unsigned least, unsigned most)
{
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const std::size_t firstDigit = std::min(text.find_first_not_of('0'), text.size() - 1);
    text.remove_prefix(firstDigit);
    // Nine digits cannot overflow; more are beyond any limit here anyway.
    if (text.size() > 9)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text)
        value = value * 10 + unsigned(c - '0');
    if (value < least || value > most)
        return std::nullopt;
    return value;
}

} // namespace quenzil
