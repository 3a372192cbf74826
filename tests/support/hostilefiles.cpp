#include "hostilefiles.h"

#include <climits>
#include <cstring>
#include <set>
#include <utility>

namespace quenzil::testsupport {

const std::vector<ColourValue> fourColours = {0x563412, 0x0000FF, 0x00FF00, 0xFF0000};

namespace {

std::vector<std::uint8_t> hex(std::string_view digits)
{
    const auto nibble = [](char c) {
        return std::uint8_t(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    };
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(std::uint8_t(nibble(digits[i]) << 4 | nibble(digits[i + 1])));
    return bytes;
}

void put32(std::string &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = char(value >> (8 * i));
}

std::vector<std::pair<const char *, BmpFile>> wellFormedBmps()
{
    std::vector<std::pair<const char *, BmpFile>> files;
    files.emplace_back("24 bit", rgb24Bmp());
    files.emplace_back("8 bit", indexed8Bmp());
    files.emplace_back("8 bit top-down", indexed8Bmp(-3));
    BmpFile mono = rgb24Bmp();
    mono.header.width = 9;
    mono.header.bitCount = 1;
    mono.palette = {0x000000, 0xFFFFFF};
    mono.pixelData = hex("a5800000"
                         "5a000000");
    files.emplace_back("1 bit", mono);
    BmpFile nibbles = indexed8Bmp(2);
    nibbles.header.bitCount = 4;
    nibbles.pixelData = hex("01200000"
                            "32100000");
    files.emplace_back("4 bit", nibbles);
    files.emplace_back("RLE8", rleBmp(8, "0301"
                                         "0003020301"
                                         "00"
                                         "0000"
                                         "0402"
                                         "0001"));
    files.emplace_back("RLE4", rleBmp(4, "0412"
                                         "0000"
                                         "00041230"
                                         "0001"));
    BmpFile bitfields = rgb24Bmp();
    bitfields.header.bitCount = 16;
    bitfields.header.compression = BmpBitfields;
    bitfields.header.masks = {0xF800, 0x07E0, 0x001F, 0};
    bitfields.pixelData = hex("00f8e007"
                              "1f00ffff");
    files.emplace_back("16 bit 5-6-5", bitfields);
    BmpFile v5 = rgb24Bmp();
    v5.header.headerSize = bmpV5HeaderSize;
    v5.header.bitCount = 32;
    v5.header.compression = BmpBitfields;
    v5.header.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    v5.pixelData = hex("0000ff80ff0000ff"
                       "00ff00ffffffffff");
    files.emplace_back("32 bit V5", v5);
    BmpFile core = mono;
    core.header.headerSize = bmpCoreHeaderSize;
    core.header.width = 8;
    files.emplace_back("core header", core);
    return files;
}

BmpFile wellFormed(const char *name)
{
    for (auto &[kind, bmp] : wellFormedBmps())
        if (std::strcmp(kind, name) == 0)
            return bmp;
    return {};
}

// What lies at `offset` of a BMP file.
const char *fieldAt(std::size_t offset, const BmpHeader &header, std::size_t pixelStart)
{
    struct Field
    {
        std::size_t end;
        const char *name;
    };
    static const Field fileHeader[] = {{2, "signature"},
                                       {6, "file size"},
                                       {10, "reserved"},
                                       {14, "pixel offset"},
                                       {18, "header size"}};
    static const Field info[] = {{22, "width"},          {26, "height"},
                                 {28, "planes"},         {30, "bits per pixel"},
                                 {34, "compression"},    {38, "image size"},
                                 {42, "x resolution"},   {46, "y resolution"},
                                 {50, "colours used"},   {54, "important colours"},
                                 {70, "V5 masks"},       {74, "V5 colour space"},
                                 {138, "V5 colour data"}};
    static const Field core[] = {
        {20, "width"}, {22, "height"}, {24, "planes"}, {26, "bits per pixel"}};
    for (const Field &field : fileHeader)
        if (offset < field.end)
            return field.name;
    const std::size_t headerEnd = 14 + header.headerSize;
    if (offset < headerEnd) {
        if (header.headerSize == bmpCoreHeaderSize) {
            for (const Field &field : core)
                if (offset < field.end)
                    return field.name;
        }
        for (const Field &field : info)
            if (offset < field.end)
                return field.name;
    }
    if (offset >= pixelStart)
        return "pixels";
    const bool masksFollow =
        header.headerSize == bmpInfoHeaderSize && header.compression == BmpBitfields;
    return masksFollow && offset < headerEnd + 12 ? "masks" : "palette";
}

template <typename Change>
HostileFile lying(std::string name, BmpFile bmp, Change change, LoadOutcome outcome)
{
    change(bmp.header);
    return {std::move(name), writeBmp(bmp), outcome};
}

} // namespace

BmpFile rgb24Bmp()
{
    BmpFile bmp;
    bmp.header.width = 2;
    bmp.header.height = 2;
    bmp.pixelData = hex("0000ff00ff000000"
                        "ff0000ffffff0000");
    return bmp;
}

BmpFile indexed8Bmp(int height)
{
    BmpFile bmp;
    bmp.header.width = 3;
    bmp.header.height = height;
    bmp.header.bitCount = 8;
    bmp.palette = fourColours;
    bmp.pixelData = hex("00010200"
                        "03000100"
                        "02030000");
    return bmp;
}

BmpFile rleBmp(int bits, std::string_view streamHex, std::int32_t width, std::int32_t height)
{
    BmpFile bmp;
    bmp.header.width = width;
    bmp.header.height = height;
    bmp.header.bitCount = std::uint16_t(bits);
    bmp.header.compression = bits == 8 ? BmpRle8 : BmpRle4;
    bmp.palette = fourColours;
    bmp.pixelData = hex(streamHex);
    return bmp;
}

std::vector<HostileFile> oneCutPerField()
{
    // The field is named in brackets at the end of each cut's name.
    std::vector<HostileFile> firstCuts;
    std::set<std::string> fields;
    for (HostileFile &file : cutShortBmps()) {
        if (fields.insert(file.name.substr(file.name.find('('))).second)
            firstCuts.push_back(std::move(file));
    }
    return firstCuts;
}

std::vector<HostileFile> cutShortBmps()
{
    std::vector<HostileFile> files;
    for (const auto &[kind, bmp] : wellFormedBmps()) {
        const std::string whole = writeBmp(bmp);
        const std::size_t pixelStart = whole.size() - bmp.pixelData.size();
        for (std::size_t length = 0; length < whole.size(); ++length) {
            // A file cut before its pixels lacks what the reader needs; inside the pixels, a
            // reader may honestly give what it has.
            files.push_back({std::string(kind) + ", cut at " + std::to_string(length) + " (" +
                                 fieldAt(length, bmp.header, pixelStart) + ")",
                             whole.substr(0, length),
                             length < pixelStart ? LoadOutcome::Fails : LoadOutcome::FailsOrLoads});
        }
    }
    return files;
}

std::vector<HostileFile> lyingHeaderBmps()
{
    using O = LoadOutcome;
    using H = BmpHeader;
    std::vector<HostileFile> files;
    const auto add = [&files](HostileFile file) { files.push_back(std::move(file)); };

    add(lying(
        "width huge", rgb24Bmp(), [](H &h) { h.width = INT_MAX; }, O::Fails));
    add(lying(
        "height huge", rgb24Bmp(), [](H &h) { h.height = INT_MAX; }, O::Fails));
    add(lying(
        "width and height huge", rgb24Bmp(), [](H &h) { h.width = h.height = 65536; }, O::Fails));
    add(lying(
        "width times height overflows 32 bits", indexed8Bmp(),
        [](H &h) { h.width = h.height = 70000; }, O::Fails));
    // Row bytes times rows do not fit 64 bits.
    add(lying(
        "width, height and bits per pixel huge", rgb24Bmp(),
        [](H &h) {
            h.width = h.height = INT_MAX;
            h.bitCount = 0xFFFF;
        },
        O::Fails));
    add(lying(
        "width negative", rgb24Bmp(), [](H &h) { h.width = -2; }, O::Fails));
    add(lying(
        "width most negative", rgb24Bmp(), [](H &h) { h.width = INT_MIN; }, O::Fails));
    add(lying(
        "height most negative", rgb24Bmp(), [](H &h) { h.height = INT_MIN; }, O::Fails));
    add(lying(
        "width zero", rgb24Bmp(), [](H &h) { h.width = 0; }, O::Fails));
    add(lying(
        "height zero", rgb24Bmp(), [](H &h) { h.height = 0; }, O::Fails));
    add(lying(
        "core header, width zero", wellFormed("core header"), [](H &h) { h.width = 0; }, O::Fails));

    for (int bits : {0, 2, 3, 7, 12, 64, 0xFFFF}) {
        add(lying(
            "bits per pixel " + std::to_string(bits), rgb24Bmp(),
            [bits](H &h) { h.bitCount = std::uint16_t(bits); }, O::Fails));
    }
    add(lying(
        "planes zero", rgb24Bmp(), [](H &h) { h.planes = 0; }, O::FailsOrLoads));
    add(lying(
        "planes 2", rgb24Bmp(), [](H &h) { h.planes = 2; }, O::FailsOrLoads));

    add(lying(
        "palette count larger than the file", indexed8Bmp(), [](H &h) { h.coloursUsed = 256; },
        O::Fails));
    add(lying(
        "palette count larger than the file, 1 bit", wellFormed("1 bit"),
        [](H &h) { h.coloursUsed = 200; }, O::Fails));
    add(lying(
        "palette count over 256", indexed8Bmp(), [](H &h) { h.coloursUsed = 257; }, O::Fails));
    add(lying(
        "palette count all ones", indexed8Bmp(), [](H &h) { h.coloursUsed = 0xFFFFFFFF; },
        O::Fails));
    {
        // Indices past a short palette read as black.
        BmpFile bmp = indexed8Bmp();
        bmp.pixelData = hex("ff7f8000"
                            "fe000100"
                            "02030000");
        add({"pixels index past a short palette", writeBmp(bmp), O::Loads});
    }

    add(lying(
        "pixel offset past the end", rgb24Bmp(), [](H &h) { h.dataOffset = 0xFFFF; },
        O::FailsOrLoads));
    add(lying(
        "pixel offset most negative", rgb24Bmp(), [](H &h) { h.dataOffset = 0x80000000; },
        O::FailsOrLoads));
    add(lying(
        "pixel offset inside the header", rgb24Bmp(), [](H &h) { h.dataOffset = 20; },
        O::FailsOrLoads));
    add(lying(
        "pixel offset one short of the end", rgb24Bmp(),
        [](H &h) { h.dataOffset = 14 + 40 + 16 - 1; }, O::FailsOrLoads));
    // The file size field is not needed to read a picture.
    add(lying(
        "file size says huge", rgb24Bmp(), [](H &h) { h.fileSize = 0xFFFFFFFF; }, O::Loads));
    add(lying(
        "file size says zero", rgb24Bmp(), [](H &h) { h.fileSize = 0; }, O::Loads));

    for (std::uint32_t size : {0u, 13u, 39u, 41u, 1000u, 0xFFFFFFFFu}) {
        // Only the field lies: the file is still laid out with a 40-byte header.
        std::string bytes = writeBmp(rgb24Bmp());
        put32(bytes, 14, size);
        add({"header size " + std::to_string(size), bytes, O::Fails});
    }
    add(lying(
        "compression unknown", rgb24Bmp(), [](H &h) { h.compression = 99; }, O::Fails));
    add(lying(
        "RLE8 on 24 bits", rgb24Bmp(), [](H &h) { h.compression = BmpRle8; }, O::Fails));
    add(lying(
        "RLE4 on 8 bits", indexed8Bmp(), [](H &h) { h.compression = BmpRle4; }, O::FailsOrLoads));
    add(lying(
        "bit fields on 8 bits", indexed8Bmp(), [](H &h) { h.compression = BmpBitfields; },
        O::FailsOrLoads));
    const BmpFile bitfields = wellFormed("16 bit 5-6-5");
    add(lying(
        "bit field masks zero", bitfields, [](H &h) { h.masks = {}; }, O::FailsOrLoads));
    add(lying(
        "bit field masks all ones", bitfields,
        [](H &h) {
            h.masks = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0};
        },
        O::FailsOrLoads));
    add(lying(
        "bit field masks overlapping", bitfields,
        [](H &h) {
            h.masks = {0xFFFF, 0x0FF0, 0x00FF, 0};
        },
        O::FailsOrLoads));
    add(lying(
        "bit field masks not contiguous", bitfields,
        [](H &h) {
            h.masks = {0xA000, 0x0500, 0x0011, 0};
        },
        O::FailsOrLoads));
    add(lying(
        "signature not BM", rgb24Bmp(),
        [](H &h) {
            h.signature = {'X', 'Y'};
        },
        O::Fails));
    return files;
}

std::vector<HostileFile> runLengthAbuseBmps()
{
    // Runs and jumps that leave the row or the picture are cut to it; what no code reaches
    // keeps the first palette colour.
    static const std::pair<const char *, const char *> streams[] = {
        {"run past the row end", "2001"
                                 "0001"},
        {"run past the picture", "0000"
                                 "0000"
                                 "0000"
                                 "0000"
                                 "0401"
                                 "0001"},
        {"delta past the row", "0002c800"
                               "0201"
                               "0001"},
        {"delta past the picture", "000200c8"
                                   "0201"
                                   "0001"},
        {"delta to the far corner", "0002ffff"
                                    "ff01"
                                    "0001"},
        {"literal past the row", "000801020301020301"
                                 "0001"},
        {"literal cut off by the end of the file", "00c80102"},
        {"end of line past the last row", "00000000000000000000000000000000"},
        {"no end of bitmap", "0201"},
        {"escape cut off", "00"},
        {"delta cut off", "000201"},
        {"empty stream", ""},
        {"only end of bitmap", "0001"},
        {"zero-length runs", "0001"
                             "0001"
                             "0001"},
        {"unknown escape after end of bitmap", "00010003ffffff"},
    };
    std::vector<HostileFile> files;
    for (int bits : {8, 4}) {
        for (const auto &[name, stream] : streams) {
            files.push_back({"RLE" + std::to_string(bits) + ", " + name,
                             writeBmp(rleBmp(bits, stream)), LoadOutcome::FailsOrLoads});
        }
    }
    // Run-length pictures are meant to be stored bottom-up only.
    files.push_back({"RLE8 stored top-down",
                     writeBmp(rleBmp(8,
                                     "0401"
                                     "0000"
                                     "0402"
                                     "0001",
                                     4, -2)),
                     LoadOutcome::FailsOrLoads});
    return files;
}

std::vector<HostileFile> hugeAnnouncedBmps()
{
    std::vector<HostileFile> files;
    const auto add = [&files](std::string name, const BmpFile &bmp) {
        files.push_back({std::move(name), writeBmp(bmp), LoadOutcome::Fails});
    };
    add("RLE8, 30000 x 30000, only end of bitmap", rleBmp(8, "0001", 30000, 30000));
    add("RLE8, 8192 x 16384, only end of bitmap", rleBmp(8, "0001", 8192, 16384));
    // Stored top-down, the header gives a negative height.
    add("RLE8, 8192 x 16384 top-down, only end of bitmap", rleBmp(8, "0001", 8192, -16384));
    BmpFile mono = wellFormed("1 bit");
    mono.header.width = 30000;
    mono.header.height = 30000;
    add("1 bit, 30000 x 30000, one row of pixels", mono);
    mono.header.height = -30000;
    add("1 bit, 30000 x 30000 top-down, one row of pixels", mono);
    return files;
}

std::vector<HostileFile> nonPictureFiles()
{
    using namespace std::string_literals;
    return {
        {"0-byte file", "", LoadOutcome::Fails},
        {"text file", "Picture:\r\nData &B11100000\r\n", LoadOutcome::Fails},
        {"one byte", "B", LoadOutcome::Fails},
        {"BMP signature only", "BM", LoadOutcome::Fails},
        {"PNG signature only", "\x89PNG\r\n\x1a\n"s, LoadOutcome::Fails},
        // Its compressed pixels break off: libpng complains on its own before the reader fails.
        {"PNG with damaged pixel data",
         std::string("\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52"
                     "\x00\x00\x00\x08\x00\x00\x00\x08\x08\x02\x00\x00\x00\x4b\x6d\x29"
                     "\xdc\x00\x00\x00\x14\x49\x44\x41\x54\x78\x9c\x63\x10\x50\x30\xc0"
                     "\x8a\x18\x86\x96\x67\x61\x72\x62\x61\x67\x65\x21\x21\x11\x93\x2f"
                     "\x3b\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
                     77),
         LoadOutcome::Fails},
        {"GIF signature only", "GIF89a", LoadOutcome::Fails},
        {"JPEG start only", "\xff\xd8\xff\xe0"s, LoadOutcome::Fails},
        {"zeros", std::string(4096, '\0'), LoadOutcome::Fails},
    };
}

std::string tableFault(std::string_view table, std::uint64_t pixels)
{
    constexpr std::string_view header = "Picture:\r\n";
    if (table.substr(0, header.size()) != header)
        return "no header";
    std::string_view rest = table.substr(header.size());
    if (pixels == 0)
        return rest.empty() ? std::string() : "text after the header";
    std::uint64_t entries = 0;
    while (true) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        // "Data", then entries " &B" + 8 digits, each but the last followed by " ,".
        if (line.substr(0, 4) != "Data")
            return "line without Data: " + std::string(line.substr(0, 60));
        std::string_view entry = line.substr(4);
        std::uint64_t onLine = 0;
        while (!entry.empty()) {
            if (entry.size() < 11 || entry.substr(0, 3) != " &B" ||
                entry.substr(3, 8).find_first_not_of("01") != std::string_view::npos)
                return "malformed entry: " + std::string(line.substr(0, 60));
            ++onLine;
            entry.remove_prefix(11);
            if (!entry.empty()) {
                if (entry.substr(0, 2) != " ,")
                    return "missing separator: " + std::string(line.substr(0, 60));
                entry.remove_prefix(2);
                if (entry.empty())
                    return "separator after the last entry";
            }
        }
        if (onLine == 0 || onLine > 8)
            return std::to_string(onLine) + " entries on a line";
        entries += onLine;
        if (end == std::string_view::npos)
            break;
        if (onLine != 8)
            return "a line before the last is not full";
        rest.remove_prefix(end + 2);
    }
    if (entries != pixels)
        return std::to_string(entries) + " entries for " + std::to_string(pixels) + " pixels";
    return {};
}

} // namespace quenzil::testsupport
