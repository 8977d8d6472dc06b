// Renders the view's paint pipeline offscreen and reports the time per paint.
//
//   kerfline_paint_bench [--width 1920] [--height 1080] [--breakpoints 200] [--paints 500]
//                        [--mp3 file.mp3] [--png out.png]
//   kerfline_paint_bench --mp3 file.mp3 --screenshot out.png   (on a display, e.g. under Xvfb)
//
// --screenshot shows the view in a window with a few break points, points at one of them and grabs
// the screen: the picture the real window paints, not the offscreen one.
//
// Without --mp3 it paints a 10-second, a 1-hour and a 10-hour file of synthetic levels side by side:
// the cost per paint grows with the visible columns (the 10-second file fills 383 of them), never
// with the length of the file.
#include "document/MessageQueueLink.h"
#include "document/UserPrompts.h"
#include "engine/FileScan.h"
#include "view/ChildView.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

namespace {

class SilentPrompts final : public UserPrompts {
public:
    void messageBox(const std::string&, const std::string&, MessageIcon) override {}
    std::optional<std::filesystem::path> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseSaveFile(const std::string&, const std::string&,
                                                        const std::string&) override {
        return std::nullopt;
    }
};

struct Options {
    int width = 1920;
    int height = 1080;
    int breakPoints = 200;
    int paints = 500;
    std::string mp3;
    std::string png;
    std::string screenshot;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--width") {
            options.width = std::atoi(value);
        } else if (name == "--height") {
            options.height = std::atoi(value);
        } else if (name == "--breakpoints") {
            options.breakPoints = std::atoi(value);
        } else if (name == "--paints") {
            options.paints = std::atoi(value);
        } else if (name == "--mp3") {
            options.mp3 = value;
        } else if (name == "--png") {
            options.png = value;
        } else if (name == "--screenshot") {
            options.screenshot = value;
        }
    }
    return options;
}

// A view of the given client size whose main-window stand-in says: focused, loaded, not loading.
struct Bench {
    explicit Bench(const Options& options) {
        frame.setHandler([this](unsigned message, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            if (message == UM_QUERY_VIEW_FOCUS) {
                return 1;
            }
            return view ? view->answerQuery(message) : 0;
        });
        view = std::make_unique<CChildView>(frame, prompts);
        const int barHeight = view->height() - view->clientArea().height();
        view->resize(options.width, options.height + barHeight);
    }
    ~Bench() { view.reset(); }

    MessageQueueLink frame;
    SilentPrompts prompts;
    std::unique_ptr<CChildView> view;
};

void placeBreakPoints(CChildView& view, int count, int width, std::uint32_t first) {
    view.replaceBreakPoints({});
    for (int i = 0; i < count; ++i) {
        view.appendBreakPoint(static_cast<int>(first) + (i * width) / count + 3);
    }
    view.m_selectedBreakPoint = view.m_breakPoints[count / 2];
    view.m_hoverBreakPoint = view.m_breakPoints[count / 3];
}

struct PaintTimes {
    double bestWall;   // ms per paint in the fastest of the batches
    double medianWall; // ms per paint, median batch
    double cpu;        // ms of this thread's CPU time per paint, over all batches
};

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The machine is shared and noisy: time the paints in ten batches and report the fastest and the
// median batch, and the CPU time, which other processes disturb less.
PaintTimes timePaints(CChildView& view, int paints, QImage& image) {
    const QPoint pointer(view.clientArea().width() / 2, view.clientArea().height() / 2);
    view.render(image, pointer); // warm up: font, laid-out texts, image
    constexpr int kBatches = 10;
    const int perBatch = std::max(1, paints / kBatches);
    std::vector<double> batches;
    const double cpuStart = threadCpuMs();
    for (int batch = 0; batch < kBatches; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < perBatch; ++i) {
            view.render(image, pointer);
        }
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        batches.push_back(elapsed.count() / perBatch);
    }
    const double cpu = (threadCpuMs() - cpuStart) / (kBatches * perBatch);
    std::sort(batches.begin(), batches.end());
    return {batches.front(), batches[batches.size() / 2], cpu};
}

void report(const char* what, const CChildView& view, const Options& options, const PaintTimes& times) {
    std::printf("%s (%d frames), %dx%d, %d break points: %.3f ms per paint (best batch), %.3f median, "
                "%.3f ms CPU\n",
                what, view.frameCount(), options.width, options.height, options.breakPoints, times.bestWall,
                times.medianWall, times.cpu);
}

std::vector<int> syntheticLevels(long long frames) {
    std::vector<int> levels(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        levels[i] = static_cast<int>(16000 + 15000 * std::sin(static_cast<double>(i) * 0.01));
    }
    return levels;
}

void loadFile(CChildView& view, const std::string& path) {
    mp3::LevelScan scan = mp3::scanLevels(path);
    view.m_filePath = path;
    view.m_frameLevels = std::move(scan.levels);
    view.m_frameOffsets = std::move(scan.offsets);
    view.m_cursor = mp3::FrameReader(path);
    view.m_cursor.advance(view.frameCount() / 3);
    view.m_loaded = true;
    view.updateScrollBar();
}

int takeScreenshot(CChildView& view, const Options& options) {
    loadFile(view, options.mp3);
    view.replaceBreakPoints({40, 150, 260, 300});
    view.m_selectedBreakPoint = 150;
    view.setWindowTitle("Kerfline view");
    view.show();
    view.activateWindow();
    view.setFocus();
    // The pointer over the 'P' button of the break point at 260.
    QCursor::setPos(view.mapToGlobal(QPoint(260 + 40, 80)));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    while (std::chrono::steady_clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        view.update();
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    shot.save(QString::fromStdString(options.screenshot));
    std::printf("screen grabbed into %s (%dx%d)\n", options.screenshot.c_str(), shot.width(), shot.height());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool onDisplay =
        std::getenv("DISPLAY") != nullptr && std::strstr(std::getenv("DISPLAY"), ":") != nullptr;
    bool wantsScreenshot = false;
    for (int i = 1; i < argc; ++i) {
        wantsScreenshot = wantsScreenshot || std::strcmp(argv[i], "--screenshot") == 0;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && !(wantsScreenshot && onDisplay)) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The view reads and writes its settings file: keep the user's own out of reach.
    const std::filesystem::path dataHome = std::filesystem::temp_directory_path() / "kerfline-paint-bench";
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    const Options options = parse(argc, argv);
    if (options.breakPoints < 1) {
        std::fprintf(stderr, "--breakpoints must be at least 1\n");
        return 2;
    }
    QApplication app(argc, argv);
    Bench bench(options);
    CChildView& view = *bench.view;
    QImage image;

    if (!options.screenshot.empty() && !options.mp3.empty()) {
        return takeScreenshot(view, options);
    }
    if (!options.mp3.empty()) {
        loadFile(view, options.mp3);
        placeBreakPoints(view, options.breakPoints, std::min(view.clientArea().width(), view.frameCount()),
                         0);
        report(options.mp3.c_str(), view, options, timePaints(view, options.paints, image));
    } else {
        // 38.28 frames per second for 44.1 kHz MPEG-1 Layer III.
        for (const double seconds : {10.0, 3600.0, 36000.0}) {
            view.m_frameLevels = syntheticLevels(std::llround(seconds * 44100.0 / 1152.0));
            view.m_loaded = true;
            view.m_scrollFrame = static_cast<std::uint32_t>(view.frameCount() / 2);
            view.updateScrollBar();
            placeBreakPoints(view, options.breakPoints, options.width, view.m_scrollFrame);
            report(seconds < 100    ? "10-second file"
                   : seconds < 4000 ? "1-hour file"
                                    : "10-hour file",
                   view, options, timePaints(view, options.paints, image));
        }
    }
    if (!options.png.empty()) {
        image.save(QString::fromStdString(options.png));
    }
    return 0;
}
