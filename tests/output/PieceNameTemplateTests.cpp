#include "OutputTestSupport.h"

#include "output/PieceNameTemplate.h"
#include "output/SaveAll.h"
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
