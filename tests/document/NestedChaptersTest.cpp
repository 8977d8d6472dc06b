#include "DocumentHarness.h"

#include "document/ChapterCopy.h"
#include "document/MainTag.h"
#include "support/FrameFiles.h"
#include "support/Id3v2Bytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace testing_support;

namespace {

// cbr128.mp3's frames behind a tag whose chapter frames nest 20,000 deep: TagLib's recursive chapter
// parser runs out of stack on it.
std::filesystem::path deeplyNested(const std::filesystem::path& dir, int version, const std::string& id) {
    std::vector<std::uint8_t> bytes = nestedChapterTag(version, id, 20000);
    append(bytes, readBytes(fixture("cbr128.mp3")));
    const auto path = dir / ("nested-" + id + "-v2." + std::to_string(version) + ".mp3");
    writeBytes(path, bytes);
    return path;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

} // namespace

TEST(NestedChapters, AFileWhoseChaptersNestTooDeepLoadsWithoutThem) {
    const auto dir = scratchDir("nested-chapters");
    const int frames = readerFrameCount(fixture("cbr128.mp3"));
    struct Case {
        int version;
        const char* id;
    };
    for (const Case c : {Case{4, "CHAP"}, Case{4, "CTOC"}, Case{3, "CHAP"}}) {
        SCOPED_TRACE(std::string(c.id) + " in version 2." + std::to_string(c.version));
        const auto path = deeplyNested(dir, c.version, c.id);
        DocumentHarness h;
        h.load(path);
        EXPECT_EQ(h.doc.frameCount(), frames);
        // The rest of the tag is read.
        EXPECT_EQ(h.doc.m_mainTag.title, "Deep");
        const std::vector<std::string> errors = h.link.logLines(LogLevel::Error);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0], "The ID3v2 tag of " + path.string() +
                                 " nests its chapters deeper than 32 levels, it has been read without its "
                                 "chapters!");

        // Its chapters can not be imported, and say why.
        EXPECT_FALSE(importFileChapters(h.doc, true));
        EXPECT_EQ(h.link.logLines(LogLevel::Error).back(),
                  "The chapters of " + path.string() +
                      " can not be read: its chapters nest deeper than 32 levels!");

        // A copy with chapters carries the new chapters and the rest of the old tag, none of the old
        // chapter frames (mutagen's view).
        h.doc.m_breakPoints = {20};
        const auto copy = dir / "copy.mp3";
        ASSERT_TRUE(saveCopyWithChapters(h.doc, copy));
        const std::vector<std::string> copied = mutagenFrames(copy);
        EXPECT_TRUE(hasLine(copied, "TIT2 Deep"));
        EXPECT_TRUE(hasLine(copied, "CTOC toc "));
        EXPECT_FALSE(hasLine(copied, "XCHP"));
        EXPECT_FALSE(hasLine(copied, "XCTC"));
        EXPECT_FALSE(hasLine(copied, "Inside"));
    }
}

TEST(NestedChapters, EveryTagLibReaderOfTheFileIsProtected) {
    const auto dir = scratchDir("nested-chapters-readers");
    const auto path = deeplyNested(dir, 4, "CHAP");
    std::string problem;
    EXPECT_EQ(readMainTag(path, &problem).title, "Deep");
    EXPECT_NE(problem, "");
    const Parsed<TimedList> chapters = readFileChapters(path);
    ASSERT_FALSE(chapters);
    EXPECT_EQ(chapters.describe(), "its chapters nest deeper than 32 levels");

    // TagLib's MPEG reader also finds a tag behind other bytes, up to the first frame it trusts.
    std::vector<std::uint8_t> late(300, 'x');
    append(late, nestedChapterTag(4, "CTOC", 20000));
    append(late, readBytes(fixture("cbr128.mp3")));
    writeBytes(dir / "late.mp3", late);
    problem.clear();
    EXPECT_EQ(readMainTag(dir / "late.mp3", &problem).title, "Deep");
    EXPECT_NE(problem, "");

    // A file named as MP3 is read by TagLib's MPEG reader whatever it starts with.
    std::vector<std::uint8_t> flac{'f', 'L', 'a', 'C'};
    append(flac, late);
    writeBytes(dir / "flac-named.mp3", flac);
    problem.clear();
    EXPECT_EQ(readMainTag(dir / "flac-named.mp3", &problem).title, "Deep");
    EXPECT_NE(problem, "");

    // The ID3 chunk of a WAV or AIFF file (TagLib picks its reader by the name's extension).
    struct Container {
        const char* name;
        bool bigEndian;
    };
    for (const Container c : {Container{"nested.wav", false}, Container{"nested.aiff", true}}) {
        SCOPED_TRACE(c.name);
        const auto size = [&](std::uint32_t value) {
            std::vector<std::uint8_t> bytes(4);
            for (int i = 0; i < 4; ++i) {
                bytes[static_cast<std::size_t>(c.bigEndian ? 3 - i : i)] =
                    static_cast<std::uint8_t>(value >> (8 * i));
            }
            return bytes;
        };
        const auto chunk = [&](const std::string& name, const std::vector<std::uint8_t>& data) {
            std::vector<std::uint8_t> bytes(name.begin(), name.end());
            append(bytes, size(static_cast<std::uint32_t>(data.size())));
            append(bytes, data);
            if (data.size() % 2 == 1) {
                bytes.push_back(0);
            }
            return bytes;
        };
        std::vector<std::uint8_t> body;
        const std::string kind = c.bigEndian ? "AIFF" : "WAVE";
        body.insert(body.end(), kind.begin(), kind.end());
        append(body,
               chunk(c.bigEndian ? "COMM" : "fmt ", std::vector<std::uint8_t>(c.bigEndian ? 18 : 16, 1)));
        append(body, chunk(c.bigEndian ? "SSND" : "data", std::vector<std::uint8_t>(1000, 0)));
        append(body, chunk("ID3 ", nestedChapterTag(4, "CHAP", 20000)));
        std::vector<std::uint8_t> file;
        const std::string magic = c.bigEndian ? "FORM" : "RIFF";
        file.insert(file.end(), magic.begin(), magic.end());
        append(file, size(static_cast<std::uint32_t>(body.size())));
        append(file, body);
        writeBytes(dir / c.name, file);
        problem.clear();
        EXPECT_EQ(readMainTag(dir / c.name, &problem).title, "Deep");
        EXPECT_NE(problem, "");
    }

    // A tag at the limit keeps its chapters.
    std::vector<std::uint8_t> bytes = nestedChapterTag(4, "CHAP", 32);
    append(bytes, readBytes(fixture("cbr128.mp3")));
    writeBytes(dir / "deep-enough.mp3", bytes);
    problem.clear();
    EXPECT_EQ(readMainTag(dir / "deep-enough.mp3", &problem).title, "Deep");
    EXPECT_EQ(problem, "");
    EXPECT_TRUE(readFileChapters(dir / "deep-enough.mp3"));
}
