#include "app/HelpFile.h"
#include "support/TestFiles.h"

#include <QString>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

TEST(HelpFile, PrefersTheChmThenTheInstalledManualThenTheBuildFolderCopy) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        bool chm;
        bool installed;
        bool beside;
        const char* expected; // relative to the prefix, or "" for nothing
    } cases[] = {
        {"nothing", false, false, false, ""},
        {"chm only", true, false, false, "bin/kerfline.chm"},
        {"chm wins", true, true, true, "bin/kerfline.chm"},
        {"installed", false, true, true, "share/doc/kerfline/manual/index.html"},
        {"build folder", false, false, true, "bin/manual/index.html"},
    };
    for (const auto& c : cases) {
        const fs::path prefix = testing_support::scratchDir("help-file");
        fs::create_directories(prefix / "bin/manual");
        fs::create_directories(prefix / "share/doc/kerfline/manual");
        if (c.chm) {
            testing_support::writeBytes(prefix / "bin/kerfline.chm", {1});
        }
        if (c.installed) {
            testing_support::writeBytes(prefix / "share/doc/kerfline/manual/index.html", {1});
        }
        if (c.beside) {
            testing_support::writeBytes(prefix / "bin/manual/index.html", {1});
        }
        const QString found = helpFileFor(QString::fromStdString((prefix / "bin/kerfline").string()));
        const std::string expected = *c.expected ? (fs::canonical(prefix) / c.expected).string() : "";
        EXPECT_EQ(found.toStdString(), expected) << c.name;
    }
}

// Online Help and Visit Website open sections of the HTML manual, never the compiled help file.
TEST(HelpFile, ManualPagesComeFromTheHtmlManualWithTheirSection) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        bool chm;
        bool installed;
        bool beside;
        const char* expected; // relative to the prefix, or "" for nothing
    } cases[] = {
        {"nothing", false, false, false, ""},
        {"chm only", true, false, false, ""},
        {"installed wins", true, true, true, "share/doc/kerfline/manual/index.html"},
        {"build folder", false, false, true, "bin/manual/index.html"},
    };
    for (const auto& c : cases) {
        const fs::path prefix = testing_support::scratchDir("manual-page");
        fs::create_directories(prefix / "bin/manual");
        fs::create_directories(prefix / "share/doc/kerfline/manual");
        if (c.chm) {
            testing_support::writeBytes(prefix / "bin/kerfline.chm", {1});
        }
        if (c.installed) {
            testing_support::writeBytes(prefix / "share/doc/kerfline/manual/index.html", {1});
        }
        if (c.beside) {
            testing_support::writeBytes(prefix / "bin/manual/index.html", {1});
        }
        const QString program = QString::fromStdString((prefix / "bin/kerfline").string());
        const QUrl page = manualPageFor(program, QStringLiteral("contents"));
        if (*c.expected == 0) {
            EXPECT_TRUE(page.isEmpty()) << c.name;
            continue;
        }
        EXPECT_EQ(page.toLocalFile().toStdString(), (fs::canonical(prefix) / c.expected).string()) << c.name;
        EXPECT_EQ(page.fragment(), QStringLiteral("contents")) << c.name;
        EXPECT_FALSE(manualPageFor(program, QString()).hasFragment()) << c.name;
    }
}

// The sections the Help menu opens are there in the manual.
TEST(HelpFile, TheManualHasTheSectionsTheHelpMenuOpens) {
    const std::filesystem::path manual =
        std::filesystem::path(KERFLINE_SOURCE_DIR) / "docs/manual/index.html";
    std::ifstream in(manual);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty()) << manual;
    for (const char* anchor : {"id=\"contents\"", "id=\"help\""}) {
        EXPECT_NE(text.find(anchor), std::string::npos) << anchor;
    }
}

} // namespace
