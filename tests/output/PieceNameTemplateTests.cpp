#include "OutputTestSupport.h"

#include "output/PieceNameTemplate.h"
#include "output/SaveAll.h"
#include "output/TemplatedNames.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace output_test;
using namespace testing_support;

TEST(PieceNameTemplate, ExpandsFieldsAndRefusesWhatEscapes) {
    const PieceNameFields fields{"live", 4, 12, "Intro/Outro", "Band", ".."};
    struct Case {
        const char* pattern;
        const char* expanded; // empty: refused
    };
    const Case cases[] = {
        {"{name}-{n}", "live-4"},
        {"{n1:02} {title}", "05 Intro_Outro"}, // a tag's slash makes no folder
        {"{artist}/{n1:03} of {N}", "Band/005 of 12"},
        {"{album}/{n}", "_/4"}, // nor does a tag reading ".."
        {"{N:02}-{n:02}", "12-04"},
        {"a/b/{name}", "a/b/live"},
        {"../{name}", ""},
        {"x/../../{name}", ""},
        {"/tmp/{name}", ""},
        {"{name}/", ""},
        {"{nope}", ""},
        {"{title:02}", ""},
        {"{n1:2}", ""},
        {"{name", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const ExpandedName name = expandPieceName(c.pattern, fields);
        if (*c.expanded == '\0') {
            EXPECT_FALSE(name.problem.empty());
        } else {
            EXPECT_EQ(name.problem, "");
            EXPECT_EQ(name.relative.generic_string(), c.expanded);
        }
    }
}

TEST(PieceNameTemplate, SaveAllMakesSubfoldersAndRefusesBadTemplatesBeforeWriting) {
    const auto dir = scratchDir("piece-name-template");
    const auto source = fixture("cbr128.mp3");
    struct Case {
        const char* pattern;
        std::vector<const char*> written; // empty: refused with a level-2 line
    };
    const Case cases[] = {
        {"{artist}/{n1:02}-{name}", {"Band/01-cbr128.mp3", "Band/02-cbr128.mp3"}},
        {"../{name}-{n}", {}},
        {"{name}", {}}, // both pieces would be named alike
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const auto out = dir / "out";
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        TestDocument test(source);
        test.doc->m_breakPoints = {40};
        test.doc->m_outputFolder = out;
        test.doc->m_mainTag.artist = "Band";
        PieceOptions options;
        options.nameTemplate = c.pattern;
        test.doc->setPieceOptions(options);
        runSaveAll(*test.doc);
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path().lexically_relative(out).generic_string());
            }
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, std::vector<std::string>(c.written.begin(), c.written.end()));
        EXPECT_EQ(test.lines(LogLevel::Error).size(), c.written.empty() ? 1u : 0u);
    }
}

// '\' and ':' lead out of the folder or to a drive on Windows; they are separators or refused on
// every platform, in templates and in the tag texts that become names.
TEST(PieceNameTemplate, BackslashesAndColonsCannotLeaveTheFolder) {
    PieceNameFields fields{"live", 0, 3, "C:evil", "..\\..\\up", "x:\\y"};
    struct Case {
        const char* pattern;
        const char* expanded; // empty: refused
    };
    const Case cases[] = {
        {"..\\..\\evil{n}", ""},
        {"C:\\Windows\\x{n}", ""},
        {"a:b{n}", ""},
        {"\\{n}", ""},
        {"{n}\\", ""},
        {"a\\b\\{n}", "a/b/0"},
        {"{title}", "C_evil"},
        {"{artist}/{n}", ".._.._up/0"},
        {"{album}-{n}", "x__y-0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const ExpandedName name = expandPieceName(c.pattern, fields);
        if (*c.expanded == '\0') {
            EXPECT_FALSE(name.problem.empty());
        } else {
            EXPECT_EQ(name.problem, "");
            EXPECT_EQ(name.relative.generic_string(), c.expanded);
        }
    }
}

// Pieces written on Linux are copied to Windows disks: whatever a tag or a template says, a name must
// be one Windows takes as it is and cannot mistake for a device.
TEST(PieceNameTemplate, NamesAreOnesWindowsTakes) {
    struct Case {
        const char* pattern;
        const char* title;
        const char* expanded;
    };
    const Case cases[] = {
        {"{n1:02} {title}", "Why? <Live> \"Take\" 1|2*", "01 Why_ _Live_ _Take_ 1_2_"},
        {"what?/{title}", "x", "what_/x"},
        {"a<b>c|d*e\"f", "", "a_b_c_d_e_f"},
        {"{title}/{n1}", "Vol. 2...", "Vol. 2/1"},
        {"{title}/{n1}", "Live . ", "Live/1"},
        {"{title}", "Encore.", "Encore"},
        {"{title}/{n1}", "...", "_/1"},
        {"{title}", "CON", "CON_"},
        {"{title}", "nul", "nul_"},
        {"{title}", "Aux.live", "Aux_.live"},
        {"{title}/{n1}", "com7", "com7_/1"},
        {"{title}", "LPT9", "LPT9_"},
        {"{title}", "COM0", "COM0"},
        {"{title}", "CONSOLE", "CONSOLE"},
        {"{title}", "Prn ", "Prn_"},
        {"{title} live", "CON", "CON live"},
        {"prn/{n1}", "", "prn_/1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.title);
        const ExpandedName name = expandPieceName(c.pattern, {"live", 0, 3, c.title, "", ""});
        EXPECT_EQ(name.problem, "");
        EXPECT_EQ(name.relative.generic_string(), c.expanded);
    }
}

// An untitled CUE track must not become "01 .mp3": a field that comes out empty takes the filler
// beside it along.
TEST(PieceNameTemplate, EmptyFieldsLeaveNoDanglingSeparator) {
    struct Case {
        const char* pattern;
        const char* title;
        const char* artist;
        const char* expanded;
    };
    const Case cases[] = {
        {"{n1:02} {title}", "", "", "01"},
        {"{n1:02} {title}", "Song", "", "01 Song"},
        {"{artist} - {title}", "Song", "", "Song"},
        {"{artist} - {title}", "", "Band", "Band"},
        {"{n1:02} - {artist} - {title}", "Song", "", "01 - Song"},
        {"{n1:02}. {artist} {title}", "", "", "01"},
        {"{artist}/{n1:02} {title}", "", "", "_/01"},
        {"{title}", "  Song  ", "", "Song"},
        {"x{title}y", "", "", "xy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.title + " / " + c.artist);
        const ExpandedName name = expandPieceName(c.pattern, {"live", 0, 3, c.title, c.artist, ""});
        EXPECT_EQ(name.problem, "");
        EXPECT_EQ(name.relative.generic_string(), c.expanded);
    }
}

// Every name is checked before the first byte is written: a field too long is shortened so that the
// name fits 255 bytes with its number and extension; only what still cannot fit is refused.
TEST(PieceNameTemplate, LongFieldsAreShortenedToFitAndOnlyWhatCannotFitIsRefused) {
    const auto dir = scratchDir("piece-name-long");
    const std::string longTitle = std::string(1, 'a') + std::string(400, 'x');
    std::string accented;
    for (int i = 0; i < 200; ++i) {
        accented += "\xC3\xA9"; // é, two bytes
    }
    struct Case {
        std::string pattern;
        std::string title;
        std::string album;
        std::string first; // piece 0 below the folder; empty: refused before anything is written
    };
    const Case cases[] = {
        {"{title}-{n1:02}", longTitle, "", longTitle.substr(0, 248) + "-01.mp3"},
        // Cut before a whole character: 249 bytes would split an é.
        {"{n1} {title}", accented, "", "1 " + accented.substr(0, 248) + ".mp3"},
        // The folder first, then the file, where the title goes and the album is cut again.
        {"{album}/{title} {album} {n}", longTitle, std::string(300, 'b'),
         std::string(249, 'b') + "/" + std::string(249, 'b') + " 0.mp3"},
        {std::string(260, 'z') + "{n}", "t", "", ""},
        {"{title}" + std::string(260, 'z'), "t", "", ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        std::vector<PieceNameFields> fields;
        for (int n = 0; n < 3; ++n) {
            fields.push_back({"live", n, 3, c.title, "", c.album});
        }
        std::string problem;
        const auto names = templatedNames(c.pattern, dir, dir / "live.mp3", ".mp3", fields, problem);
        if (c.first.empty()) {
            EXPECT_TRUE(names.empty());
            EXPECT_NE(problem.find("is longer than 255 bytes"), std::string::npos) << problem;
            continue;
        }
        ASSERT_EQ(names.size(), 3u) << problem;
        EXPECT_EQ(names[0].lexically_relative(dir).generic_string(), c.first);
        for (const auto& name : names) {
            for (const auto& part : name.lexically_relative(dir)) {
                EXPECT_LE(part.string().size(), 255u);
            }
        }
    }

    // The whole run: every piece is written under its shortened name.
    TestDocument test(fixture("cbr128.mp3"));
    test.doc->m_breakPoints = {40};
    test.doc->m_outputFolder = dir / "run";
    std::filesystem::create_directories(dir / "run");
    test.doc->m_mainTag.title = longTitle;
    PieceOptions options;
    options.nameTemplate = "{n1:02} {title}";
    test.doc->setPieceOptions(options);
    EXPECT_EQ(runSaveAll(*test.doc).failed, 0);
    EXPECT_TRUE(test.lines(LogLevel::Error).empty());
    for (const char* number : {"01 ", "02 "}) {
        EXPECT_TRUE(
            std::filesystem::is_regular_file(dir / "run" / (number + longTitle.substr(0, 248) + ".mp3")));
    }
}
