#include "ViewHarness.h"

#include "engine/FileScan.h"
#include "support/TestFiles.h"
#include "view/GdiDrawing.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

// One application for the whole test program; the view keeps its settings file in a scratch folder.
class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        // One folder per process: ctest runs several test processes at once, each emptying its own.
        const std::filesystem::path data =
            testing_support::scratchDir("view-data-home-" + std::to_string(::getpid()));
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        static int argc = 1;
        static char name[] = "kerfline_view_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

ViewHarness::ViewHarness(int clientWidth, int clientHeight, std::unique_ptr<SoundOutput> output) {
    frame.setHandler([this](unsigned message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        switch (message) {
        case UM_QUERY_VIEW_FOCUS:
            return focused ? 1 : 0;
        case UM_QUERY_LOADING:
        case UM_QUERY_LOADED:
            return view ? view->answerQuery(message) : 0;
        default:
            return 0;
        }
    });
    view = std::make_unique<CChildView>(frame, prompts, std::move(output));
    const int barHeight = view->height() - view->clientArea().height();
    view->resize(clientWidth, clientHeight + barHeight);
    view->show();
    view->activateWindow();
    view->setFocus();
    QApplication::processEvents();
}

ViewHarness::~ViewHarness() {
    stopLoading();
    view.reset();
}

void ViewHarness::setLevels(std::vector<int> levels) {
    view->m_frameLevels = std::move(levels);
    view->m_loaded = true;
    view->updateScrollBar();
}

void ViewHarness::load(const std::filesystem::path& path) {
    mp3::LevelScan scan = mp3::scanLevels(path);
    view->m_filePath = path;
    view->m_frameLevels = std::move(scan.levels);
    view->m_frameOffsets = std::move(scan.offsets);
    view->m_frameLengths = std::move(scan.lengths);
    view->m_cursor = mp3::FrameReader(path);
    view->m_loaded = true;
    view->updateScrollBar();
}

void ViewHarness::startLoading() {
    m_releaseLoading = false;
    view->m_loadThread.start([this] {
        while (!m_releaseLoading) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

void ViewHarness::stopLoading() {
    m_releaseLoading = true;
    if (view) {
        view->m_loadThread.clear();
    }
}

QImage ViewHarness::render(QPoint pointer) {
    QImage image;
    view->render(image, pointer);
    return image;
}

void ViewHarness::pointAt(QPoint clientPoint) {
    QCursor::setPos(view->mapToGlobal(clientPoint));
}

void ViewHarness::press(QPoint p, Qt::KeyboardModifiers modifiers) {
    pointAt(p);
    QTest::mousePress(view.get(), Qt::LeftButton, modifiers, p);
}

void ViewHarness::move(QPoint p, Qt::MouseButtons buttons) {
    pointAt(p);
    QMouseEvent event(QEvent::MouseMove, QPointF(p), QPointF(view->mapToGlobal(p)), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(view.get(), &event);
}

void ViewHarness::release(QPoint p, Qt::KeyboardModifiers modifiers) {
    pointAt(p);
    QTest::mouseRelease(view.get(), Qt::LeftButton, modifiers, p);
}

void ViewHarness::click(QPoint p, Qt::KeyboardModifiers modifiers) {
    press(p, modifiers);
    release(p, modifiers);
}

void ViewHarness::doubleClick(QPoint p) {
    // What the system delivers for a double click: press, release, double click, release.
    press(p);
    release(p);
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(p), QPointF(view->mapToGlobal(p)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &event);
    release(p);
}

void ViewHarness::keyRelease(Qt::Key key, bool autoRepeat, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(view.get(), &event);
}

QRgb rgbOf(ColorRef color) {
    return toQColor(color).rgb();
}

QImage referenceText(QSize size, const QString& text, QRgb color, QRgb background, int alignment) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(fontFromLogFont(defaultDrawParameters().font));
    if (alignment == 0) {
        gdi::textAt(painter, QPoint(0, 0), text, QColor::fromRgb(color));
    } else {
        gdi::textInBox(painter, QRect(QPoint(0, 0), size), alignment, text, QColor::fromRgb(color));
    }
    return image;
}

QImage crop(const QImage& image, const QRect& rect) {
    return image.copy(rect);
}
