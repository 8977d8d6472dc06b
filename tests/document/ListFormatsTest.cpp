#include "document/formats/CueSheet.h"
#include "document/formats/FrameTimeline.h"
#include "document/formats/LabelFile.h"
#include "document/formats/TextDecoding.h"
#include "document/formats/Tracklist.h"

#include "engine/FrameReader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {

TimedEntry entry(double seconds, std::string title, std::string performer, int line) {
    return TimedEntry{seconds, std::move(title), std::move(performer), line};
}

void expectEntries(const std::vector<TimedEntry>& actual, const std::vector<TimedEntry>& expected,
                   double tolerance = 1e-9) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_NEAR(actual[i].seconds, expected[i].seconds, tolerance);
        EXPECT_EQ(actual[i].title, expected[i].title);
        EXPECT_EQ(actual[i].performer, expected[i].performer);
        EXPECT_EQ(actual[i].line, expected[i].line);
    }
}

TEST(TextDecoding, ReadsUtf8WithAndWithoutBomUtf16AndLatin1) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"UTF-8", "Caf\xC3\xA9"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF"
                           "Caf\xC3\xA9"},
        {"Latin-1", "Caf\xE9"},
        {"UTF-16LE with BOM", std::string("\xFF\xFE"
                                          "C\0a\0f\0\xE9\0",
                                          10)},
        {"UTF-16BE with BOM", std::string("\xFE\xFF\0C\0a\0f\0\xE9", 10)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeText(c.bytes), "Caf\xC3\xA9") << c.name;
    }
    // Overlong forms and lone continuation bytes are no UTF-8: the text is taken as Latin-1.
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(isValidUtf8("a\x80"));
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x8E\xB5"));
}

// "ANSI" text as Windows writes it: the bytes 0x80..0x9F are the code page's punctuation, not C1
// control characters. Expected code points by hand from the code page's table.
TEST(TextDecoding, EightBitTextIsWindows1252) {
    const struct {
        const char* bytes;
        const char* utf8;
    } cases[] = {
        {"\x92", "\xE2\x80\x99"}, // right single quotation mark
        {"\x93x\x94", "\xE2\x80\x9Cx\xE2\x80\x9D"},
        {"\x96", "\xE2\x80\x93"}, // en dash
        {"\x97", "\xE2\x80\x94"}, // em dash
        {"\x85", "\xE2\x80\xA6"}, // ellipsis
        {"\x80", "\xE2\x82\xAC"}, // euro sign
        {"\x8A\x9A\x9F", "\xC5\xA0\xC5\xA1\xC5\xB8"},
        {"\x99", "\xE2\x84\xA2"},
        {"\xE9\xA0\xFF", "\xC3\xA9\xC2\xA0\xC3\xBF"},                         // Latin-1 above 0x9F
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"}, // undefined: kept
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeText(c.bytes), c.utf8) << c.bytes;
    }
}

// A BOM names the encoding; bytes that are invalid in it become text of that encoding's kind or
// U+FFFD, never raw bytes in the UTF-8 result.
TEST(TextDecoding, InvalidBytesAfterABomAreNotCopiedRaw) {
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"UTF-8 BOM, 8-bit text",
         "\xEF\xBB\xBF"
         "Caf\xE9 \x93x\x94",
         "Caf\xC3\xA9 \xE2\x80\x9Cx\xE2\x80\x9D"},
        {"UTF-8 BOM, cut sequence",
         "\xEF\xBB\xBF"
         "a\xC3",
         "a\xC3\x83"},
        {"UTF-16LE BOM, lone high surrogate",
         std::string("\xFF\xFE\x00\xD8"
                     "a\0",
                     6),
         replacement + "a"},
        {"UTF-16LE BOM, lone low surrogate", std::string("\xFF\xFE\x00\xDC", 4), replacement},
        {"UTF-16BE BOM, odd byte left", std::string("\xFE\xFF\0a\xC3", 5), "a" + replacement},
        {"UTF-32LE BOM",
         std::string("\xFF\xFE\0\0"
                     "a\0\0\0\xE9\0\0\0",
                     12),
         "a\xC3\xA9"},
        {"UTF-32BE BOM", std::string("\0\0\xFE\xFF\0\x01\xF3\xB5", 8), "\xF0\x9F\x8E\xB5"},
        {"UTF-32LE BOM, past U+10FFFF", std::string("\xFF\xFE\0\0\0\0\x11\0", 8), replacement},
    };
    for (const auto& c : cases) {
        const std::string text = decodeText(c.bytes);
        EXPECT_EQ(text, c.utf8) << c.name;
        EXPECT_TRUE(isValidUtf8(text)) << c.name;
    }
}

TEST(TextDecoding, PrintableExcerptLeavesOutWhatCannotBeShown) {
    const struct {
        std::string text;
        std::size_t characters;
        std::string shown;
    } cases[] = {
        {std::string("\0\0\0ab\0c", 7), 40, "abc"},
        {"tab\there\x7F", 40, "tabhere"},
        {"\xC2\x81\xEF\xBF\xBDok", 40, "ok"},
        {"\xC3\xA9t\xC3\xA9 \xE2\x80\x93 x", 3, "\xC3\xA9t\xC3\xA9"}, // counts characters, not bytes
        {"a\xC3", 40, "a"},
        {"\x80\x80z", 40, "z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(printableExcerpt(c.text, c.characters), c.shown);
    }
}

TEST(TextDecoding, SplitsLinesAtEveryKindOfEnding) {
    const auto lines = splitLines("a\r\nb\rc\n\nd");
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()),
              (std::vector<std::string>{"a", "b", "c", "", "d"}));
    EXPECT_EQ(splitLines("one\n").size(), 1u);
}

TEST(FrameTimeline, NearestFrameStartForTimes) {
    const FrameTimeline plain{44100, 1152, 0, 1000};
    const FrameTimeline info{44100, 1152, 1, 1000};
    const double frame = 1152.0 / 44100.0;
    const struct {
        const FrameTimeline* timeline;
        double seconds;
        int frame;
    } cases[] = {
        {&plain, 0.0, 0},
        {&plain, frame * 0.49, 0},
        {&plain, frame * 0.51, 1},
        {&plain, frame * 10, 10},
        {&plain, frame * 10.4, 10},
        // The Info frame holds no audio: time 0 is still the start of the file, and audio frame n
        // is frame n + 1.
        {&info, 0.0, 0},
        {&info, frame * 0.4, 0},
        {&info, frame * 0.6, 2},
        {&info, frame * 10, 11},
        {&plain, 1e30, std::numeric_limits<int>::max()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.timeline->nearestFrame(c.seconds), c.frame) << c.seconds << " s";
    }
    EXPECT_DOUBLE_EQ(info.frameStart(0), 0.0);
    EXPECT_DOUBLE_EQ(info.frameStart(1), 0.0);
    EXPECT_DOUBLE_EQ(info.frameStart(11), frame * 10);
    EXPECT_DOUBLE_EQ(plain.endSeconds(), frame * 1000);
}

TEST(FrameTimeline, FrameStartsRoundTripForEveryStreamKind) {
    for (const FrameTimeline& timeline :
         {FrameTimeline{44100, 1152, 1, 400000}, FrameTimeline{8000, 576, 0, 400000},
          FrameTimeline{22050, 576, 1, 400000}, FrameTimeline{48000, 384, 0, 400000}}) {
        for (int frame = 2; frame < timeline.frameCount; frame += 997) {
            ASSERT_EQ(timeline.nearestFrame(timeline.frameStart(frame)), frame)
                << timeline.sampleRate << " Hz, frame " << frame;
        }
    }
}

TEST(FrameTimeline, FindsTheInfoFramesEncodersWrite) {
    const struct {
        const char* fixture;
        int leadingFrames;
        int sampleRate;
        int samplesPerFrame;
    } files[] = {
        {"cbr128.mp3", 1, 44100, 1152}, // "Info"
        {"vbr.mp3", 1, 44100, 1152},    // "Xing"
        {"mpeg2-mono.mp3", 0, 22050, 576},
        {"mpeg25.mp3", 0, 8000, 576},
    };
    for (const auto& c : files) {
        mp3::FrameReader reader(testing_support::fixture(c.fixture));
        ASSERT_FALSE(reader.atEnd()) << c.fixture;
        const FrameTimeline timeline = makeTimeline(reader.header(), reader.frameData(),
                                                    static_cast<std::size_t>(reader.frameLength()), 50);
        EXPECT_EQ(timeline.leadingFrames, c.leadingFrames) << c.fixture;
        EXPECT_EQ(timeline.sampleRate, c.sampleRate) << c.fixture;
        EXPECT_EQ(timeline.samplesPerFrame, c.samplesPerFrame) << c.fixture;
    }

    // Hand-built frames: the tag follows the side information, whose size depends on the version
    // and the channels, and a CRC moves it by two bytes.
    const struct {
        const char* name;
        std::uint8_t b1, b2, b3;
        std::size_t at;
        const char* tag;
        bool info;
    } frames[] = {
        {"MPEG-1 stereo", 0xFB, 0x90, 0x00, 36, "Info", true},
        {"MPEG-1 mono", 0xFB, 0x90, 0xC0, 21, "Xing", true},
        {"MPEG-1 stereo with CRC", 0xFA, 0x90, 0x00, 38, "Info", true},
        {"MPEG-2 mono", 0xF3, 0x40, 0xC4, 13, "Info", true},
        {"MPEG-2 stereo", 0xF3, 0x40, 0x04, 21, "Xing", true},
        {"VBRI", 0xFB, 0x90, 0x00, 36, "VBRI", true},
        {"tag at the wrong place", 0xFB, 0x90, 0x00, 21, "Info", false},
        {"zeros", 0xFB, 0x90, 0x00, 36, "\0\0\0\0", false},
    };
    for (const auto& c : frames) {
        auto bytes = testing_support::makeFrame(c.b1, c.b2, c.b3);
        std::copy_n(c.tag, 4, bytes.begin() + static_cast<std::ptrdiff_t>(c.at));
        mp3::FrameHeader header;
        std::copy_n(bytes.begin(), 4, header.raw.begin());
        ASSERT_TRUE(header.parse()) << c.name;
        EXPECT_EQ(isInfoFrame(bytes.data(), bytes.size(), header), c.info) << c.name;
    }
}

TEST(CueSheet, ReadsAHandWrittenSheet) {
    // Latin-1, mixed case, REM lines, a pregap, quotes inside a title, a track without a performer.
    const std::string sheet = "REM GENRE Rock\r\n"
                              "REM DATE 1999\r\n"
                              "PERFORMER \"Die \xC4rzte\"\r\n"
                              "TITLE \"Live in K\xF6ln\"\r\n"
                              "FILE \"live.mp3\" MP3\r\n"
                              "  TRACK 01 AUDIO\r\n"
                              "    TITLE \"Intro\"\r\n"
                              "    INDEX 01 00:00:00\r\n"
                              "  TRACK 02 AUDIO\r\n"
                              "    TITLE \"Say \"Hi\" Again\"\r\n"
                              "    PERFORMER Guest Star\r\n"
                              "    FLAGS DCP\r\n"
                              "    INDEX 00 03:10:00\r\n"
                              "    index 01 03:12:37\r\n"
                              "\r\n"
                              "  TRACK 03 AUDIO\r\n"
                              "    TITLE \"Sch\xF6n\"\r\n"
                              "    REM COMMENT \"not a title\"\r\n"
                              "    INDEX 01 75:00:74\r\n";
    const Parsed<TimedList> parsed = parseCueSheet(sheet);
    ASSERT_TRUE(parsed) << parsed.describe();
    EXPECT_EQ(parsed.value().album, "Live in K\xC3\xB6ln");
    EXPECT_EQ(parsed.value().artist, "Die \xC3\x84rzte");
    expectEntries(parsed.value().entries, {entry(0.0, "Intro", "Die \xC3\x84rzte", 6),
                                           entry(192 + 37.0 / 75, "Say \"Hi\" Again", "Guest Star", 9),
                                           entry(4500 + 74.0 / 75, "Sch\xC3\xB6n", "Die \xC3\x84rzte", 16)});
}

TEST(CueSheet, ALineThatCannotBeReadFailsTheSheetWithItsNumber) {
    const struct {
        const char* sheet;
        int line;
    } cases[] = {
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:61:00\n", 3},
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:10:75\n", 3},
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 0:10\n", 3},
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:01:00\nTRACK 02 AUDIO\nTITLE \"x\"\n", 4},
        {"FILE \"a.mp3\" MP3\nTRACK AUDIO\n", 2},
        {"FILE \"a.mp3\" MP3\nINDEX 01 00:00:00\n", 2},
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"open\nINDEX 01 00:00:00\n", 3},
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"b.mp3\" MP3\n", 4},
        {"FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nhello world\n", 4},
        {"REM only a remark\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        const Parsed<TimedList> parsed = parseCueSheet(c.sheet);
        ASSERT_FALSE(parsed) << c.sheet;
        EXPECT_EQ(parsed.error().line, c.line) << c.sheet << parsed.describe();
    }
}

// The pregap's INDEX 00 never starts a track, wherever it stands; only INDEX 01 does.
TEST(CueSheet, OnlyIndexOneStartsATrack) {
    const struct {
        const char* indexes;
        std::optional<double> start;
    } cases[] = {
        {"INDEX 00 00:10:00\nINDEX 01 00:12:00\n", 12.0},
        {"INDEX 01 00:12:00\nINDEX 00 00:10:00\n", 12.0},
        {"INDEX 00 00:10:00\nINDEX 01 00:12:00\nINDEX 02 00:15:00\n", 12.0},
        {"INDEX 02 00:15:00\nINDEX 01 00:12:00\n", 12.0},
        {"INDEX 00 00:10:00\n", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string sheet = std::string("FILE \"a.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                              "TRACK 02 AUDIO\n") +
                                  c.indexes;
        const Parsed<TimedList> parsed = parseCueSheet(sheet);
        ASSERT_EQ(bool(parsed), c.start.has_value()) << c.indexes;
        if (parsed) {
            ASSERT_EQ(parsed.value().entries.size(), 2u);
            EXPECT_NEAR(parsed.value().entries[1].seconds, *c.start, 1e-9) << c.indexes;
        } else {
            EXPECT_EQ(parsed.error().line, 4) << parsed.describe();
        }
    }
}

// What the writer makes of quotes, long times, many tracks and the disc's names, by hand.
TEST(CueSheet, WriterFormsThatReadersAccept) {
    TimedList list;
    list.album = "The \"Best\" Of";
    list.artist = "Various";
    list.entries = {entry(0.0, "Say \"Hi\"", "Various", 0), entry(99 * 60 + 59.99, "Late", "Guest", 0),
                    entry(6000.0, "", "", 0), entry(1000.0 * 3600, "Far", "Various", 0)};
    EXPECT_EQ(writeCueSheet(list, "a \"b\".mp3"), "PERFORMER \"Various\"\n"
                                                  "TITLE \"The \\\"Best\\\" Of\"\n"
                                                  "FILE \"a \\\"b\\\".mp3\" MP3\n"
                                                  "  TRACK 01 AUDIO\n"
                                                  "    TITLE \"Say \\\"Hi\\\"\"\n"
                                                  "    INDEX 01 00:00:00\n"
                                                  "  TRACK 02 AUDIO\n"
                                                  "    TITLE \"Late\"\n"
                                                  "    PERFORMER \"Guest\"\n"
                                                  "    INDEX 01 99:59:74\n"
                                                  "  TRACK 03 AUDIO\n"
                                                  "    INDEX 01 100:00:00\n"
                                                  "  TRACK 04 AUDIO\n"
                                                  "    TITLE \"Far\"\n"
                                                  "    INDEX 01 60000:00:00\n");
    const Parsed<TimedList> back = parseCueSheet(writeCueSheet(list, "x.mp3"));
    ASSERT_TRUE(back) << back.describe();
    EXPECT_EQ(back.value().album, list.album);
    EXPECT_EQ(back.value().entries[0].title, "Say \"Hi\"");
    EXPECT_EQ(back.value().entries[0].performer, "Various");
    EXPECT_EQ(back.value().entries[1].performer, "Guest");

    // Track numbers past 99 get a third digit and read back.
    TimedList many;
    for (int i = 0; i < 120; ++i) {
        many.entries.push_back(entry(i * 10.0, "", "", 0));
    }
    const std::string text = writeCueSheet(many, "x.mp3");
    EXPECT_NE(
        text.find("\n  TRACK 99 AUDIO\n    INDEX 01 16:20:00\n  TRACK 100 AUDIO\n    INDEX 01 16:30:00\n"),
        std::string::npos);
    const Parsed<TimedList> manyBack = parseCueSheet(text);
    ASSERT_TRUE(manyBack) << manyBack.describe();
    EXPECT_EQ(manyBack.value().entries.size(), 120u);
    // A backslash that does not stand before a quote is the text's own.
    const Parsed<TimedList> slashes = parseCueSheet("FILE \"C:\\music\\a.mp3\" MP3\nTRACK 01 AUDIO\n"
                                                    "TITLE \"AC\\DC \\\\\"\nINDEX 01 00:00:00\n");
    ASSERT_TRUE(slashes) << slashes.describe();
    EXPECT_EQ(slashes.value().entries[0].title, "AC\\DC \\\\");
}

// Every time a parser reads, its writer writes in a form the parser reads again: long times, the
// latest time a list may give, and times past it, which no parser takes.
TEST(ListFormats, LongTimesReadBackInEveryFormat) {
    const double times[] = {0.0,
                            3599.9996,
                            3600.0,
                            999 * 3600 + 3599.5,
                            1000.0 * 3600,
                            92200 * 60 + 5.0,
                            99999 * 3600 + 1.25,
                            kMaxListSeconds};
    for (const double seconds : times) {
        SCOPED_TRACE(std::to_string(seconds));
        TimedList list;
        list.entries = {entry(seconds, "T", "", 0)};
        const Parsed<TimedList> cue = parseCueSheet(writeCueSheet(list, "x.mp3"));
        ASSERT_TRUE(cue) << cue.describe();
        EXPECT_NEAR(cue.value().entries[0].seconds, seconds, 0.5 / 75 + 1e-6);
        const Parsed<TimedList> labels = parseLabelFile(writeLabelFile(list, seconds));
        ASSERT_TRUE(labels) << labels.describe();
        EXPECT_NEAR(labels.value().entries[0].seconds, seconds, 1e-6);
        const Parsed<TimedList> tracks = parseTracklist(writeTracklist(list));
        ASSERT_TRUE(tracks) << tracks.describe();
        EXPECT_NEAR(tracks.value().entries[0].seconds, seconds, 0.0005 + 1e-6);
    }
    EXPECT_EQ(trackTime(92200 * 60 + 5.0), "1536:40:05.000");
    EXPECT_EQ(parseTrackTime("92200:05"), 92200 * 60 + 5.0);
    EXPECT_EQ(parseTrackTime("1536:40:05.000"), 92200 * 60 + 5.0);
    EXPECT_EQ(parseTrackTime("100000:00:00"), kMaxListSeconds);
    EXPECT_EQ(parseTrackTime("100000:00:01"), std::nullopt);
    EXPECT_EQ(parseTrackTime("1000000:00:00"), std::nullopt);
    // Times no list can give are written clamped, never as an overflowed number.
    EXPECT_EQ(trackTime(1e300), "100000:00:00.000");
    EXPECT_EQ(trackTime(std::nan("")), "00:00.000");
    EXPECT_EQ(trackTime(-5.0), "00:00.000");
    EXPECT_EQ(cueTime(1e300), "6000000:00:00");
    EXPECT_FALSE(parseCueSheet("FILE \"a\" MP3\nTRACK 01 AUDIO\nINDEX 01 6000000:00:01\n"));
    EXPECT_FALSE(parseCueSheet("FILE \"a\" MP3\nTRACK 01 AUDIO\nINDEX 01 99999999999:00:00\n"));
    EXPECT_FALSE(parseLabelFile("360000000.000001\t0\tx\n"));
    EXPECT_FALSE(parseLabelFile(std::string(400, '9') + "\t0\tx\n"));
    EXPECT_TRUE(parseLabelFile("360000000.000000\t360000000\tx\n"));
}

// Export, import, same entries: each format keeps the times to its own resolution.
TEST(ListFormats, WrittenListsReadBack) {
    TimedList list;
    list.album = "Album \xC3\xA9";
    list.artist = "Someone";
    list.entries = {entry(0.0, "First", "Someone", 0), entry(61.5, "Second \"quoted\"", "Guest", 0),
                    entry(3723.04, "Third", "Someone", 0)};

    const Parsed<TimedList> cue = parseCueSheet(writeCueSheet(list, "song.mp3"));
    ASSERT_TRUE(cue) << cue.describe();
    EXPECT_EQ(cue.value().album, list.album);
    EXPECT_EQ(cue.value().artist, list.artist);
    ASSERT_EQ(cue.value().entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(cue.value().entries[i].seconds, list.entries[i].seconds, 0.5 / 75 + 1e-9);
        EXPECT_EQ(cue.value().entries[i].title, list.entries[i].title);
        EXPECT_EQ(cue.value().entries[i].performer, list.entries[i].performer);
    }
    EXPECT_NE(writeCueSheet(list, "song.mp3").find("FILE \"song.mp3\" MP3\n"), std::string::npos);
    EXPECT_NE(writeCueSheet(list, "song.mp3").find("INDEX 01 62:03:03\n"), std::string::npos);

    const Parsed<TimedList> labels = parseLabelFile(writeLabelFile(list, 4000.0));
    ASSERT_TRUE(labels) << labels.describe();
    expectEntries(
        labels.value().entries,
        {entry(0.0, "First", "", 1), entry(61.5, "Second \"quoted\"", "", 2), entry(3723.04, "Third", "", 3)},
        1e-6);

    const Parsed<TimedList> tracks = parseTracklist(writeTracklist(list));
    ASSERT_TRUE(tracks) << tracks.describe();
    expectEntries(tracks.value().entries,
                  {entry(0.0, "First", "Someone", 1), entry(61.5, "Second \"quoted\"", "Guest", 2),
                   entry(3723.04, "Third", "Someone", 3)},
                  1e-6);
    EXPECT_EQ(writeTracklist(list), "00:00.000 Someone - First\n01:01.500 Guest - Second \"quoted\"\n"
                                    "1:02:03.040 Someone - Third\n");
}

TEST(LabelFile, ReadsAnEditorsLabelTrack) {
    // Point labels, a region label, a label without a name, a frequency line of a spectral label,
    // and a decimal comma from a localised export.
    const std::string text = "0.000000\t0.000000\tIntro\n"
                             "12.345678\t15.250000\tVerse one\n"
                             "\\\t100.000000\t2000.000000\n"
                             "20,5\t20,5\t\n"
                             "\n"
                             "30.000000\t30.000000\tName\twith a tab\n";
    const Parsed<TimedList> parsed = parseLabelFile(text);
    ASSERT_TRUE(parsed) << parsed.describe();
    expectEntries(parsed.value().entries, {entry(0.0, "Intro", "", 1), entry(12.345678, "Verse one", "", 2),
                                           entry(20.5, "", "", 4), entry(30.0, "Name\twith a tab", "", 6)});
    EXPECT_EQ(writeLabelFile(parsed.value(), 40.0), "0.000000\t12.345678\tIntro\n"
                                                    "12.345678\t20.500000\tVerse one\n"
                                                    "20.500000\t30.000000\t\n"
                                                    "30.000000\t40.000000\tName with a tab\n");
}

TEST(LabelFile, GarbageLinesFailWithTheirNumber) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"1.0\t1.0\ta\nnot a label\n", 2},
        {"1.0\t1.0\ta\n-3.0\t-3.0\tnegative\n", 2},
        {"1.0\tx\ta\n", 1},
        {"1.0.0\t1.0\ta\n", 1},
        {"\t\tname only\n", 1},
        {"1e3\t1e3\texponent\n", 1},
    };
    for (const auto& c : cases) {
        const Parsed<TimedList> parsed = parseLabelFile(c.text);
        ASSERT_FALSE(parsed) << c.text;
        EXPECT_EQ(parsed.error().line, c.line) << c.text;
    }
}

TEST(Tracklist, ReadsMixedTimeFormsInEitherOrder) {
    const std::string text = "00:00 Intro\n"
                             "1:02.5 Artist - Song Title\n"
                             "\n"
                             "[1:02:03] Long One\n"
                             "Some Band \xE2\x80\x93 Closing Time (1:23:45.678)\n"
                             "3. 04:05 - Numbered\n"
                             "75:30\tTab Separated\n"
                             "Just A Title 80:00\n"
                             "90:00\n";
    const Parsed<TimedList> parsed = parseTracklist(text);
    ASSERT_TRUE(parsed) << parsed.describe();
    expectEntries(parsed.value().entries,
                  {entry(0, "Intro", "", 1), entry(62.5, "Song Title", "Artist", 2),
                   entry(3723, "Long One", "", 4), entry(5025.678, "Closing Time", "Some Band", 5),
                   entry(245, "Numbered", "", 6), entry(4530, "Tab Separated", "", 7),
                   entry(4800, "Just A Title", "", 8), entry(5400, "", "", 9)},
                  1e-6);
}

TEST(Tracklist, TimesAndLinesThatAreNotTracks) {
    const struct {
        const char* text;
        std::optional<double> seconds;
    } times[] = {
        {"3:15", 195}, {"03:15.1", 195.1}, {"1:00:00", 3600}, {"0:00:00.001", 0.001},
        {"3:5", {}},   {"3:60", {}},       {"1:60:00", {}},   {"1:00:00.1234", {}},
        {"3:15.", {}}, {"315", {}},        {":15", {}},       {"3:15:", {}},
    };
    for (const auto& t : times) {
        const auto seconds = parseTrackTime(t.text);
        ASSERT_EQ(seconds.has_value(), t.seconds.has_value()) << t.text;
        if (seconds) {
            EXPECT_NEAR(*seconds, *t.seconds, 1e-9) << t.text;
        }
    }
    const Parsed<TimedList> parsed = parseTracklist("00:00 Intro\nTracklist:\n01:00 Next\n");
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error().line, 2);
}

TEST(Tracklist, AHugeListIsReadInOnePass) {
    std::string text;
    constexpr int kLines = 200000;
    text.reserve(kLines * 30);
    for (int i = 0; i < kLines; ++i) {
        text += trackTime(i * 1.5) + " Performer - Track " + std::to_string(i) + "\n";
    }
    const Parsed<TimedList> parsed = parseTracklist(text);
    ASSERT_TRUE(parsed) << parsed.describe();
    ASSERT_EQ(parsed.value().entries.size(), static_cast<std::size_t>(kLines));
    EXPECT_NEAR(parsed.value().entries.back().seconds, (kLines - 1) * 1.5, 1e-6);
    EXPECT_EQ(parsed.value().entries.back().title, "Track " + std::to_string(kLines - 1));
}

} // namespace
