#include "AppTestSupport.h"

#include "app/FileDialogFolders.h"
#include "app/QtPath.h"
#include "app/QtPrompts.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace folders = file_dialog_folders;

struct Tree {
    Tree() {
        for (const char* name : {"shows", "cues", "other"}) {
            std::filesystem::create_directories(root() / name);
        }
    }
    std::filesystem::path root() const { return toPath(dir.path()); }
    QString at(const char* name) const { return QDir::cleanPath(dir.filePath(QLatin1String(name))); }
    QTemporaryDir dir;
};

TEST(FileDialogFolders, BesideTheLoadedFileOrInTheKindsOwnFolder) {
    Tree tree;
    QSettings settings(tree.dir.filePath("settings.ini"), QSettings::IniFormat);
    const auto show = tree.root() / "shows" / "show.mp3";
    const auto other = tree.root() / "other" / "next.mp3";

    // Nothing used yet: beside the loaded file, or nowhere in particular.
    EXPECT_EQ(folders::startFolder(settings, "cue", {}), QString());
    EXPECT_EQ(folders::startFolder(settings, "cue", show), tree.at("shows"));

    // A list chosen beside the loaded file: the next one opens beside whatever file is loaded then.
    folders::remember(settings, "cue", tree.root() / "shows" / "show.cue", show);
    EXPECT_EQ(folders::startFolder(settings, "cue", other), tree.at("other"));
    EXPECT_EQ(folders::startFolder(settings, "cue", {}), tree.at("shows"));

    // Lists kept in a folder of their own: they open there, whatever is loaded.
    folders::remember(settings, "cue", tree.root() / "cues" / "a.cue", show);
    EXPECT_EQ(folders::startFolder(settings, "cue", other), tree.at("cues"));
    EXPECT_EQ(folders::startFolder(settings, "cue", {}), tree.at("cues"));
    // Each kind has its own; folder choosers keep the folder itself.
    EXPECT_EQ(folders::startFolder(settings, "wav", other), tree.at("other"));
    folders::remember(settings, "folder", tree.root() / "other", show);
    EXPECT_EQ(folders::startFolder(settings, "folder", show), tree.at("other"));
    EXPECT_EQ(folders::startFolder(settings, "cue", other), tree.at("cues"));

    // In a group of its own, and a folder removed since is no place to start.
    EXPECT_TRUE(settings.childGroups().contains(QStringLiteral("FileDialogFolders")));
    std::filesystem::remove_all(tree.root() / "cues");
    EXPECT_EQ(folders::startFolder(settings, "cue", other), tree.at("other"));
}

// The real dialogs: they open where the rule says and remember what the user chose.
TEST(FileDialogFolders, TheDialogsOpenThereAndRemember) {
    app_test::resetUserState();
    Tree tree;
    const auto show = tree.root() / "shows" / "show.mp3";
    std::ofstream(tree.root() / "cues" / "a.cue") << "x";
    QtPrompts prompts;
    std::filesystem::path loaded = show;
    prompts.setLoadedFile([&] { return loaded; });

    const auto openIn = [&](const char* pick) {
        QString shownIn;
        app_test::whenModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            shownIn = QDir::cleanPath(dialog->directory().absolutePath());
            if (pick != nullptr) {
                dialog->selectFile(tree.at(pick));
                static_cast<QDialog*>(dialog)->accept();
            } else {
                dialog->reject();
            }
        });
        prompts.chooseOpenFileOfKind("CUE Sheet(*.cue)|*.cue||", "cue");
        return shownIn;
    };
    EXPECT_EQ(openIn("cues/a.cue"), tree.at("shows"));
    EXPECT_EQ(openIn(nullptr), tree.at("cues"));
    QSettings settings = app_test::programSettings();
    EXPECT_EQ(settings.value("FileDialogFolders/cue/Folder").toString(), tree.at("cues"));
    // Another kind of file still opens beside the loaded one.
    QString wavIn;
    app_test::whenModal([&](QWidget* widget) {
        wavIn = QDir::cleanPath(qobject_cast<QFileDialog*>(widget)->directory().absolutePath());
        widget->close();
    });
    prompts.chooseSaveFile("Wave file(*.wav)|*.wav||", "wav", "show.wav", ShellPrompts::Overwrite::Ask);
    EXPECT_EQ(wavIn, tree.at("shows"));
}

} // namespace
