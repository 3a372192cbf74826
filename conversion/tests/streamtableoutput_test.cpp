#include "streamtableoutput.h"
#include "tablebuilder.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using namespace quenzil;

namespace {

struct GridSource
{
    int w;
    int h;
    double width() const { return w; }
    double height() const { return h; }
    ColourValue colourAt(int x, int y) const { return ColourValue(x * 2654435761u ^ y * 40503u); }
};

// The longest piece a run appends to this picture's table: a binary code after a separator.
constexpr std::size_t longestPiece = 13;

// Collects what the output hands on, and can refuse from a given chunk on.
struct RecordingSink
{
    std::string received;
    std::vector<std::size_t> chunkSizes;
    std::size_t refuseFrom = std::size_t(-1);

    StreamTableOutput::Sink sink()
    {
        return [this](std::string_view chunk) {
            if (chunkSizes.size() >= refuseFrom)
                return false;
            chunkSizes.push_back(chunk.size());
            received.append(chunk);
            return true;
        };
    }
};

std::string streamedTable(const GridSource &source, std::size_t chunkSize, RecordingSink &sink,
                          bool &ok)
{
    StreamTableOutput output(sink.sink(), chunkSize);
    NoProgress progress;
    NoEventPump pump;
    GridSource scanned = source;
    TableBuilder(scanned, output, progress, pump).run();
    ok = output.finish();
    return sink.received;
}

} // namespace

// Chunk sizes from one character (every append hands on) to larger than the whole table, over
// pictures whose tables end at a line's end, mid-line or hold no entry at all.
class StreamTableOutputSizes : public ::testing::TestWithParam<std::tuple<std::size_t, int, int>>
{
};

TEST_P(StreamTableOutputSizes, HandsOnExactlyTheTableTextInOrder)
{
    const auto [chunkSize, width, height] = GetParam();
    GridSource source{width, height};
    RecordingSink sink;
    bool ok = false;
    const std::string streamed = streamedTable(source, chunkSize, sink, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(streamed, buildTableText(source));
    for (std::size_t i = 0; i < sink.chunkSizes.size(); ++i) {
        EXPECT_GT(sink.chunkSizes[i], 0u);
        // Every chunk but the last is close to the chunk size: never more, and less only by
        // what did not fit of the next entry.
        if (chunkSize >= 1000 && i + 1 < sink.chunkSizes.size()) {
            EXPECT_LE(sink.chunkSizes[i], chunkSize);
            EXPECT_GT(sink.chunkSizes[i], chunkSize - longestPiece);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ChunksAndPictures, StreamTableOutputSizes,
                         ::testing::Combine(::testing::Values(1, 2, 13, 16, 17, 1000, 1 << 20),
                                            ::testing::Values(0, 1, 3, 8),
                                            ::testing::Values(0, 1, 3, 40)));

TEST(StreamTableOutput, StopsHandingOnAfterARefusal)
{
    GridSource source{64, 64};
    RecordingSink sink;
    sink.refuseFrom = 2;
    bool ok = true;
    const std::string streamed = streamedTable(source, 100, sink, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(sink.chunkSizes.size(), 2u);
    EXPECT_EQ(streamed, buildTableText(source).substr(0, streamed.size()));
}

TEST(StreamTableOutput, ARefusedLastChunkIsReportedByFinish)
{
    RecordingSink sink;
    sink.refuseFrom = 0;
    StreamTableOutput output(sink.sink(), 1024);
    output.setText("Picture:\r\n");
    EXPECT_FALSE(output.finish());
    EXPECT_TRUE(sink.received.empty());
}

TEST(StreamTableOutput, StartsAfreshOnlyWhileItHasHandedNothingOn)
{
    RecordingSink sink;
    StreamTableOutput output(sink.sink(), 4);
    output.setText("abc");
    output.setText("Picture:"); // larger than a chunk: handed on at once
    EXPECT_THROW(output.setText("again"), std::logic_error);
    output.append("ab");
    EXPECT_TRUE(output.finish());
    EXPECT_EQ(sink.received, "Picture:ab");
}
