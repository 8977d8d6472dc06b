#include "OutputTestSupport.h"

#include "document/WorkerSlot.h"
#include "engine/XingFrame.h"
#include "output/SaveAll.h"
#include "output/SaveBlocks.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace output_test;
using namespace testing_support;

namespace {

PieceOptions allPieceOptions(const std::string& nameTemplate) {
    PieceOptions options;
    options.gapless = true;
    options.copyTags = true;
    options.nameTemplate = nameTemplate;
    return options;
}

// id3v2-cover.mp3 (title "Cover", a cover) as a load leaves it, cut at 20 and 45 (both in sound), block 1
// tagged.
std::unique_ptr<TestDocument> coverDocument(const PieceOptions& options) {
    auto test = std::make_unique<TestDocument>(fixture("id3v2-cover.mp3"));
    test->doc->replaceBreakPoints({20, 45});
    test->doc->m_mainTag.title = "Cover";
    test->doc->m_blockTags = {{1, {"Album", "Artist", "Part two", "", 2001}}};
    test->doc->setPieceOptions(options);
    return test;
}

int runDialogJob(TestDocument& test, const std::filesystem::path& folder, const std::vector<int>& ticked) {
    std::filesystem::create_directories(folder);
    const std::vector<BlockRow> rows = buildBlockRows(*test.doc);
    std::vector<CheckedRow> checked;
    for (const int number : ticked) {
        checked.push_back({number, rows[static_cast<std::size_t>(number - 1)].block});
    }
    MessageQueueLink dialog;
    return runSpecifiedBlocksSave(
        specifiedBlocksJob(*test.doc, folder, checked, static_cast<int>(rows.size())), test.frame, dialog);
}

void saveFromButton(TestDocument& test, int breakPoint, const std::filesystem::path& path) {
    test.prompts.saveAnswer = path;
    saveBlockFromBreakPoint(*test.doc, breakPoint);
    ASSERT_TRUE(test.view.dispatchUntil(UM_BLOCK_SAVED));
}

std::string trackOf(const std::filesystem::path& piece) {
    TagLib::MPEG::File file(piece.c_str());
    if (!file.hasID3v2Tag() || file.ID3v2Tag()->frameListMap()["TRCK"].isEmpty()) {
        return "";
    }
    return file.ID3v2Tag()->frameListMap()["TRCK"].front()->toString().to8Bit(true);
}

} // namespace

// The dialog and the 'S' button make a block's piece as Save All makes it: the same header frames,
// the source's tags with the block's track number and its own tag, the template's name.
TEST(ChosenBlockPieces, FollowThePieceOptionsLikeSaveAll) {
    const auto dir = scratchDir("chosen-block-pieces");
    const PieceOptions options = allPieceOptions("{n1:02} {title}");
    auto test = coverDocument(options);
    test->doc->m_outputFolder = dir / "all";
    std::filesystem::create_directories(dir / "all");
    ASSERT_EQ(runSaveAll(*test->doc).failed, 0);

    // Every row is Save All's block of its number, byte for byte.
    ASSERT_EQ(runDialogJob(*test, dir / "rows", {1, 2, 3}), 0);
    for (const char* name : {"01 Cover.mp3", "02 Part two.mp3", "03 Cover.mp3"}) {
        EXPECT_EQ(readBytes(dir / "rows" / name), readBytes(dir / "all" / name)) << name;
    }
    struct Expected {
        const char* name;
        const char* track;
        const char* title;
    };
    const Expected rows[] = {{"01 Cover.mp3", "1/3", "Cover"},
                             {"02 Part two.mp3", "2/3", "Part two"},
                             {"03 Cover.mp3", "3/3", "Cover"}};
    for (const Expected& row : rows) {
        SCOPED_TRACE(row.name);
        const auto path = dir / "rows" / row.name;
        EXPECT_EQ(trackOf(path), row.track);
        EXPECT_EQ(TagLib::MPEG::File(path.c_str()).tag()->title(), row.title);
        EXPECT_EQ(toolComplaints(path), "");
    }
    // Row 2 alone plays the samples of its frames 20 to 44 (frame 0 is the Info frame).
    const std::string whole =
        runCommand("mpg123 -q -s '" + fixture("id3v2-cover.mp3").string() + "' 2>/dev/null");
    const std::string alone =
        runCommand("mpg123 -q -s '" + (dir / "rows" / "02 Part two.mp3").string() + "' 2>/dev/null");
    const auto sourceTag = [&] {
        const std::vector<std::uint8_t> bytes = readBytes(fixture("id3v2-cover.mp3"));
        const std::size_t frame = static_cast<std::size_t>(test->doc->m_frameOffsets[0]);
        return mp3::XingFrame::parse(bytes.data() + frame, bytes.size() - frame);
    }();
    ASSERT_TRUE(sourceTag && sourceTag->lame);
    const std::size_t lead = static_cast<std::size_t>(sourceTag->lame->encoderDelay() + mp3::kDecoderDelay);
    constexpr std::size_t kBytesPerSample = 4;
    EXPECT_TRUE(alone == whole.substr((19 * 1152 - lead) * kBytesPerSample, 25 * 1152 * kBytesPerSample));

    // The 'S' button's block from 20 is Save All's block 1, from 45 its block 2.
    saveFromButton(*test, 20, dir / "button-20.mp3");
    saveFromButton(*test, 45, dir / "button-45.mp3");
    EXPECT_EQ(readBytes(dir / "button-20.mp3"), readBytes(dir / "all" / "02 Part two.mp3"));
    EXPECT_EQ(readBytes(dir / "button-45.mp3"), readBytes(dir / "all" / "03 Cover.mp3"));
    EXPECT_EQ(test->lines(LogLevel::Error), std::vector<std::string>{});
}

// Without the options the chosen blocks stay bare frames, even where the user tagged a block.
TEST(ChosenBlockPieces, WithoutTheOptionsHoldOnlyTheirFrames) {
    const auto dir = scratchDir("chosen-block-bare");
    auto test = coverDocument({});
    ASSERT_EQ(runDialogJob(*test, dir, {2}), 0);
    saveFromButton(*test, 20, dir / "button.mp3");
    const auto source = fixture("id3v2-cover.mp3");
    EXPECT_EQ(readBytes(dir / "id3v2-cover-2.mp3"), frameBytes(source, 20, 45));
    EXPECT_EQ(readBytes(dir / "button.mp3"), frameBytes(source, 20, 45));
    EXPECT_EQ(test->prompts.proposedNames, std::vector<std::string>{""});
}

// The template names the dialog's pieces below its folder, subfolders included, and proposes the
// 'S' button's file name; a refused template writes nothing and proposes nothing.
TEST(ChosenBlockPieces, TakeTheirNamesFromTheTemplate) {
    struct Case {
        const char* pattern;
        std::vector<std::string> written; // by the dialog, rows 2 and 3
        std::string proposed;             // for the button of break point 20
    };
    const Case cases[] = {
        {"{name}/{n}-{N}", {"id3v2-cover/1-3.mp3", "id3v2-cover/2-3.mp3"}, "1-3.mp3"},
        {"../{name}-{n}", {}, ""},
        {"{title}", {"Cover.mp3", "Part two.mp3"}, "Part two.mp3"},
        {"{name}", {}, "id3v2-cover.mp3"}, // two rows of one name
        {"{nope}", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const auto dir = scratchDir("chosen-block-names");
        auto test = coverDocument(allPieceOptions(c.pattern));
        const int failed = runDialogJob(*test, dir / "out", {2, 3});
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path().lexically_relative(dir / "out").generic_string());
            }
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.written);
        EXPECT_EQ(failed, c.written.empty() ? 2 : 0);

        test->prompts.saveAnswer.reset();
        saveBlockFromBreakPoint(*test->doc, 20);
        EXPECT_EQ(test->prompts.proposedNames, std::vector<std::string>{c.proposed});
        const auto errors = test->lines(LogLevel::Error);
        EXPECT_EQ(errors.size(), (c.written.empty() ? 1u : 0u) + (c.proposed.empty() ? 1u : 0u));
        for (const std::string& line : errors) {
            EXPECT_EQ(
                line.rfind("The piece name template \"" + std::string(c.pattern) + "\" is refused: ", 0), 0u)
                << line;
        }
    }
}
