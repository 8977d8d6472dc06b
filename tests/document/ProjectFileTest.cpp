#include "document/formats/ProjectFile.h"
#include "document/BlockTags.h"
#include "document/formats/JsonValue.h"
#include "engine/PlatformFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using testing_support::runCommand;
using testing_support::scratchDir;

Project sampleProject() {
    Project project;
    project.source.path = platform::pathFromUtf8("/music/show \"live\"/Ünter.mp3");
    project.source.size = 5'000'000'123;
    project.source.modifiedNs = 1'765'000'000'123'456'789;
    project.source.frameCount = 1000;
    project.breakPoints = {300, 100, 100, 1000, 0};
    project.selectedBreakPoint = 300;
    project.blockTags = {
        {kWholeListRecord, {"Disc", "Band", "", "", 1979}},
        {0, {"Album", "Ärtist", "Tab\there\nnew line", "back\\slash \"quoted\" \x01", 2024}},
        {2, {"", "", "Last", "", 0}},
    };
    project.blockEdits = {
        {0, BlockEdit{true, 0, 0, 0}},
        {100, BlockEdit{false, -7, 250, 0}},
        {300, BlockEdit{true, 12, 0, 86'400'000}},
    };
    project.settings = {false, true};
    return project;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ProjectFileTest, WritesWhatAnOutsideJsonReaderSeesFieldByField) {
    const auto folder = scratchDir("project-outside");
    const auto path = folder / "show.kfp";
    ASSERT_EQ(writeProjectFile(path, sampleProject()), "");
    // Python's json module reads the file; each field is printed in a fixed form and compared with
    // the values written by hand above.
    const std::string script =
        "import json,sys\n"
        "p=json.load(open(sys.argv[1],encoding='utf-8'))\n"
        "s=p['source']\n"
        "print(p['format'],p['version'],sep='|')\n"
        "print(s['path'],s['size'],s['modified_ns'],s['frames'],sep='|')\n"
        "print(p['break_points'],p['selected_break_point'])\n"
        "for t in p['block_tags']: print(t['block'],repr(t['album']),repr(t['artist']),repr(t['title']),"
        "repr(t['comment']),t['year'],sep='|')\n"
        "for e in p['block_edits']: print(e['first_frame'],e['removed'],e['gain_steps'],e['fade_in_ms'],"
        "e['fade_out_ms'],sep='|')\n"
        "print(p['settings']['edited_copy_tags'],p['settings']['edited_copy_chapters'])\n";
    writeText(folder / "read.py", script);
    int status = -1;
    const std::string out = runCommand("PYTHONIOENCODING=utf-8 python3 '" + (folder / "read.py").string() +
                                           "' '" + path.string() + "'",
                                       &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, "Kerfline project|1\n"
                   "/music/show \"live\"/Ünter.mp3|5000000123|1765000000123456789|1000\n"
                   "[300, 100, 100, 1000, 0] 300\n"
                   "-1|'Disc'|'Band'|''|''|1979\n"
                   "0|'Album'|'Ärtist'|'Tab\\there\\nnew line'|'back\\\\slash \"quoted\" \\x01'|2024\n"
                   "2|''|''|'Last'|''|0\n"
                   "0|True|0|0|0\n"
                   "100|False|-7|250|0\n"
                   "300|True|12|0|86400000\n"
                   "False True\n");
}

TEST(ProjectFileTest, ReadsBackWhatItWrites) {
    const Project project = sampleProject();
    const ProjectParse parse = parseProject(projectText(project));
    ASSERT_TRUE(parse.project) << parse.error;
    EXPECT_EQ(*parse.project, project);

    // A Linux file name need not be UTF-8: its bytes survive, and the text stays JSON.
    Project odd = project;
    odd.source.path = std::filesystem::path(std::string("/music/caf\xE9.mp3"));
    const std::string text = projectText(odd);
    EXPECT_TRUE(isUtf8(text));
    const ProjectParse oddParse = parseProject(text);
    ASSERT_TRUE(oddParse.project) << oddParse.error;
    EXPECT_EQ(oddParse.project->source.path, odd.source.path);

    // Tag texts that are not UTF-8 are written as U+FFFD rather than breaking the file.
    Project badTag = project;
    badTag.blockTags[1].tag.title = "a\xFF"
                                    "b";
    const ProjectParse tagParse = parseProject(projectText(badTag));
    ASSERT_TRUE(tagParse.project) << tagParse.error;
    EXPECT_EQ(tagParse.project->blockTags[1].tag.title, "a\xEF\xBF\xBD"
                                                        "b");
}

TEST(ProjectFileTest, BreakPointsThatCutNothingAreLeftOutSoTheFileReadsBack) {
    // The Add Break Point dialog takes any number as typed; outside 0..F it forms no block.
    Project project = sampleProject();
    project.breakPoints = {-5, 100, 1001, 300, 2'000'000};
    const ProjectParse parse = parseProject(projectText(project));
    ASSERT_TRUE(parse.project) << parse.error;
    EXPECT_EQ(parse.project->breakPoints, (BreakPointList{100, 300}));
}

struct BadProject {
    const char* name;
    std::string from; // replaced in the text of the sample project (empty: the whole text)
    std::string to;
    std::string error; // part of the message
};

TEST(ProjectFileTest, RefusesDamagedFilesWithAClearReason) {
    const std::string good = projectText(sampleProject());
    ASSERT_TRUE(parseProject(good).project);
    const std::vector<BadProject> table = {
        {"empty file", "", "", "not valid JSON: unexpected end of the text at line 1, column 1"},
        {"cut short", "", good.substr(0, good.size() / 2), "not valid JSON"},
        {"text after the value", "", good + "x", "text after the end of the value"},
        {"an array", "", "[1, 2]", "not a Kerfline project"},
        {"another format", "\"Kerfline project\"", "\"Other project\"", "not a Kerfline project"},
        {"newer version", "\"version\": 1", "\"version\": 2",
         "format version 2, this Kerfline reads version 1"},
        {"version as text", "\"version\": 1", "\"version\": \"1\"",
         "\"version\" of the project is not a number"},
        {"no version", "\"version\": 1,", "", "the project has no \"version\""},
        {"no source", "\"source\"", "\"sauce\"", "the project has no \"source\""},
        {"no break points", "\"break_points\"", "\"breakpoints\"", "no \"break_points\""},
        {"break points not a list", "\"break_points\": [300, 100, 100, 1000, 0]", "\"break_points\": 300",
         "\"break_points\" of the project has the wrong type"},
        {"break point past the end", "[300, 100, 100, 1000, 0]", "[300, 1001]",
         "a break point (1001) lies past the end of the source (1000 frames)"},
        {"negative break point", "[300, 100, 100, 1000, 0]", "[300, -1]",
         "a break point (-1) is out of range"},
        {"fraction", "[300, 100, 100, 1000, 0]", "[300.5]", "a break point is not a whole number"},
        {"huge number", "[300, 100, 100, 1000, 0]", "[123456789012345678901234567890]",
         "a break point is not a whole number in range"},
        {"huge exponent", "[300, 100, 100, 1000, 0]", "[1e999]", "not a whole number in range"},
        {"frame count zero", "\"frames\": 1000", "\"frames\": 0",
         "\"frames\" of the source (0) is out of range"},
        {"frame count beyond int", "\"frames\": 1000", "\"frames\": 4294967296", "out of range"},
        {"negative size", "\"size\": 5000000123", "\"size\": -1",
         "\"size\" of the source (-1) is out of range"},
        {"no time", "\"modified_ns\"", "\"modified\"", "the source has no \"modified_ns\""},
        {"empty path", "\"path\": \"/music/show \\\"live\\\"/Ünter.mp3\"", "\"path\": \"\"", "path is empty"},
        {"two paths", "\"path\":", "\"path_bytes\": \"2f61\", \"path\":", "the source needs one \"path\""},
        {"tag of a row past the list", "{\"block\": 2,", "{\"block\": 6,",
         "\"block\" of a block tag (6) is out of range"},
        {"two tags for a block", "{\"block\": 2,", "{\"block\": 0,", "block 0 has two tags"},
        {"tag without a year", ", \"year\": 0}", "}", "a block tag has no \"year\""},
        {"edit inside a block", "{\"first_frame\": 100,", "{\"first_frame\": 150,",
         "the block edit at frame 150 does not start a block"},
        {"edit past the end", "{\"first_frame\": 100,", "{\"first_frame\": 1000,",
         "the first frame of a block edit (1000) lies past the end of the source (1000 frames)"},
        {"two edits for a block", "{\"first_frame\": 100,", "{\"first_frame\": 0,",
         "the block at frame 0 has two edits"},
        {"removed as a number", "\"removed\": false", "\"removed\": 0",
         "\"removed\" of a block edit has the wrong type"},
        {"gain past the field", "\"gain_steps\": 12", "\"gain_steps\": 256",
         "\"gain_steps\" of a block edit (256) is out of range"},
        {"negative fade", "\"fade_in_ms\": 250", "\"fade_in_ms\": -250",
         "\"fade_in_ms\" of a block edit (-250) is out of range"},
        {"fade over a day", "\"fade_out_ms\": 86400000", "\"fade_out_ms\": 86400001", "out of range"},
        {"no settings", "\"settings\"", "\"setting\"", "the project has no \"settings\""},
        {"a name twice", "\"version\": 1,", "\"version\": 1, \"version\": 1,",
         "the name \"version\" appears twice"},
        {"invalid UTF-8", "\"Album\"", "\"Al\xC3\x28um\"", "invalid UTF-8"},
        {"overlong UTF-8", "\"Album\"", "\"\xC0\xAF\"", "invalid UTF-8"},
        {"lone surrogate", "\"Album\"", "\"\\ud800x\"", "unpaired surrogate"},
        {"control character", "\"Album\"", "\"Al\tbum\"", "control character in a string"},
        {"bad escape", "\"Album\"", "\"\\q\"", "bad escape"},
        {"deep nesting", "", std::string(100000, '[') + std::string(100000, ']'), "nesting too deep"},
    };
    for (const BadProject& bad : table) {
        std::string text = bad.to;
        if (!bad.from.empty()) {
            text = good;
            const auto at = text.find(bad.from);
            ASSERT_NE(at, std::string::npos) << bad.name;
            text.replace(at, bad.from.size(), bad.to);
        }
        const ProjectParse parse = parseProject(text);
        EXPECT_FALSE(parse.project) << bad.name;
        EXPECT_NE(parse.error.find(bad.error), std::string::npos) << bad.name << ": " << parse.error;
    }
}

TEST(ProjectFileTest, FilesTooLargeOrMissingAreErrors) {
    const auto folder = scratchDir("project-files");
    EXPECT_NE(readProjectFile(folder / "none.kfp").error.find("could not be read"), std::string::npos);
    writeText(folder / "large.kfp", std::string(kMaxProjectBytes + 1, ' '));
    EXPECT_NE(readProjectFile(folder / "large.kfp").error.find("too large"), std::string::npos);
    // Written whole or not at all: a folder that is not there leaves nothing and says so.
    EXPECT_NE(writeProjectFile(folder / "no-such-folder" / "a.kfp", sampleProject()), "");
    EXPECT_TRUE(testing_support::hiddenNames(folder).empty());
}

TEST(JsonValueTest, KeepsWholeNumbersExactAndEscapesRoundTrip) {
    const JsonParse parse = parseJson(R"({"a": -9223372036854775808, "b": 9223372036854775807, "c": 0.5,
                                          "d": "\u00e9\ud83d\ude00\/", "e": [true, false, null]})");
    ASSERT_TRUE(parse.value) << parse.error;
    EXPECT_EQ(parse.value->find("a")->asInteger(), INT64_MIN);
    EXPECT_EQ(parse.value->find("b")->asInteger(), INT64_MAX);
    EXPECT_EQ(parse.value->find("c")->kind(), JsonValue::Kind::Real);
    EXPECT_EQ(parse.value->find("d")->asString(), "\xC3\xA9\xF0\x9F\x98\x80/");
    EXPECT_EQ(parse.value->find("e")->items().size(), 3u);
    EXPECT_TRUE(parse.value->find("e")->items()[2].isNull());
    EXPECT_EQ(parse.value->find("z"), nullptr);

    for (const std::string text :
         {"plain", "quote\" back\\ nl\n cr\r tab\t bell\x07 del\x7f", "\xF0\x9F\x98\x80"}) {
        const JsonParse quoted = parseJson(jsonQuoted(text));
        ASSERT_TRUE(quoted.value) << quoted.error;
        EXPECT_EQ(quoted.value->asString(), text);
    }
    for (const char* bad : {"01", "-", "1.", "1e", "tru", "{\"a\" 1}", "[1,]", "{,}", "\"\\u12\""}) {
        EXPECT_FALSE(parseJson(bad).value) << bad;
    }
}

} // namespace
