#include "settingrows.h"

#include "picturereading.h"

#include <QByteArray>
#include <QString>

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
template <Scaling scaling> std::string applyBox(Options &options, std::string_view value)
{
    const std::optional<QSize> box = parseSize(value);
    if (!box)
        return quotedText(value) + " is not a size WxH with each side 1 to " +
               std::to_string(Preparation::largestSide);
    // A box the prepared picture may fill whole, so one beyond the pixel limit could only fail
    // later, picture by picture (a square one fitted into it, say).
    if (!fitsPixelLimit(*box))
        return quotedText(value) + " is " + std::to_string(qint64(box->width()) * box->height()) +
               " pixels, more than the " + std::to_string(pixelLimit()) + " a picture may have";
    options.table.preparation.scaling = scaling;
    options.table.preparation.box = *box;
    return {};
}

template <Scaling scaling> std::optional<std::string> boxValue(const Options &options)
{
    if (options.table.preparation.scaling != scaling)
        return std::nullopt;
    return sizeText(options.table.preparation.box);
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

// A value out of a fixed list: its name as typed, its words in the window, and what it stands for.
template <typename Value> struct Named
{
    std::string_view name;
    std::string_view words;
    Value value;
};

template <typename Value, std::size_t count>
std::vector<Choice> choicesOf(const std::array<Named<Value>, count> &list)
{
    std::vector<Choice> choices;
    for (const Named<Value> &named : list)
        choices.push_back({named.name, named.words});
    return choices;
}

template <typename Value, std::size_t count>
std::string chooseFrom(const std::array<Named<Value>, count> &list, std::string_view value,
                       Value &target)
{
    for (const Named<Value> &named : list) {
        if (named.name == value) {
            target = named.value;
            return {};
        }
    }
    std::string names;
    for (std::size_t i = 0; i < count; ++i)
        names += std::string(i == 0           ? ""
                             : i + 1 == count ? " or "
                                              : ", ") +
                 std::string(list[i].name);
    return quotedText(value) + " is not " + names;
}

// The name of a value; nothing for the first of the list, the default, which is not written out.
template <typename Value, std::size_t count>
std::optional<std::string> nameOf(const std::array<Named<Value>, count> &list, Value value)
{
    for (std::size_t i = 1; i < count; ++i) {
        if (list[i].value == value)
            return std::string(list[i].name);
    }
    return std::nullopt;
}

constexpr std::array<Named<Resampling>, 2> resamplings{{
    {"smooth", "Smooth, for photos", Resampling::Smooth},
    {"nearest", "Nearest pixel, for pixel art", Resampling::Nearest},
}};

// --nearest and --dither share the one reduction: a dither works with the nearest levels anyway,
// so --nearest changes nothing beside one, and --dither none leaves --nearest standing.
constexpr std::array<Named<ColourReduction>, 3> dithers{{
    {"none", "None", ColourReduction::Bands},
    {"ordered", "Ordered dither", ColourReduction::Ordered},
    {"diffuse", "Diffuse dither", ColourReduction::Diffuse},
}};

// The window's one choice for what the two options set together.
constexpr std::array<Named<ColourReduction>, 4> colourChoices{{
    {"bands", "Plain bands", ColourReduction::Bands},
    {"nearest", "Nearest display colour", ColourReduction::Nearest},
    {"ordered", "Ordered dither, for flat areas", ColourReduction::Ordered},
    {"diffuse", "Diffuse dither, for photos", ColourReduction::Diffuse},
}};

bool isDither(ColourReduction reduction)
{
    return reduction == ColourReduction::Ordered || reduction == ColourReduction::Diffuse;
}

constexpr std::array<Named<Radix>, 3> radixes{{
    {"bin", "Binary &B, for MMBasic, FreeBASIC, QB64", Radix::binary},
    {"hex", "Hexadecimal &H, for most BASICs", Radix::hexadecimal},
    {"dec", "Decimal, for any BASIC", Radix::decimal},
}};

// A file name option: anything but an empty name, and a name Qt can hold as text, since the
// outputs are written through Qt (a name that does not survive that would write another file).
std::string applyFileName(std::string &target, std::string_view value)
{
    const QByteArray bytes(value.data(), qsizetype(value.size()));
    if (value.empty())
        return "the file name is empty";
    if (QString::fromUtf8(bytes).toUtf8() != bytes)
        return quotedText(value) + " is not valid UTF-8; only PICTURE may have such a name";
    target = value;
    return {};
}

std::optional<std::string> textUnlessEmpty(const std::string &text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

// What the window says of a size it cannot take, for each way to a size.
constexpr std::string_view sizeRefusal =
    "The size must be a width and a height, each a whole number from 1 to 8192, with no more "
    "pixels in all than a picture may have (8192 x 4096, say).";

// A whole number from `least` to `most`, typed as every number is (see parseNumber()).
std::string applyNumber(unsigned &target, std::string_view value, unsigned least, unsigned most)
{
    const std::optional<unsigned> number = parseNumber(value, least, most);
    if (!number)
        return quotedText(value) + " is not a number from " + std::to_string(least) + " to " +
               std::to_string(most);
    target = *number;
    return {};
}

std::optional<std::string> numberUnless(unsigned value, unsigned byDefault)
{
    return value == byDefault ? std::nullopt : std::optional<std::string>(std::to_string(value));
}

constexpr std::array<Named<const TableDialect *>, 2> dialects{{
    {"mmbasic", "MMBasic, FreeBASIC, QB64", &mmbasicDialect},
    {"classic", "GW-BASIC, QBasic, bwbasic", &classicDialect},
}};

// The words of a dialect's choice: "GW-BASIC, QBasic, bwbasic".
std::string_view dialectWords(const TableDialect *dialect)
{
    for (const Named<const TableDialect *> &named : dialects) {
        if (named.value == dialect)
            return named.words;
    }
    return dialect->basics;
}

// The line numbers of the classic dialect run up to its last.
constexpr unsigned lastLineNumber = classicDialect.lastLineNumber;
// The longest line --max-line takes, far beyond any line a table has.
constexpr unsigned longestLineLimit = 65535;
// What --width takes: as many digits as any number has.
constexpr unsigned widestDecoded = 999999999;

// The help below names the limits; they must stay those of the constants.
static_assert(Preparation::largestSide == 8192 && TableFormat::maxPerLine == 64 &&
              TableFormat::maxLabelLength == 32 && TableFormat::maxRun == 255 &&
              lastLineNumber == 65529 && TableFormat::defaultLineStart == 1000 &&
              TableFormat::defaultLineStep == 10);

const std::vector<SettingRow> rows = {
    {.name = "invert",
     .valueName = "",
     .help = "Code the picture with its colours inverted.",
     .reach = Reach::Command,
     .words = "Invers",
     .apply =
         [](Options &options, std::string_view value) {
             return applySwitch(value, options.table.preparation.invert);
         },
     .value = [](const Options &options) { return onlyWhen(options.table.preparation.invert); },
     .tip = "Codes the picture with its colours inverted."},
    {.name = "preview",
     .valueName = "OUT.png",
     .help = "Also write the picture as a 3-3-2 display shows it; - is standard output (with -o).",
     .reach = Reach::Command,
     .words = "Preview",
     .apply = [](Options &options,
                 std::string_view value) { return applyFileName(options.preview, value); },
     .value = [](const Options &options) { return textUnlessEmpty(options.preview); },
     .tip = "Also writes the picture as the display shows it, as a PNG file."},
    {.name = "o",
     .valueName = "OUT",
     .help = "Write the table to OUT instead of standard output (- is standard output).",
     .reach = Reach::Command,
     .words = "Table file",
     .apply = [](Options &options,
                 std::string_view value) { return applyFileName(options.output, value); },
     .value = [](const Options &options) { return textUnlessEmpty(options.output); },
     .tip = "The file the table is written to."},
    {.name = "fit",
     .valueName = "WxH",
     .help = "Scale to the largest size inside W x H, aspect kept (each side 1 to 8192).",
     .reach = Reach::Setting,
     .words = "Fit (aspect kept)",
     .apply = &applyBox<Scaling::Fit>,
     .value = &boxValue<Scaling::Fit>,
     .group = "Display",
     .tip = "Scales the picture to the largest size inside the display with its shape kept; "
            "where the shapes differ, the picture is narrower or lower than the display.",
     .refusalWords = sizeRefusal},
    {.name = "stretch",
     .valueName = "WxH",
     .help = "Scale to exactly W x H.",
     .reach = Reach::Setting,
     .words = "Stretch",
     .apply = &applyBox<Scaling::Stretch>,
     .value = &boxValue<Scaling::Stretch>,
     .clashes = {"fit"},
     .group = "Display",
     .tip = "Scales the picture to exactly the display's size; where the shapes differ, the "
            "picture is squeezed.",
     .refusalWords = sizeRefusal},
    {.name = "fill",
     .valueName = "WxH",
     .help = "Scale to cover W x H, aspect kept, and cut the overflow evenly from both sides.",
     .reach = Reach::Setting,
     .words = "Fill (crop)",
     .apply = &applyBox<Scaling::Fill>,
     .value = &boxValue<Scaling::Fill>,
     .clashes = {"fit", "stretch"},
     .group = "Display",
     .tip = "Scales the picture to cover the whole display with its shape kept and cuts off what "
            "overflows, evenly from both sides: a photo on a full screen.",
     .refusalWords = sizeRefusal},
    {.name = "pad",
     .valueName = "",
     .help = "With --fit: centre on a W x H canvas of the background.",
     .reach = Reach::Setting,
     .words = "Pad to the size",
     .apply =
         [](Options &options, std::string_view value) {
             return applySwitch(value, options.table.preparation.pad);
         },
     .value = [](const Options &options) { return onlyWhen(options.table.preparation.pad); },
     .clashes = {"fill"},
     .check = [](const Options &options) -> std::string {
         if (options.table.preparation.scaling != Scaling::Fit)
             return "needs '--fit'";
         return {};
     },
     .group = "Display",
     .tip = "With Fit: centres the picture on the display's whole size, in the background colour "
            "(black without one), so that the table is exactly the display's size.",
     .checkWords = "Pad to the size goes with Fit only."},
    {.name = "resample",
     .valueName = "MODE",
     .help =
         "How scaling samples: smooth (the default; averaging) or nearest (pixel art stays sharp).",
     .reach = Reach::Setting,
     .words = "Resample",
     .choices = choicesOf(resamplings),
     .apply =
         [](Options &options, std::string_view value) {
             return chooseFrom(resamplings, value, options.table.preparation.resampling);
         },
     .value =
         [](const Options &options) {
             return nameOf(resamplings, options.table.preparation.resampling);
         },
     .group = "Display",
     .tip = "How a scaled picture gets its pixels: smooth averages the pixels it covers (photos), "
            "nearest pixel takes one of them, so that hard edges stay hard (pixel art, icons)."},
    {.name = "background",
     .valueName = "RRGGBB",
     .help = "Blend transparent pixels over this colour (also #RRGGBB); padding takes it too. "
             "Without it "
             "transparency is dropped and padding is black.",
     .reach = Reach::Setting,
     .words = "Background",
     .apply = [](Options &options, std::string_view value) -> std::string {
         const std::optional<QRgb> colour = parseColour(value);
         if (!colour)
             return quotedText(value) + " is not a colour RRGGBB";
         options.table.preparation.background = colour;
         return {};
     },
     .value = [](const Options &options) -> std::optional<std::string> {
         const std::optional<QRgb> background = options.table.preparation.background;
         if (!background)
             return std::nullopt;
         static const char digits[] = "0123456789ABCDEF";
         std::string text;
         for (int shift = 20; shift >= 0; shift -= 4)
             text += digits[*background >> shift & 0xFu];
         return text;
     },
     .group = "Display",
     .tip = "The colour that transparent parts of the picture are blended over, and the colour "
            "of padding. None: transparent parts keep the colour they store, padding is black.",
     .refusalWords = "The background must be a colour of six hexadecimal digits, RRGGBB."},
    {.name = "nearest",
     .valueName = "",
     .help = "Code each channel as its nearest display level instead of its band.",
     .reach = Reach::Setting,
     .words = "Nearest levels",
     .apply =
         [](Options &options, std::string_view value) {
             bool nearest = false;
             std::string error = applySwitch(value, nearest);
             ColourReduction &reduction = options.table.preparation.reduction;
             if (error.empty() && !isDither(reduction))
                 reduction = nearest ? ColourReduction::Nearest : ColourReduction::Bands;
             return error;
         },
     .value =
         [](const Options &options) {
             return onlyWhen(options.table.preparation.reduction == ColourReduction::Nearest);
         },
     // No control of its own: the dialog's colours stand for it.
     .tip = "Codes each channel as the display level nearest to it, instead of its band."},
    {.name = "dither",
     .valueName = "MODE",
     .help = "none (the default), ordered (8 x 8 Bayer) or diffuse (Floyd-Steinberg): mix display "
             "colours to match the picture.",
     .reach = Reach::Setting,
     .words = "Dither",
     .choices = choicesOf(dithers),
     .apply =
         [](Options &options, std::string_view value) {
             ColourReduction reduction = ColourReduction::Bands;
             std::string error = chooseFrom(dithers, value, reduction);
             ColourReduction &target = options.table.preparation.reduction;
             if (error.empty() && (isDither(reduction) || isDither(target)))
                 target = reduction;
             return error;
         },
     .value =
         [](const Options &options) {
             return nameOf(dithers, options.table.preparation.reduction);
         },
     // No control of its own: the dialog's colours stand for it.
     .tip = "Mixes display colours so that an area's average matches the picture."},
    {.name = "key",
     .valueName = "CODE",
     .help =
         "Code every pixel at most half opaque as CODE (0 to 255), and no other pixel: one that "
         "would is given the nearest other display colour. --preview shows CODE as a "
         "checkerboard.",
     .reach = Reach::Setting,
     .words = "Transparent code",
     .apply = [](Options &options, std::string_view value) -> std::string {
         // Empty turns the key off: the window's field is emptied for none.
         if (value.empty()) {
             options.table.preparation.key.reset();
             return {};
         }
         const std::optional<unsigned> code = parseNumber(value, 0, 255);
         if (!code)
             return quotedText(value) + " is not a code from 0 to 255";
         options.table.preparation.key = std::uint8_t(*code);
         return {};
     },
     .value = [](const Options &options) -> std::optional<std::string> {
         const std::optional<std::uint8_t> key = options.table.preparation.key;
         return key ? std::optional<std::string>(std::to_string(*key)) : std::nullopt;
     },
     .group = "Display",
     .tip = "A code from 0 to 255 that stands for transparent: pixels at most half opaque get it, "
            "and no other pixel does. Empty for none.",
     .refusalWords = "The transparent code is a number from 0 to 255, or empty for none."},
    {.name = "dialect",
     .valueName = "NAME",
     .help = "The BASICs the table is for: mmbasic (the default; MMBasic, FreeBASIC, QB64) or "
             "classic (line-numbered DATA for GW-BASIC, QBasic, bwbasic; needs --radix hex or "
             "dec).",
     .reach = Reach::Setting,
     .words = "BASIC",
     .choices = choicesOf(dialects),
     .apply =
         [](Options &options, std::string_view value) {
             return chooseFrom(dialects, value, options.table.format.dialect);
         },
     .value = [](const Options &options) { return nameOf(dialects, options.table.format.dialect); },
     .check = [](const Options &options) -> std::string {
         const TableFormat &format = options.table.format;
         if (format.dialect->readsBinary || format.radix != Radix::binary)
             return {};
         return quotedText(*nameOf(dialects, format.dialect)) +
                " cannot go with '--radix bin': " + std::string(dialectWords(format.dialect)) +
                " read no &B numbers; use '--radix hex' or '--radix dec'";
     },
     .group = "Table",
     .tip = "Which BASICs read the table: MMBasic's labels and Data lines, or the line-numbered "
            "DATA lines of GW-BASIC, QBasic and bwbasic.",
     .checkWords = "GW-BASIC, QBasic and bwbasic read no binary numbers: choose hexadecimal or "
                   "decimal numbers.",
     .unset = "mmbasic"},
    {.name = "radix",
     .valueName = "bin|hex|dec",
     .help = "How numbers are written: bin (&B and 8 digits, the default), hex (&H and 2 digits) "
             "or dec.",
     .reach = Reach::Setting,
     .words = "Numbers",
     .choices = choicesOf(radixes),
     .apply =
         [](Options &options, std::string_view value) {
             return chooseFrom(radixes, value, options.table.format.radix);
         },
     .value = [](const Options &options) { return nameOf(radixes, options.table.format.radix); },
     .group = "Table",
     .tip = "How each number is written. MMBasic, FreeBASIC and QB64 read binary &B numbers; "
            "bwbasic, GW-BASIC and QBasic do not (they read wrong numbers without an error), "
            "but read hexadecimal and decimal ones."},
    {.name = "label",
     .valueName = "NAME",
     .help =
         "The header line is NAME: (default Picture): a letter, then letters, digits or _, at most "
         "32.",
     .reach = Reach::Setting,
     .words = "Label",
     .apply = [](Options &options, std::string_view value) -> std::string {
         if (!isValidLabel(value))
             return quotedText(value) +
                    " is not a BASIC label (a letter, then letters, digits or _, at most " +
                    std::to_string(TableFormat::maxLabelLength) + ")";
         options.table.format.label = std::string(value);
         return {};
     },
     .value = [](const Options &options) -> std::optional<std::string> {
         if (options.table.format.label == TableFormat{}.label)
             return std::nullopt;
         return options.table.format.label;
     },
     .group = "Table",
     .tip = "The name on the table's first line (Logo gives \"Logo:\"), for the program's "
            "RESTORE: a letter, then letters, digits or _, at most 32 characters.",
     .refusalWords = "The label must start with a letter and hold only letters, digits and _, at "
                     "most 32 characters.",
     .defaultValue = "Picture"},
    {.name = "per-line",
     .valueName = "N",
     .help = "Numbers on a Data line, 1 to 64 (default 8).",
     .reach = Reach::Setting,
     .words = "Numbers per line",
     .apply = [](Options &options, std::string_view value) -> std::string {
         const std::optional<unsigned> count = parseNumber(value, 1, TableFormat::maxPerLine);
         if (!count)
             return quotedText(value) + " is not a number from 1 to " +
                    std::to_string(TableFormat::maxPerLine);
         options.table.format.perLine = *count;
         return {};
     },
     .value = [](const Options &options) -> std::optional<std::string> {
         if (options.table.format.perLine == TableFormat{}.perLine)
             return std::nullopt;
         return std::to_string(options.table.format.perLine);
     },
     .group = "Table",
     .tip = "How many numbers a Data line holds. Many BASICs read at most 255 characters of a "
            "line: that is 19 binary numbers, 36 hexadecimal ones.",
     .least = 1,
     .most = TableFormat::maxPerLine,
     .refusalWords = "Numbers per line must be a whole number from 1 to 64.",
     .defaultValue = "8"},
    {.name = "size-line",
     .valueName = "",
     .help = "The first Data line holds the picture's width and height.",
     .reach = Reach::Setting,
     .words = "Size line first",
     .apply =
         [](Options &options, std::string_view value) {
             return applySwitch(value, options.table.format.sizeLine);
         },
     .value = [](const Options &options) { return onlyWhen(options.table.format.sizeLine); },
     .group = "Table",
     .tip = "The first Data line holds the picture's width and height, for the program to READ "
            "first."},
    {.name = "row-lines",
     .valueName = "",
     .help = "A line also ends where a picture row ends.",
     .reach = Reach::Setting,
     .words = "A line ends with each row",
     .apply =
         [](Options &options, std::string_view value) {
             return applySwitch(value, options.table.format.rowLines);
         },
     .value = [](const Options &options) { return onlyWhen(options.table.format.rowLines); },
     .group = "Table",
     .tip = "Each row of the picture starts a new Data line, so that no line holds pixels of two "
            "rows."},
    {.name = "rle",
     .valueName = "",
     .help = "Codes as pairs \"count , code\" of runs of 1 to 255 equal codes; a pair never splits "
             "across lines, so N must be even.",
     .reach = Reach::Setting,
     .words = "Run-length pairs",
     .apply =
         [](Options &options, std::string_view value) {
             return applySwitch(value, options.table.format.runLength);
         },
     .value = [](const Options &options) { return onlyWhen(options.table.format.runLength); },
     .check = [](const Options &options) -> std::string {
         if (options.table.format.perLine % 2 != 0)
             return "needs an even '--per-line', not " +
                    std::to_string(options.table.format.perLine);
         return {};
     },
     .group = "Table",
     .tip = "Writes each run of equal pixels as a pair, count and code: far shorter for pictures "
            "with flat areas, longer for dithered photos. A pair never splits across lines, so "
            "the numbers per line must be even.",
     .checkWords = "Run-length pairs need an even number of numbers per line."},
    // After "rle", whose check may turn the pairs off: this check measures the line as it stays.
    {.name = "max-line",
     .valueName = "N",
     .help = "No Data line longer than N characters: a line holds fewer numbers where more would "
             "not fit. 0 (the default) for no limit; many BASICs read at most 255.",
     .reach = Reach::Setting,
     .words = "Longest line",
     .apply =
         [](Options &options, std::string_view value) {
             return applyNumber(options.table.format.maxLine, value, 0, longestLineLimit);
         },
     .value =
         [](const Options &options) {
             return numberUnless(options.table.format.maxLine, TableFormat{}.maxLine);
         },
     .check = [](const Options &options) -> std::string {
         const TableFormat &format = options.table.format;
         if (const std::size_t one = dataLineLength(format, 1);
             format.maxLine != 0 && one > format.maxLine)
             return std::to_string(format.maxLine) + " leaves no room for one number: a line of " +
                    (format.runLength ? "one pair" : "one number") + " has up to " +
                    std::to_string(one) + " characters";
         return {};
     },
     .group = "Table",
     .tip = "The most characters a line may have, 0 for no limit: lines hold fewer numbers where "
            "more would not fit. MMBasic and bwbasic read at most 255.",
     .least = 0,
     .most = longestLineLimit,
     .refusalWords = "The longest line is a number from 0 to 65535.",
     .checkWords = "The longest line leaves no room for one number.",
     .defaultValue = "0",
     .unset = "0"},
    {.name = "line-start",
     .valueName = "N",
     .help = "With --dialect classic: the first DATA line's number, 1 to 65529 (default 1000); "
             "the label's REM line takes the number before it.",
     .reach = Reach::Setting,
     .words = "First line number",
     .apply =
         [](Options &options, std::string_view value) {
             return applyNumber(options.table.format.lineStart, value, 1, lastLineNumber);
         },
     .value =
         [](const Options &options) {
             return numberUnless(options.table.format.lineStart, TableFormat{}.lineStart);
         },
     .group = "Table",
     .tip = "GW-BASIC, QBasic, bwbasic: the number of the first DATA line, which RESTORE names.",
     .least = 1,
     .most = lastLineNumber,
     .refusalWords = "The first line number is a number from 1 to 65529.",
     .defaultValue = "1000"},
    {.name = "line-step",
     .valueName = "N",
     .help = "With --dialect classic: the step from one line number to the next, 1 to 65529 "
             "(default 10).",
     .reach = Reach::Setting,
     .words = "Line number step",
     .apply =
         [](Options &options, std::string_view value) {
             return applyNumber(options.table.format.lineStep, value, 1, lastLineNumber);
         },
     .value =
         [](const Options &options) {
             return numberUnless(options.table.format.lineStep, TableFormat{}.lineStep);
         },
     .group = "Table",
     .tip = "GW-BASIC, QBasic, bwbasic: how much each line's number is above the one before.",
     .least = 1,
     .most = lastLineNumber,
     .refusalWords = "The line number step is a number from 1 to 65529.",
     .defaultValue = "10"},
    {.name = "stats",
     .valueName = "",
     .help = "After the tables, one line per picture on standard error: label, size, pixels, data "
             "bytes "
             "(pairs with --rle), characters, Data lines.",
     .reach = Reach::Command,
     .words = "Figures",
     .apply = [](Options &options,
                 std::string_view value) { return applySwitch(value, options.stats); },
     .value = [](const Options &options) { return onlyWhen(options.stats); },
     .tip = "One line of figures per picture: its size, pixels, numbers, characters and lines."},
    {.name = "decode",
     .valueName = "",
     .help = "Read TABLE back instead: write the picture it holds, as --preview shows it, as a PNG "
             "(-o OUT.png). Give --rle and --size-line as when writing, or --width N.",
     .reach = Reach::Command,
     .words = "Read a table back",
     .apply = [](Options &options,
                 std::string_view value) { return applySwitch(value, options.decode); },
     .value = [](const Options &options) { return onlyWhen(options.decode); },
     .clashes = {"invert", "preview"}},
    {.name = "width",
     .valueName = "N",
     .help = "With --decode: the picture's width, for a table without a size line.",
     .reach = Reach::Command,
     .words = "Width",
     .apply =
         [](Options &options, std::string_view value) {
             return applyNumber(options.width, value, 1, widestDecoded);
         },
     .value = [](const Options &options) { return numberUnless(options.width, 0); },
     .least = 1,
     .most = widestDecoded},
    {.name = "colours",
     .valueName = "MODE",
     .help = "How the colours become display colours.",
     .reach = Reach::Dialog,
     .words = "Colours",
     .choices = choicesOf(colourChoices),
     .apply =
         [](Options &options, std::string_view value) {
             return chooseFrom(colourChoices, value, options.table.preparation.reduction);
         },
     .value =
         [](const Options &options) {
             return nameOf(colourChoices, options.table.preparation.reduction);
         },
     .group = "Display",
     .tip = "How the picture's colours become the display's 256. Plain bands cuts each colour "
            "into even bands (skies show stripes); nearest display colour rounds each to the "
            "closest the display has; ordered dither mixes two neighbouring colours in a fine "
            "regular pattern, good for flat areas and drawings; diffuse dither spreads what each "
            "pixel misses over its neighbours, the choice for photos."},
};

std::string optionPrefix(std::string_view name)
{
    return "option '" + dashed(name) + "': ";
}

} // namespace

const std::vector<SettingRow> &settingRows()
{
    return rows;
}

const SettingRow *findSettingRow(std::string_view name)
{
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const SettingRow &row) { return row.name == name; });
    return found == rows.end() ? nullptr : &*found;
}

std::vector<Refusal> applySettings(Options &options, const std::vector<NamedValue> &values,
                                   std::initializer_list<Reach> reaches, Voice voice)
{
    const bool window = voice == Voice::Window;
    const auto reached = [&](const SettingRow &row) {
        return std::find(reaches.begin(), reaches.end(), row.reach) != reaches.end();
    };
    std::vector<Refusal> refusals;
    // The rows' order; a value of a name given twice is applied in the order given.
    std::vector<const SettingRow *> given;
    for (const NamedValue &value : values) {
        if (const SettingRow *row = findSettingRow(value.name); !row || !reached(*row))
            refusals.push_back(
                {value.name, window ? "There is no setting " + quotedText(value.name) + "."
                                    : "unknown option " + quotedText(dashed(value.name))});
    }
    for (const SettingRow &row : rows) {
        if (!reached(row))
            continue;
        bool applied = false;
        for (const NamedValue &value : values) {
            if (value.name != row.name)
                continue;
            const auto clash =
                std::find_if(row.clashes.begin(), row.clashes.end(), [&](std::string_view other) {
                    return std::any_of(given.begin(), given.end(), [&](const SettingRow *earlier) {
                        return earlier->name == other;
                    });
                });
            if (clash != row.clashes.end()) {
                refusals.push_back(
                    {value.name, window ? std::string(row.words) + " cannot go with " +
                                              std::string(findSettingRow(*clash)->words) + "."
                                        : "option '" + dashed(row.name) + "' cannot go with '" +
                                              dashed(*clash) + "'"});
                break;
            }
            Options changed = options;
            if (std::string reason = row.apply(changed, value.value); !reason.empty()) {
                refusals.push_back({value.name, !window ? optionPrefix(row.name) + reason
                                                : !row.refusalWords.empty()
                                                    ? std::string(row.refusalWords)
                                                    : std::string(row.words) + ": " + reason});
                continue;
            }
            options = std::move(changed);
            applied = true;
        }
        if (applied)
            given.push_back(&row);
    }
    // What cannot stand beside the others is turned off again, so what is left is sound.
    for (const SettingRow &row : rows) {
        if (!row.check)
            continue;
        const std::optional<std::string> set = row.value(options);
        if (!set)
            continue;
        if (std::string reason = row.check(options); !reason.empty()) {
            refusals.push_back({std::string(row.name),
                                !window ? "option '" + dashed(row.name) + "' " + reason
                                : !row.checkWords.empty() ? std::string(row.checkWords)
                                                          : std::string(row.words) + " " + reason});
            row.apply(options, row.unset);
        }
    }
    return refusals;
}

std::vector<NamedValue> storedValues(const TableSettings &settings)
{
    Options options;
    options.table = settings;
    std::vector<NamedValue> values;
    for (const SettingRow &row : rows) {
        if (row.reach != Reach::Setting)
            continue;
        if (std::optional<std::string> value = row.value(options))
            values.push_back({std::string(row.name), std::move(*value)});
    }
    return values;
}

std::string settingsError(const TableSettings &settings)
{
    // Every value the settings hold, the defaults as well (a label or a count per line set
    // directly must hold to its option's rules whatever it is).
    std::vector<NamedValue> values = storedValues(settings);
    values.push_back({"label", settings.format.label});
    values.push_back({"per-line", std::to_string(settings.format.perLine)});
    Options applied;
    const std::vector<Refusal> refusals = applySettings(applied, values, {Reach::Setting});
    return refusals.empty() ? std::string() : refusals.front().message;
}

std::string dashed(std::string_view name)
{
    return (name.size() == 1 ? "-" : "--") + std::string(name);
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
