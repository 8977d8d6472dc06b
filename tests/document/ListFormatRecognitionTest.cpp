#include "document/BreakPointLists.h"
#include "document/formats/CueSheet.h"
#include "document/formats/LabelFile.h"
#include "document/formats/Tracklist.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Texts as the programs that make these lists write them, and as people paste them. The chosen
// format is what the dialog's filter said; the text wins when it says clearly.
TEST(ListFormatRecognition, TheTextDecidesWhenItIsClear) {
    const struct {
        const char* name;
        std::string text;
        ListFormat chosen;
        ListFormat expected;
    } cases[] = {
        {"labels chosen as tracklist", "1.000000\t1.000000\tOne\n2.500000\t2.500000\tTwo\n",
         ListFormat::Tracklist, ListFormat::LabelFile},
        {"labels with a BOM and CRLF",
         "\xEF\xBB\xBF"
         "0\t0\n12,5\t13,0\tSong\r\n",
         ListFormat::Tracklist, ListFormat::LabelFile},
        {"labels with frequency lines", "1.0\t2.0\tA\n\\\t100.0\t2000.0\n", ListFormat::Tracklist,
         ListFormat::LabelFile},
        {"tracklist chosen as labels", "00:00 Intro\n03:15 Artist - Song\n1:02:03.5 Last\n",
         ListFormat::LabelFile, ListFormat::Tracklist},
        {"tracklist, numbered, bracketed times", "1. [00:00] Intro\n2. [03:15] Song\n", ListFormat::LabelFile,
         ListFormat::Tracklist},
        {"tracklist, title first", "Intro 0:00\nSong 3:15\n", ListFormat::LabelFile, ListFormat::Tracklist},
        {"a CUE sheet saved as .txt",
         "PERFORMER \"X\"\nFILE \"a.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
         ListFormat::Tracklist, ListFormat::CueSheet},
        {"a CUE sheet in lower case", "file \"a.mp3\" mp3\ntrack 01 audio\nindex 01 01:00:00\n",
         ListFormat::LabelFile, ListFormat::CueSheet},
        {"nothing to go by", "just some words\nand more\n", ListFormat::LabelFile, ListFormat::LabelFile},
        {"empty", "", ListFormat::Tracklist, ListFormat::Tracklist},
        // A title with a clock in it does not make a label file a tracklist.
        {"labels naming a time", "1.0\t1.0\tLive at 10:30\n2.0\t2.0\tEncore\n", ListFormat::Tracklist,
         ListFormat::LabelFile},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(recogniseListFormat(c.text, c.chosen), c.expected) << c.name;
    }
}

// What is recognised is what the parser of that format reads.
TEST(ListFormatRecognition, RecognisedTextsParse) {
    EXPECT_TRUE(parseLabelFile("1.000000\t1.000000\tOne\n2.500000\t2.500000\tTwo\n"));
    EXPECT_TRUE(parseTracklist("1. [00:00] Intro\n2. [03:15] Song\n"));
    EXPECT_TRUE(parseTracklist("Intro 0:00\nSong 3:15\n"));
    EXPECT_TRUE(
        parseCueSheet("PERFORMER \"X\"\nFILE \"a.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"));
}

} // namespace
