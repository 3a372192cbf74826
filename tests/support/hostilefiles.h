#pragma once

#include "bmpwriter.h"
#include "colourvalue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil::testsupport {

// What loading a hostile file must come to.
enum class LoadOutcome {
    Fails,        // the file is unusable: the load fails with a reason
    Loads,        // damaged where an honest reader need not look: the load succeeds
    FailsOrLoads, // either, as long as a loaded picture is sound
};

// A damaged or hostile picture file, named for what is wrong with it.
struct HostileFile
{
    std::string name;
    std::string bytes;
    LoadOutcome outcome;
};

// The palette of the small indexed pictures below. The first colour is the one that pixels a
// file does not give read as.
extern const std::vector<ColourValue> fourColours;

// Small well-formed pictures to damage.
BmpFile rgb24Bmp();                  // 2 x 2, 24 bits
BmpFile indexed8Bmp(int height = 3); // 3 x |height|, 8 bits, fourColours; negative: top-down
// A run-length picture of the given size over fourColours; `streamHex` is the RLE stream.
BmpFile rleBmp(int bits, std::string_view streamHex, std::int32_t width = 4,
               std::int32_t height = 2);

// One well-formed file of each header kind, depth and compression, cut at every length short
// of whole; each named by the field the cut falls in ("24 bit, cut at 20 (width)").
std::vector<HostileFile> cutShortBmps();
// The first of cutShortBmps() in each header field, for tests that need not take every cut.
std::vector<HostileFile> oneCutPerField();
// Headers that lie: sizes huge, negative or zero; bits per pixel 0, 3, 7, 64 and more; palette
// counts beyond the file; pixel offsets past the end; unknown compressions and odd masks.
std::vector<HostileFile> lyingHeaderBmps();
// RLE8 and RLE4 streams (for 4 x 2 pictures) whose runs and jumps leave the row or the picture,
// or that end too early.
std::vector<HostileFile> runLengthAbuseBmps();
// Tiny BMPs whose headers announce pictures far beyond the pixel limit.
std::vector<HostileFile> hugeAnnouncedBmps();
// Files that are no picture at all: empty, text, bare signatures, zeros.
std::vector<HostileFile> nonPictureFiles();

// What is wrong with a table of `pixels` pixels, or the empty text: the header, then "Data"
// lines of one to eight entries separated by " ,", CR LF between lines, one entry per pixel.
std::string tableFault(std::string_view table, std::uint64_t pixels);

} // namespace quenzil::testsupport
