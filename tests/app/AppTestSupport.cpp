#include "AppTestSupport.h"

#include "settings/PreferencesFile.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace app_test {

namespace {

std::filesystem::path& home() {
    static std::filesystem::path path;
    return path;
}

// Points HOME and the XDG folders at a fresh folder of this process before the application object
// exists, and keeps one QApplication for all tests.
class AppTestEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        home() = testing_support::scratchDir("app-home-" + std::to_string(::getpid()));
        setenv("HOME", home().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home() / ".config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home() / ".local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home() / ".cache").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "kerfline_app_tests";
        static char* argv[] = {name, nullptr};
        m_application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override {
        m_application.reset();
        std::error_code ignored;
        std::filesystem::remove_all(home(), ignored);
    }

private:
    std::unique_ptr<QApplication> m_application;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

} // namespace

std::filesystem::path homeDir() {
    return home();
}

QSettings programSettings() {
    return QSettings(QStringLiteral("Velquorn Technology"), QStringLiteral("Kerfline"));
}

void resetUserState() {
    QSettings settings = programSettings();
    settings.clear();
    settings.sync();
    std::error_code ignored;
    std::filesystem::remove(preferencesPath(), ignored);
    std::filesystem::remove_all(preferencesPath().parent_path() / "edit-states", ignored);
}

namespace {
QPointer<QTimer>& pendingModal() {
    static QPointer<QTimer> timer;
    return timer;
}
} // namespace

void cancelWhenModal() {
    if (QTimer* timer = pendingModal()) {
        timer->stop();
        timer->deleteLater();
    }
    pendingModal() = nullptr;
}

void whenModal(std::function<void(QWidget*)> action) {
    cancelWhenModal();
    auto* timer = new QTimer;
    pendingModal() = timer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace app_test
