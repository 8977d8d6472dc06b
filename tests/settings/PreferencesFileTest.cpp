#include "settings/PreferencesFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void appendU32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// One record as the file holds it; `nameBytes` lets a test write a name without its NUL.
Bytes record(const std::u16string& name, std::uint32_t type, const Bytes& data, std::uint32_t length) {
    Bytes out(512, 0);
    for (std::size_t i = 0; i < name.size() && 2 * i + 1 < 512; ++i) {
        out[2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
    }
    appendU32(out, type);
    appendU32(out, length);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes record(const std::u16string& name, std::uint32_t type, const Bytes& data) {
    return record(name, type, data, static_cast<std::uint32_t>(data.size()));
}

Bytes utf16z(const std::u16string& text) {
    Bytes out;
    for (const char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

class PreferencesFileTest : public testing::Test {
protected:
    void SetUp() override {
        m_path = testing_support::scratchDir(std::string("prefs-") +
                                             testing::UnitTest::GetInstance()->current_test_info()->name()) /
                 "preferences.dat";
    }

    Preferences loadFrom(const std::vector<Bytes>& records, Preferences start = {}) {
        Bytes bytes;
        for (const Bytes& r : records) {
            testing_support::append(bytes, r);
        }
        testing_support::writeBytes(m_path, bytes);
        loadPreferences(m_path, start);
        return start;
    }

    std::filesystem::path m_path;
};

TEST_F(PreferencesFileTest, FreshSaveIs3819BytesInTheRecordLayout) {
    ASSERT_TRUE(savePreferences(m_path, Preferences{}));
    const Bytes bytes = testing_support::readBytes(m_path);
    ASSERT_EQ(bytes.size(), 3819u);
    struct Expected {
        std::u16string name;
        std::uint32_t type, length;
    };
    const std::vector<Expected> records = {{u"DefaultOutputFolder", 1, 2},
                                           {u"LogFileName", 1, 2},
                                           {u"UseDefaultFolder", 0, 1},
                                           {u"IsSaveLog", 0, 1},
                                           {u"DrawParameters", 0, 168},
                                           {u"OverlapSecs", 2, 4},
                                           {u"Overlap", 0, 1}};
    std::size_t at = 0;
    for (const Expected& r : records) {
        const Bytes expectedHead = record(r.name, r.type, {}, r.length);
        EXPECT_TRUE(
            std::equal(expectedHead.begin(), expectedHead.end(), bytes.begin() + static_cast<long>(at)))
            << std::string(r.name.begin(), r.name.end()) << " at " << at;
        EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<long>(at + 520),
                                bytes.begin() + static_cast<long>(at + 520 + r.length),
                                [](auto b) { return b == 0; }));
        at += 520 + r.length;
    }
    EXPECT_EQ(at, bytes.size());
}

TEST_F(PreferencesFileTest, SavedValuesReadBackAndTextsAddTwoBytesPerCharacter) {
    Preferences saved;
    saved.UseDefaultFolder = true;
    saved.DefaultOutputFolder = u"/home/m\u00fcller/Pieces \u65e5\u672c";
    saved.IsSaveLog = true;
    saved.LogFileName = u"/tmp/kerfline.log";
    saved.OverlapSecs = -7;
    for (std::size_t i = 0; i < saved.DrawParameters.size(); ++i) {
        saved.DrawParameters[i] = static_cast<std::uint8_t>(255 - i);
    }
    saved.Overlap = true;
    ASSERT_TRUE(savePreferences(m_path, saved));
    EXPECT_EQ(std::filesystem::file_size(m_path),
              3819 + 2 * (saved.DefaultOutputFolder.size() + saved.LogFileName.size()));
    Preferences loaded;
    loadPreferences(m_path, loaded);
    EXPECT_EQ(loaded, saved);

    // Saving again replaces the file.
    ASSERT_TRUE(savePreferences(m_path, Preferences{}));
    EXPECT_EQ(std::filesystem::file_size(m_path), 3819u);
}

#ifndef _WIN32
// A save that can not be finished (here a file-size limit, as a full disk would) leaves the previous
// settings whole: a truncated file would read back as the defaults.
TEST_F(PreferencesFileTest, FailedSaveKeepsThePreviousFile) {
    Preferences saved;
    saved.OverlapSecs = 9;
    saved.LogFileName = u"/tmp/kept.log";
    ASSERT_TRUE(savePreferences(m_path, saved));
    const Bytes before = testing_support::readBytes(m_path);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(savePreferences(m_path, Preferences{}) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the save should report its failure";
    EXPECT_EQ(testing_support::readBytes(m_path), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_path.parent_path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no temporary file is left";
}
#endif

TEST_F(PreferencesFileTest, MissingFileKeepsTheRecord) {
    Preferences preferences;
    preferences.OverlapSecs = 3;
    loadPreferences(m_path.parent_path() / "absent.dat", preferences);
    EXPECT_EQ(preferences.OverlapSecs, 3);
    loadPreferences(m_path.parent_path(), preferences); // a folder
    EXPECT_EQ(preferences.OverlapSecs, 3);
}

TEST_F(PreferencesFileTest, RecordsMatchTheirNameExactlyInAnyOrderAndAnyType) {
    const Preferences p = loadFrom({record(u"Overlap", 0, {1})});
    EXPECT_TRUE(p.Overlap);
    Preferences expected;
    expected.Overlap = true;
    EXPECT_EQ(p, expected);

    EXPECT_FALSE(loadFrom({record(u"overlap", 0, {1})}).Overlap);
    EXPECT_FALSE(loadFrom({record(u"Overlap2", 0, {1})}).Overlap);

    const Preferences q =
        loadFrom({record(u"OverlapSecs", 77, {5, 0, 0, 0}), record(u"Unknown", 1, {9, 9, 9}),
                  record(u"IsSaveLog", 12345, {2}), record(u"OverlapSecs", 0, {0xFE, 0xFF, 0xFF, 0xFF})});
    EXPECT_EQ(q.OverlapSecs, -2); // the later record wins
    EXPECT_TRUE(q.IsSaveLog);
}

TEST_F(PreferencesFileTest, ZeroLengthRecordStopsTheReading) {
    const Preferences p =
        loadFrom({record(u"UseDefaultFolder", 0, {1}), record(u"LogFileName", 1, utf16z(u"a.log")),
                  record(u"OverlapSecs", 2, {}), record(u"Overlap", 0, {1})});
    EXPECT_TRUE(p.UseDefaultFolder);
    EXPECT_EQ(p.LogFileName, u"a.log");
    EXPECT_EQ(p.OverlapSecs, 0);
    EXPECT_FALSE(p.Overlap);
}

TEST_F(PreferencesFileTest, TextsEndAtTheirFirstNulOrAtTheirData) {
    Bytes withNul = utf16z(u"first");
    testing_support::append(withNul, utf16z(u"second"));
    const Bytes noNul = {'a', 0, 'b', 0, 'c'}; // odd length, no NUL
    const Preferences p =
        loadFrom({record(u"DefaultOutputFolder", 1, withNul), record(u"LogFileName", 1, noNul)});
    EXPECT_EQ(p.DefaultOutputFolder, u"first");
    EXPECT_EQ(p.LogFileName, u"ab");
}

// Whatever a damaged file says, no field receives more bytes than it holds.
TEST_F(PreferencesFileTest, OversizedRecordsFillOnlyTheirField) {
    Bytes drawing(500, 0xAB);
    Preferences start;
    start.OverlapSecs = 0x01020304;
    const Preferences p =
        loadFrom({record(u"DrawParameters", 0, drawing), record(u"UseDefaultFolder", 0, Bytes(300, 1)),
                  record(u"OverlapSecs", 2, Bytes(64, 0x11)), record(u"Overlap", 0, {0, 1, 1, 1})},
                 start);
    EXPECT_TRUE(
        std::all_of(p.DrawParameters.begin(), p.DrawParameters.end(), [](auto b) { return b == 0xAB; }));
    EXPECT_TRUE(p.UseDefaultFolder);
    EXPECT_EQ(p.OverlapSecs, 0x11111111);
    EXPECT_FALSE(p.Overlap);
    EXPECT_FALSE(p.IsSaveLog);
    EXPECT_TRUE(p.DefaultOutputFolder.empty());
}

TEST_F(PreferencesFileTest, ShortRecordsCopyOnlyTheirBytes) {
    Preferences start;
    start.OverlapSecs = 0x01020304;
    start.DrawParameters.fill(0x77);
    const Preferences p =
        loadFrom({record(u"OverlapSecs", 2, {0xAA, 0xBB}), record(u"DrawParameters", 0, {1, 2, 3})}, start);
    EXPECT_EQ(p.OverlapSecs, 0x0102BBAA);
    EXPECT_EQ(p.DrawParameters[0], 1);
    EXPECT_EQ(p.DrawParameters[2], 3);
    EXPECT_EQ(p.DrawParameters[3], 0x77);
}

TEST_F(PreferencesFileTest, FileCutShortKeepsWhatItHolds) {
    // Length says 168, the file ends after 10 data bytes.
    Preferences start;
    start.DrawParameters.fill(0x77);
    const Preferences p =
        loadFrom({record(u"Overlap", 0, {1}), record(u"DrawParameters", 0, Bytes(10, 0x42), 168)}, start);
    EXPECT_TRUE(p.Overlap);
    EXPECT_EQ(p.DrawParameters[9], 0x42);
    EXPECT_EQ(p.DrawParameters[10], 0x77);

    // A header cut short, and a huge length with nothing behind it.
    Bytes header = record(u"IsSaveLog", 0, {1});
    header.resize(300);
    EXPECT_FALSE(loadFrom({record(u"Overlap", 0, {1}), header}).IsSaveLog);
    const Preferences q = loadFrom({record(u"OverlapSecs", 2, {}, 0xFFFFFFFFu)});
    EXPECT_EQ(q.OverlapSecs, 0);
    const Preferences r = loadFrom({record(u"LogFileName", 1, utf16z(u"x"), 0xFFFFFFF0u)});
    EXPECT_EQ(r.LogFileName, u"x");
}

TEST_F(PreferencesFileTest, NameWithoutNulMatchesNoKey) {
    std::u16string longName(256, u'A');
    longName.replace(0, 7, u"Overlap");
    EXPECT_FALSE(loadFrom({record(longName, 0, {1})}).Overlap);
}

TEST(PreferencesPath, LivesInTheUserDataFolderUnderKerfline) {
    const auto base = testing_support::scratchDir("prefs-path");
#ifdef _WIN32
    const wchar_t* old = _wgetenv(L"APPDATA");
    const std::wstring saved = old ? old : L"";
    _wputenv_s(L"APPDATA", base.c_str());
    const auto path = preferencesPath();
    _wputenv_s(L"APPDATA", saved.c_str()); // empty removes it
#else
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", base.c_str(), 1);
    const auto path = preferencesPath();
    if (old) {
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
#endif
    EXPECT_EQ(path, base / "Kerfline" / "preferences.dat");
    EXPECT_TRUE(std::filesystem::is_directory(base / "Kerfline"));
}

} // namespace
