// Scope: a file written from its own thread gets every byte, in order, and
// a failed write ends the save with its reason and nothing written after it.
#include "record/PipelinedSink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::record {
namespace {

// Keeps what it is given; the write numbered `failAt` (from 1) fails.
class RecordingFile final : public WritableFile {
public:
    explicit RecordingFile(std::size_t failAt = 0) : failAt_(failAt) {}
    std::optional<std::string> Write(std::string_view bytes) override {
        sizes.push_back(bytes.size());
        if (sizes.size() == failAt_) {
            return "No space left on device";
        }
        content.append(bytes);
        return std::nullopt;
    }
    std::optional<std::string> Finish() override { return std::nullopt; }

    std::string content;
    std::vector<std::size_t> sizes;

private:
    std::size_t failAt_;
};

std::string Pattern(std::size_t size, std::size_t seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    }
    return bytes;
}

TEST(PipelinedSink, EveryPieceArrivesInOrderSmallOnesGatheredLargeOnesWhole) {
    RecordingFile file;
    std::string expected;
    const std::vector<std::size_t> sizes = {1U, 0U, 65536U, 3U << 20, 1U << 20, 17U, 999999U, 5U};
    {
        PipelinedSink sink(file);
        for (const std::size_t size : sizes) {
            const std::string piece = Pattern(size, expected.size());
            sink.Write(piece);
            expected += piece;
        }
        sink.Finish();
    }
    EXPECT_EQ(file.content, expected);
    // The small pieces around each large one, gathered; the large ones as
    // they came.
    EXPECT_EQ(file.sizes, (std::vector<std::size_t>{65537U, 3U << 20, 1U << 20, 17U, 999999U, 5U}));
}

TEST(PipelinedSink, AFailedWriteIsThrownWithItsReasonAndNothingFollowsIt) {
    // Pieces written whole, and pieces gathered into buffers.
    for (const std::size_t size : {std::size_t{1} << 20, std::size_t{100} << 10}) {
        RecordingFile file(2);
        std::string thrown;
        std::string given;
        try {
            PipelinedSink sink(file);
            for (std::size_t i = 0; i < 16; ++i) {
                const std::string piece = Pattern(size, i);
                sink.Write(piece);
                given += piece;
            }
            sink.Finish();
        } catch (const PipelinedSink::Failed& failed) {
            thrown = failed.reason;
        }
        EXPECT_EQ(thrown, "No space left on device") << size;
        ASSERT_EQ(file.sizes.size(), 2U) << size;
        EXPECT_EQ(file.content, given.substr(0, file.sizes[0])) << size;
    }
}

TEST(PipelinedSink, AWriterThatThrowsLeavesNoWriteInFlight) {
    RecordingFile file;
    try {
        PipelinedSink sink(file);
        sink.Write(Pattern(std::size_t{3} << 20, 0));
        throw std::runtime_error("the source failed");
    } catch (const std::runtime_error&) {
    }
    // The sink is gone: its thread has ended and the file is no longer used.
    const std::size_t writes = file.sizes.size();
    EXPECT_LE(writes, 3U);
    EXPECT_EQ(file.content.size() % (std::size_t{1} << 20), 0U);
}

} // namespace
} // namespace meterdesk::record
