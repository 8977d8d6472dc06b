#include "DocumentHarness.h"

#include "document/BreakPointLists.h"
#include "document/ChapterCopy.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include "support/WriteLimit.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <array>
#include <functional>
#include <new>

using namespace testing_support;

namespace {

// Runs `act` once, on the worker's thread, when the first message `message` with a wParam of at least
// `from` is sent; every message still reaches the document.
void onMessage(DocumentHarness& h, unsigned message, std::uintptr_t from, std::function<void()> act) {
    h.link.setHandler([&h, message, from, act, done = false](unsigned sent, std::uintptr_t wParam,
                                                             std::intptr_t lParam) mutable -> std::intptr_t {
        if (sent == message && wParam >= from && !done) {
            done = true;
            act();
        }
        return sent == UM_OUTPUT_LOG ? 0 : h.doc.handleMessage(sent, wParam, lParam);
    });
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

#ifndef _WIN32
TEST(SafeOutput, OpeningAFileNeverAsksForWriteAccess) {
    const auto dir = scratchDir("safe-read-only");
    const auto source = dir / "tagged.mp3";
    std::filesystem::copy_file(fixture("id3v1.mp3"), source);
    const auto original = readBytes(source);
    // Closing a file that was opened for writing is reported even when nothing was written.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, source.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);

    DocumentHarness h;
    h.load(source);
    EXPECT_GT(h.doc.frameCount(), 0);
    EXPECT_FALSE(h.doc.m_mainTag.title.empty());

    int closedAfterWriting = 0;
    int closedAfterReading = 0;
    std::array<char, 4096> events{};
    for (ssize_t n; (n = ::read(watch, events.data(), events.size())) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events.data() + at);
            closedAfterWriting += (event->mask & IN_CLOSE_WRITE) != 0 ? 1 : 0;
            closedAfterReading += (event->mask & IN_CLOSE_NOWRITE) != 0 ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    EXPECT_EQ(closedAfterWriting, 0);
    EXPECT_GT(closedAfterReading, 0);
    EXPECT_EQ(readBytes(source), original);
}
#endif

TEST(SafeOutput, AFileGoneBeforeTheLoadReadsItIsReportedAsUnreadable) {
    const auto dir = scratchDir("safe-load-gone");
    const auto source = dir / "gone.mp3";
    std::filesystem::copy_file(fixture("cbr128.mp3"), source);
    DocumentHarness h;
    onMessage(h, UM_PROGRESS_SHOW, 1, [&] { std::filesystem::remove(source); });
    h.load(source);
    const auto errors = h.link.logLines(LogLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "The file " + source.string() + " could not be read: No such file or directory");
    EXPECT_FALSE(contains(h.link.logLines(), "loaded successfully"));
    EXPECT_FALSE(h.doc.m_loadThread.isSet());
    EXPECT_EQ(h.doc.frameCount(), 0);
}

TEST(SafeOutput, RunningOutOfMemoryWhileLoadingLeavesNoHalfDocument) {
    const auto dir = scratchDir("safe-load-memory");
    const auto source = dir / "long.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    const auto original = readBytes(source);
    DocumentHarness h;
    onMessage(h, UM_PROGRESS_SET, 1, [] { throw std::bad_alloc(); });
    h.load(source);
    EXPECT_EQ(
        h.link.logLines(LogLevel::Error),
        std::vector<std::string>{"The file " + source.string() + " could not be loaded: not enough memory"});
    EXPECT_FALSE(contains(h.link.logLines(), "loaded successfully"));
    EXPECT_FALSE(h.doc.m_loadThread.isSet());
    EXPECT_EQ(h.doc.frameCount(), 0);
    EXPECT_EQ(readBytes(source), original);
}

void convert(DocumentHarness& h, const std::filesystem::path& wav) {
    h.doc.startWavConversion(wav);
    ASSERT_TRUE(h.doc.m_wavThread.isSet());
    ASSERT_TRUE(h.link.dispatchUntil(UM_WAV_DONE));
    EXPECT_FALSE(h.doc.m_wavThread.isSet());
}

TEST(SafeOutput, TheWavFileAppearsWholeOrNotAtAll) {
    const auto dir = scratchDir("safe-wav");
    const auto source = dir / "song.mp3";
    std::filesystem::copy_file(fixture("cbr128.mp3"), source);
    DocumentHarness h;
    h.load(source);
    const std::vector<std::uint8_t> earlier(100, 0x55);
#ifndef _WIN32
    writeBytes(dir / "elsewhere.txt", earlier);
    std::filesystem::create_symlink(dir / "elsewhere.txt", dir / "link.wav");
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0644), 0);

    for (const char* name : {"link.wav", "pipe.wav"}) {
        h.link.clearRecords();
        convert(h, dir / name);
        EXPECT_EQ(
            h.link.logLines(LogLevel::Error),
            std::vector<std::string>{"Can not create wav file " + (dir / name).string() +
                                     ", the mp3 file has not been converted! (it is not a regular file)"});
    }
    EXPECT_EQ(readBytes(dir / "elsewhere.txt"), earlier);
#endif

    // A disk that fills up, and memory that runs out, midway: the earlier file stays as it was.
    writeBytes(dir / "song.wav", earlier);
#ifndef _WIN32
    h.link.clearRecords();
    {
        const WriteLimit limit(20000);
        convert(h, dir / "song.wav");
    }
    EXPECT_EQ(h.link.logLines(LogLevel::Error).size(), 1u);
    EXPECT_EQ(readBytes(dir / "song.wav"), earlier);
#endif

    h.link.clearRecords();
    onMessage(h, UM_PROGRESS_SET, 1, [] { throw std::bad_alloc(); });
    convert(h, dir / "song.wav");
    EXPECT_EQ(h.link.logLines(LogLevel::Error),
              std::vector<std::string>{"Can not write wav file " + (dir / "song.wav").string() +
                                       ": not enough memory"});
    EXPECT_EQ(readBytes(dir / "song.wav"), earlier);
    EXPECT_TRUE(hiddenNames(dir).empty());

    h.link.setHandler([&h](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
        return message == UM_OUTPUT_LOG ? 0 : h.doc.handleMessage(message, wParam, lParam);
    });
    h.link.clearRecords();
    convert(h, dir / "song.wav");
    EXPECT_TRUE(h.link.logLines(LogLevel::Error).empty());
    EXPECT_GT(std::filesystem::file_size(dir / "song.wav"), earlier.size());
    EXPECT_TRUE(hiddenNames(dir).empty());
}

TEST(SafeOutput, BreakPointFilesAreNeverWrittenThroughLinksOrPipes) {
    const auto dir = scratchDir("safe-bps");
    DocumentHarness h;
    h.pretendLoaded(1000);
    h.doc.m_breakPoints = {100, 200};
#ifndef _WIN32
    const std::vector<std::uint8_t> earlier(7, 0x11);
    writeBytes(dir / "elsewhere.txt", earlier);
    std::filesystem::create_symlink(dir / "elsewhere.txt", dir / "link.bps");
    ASSERT_EQ(::mkfifo((dir / "pipe.bps").c_str(), 0644), 0);
    for (const char* name : {"link.bps", "pipe.bps"}) {
        h.link.clearRecords();
        h.doc.saveBreakPointFile(dir / name);
        EXPECT_EQ(h.link.logLines(LogLevel::Error),
                  std::vector<std::string>{"Break points could not be saved to file " +
                                           (dir / name).string() + ", it is not a regular file"});
    }
    EXPECT_EQ(readBytes(dir / "elsewhere.txt"), earlier);

    writeBytes(dir / "cuts.bps", earlier);
    {
        const WriteLimit limit(4);
        h.doc.saveBreakPointFile(dir / "cuts.bps");
    }
    EXPECT_EQ(readBytes(dir / "cuts.bps"), earlier);
#endif
    h.doc.saveBreakPointFile(dir / "cuts.bps");
    EXPECT_EQ(readBytes(dir / "cuts.bps"), (std::vector<std::uint8_t>{100, 0, 0, 0, 200, 0, 0, 0}));
    EXPECT_TRUE(hiddenNames(dir).empty());
}

// The list exports and the chapters copy are written like every other output: a pipe or a link at
// the name is refused untouched, and a write that fails midway leaves the earlier file as it was.
TEST(SafeOutput, ListExportsAndTheChaptersCopyReplaceAFileWholeOrNotAtAll) {
    const auto dir = scratchDir("safe-exports");
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), dir / "song.mp3");
    DocumentHarness h;
    h.load(dir / "song.mp3");
    h.doc.m_breakPoints = {100, 200, 300};
    struct Writer {
        const char* name;
        std::function<bool(const std::filesystem::path&)> write;
    };
    const Writer writers[] = {
        {"cue", [&](const auto& path) { return exportBreakPoints(h.doc, path, ListFormat::CueSheet); }},
        {"labels", [&](const auto& path) { return exportBreakPoints(h.doc, path, ListFormat::LabelFile); }},
        {"tracklist",
         [&](const auto& path) { return exportBreakPoints(h.doc, path, ListFormat::Tracklist); }},
        {"chapters", [&](const auto& path) { return saveCopyWithChapters(h.doc, path); }},
    };
    const std::vector<std::uint8_t> earlier(100, 0x55);
    writeBytes(dir / "elsewhere.txt", earlier);
    for (const Writer& writer : writers) {
        SCOPED_TRACE(writer.name);
        const auto out = dir / writer.name;
        std::filesystem::create_directories(out);

#ifndef _WIN32
        // With a reader waiting, a write into the pipe would go through instead of hanging.
        ASSERT_EQ(::mkfifo((out / "pipe").c_str(), 0644), 0);
        const int reader = ::open((out / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        EXPECT_FALSE(writer.write(out / "pipe"));
        std::array<char, 16> got{};
        EXPECT_LE(::read(reader, got.data(), got.size()), 0);
        ::close(reader);

        std::filesystem::create_symlink(dir / "elsewhere.txt", out / "link");
        EXPECT_FALSE(writer.write(out / "link"));
        EXPECT_EQ(readBytes(dir / "elsewhere.txt"), earlier);
        EXPECT_TRUE(std::filesystem::is_symlink(out / "link"));
#endif

        ASSERT_TRUE(writer.write(out / "whole"));
        const auto whole = readBytes(out / "whole");
        writeBytes(out / "kept", earlier);
#ifndef _WIN32
        {
            const WriteLimit limit(whole.size() / 2);
            EXPECT_FALSE(writer.write(out / "kept"));
        }
        EXPECT_EQ(readBytes(out / "kept"), earlier);
#endif
        EXPECT_TRUE(hiddenNames(out).empty());
        ASSERT_TRUE(writer.write(out / "kept"));
        EXPECT_EQ(readBytes(out / "kept"), whole);
    }
}

// The chapters copy must be made of the file the chapters were measured on.
TEST(SafeOutput, TheChaptersCopyRefusesASourceReplacedSinceTheLoad) {
    const auto dir = scratchDir("safe-chapters-source");
    const auto source = dir / "song.mp3";
    std::filesystem::copy_file(fixture("ten-seconds.mp3"), source);
    DocumentHarness h;
    h.load(source);
    h.doc.m_breakPoints = {100};
    // Moved away rather than removed: Windows keeps the name of a removed file while it is open.
    std::filesystem::rename(source, dir / "replaced.mp3");
    std::filesystem::copy_file(fixture("id3v2-cover.mp3"), source);
    h.link.clearRecords();
    EXPECT_FALSE(saveCopyWithChapters(h.doc, dir / "copy.mp3"));
    EXPECT_EQ(h.link.logLines(LogLevel::Error),
              std::vector<std::string>{"Can not write " + (dir / "copy.mp3").string() +
                                       ", the copy with chapters has not been saved! (the source file has "
                                       "changed since it was loaded)"});
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.mp3"));
    EXPECT_TRUE(hiddenNames(dir).empty());
}

} // namespace
