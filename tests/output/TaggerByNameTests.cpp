#include "engine/AtomicFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/tfilestream.h>

#include <cstdint>
#include <vector>

namespace {

using testing_support::readBytes;
using testing_support::scratchDir;

// A tagger opens the finished file by name for reading and writing while the writer still holds it,
// as TagLib does (on Windows sharing only reading); what it writes is in the saved file.
TEST(AtomicFile, ATaggerByNameCanWriteTheFinishedFile) {
    const auto dir = scratchDir("atomic-tagger-by-name");
    AtomicFile file(dir / "piece.mp3");
    const std::vector<std::uint8_t> frames = {1, 2, 3, 4};
    ASSERT_TRUE(file.write(frames.data(), frames.size()));
    ASSERT_TRUE(file.finishWriting());
    {
        TagLib::FileStream tagger(file.temporaryPath().c_str(), false);
        ASSERT_TRUE(tagger.isOpen());
        ASSERT_FALSE(tagger.readOnly());
        tagger.seek(0, TagLib::IOStream::End);
        tagger.writeBlock(TagLib::ByteVector("TAG", 3));
    }
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(readBytes(dir / "piece.mp3"), (std::vector<std::uint8_t>{1, 2, 3, 4, 'T', 'A', 'G'}));
}

} // namespace
