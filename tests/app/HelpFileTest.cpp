#include "app/HelpFile.h"
#include "support/TestFiles.h"

#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

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

} // namespace
