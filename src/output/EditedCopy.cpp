#include "output/EditedCopy.h"

#include "output/ReservoirBytes.h"

#include "document/ChapterCopy.h"
#include "document/SplitDocument.h"
#include "document/WindowLink.h"
#include "engine/PlatformFile.h"
#include "engine/XingFrame.h"
#include "output/CrcJoin.h"
#include "output/EditedCopyTag.h"
#include "output/FrameCopy.h"
#include "output/LevelApplier.h"
#include "output/PieceFile.h"
#include "output/ProgressReporter.h"
#include "output/SelfContainedFrame.h"
#include "output/SourceBytes.h"
#include "output/SourceCheck.h"
#include "output/SourceFrames.h"
#include "output/SpaceCheck.h"
#include "settings/PathText.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace {

// Small enough to stay in the cache between the read and the sum.
constexpr std::size_t kCrcChunk = 128 * 1024;
// The least the system's copy is asked for at once where the frames allow it.
constexpr std::int64_t kCopyPiece = 8 << 20;
// How much of the copy is handed to the disk at a time while the rest is still being copied.
constexpr std::int64_t kWritebackStep = 8 << 20;

// How much more of the copy is handed to the disk before the thread behind it syncs again.
std::atomic<std::int64_t> syncStep{32 << 20};

std::atomic<bool> walkedMusicCrcAllowed{true};

// Syncs the copy on a thread of its own, a step behind the copy. A disk that keeps written bytes in a
// cache of its own (a virtual machine's, as a rule) writes them out only at a sync: synced in steps
// while the copy goes on, the final sync waits for the last step instead of the whole file.
class SyncBehind {
public:
    explicit SyncBehind(int descriptor) : m_descriptor(descriptor) {
        if (descriptor >= 0) {
            try {
                m_thread = std::jthread([this] { syncWhileCopying(); });
            } catch (const std::system_error&) {
                // No thread to spare: the final sync does it all.
            }
        }
    }
    ~SyncBehind() { finish(); }
    SyncBehind(const SyncBehind&) = delete;
    SyncBehind& operator=(const SyncBehind&) = delete;

    // The first `bytes` of the copy have been handed to the disk.
    void handed(std::int64_t bytes) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_handed = bytes;
        }
        m_wake.notify_one();
    }
    // Stops the syncs; why one failed, empty when none did. The system tells a failed write to one
    // sync only: the copy must fail on it, as the final sync would not say it again.
    std::string finish() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_error;
    }

private:
    void syncWhileCopying() {
        std::int64_t synced = 0;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            const std::int64_t step = syncStep.load(std::memory_order_relaxed);
            m_wake.wait(lock, [&] { return m_stopping || m_handed - synced >= step; });
            if (m_stopping) {
                return;
            }
            const std::int64_t target = m_handed;
            lock.unlock();
            const bool done = platform::syncFile(m_descriptor);
            const int error = errno;
            lock.lock();
            if (!done) {
                m_error = platform::systemError(error);
                return;
            }
            synced = target;
        }
    }

    const int m_descriptor;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::int64_t m_handed = 0;
    bool m_stopping = false;
    std::string m_error;
    std::jthread m_thread; // last: stopped before the rest goes
};

// One step of the copy: a frame built here, or the source frames [from, to) as they are.
struct CopyStep {
    std::vector<std::uint8_t> built;
    int from = 0; // a built frame: the source frame it stands for, -1 for none
    int to = 0;
    int copyIndex = 0; // its first frame's number among the copy's audio frames
};

std::optional<mp3::FrameHeader> layerThreeHeader(const std::vector<std::uint8_t>& frame) {
    return layerThreeHeaderOf(frame);
}

// The CRC-16 a protected frame carries after its header: over header bytes 2 and 3 and the side
// information, polynomial 0x8005, starting from 0xFFFF.
void refreshFrameCrc(std::vector<std::uint8_t>& frame, const mp3::FrameHeader& header) {
    if (header.protection != 0) {
        return;
    }
    const std::size_t sideEnd = mp3::dataAreaOffset(header);
    if (sideEnd > frame.size()) {
        return;
    }
    std::uint16_t crc = 0xFFFF;
    const auto feed = [&crc](std::uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) & 1u) != ((byte >> bit) & 1u);
            crc = static_cast<std::uint16_t>(crc << 1);
            if (top) {
                crc ^= 0x8005;
            }
        }
    };
    feed(frame[2]);
    feed(frame[3]);
    for (std::size_t at = 6; at < sideEnd; ++at) {
        feed(frame[at]);
    }
    frame[4] = static_cast<std::uint8_t>(crc >> 8);
    frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
}

class EditedCopyWriter {
public:
    EditedCopyWriter(const EditedCopyJob& job, WindowLink& frame, SourceFrames* walked)
        : m_job(job), m_log(frame),
          m_ownFrames(walked != nullptr
                          ? nullptr
                          : std::make_unique<SourceFrames>(job.source, &job.frameOffsets, &job.frameLengths)),
          m_frames(walked != nullptr ? *walked : *m_ownFrames) {}

    EditedCopyResult run() {
        if (m_frames.walking()) {
            if (std::optional<EditedCopyResult> result = runBehindWalk()) {
                return *result;
            }
            m_frames.finishWalk();
        }
        const std::string name = pathText(m_job.output);
        if (m_frames.walkFailed()) {
            return failed("not enough memory");
        }
        if (!m_frames.file().isOpen() || m_frames.count() == 0) {
            return failed("the source " + pathText(m_job.source) + " has no frames to copy");
        }
        m_result.sourceFrames = m_frames.count();
        if (m_frames.count() < m_job.framesNamed) {
            m_result.tooFewFrames = true;
            return m_result;
        }
        if (!sourceUnchanged(m_frames, m_job.sourceStatus)) {
            return failed(kSourceChanged);
        }
        readSourceHeader();
        plan();
        if (m_steps.empty()) {
            return failed("every block has been removed");
        }
        const std::vector<std::uint8_t> xing = headerFrame();
        const std::string tag = id3v2Tag(static_cast<std::uint32_t>(xing.size()));
        const std::vector<std::uint8_t> id3v1 =
            m_job.options.copyTags ? sourceId3v1() : std::vector<std::uint8_t>{};
        const std::uint64_t total = tag.size() + xing.size() + m_audioBytes + id3v1.size();
        if (const auto problem = spaceProblem(outputFolder(), total)) {
            return failed(*problem);
        }

        PieceFile copy = createPieceFile(m_job.output, m_job.source, m_job.options.existing);
        copy.write(reinterpret_cast<const std::uint8_t*>(tag.data()), tag.size());
        copy.write(xing.data(), xing.size());
        // The music CRC of the LAME tag covers every audio byte: from the frames' CRCs of the walk
        // where it summed them, otherwise summed on a second thread while the bytes are copied; the
        // header frame is completed afterwards.
        const bool lame = m_xingTag && m_xingTag->lame;
        const std::optional<std::uint16_t> walkedCrc = lame ? musicCrcFromWalk() : std::nullopt;
        std::uint16_t musicCrc = walkedCrc.value_or(0);
        std::jthread crcThread;
        bool crcBehind = false;
        if (lame && !walkedCrc) {
            try {
                crcThread = std::jthread([this, &musicCrc] { musicCrc = audioCrc(); });
            } catch (const std::system_error&) {
                crcBehind = true; // no thread to spare: summed here after the copy
            }
        }
        SyncBehind syncs(copy.descriptor());
        {
            ProgressReporter progress(m_log, m_result.frames);
            DiskHandOver handOver{copy.descriptor(), static_cast<std::int64_t>(tag.size() + xing.size()),
                                  syncs};
            for (const CopyStep& step : m_steps) {
                writeStep(step, copy, progress, handOver);
            }
        }
        copy.write(id3v1.data(), id3v1.size());
        if (crcThread.joinable()) {
            crcThread.join();
        }
        if (crcBehind) {
            musicCrc = audioCrc();
        }
        if (lame) {
            std::vector<std::uint8_t> finished = xing;
            mp3::XingFrame tagWithCrc = *m_xingTag;
            tagWithCrc.lame->setMusicCrc(musicCrc);
            mp3::writeXingFrame(tagWithCrc, finished.data(), finished.size());
            refreshFrameCrc(finished, *layerThreeHeader(finished));
            if (!copy.writeAt(static_cast<std::int64_t>(tag.size()), finished.data(), finished.size())) {
                copy.fail("the header frame could not be written");
            }
        }
        // The last step's sync has gone on while the header frame was completed.
        if (const std::string error = syncs.finish(); !error.empty()) {
            copy.fail(error);
        }
        return finish(copy, total);
    }

private:
    // Where the disk has been asked to write the copy so far: it writes what has been copied while
    // the copy goes on, so the sync at the end waits for the last stretch only.
    struct DiskHandOver {
        int descriptor = -1;
        std::int64_t audioStart = 0;
        SyncBehind& syncs;
        std::int64_t handed = 0; // audio bytes handed to the disk
    };

    // Copies one step of the plan into the copy.
    void writeStep(const CopyStep& step, PieceFile& copy, ProgressReporter& progress,
                   DiskHandOver& handOver) {
        if (!step.built.empty()) {
            copy.write(step.built.data(), step.built.size());
            progress.set(step.copyIndex + 1);
            return;
        }
        // The bar moves by progress steps through a long block. Frames the levels leave as they are
        // go to the system's copy in pieces of several megabytes: a call per progress step (a few
        // hundred kilobytes) makes the copy a third slower.
        const int stepFrames = std::max(progress.step(), 1);
        for (int first = step.from; first < step.to;) {
            int end = std::min(step.to, first + stepFrames);
            if (m_levels.changes(first, end)) {
                copyFrames(m_frames, first, end, copy, &m_levels);
            } else {
                const std::int64_t from = m_frames.offset(first);
                while (end < step.to && m_frames.offset(end) - from < kCopyPiece &&
                       !m_levels.changes(end, std::min(step.to, end + stepFrames))) {
                    end = std::min(step.to, end + stepFrames);
                }
                copyFrames(m_frames, first, end, copy);
            }
            for (int passed = first + stepFrames; passed < end; passed += stepFrames) {
                progress.set(step.copyIndex + (passed - step.from));
            }
            const int copiedFrames = step.copyIndex + (end - step.from);
            progress.set(copiedFrames);
            const auto copied = static_cast<std::int64_t>(
                copiedFrames < m_result.frames ? m_audioOffsets[static_cast<std::size_t>(copiedFrames)]
                                               : m_audioBytes);
            if (copied - handOver.handed >= kWritebackStep) {
                platform::startWriteback(handOver.descriptor, handOver.audioStart + handOver.handed,
                                         copied - handOver.handed);
                handOver.handed = copied;
                handOver.syncs.handed(handOver.audioStart + copied);
            }
            first = end;
        }
    }

    // The copy made while the source is still being walked: each run of kept frames is planned and
    // copied as soon as the walk has passed it, so walking, copying and the disk's writing overlap.
    // The steps and bytes are those of run(). Chapters and level changes need the whole plan before
    // the first byte, and a disk that may not hold the source's size needs the exact size: those
    // return nothing and are left to run() once the walk has ended.
    std::optional<EditedCopyResult> runBehindWalk() {
        const bool levelsEdited =
            m_job.options.fadeCutsMs > 0 ||
            std::any_of(m_job.stream.begin(), m_job.stream.end(), [](const EditedRange& range) {
                return range.edit.gainSteps != 0 || range.edit.fadeInMs > 0 || range.edit.fadeOutMs > 0;
            });
        if (levelsEdited || m_job.options.chapters) {
            return std::nullopt;
        }
        const std::string sourceTag = readLeadingTag(m_job.source);
        if (tagHasChapters(sourceTag)) {
            return std::nullopt;
        }
        if (!m_frames.file().isOpen() || m_frames.waitForFrames(2) == 0) {
            return std::nullopt;
        }
        if (!sourceUnchanged(m_frames, m_job.sourceStatus)) {
            return std::nullopt;
        }
        readSourceHeader();
        // The header frame is written as the source's (or a silent frame of the first one's kind)
        // and completed at the end: its length is known now.
        std::vector<std::uint8_t> xing;
        if (m_model) {
            xing = m_sourceTag ? m_sourceTagFrame
                               : mp3::makeSilentFrame(*m_model, {}, mp3::xingFrameNeeds(*m_model));
        }
        const std::string tag = editedCopyTag(m_job.options.copyTags ? sourceTag : std::string(), nullptr);
        // At most the source's bytes, a rebuilt frame and a silent one per junction, a leading and
        // a closing frame, and its ID3v1 tag.
        constexpr std::uint64_t kBuiltFrames = 2 * 2048;
        const std::uint64_t bound =
            tag.size() + xing.size() +
            static_cast<std::uint64_t>(std::max<std::int64_t>(m_frames.file().size(), 0)) +
            (m_job.stream.size() + 2) * kBuiltFrames + 128;
        if (spaceProblem(outputFolder(), bound)) {
            return std::nullopt;
        }

        // The runs as plan() makes them, their ends not yet cut at the frame count.
        std::vector<std::pair<int, int>> runs;
        for (const EditedRange& range : m_job.stream) {
            const int from = std::max(range.from, m_firstAudio);
            if (from >= range.to) {
                continue;
            }
            if (!runs.empty() && runs.back().second == from) {
                runs.back().second = range.to;
            } else {
                runs.emplace_back(from, range.to);
            }
        }
        const std::uint64_t audioStart = tag.size() + xing.size();
        PieceFile copy = createPieceFile(m_job.output, m_job.source, m_job.options.existing);
        copy.write(reinterpret_cast<const std::uint8_t*>(tag.data()), tag.size());
        copy.write(xing.data(), xing.size());
        bool anyRun = false;
        int previousEnd = m_firstAudio;
        SyncBehind syncs(copy.descriptor());
        {
            // The bar's range: the frames the file holds if they are all as long as the first.
            const int estimate = static_cast<int>(std::min<std::int64_t>(
                m_frames.file().size() /
                    std::max(m_frames.length(m_firstAudio < m_frames.count() ? m_firstAudio : 0), 24),
                INT_MAX));
            m_audioOffsets.reserve(static_cast<std::size_t>(estimate) + 2);
            ProgressReporter progress(m_log, estimate);
            DiskHandOver handOver{copy.descriptor(), static_cast<std::int64_t>(audioStart), syncs};
            std::size_t written = 0;
            const auto writePlanned = [&] {
                for (; written < m_steps.size(); ++written) {
                    writeStep(m_steps[written], copy, progress, handOver);
                }
            };
            if (m_model && !m_sourceTag) {
                std::vector<std::uint8_t> lead = mp3::makeSilentFrame(*m_model, {});
                if (!lead.empty()) {
                    addBuilt(std::move(lead), -1);
                    m_leadFrame = true;
                }
            }
            for (auto [from, to] : runs) {
                // The frame after the run too: the junction frame may carry what the next one takes.
                to = std::min(to, m_frames.waitForFrames(to < INT_MAX ? to + 1 : to));
                if (from >= to) {
                    continue;
                }
                if (!anyRun) {
                    m_firstKept = from == m_firstAudio;
                    anyRun = true;
                }
                if (copy.failed()) {
                    continue; // said below, once the walk has shown whether anything was to be saved
                }
                if (from != previousEnd && m_model && reservoirOf(from) != 0) {
                    addJunctionFrame(from, from + 1 < to);
                    ++from;
                }
                if (from < to) {
                    addCopy(from, to);
                }
                previousEnd = to;
                writePlanned();
            }
            m_frames.finishWalk();
            const int count = m_frames.count();
            m_result.sourceFrames = count;
            if (m_frames.walkFailed() || count < m_job.framesNamed || !anyRun || copy.failed()) {
                const std::string why = copy.sourceEnded() ? kSourceChanged : copy.error();
                copy.fail("nothing to save");
                syncs.finish(); // before its file is closed
                copy.close();
                if (m_frames.walkFailed()) {
                    return failed("not enough memory");
                }
                if (count < m_job.framesNamed) {
                    m_result.tooFewFrames = true;
                    return m_result;
                }
                return failed(anyRun ? why : "every block has been removed");
            }
            m_lastKept = previousEnd == count;
            addTailFrame(previousEnd);
            writePlanned();
        }
        noteBlockStarts(m_frames.count());
        const std::vector<std::uint8_t> header = headerFrame();
        const bool lame = m_xingTag && m_xingTag->lame;
        std::vector<std::uint8_t> finished = header;
        if (lame) {
            const std::optional<std::uint16_t> walkedCrc = musicCrcFromWalk();
            mp3::XingFrame tagWithCrc = *m_xingTag;
            tagWithCrc.lame->setMusicCrc(walkedCrc ? *walkedCrc : audioCrc());
            mp3::writeXingFrame(tagWithCrc, finished.data(), finished.size());
            refreshFrameCrc(finished, *layerThreeHeader(finished));
        }
        if (finished.size() != xing.size() ||
            !copy.writeAt(static_cast<std::int64_t>(tag.size()), finished.data(), finished.size())) {
            copy.fail("the header frame could not be written");
        }
        const std::vector<std::uint8_t> id3v1 =
            m_job.options.copyTags ? sourceId3v1() : std::vector<std::uint8_t>{};
        copy.write(id3v1.data(), id3v1.size());
        if (const std::string error = syncs.finish(); !error.empty()) {
            copy.fail(error);
        }
        return finish(copy, audioStart + m_audioBytes + id3v1.size());
    }

    // The checks after the last byte, and the copy put under its name.
    EditedCopyResult finish(PieceFile& copy, std::uint64_t total) {
        const std::string name = pathText(m_job.output);
        if (copy.sourceEnded() || (copy.isOpen() && !sourceUnchanged(m_frames, m_job.sourceStatus))) {
            copy.fail(kSourceChanged);
        }
        if (const std::string shortfall = shortfallText(m_levels.shortfallSteps()); !shortfall.empty()) {
            sendLog(m_log, LogLevel::Error,
                    "The edited copy " + name + ": " + shortfall +
                        " of the gain could not be applied: global_gain stops at 0 and 255");
        }
        if (!copy.close()) {
            return failed(copy.sourceEnded() ? kSourceChanged : copy.error());
        }
        m_result.saved = true;
        m_result.bytes = total;
        sendLog(m_log, LogLevel::Normal,
                "The edited copy has been saved to " + name + ", " + std::to_string(m_result.frames) +
                    " frames, total size " + std::to_string(total) + " Bytes");
        return m_result;
    }

    std::filesystem::path outputFolder() const {
        return m_job.output.has_parent_path() ? m_job.output.parent_path() : std::filesystem::path(".");
    }

    EditedCopyResult failed(const std::string& why) {
        sendLog(m_log, LogLevel::Error,
                "The edited copy could not be saved to " + pathText(m_job.output) + ": " + why);
        m_result.saved = false;
        return m_result;
    }

    std::vector<std::uint8_t> readFrame(int frame) const {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(m_frames.length(frame)));
        bytes.resize(m_frames.file().readAt(m_frames.offset(frame), bytes.data(), bytes.size()));
        return bytes;
    }

    void readSourceHeader() {
        std::vector<std::uint8_t> first = readFrame(0);
        m_sourceTag = mp3::XingFrame::parse(first.data(), first.size());
        if (m_sourceTag) {
            m_sourceTagFrame = std::move(first);
            m_firstAudio = 1;
        }
        if (m_firstAudio < m_frames.count()) {
            m_model = layerThreeHeader(readFrame(m_firstAudio));
        }
        if (m_model) {
            m_samplesPerFrame = mp3::samplesPerFrame(*m_model);
            m_sampleRate = m_model->sampleRate();
        }
    }

    std::vector<std::uint8_t> reservoirBefore(int frame, std::size_t count) const {
        return reservoirBytesBefore(frame, m_firstAudio, count, [this](int k) { return readFrame(k); });
    }

    int reservoirOf(int frame) const {
        const std::vector<std::uint8_t> bytes = readFrame(frame);
        return mp3::mainDataBegin(bytes.data(), bytes.size());
    }

    // Source frame `frame` rebuilt to need nothing before it, carrying what frame + 1 takes from
    // ahead of it when `withNext`; empty when no bitrate holds it.
    std::vector<std::uint8_t> selfContained(int frame, bool withNext) const {
        const std::vector<std::uint8_t> bytes = readFrame(frame);
        const int reservoir = mp3::mainDataBegin(bytes.data(), bytes.size());
        if (reservoir < 0) {
            return {};
        }
        std::vector<std::uint8_t> after;
        if (withNext) {
            const int nextReservoir = reservoirOf(frame + 1);
            if (nextReservoir < 0) {
                return {};
            }
            after = reservoirBefore(frame + 1, static_cast<std::size_t>(nextReservoir));
        }
        return selfContainedFrame(bytes, reservoirBefore(frame, static_cast<std::size_t>(reservoir)), after);
    }

    // `sourceFrame`: the source frame the built one stands for or carries the bytes of; -1 for none.
    void addBuilt(std::vector<std::uint8_t> frame, int sourceFrame) {
        if (m_model && (frame[2] >> 4) != m_model->bitrateIndex) {
            m_otherBitrate = true;
        }
        m_audioOffsets.push_back(m_audioBytes);
        m_audioBytes += frame.size();
        m_steps.push_back({std::move(frame), sourceFrame, sourceFrame + 1, m_result.frames});
        ++m_result.frames;
    }

    void addCopy(int from, int to) {
        for (int frame = from; frame < to; ++frame) {
            m_audioOffsets.push_back(m_audioBytes);
            m_audioBytes += static_cast<std::uint64_t>(m_frames.length(frame));
        }
        m_steps.push_back({{}, from, to, m_result.frames});
        m_result.frames += to - from;
    }

    // The first frame of a run that follows a junction, when its main data begins before it.
    void addJunctionFrame(int frame, bool withNext) {
        std::vector<std::uint8_t> rebuilt = selfContained(frame, withNext);
        if (!rebuilt.empty()) {
            m_levels.apply(frame, rebuilt.data(), rebuilt.size());
            ++m_result.rebuilt;
            addBuilt(std::move(rebuilt), frame);
            return;
        }
        const int reservoir = reservoirOf(frame);
        const std::vector<std::uint8_t> source = readFrame(frame);
        const std::optional<mp3::FrameHeader> header = layerThreeHeader(source);
        std::vector<std::uint8_t> filler =
            reservoir > 0 && header
                ? mp3::makeSilentFrame(*header, reservoirBefore(frame, static_cast<std::size_t>(reservoir)))
                : std::vector<std::uint8_t>{};
        if (!filler.empty()) {
            ++m_result.fillers;
            sendLog(m_log, LogLevel::Warning,
                    "No bitrate can hold frame " + std::to_string(frame) +
                        " F after a junction on its own: a silent frame before it carries its bytes");
            addBuilt(std::move(filler), frame);
        }
        addCopy(frame, frame + 1);
    }

    // The kept blocks' gains and fades, and the fades at every junction.
    void planLevels(const std::vector<std::pair<int, int>>& runs) {
        const bool edited =
            std::any_of(m_job.stream.begin(), m_job.stream.end(), [](const EditedRange& range) {
                return range.edit.gainSteps != 0 || range.edit.fadeInMs > 0 || range.edit.fadeOutMs > 0;
            });
        if (!edited && m_job.options.fadeCutsMs <= 0) {
            return;
        }
        m_levels = levelApplierFor(m_frames);
        for (const EditedRange& range : m_job.stream) {
            const int from = std::max(range.from, m_firstAudio);
            m_levels.addGain(from, range.to, range.edit.gainSteps);
            m_levels.addFades(from, range.to, range.edit.fadeInMs / 1000.0, range.edit.fadeOutMs / 1000.0);
        }
        const double seconds = m_job.options.fadeCutsMs / 1000.0;
        for (std::size_t run = 0; seconds > 0 && run < runs.size(); ++run) {
            m_levels.addFades(runs[run].first, runs[run].second, run > 0 ? seconds : 0,
                              run + 1 < runs.size() ? seconds : 0);
        }
    }

    void plan() {
        const int count = m_frames.count();
        // The kept frames in runs without a junction inside.
        std::vector<std::pair<int, int>> runs;
        for (const EditedRange& range : m_job.stream) {
            const int from = std::max(range.from, m_firstAudio);
            const int to = std::min(range.to, count);
            if (from >= to) {
                continue;
            }
            if (!runs.empty() && runs.back().second == from) {
                runs.back().second = to;
            } else {
                runs.emplace_back(from, to);
            }
        }
        if (runs.empty()) {
            return;
        }
        // Room for every frame at once: growing the list step by step copies it and touches fresh pages.
        m_audioOffsets.reserve(static_cast<std::size_t>(count) + 2);
        planLevels(runs);
        m_firstKept = runs.front().first == m_firstAudio;
        m_lastKept = runs.back().second == count;
        // A source without a header frame decodes untrimmed, but decoders trim the decoder delay
        // from any stream with one: a silent frame leads, and the delay field trims exactly it.
        if (m_model && !m_sourceTag) {
            std::vector<std::uint8_t> lead = mp3::makeSilentFrame(*m_model, {});
            if (!lead.empty()) {
                addBuilt(std::move(lead), -1);
                m_leadFrame = true;
            }
        }
        int previousEnd = m_firstAudio;
        for (auto [from, to] : runs) {
            if (from != previousEnd && m_model && reservoirOf(from) != 0) {
                addJunctionFrame(from, from + 1 < to);
                ++from;
            }
            if (from < to) {
                addCopy(from, to);
            }
            previousEnd = to;
        }
        addTailFrame(previousEnd);
        noteBlockStarts(count);
    }

    // A removed last block: a gapless decoder keeps 529 samples more than the frames before it give
    // out, so the copy ends with the first removed frame (`lastEnd`), which the padding trims away.
    void addTailFrame(int lastEnd) {
        if (m_model && m_sourceTag && m_sourceTag->lame && !m_lastKept) {
            std::vector<std::uint8_t> tail = selfContained(lastEnd, false);
            if (tail.empty()) {
                tail = mp3::makeSilentFrame(*m_model, {});
            }
            if (!tail.empty()) {
                // Its first granule overlaps the last kept one in the decoder's filter bank.
                m_levels.apply(lastEnd - 1, tail.data(), tail.size());
                addBuilt(std::move(tail), -1);
                m_tailFrame = true;
            }
        }
    }

    // Where each kept block starts in the copy (a filler frame carrying its bytes included).
    void noteBlockStarts(int count) {
        std::size_t step = 0;
        for (const EditedRange& range : m_job.stream) {
            const int from = std::max(range.from, m_firstAudio);
            if (from >= std::min(range.to, count)) {
                continue;
            }
            while (step < m_steps.size() && !(m_steps[step].from <= from && from < m_steps[step].to)) {
                ++step;
            }
            if (step < m_steps.size()) {
                m_blockStarts.emplace_back(range.block,
                                           m_steps[step].copyIndex + (from - m_steps[step].from));
            }
        }
    }

    // The copy's Xing/Info frame, its music CRC still open.
    std::vector<std::uint8_t> headerFrame() {
        if (!m_model) {
            return {};
        }
        std::vector<std::uint8_t> frame;
        mp3::XingFrame tag;
        if (m_sourceTag) {
            tag = *m_sourceTag;
            frame = m_sourceTagFrame;
            if (tag.lame) {
                tag.lame->setEncoderDelay(m_firstKept ? m_sourceTag->lame->encoderDelay() : 0);
                tag.lame->setPadding(m_lastKept ? m_sourceTag->lame->padding()
                                                : (m_tailFrame ? m_samplesPerFrame : 0));
            }
        } else {
            frame = mp3::makeSilentFrame(*m_model, {}, mp3::xingFrameNeeds(*m_model));
            if (frame.empty()) {
                return {};
            }
            if (m_leadFrame) {
                // Keeps [samplesPerFrame, end) of the decoded stream: the source's frames, untrimmed.
                // Readers take the delay and padding only from a tag that names a LAME version
                // (mutagen: 3.90 or later), the format whose fields these are.
                tag.lame = mp3::LameTag::fresh("LAME3.100");
                tag.lame->setEncoderDelay(m_samplesPerFrame - mp3::kDecoderDelay);
                tag.lame->setPadding(mp3::kDecoderDelay);
            }
            const std::int32_t length = m_model->frameLength() - static_cast<std::int32_t>(m_model->padding);
            for (const CopyStep& step : m_steps) {
                for (int k = step.from; step.built.empty() && k < step.to && !tag.vbr; ++k) {
                    tag.vbr = m_frames.length(k) != length && m_frames.length(k) != length + 1;
                }
            }
        }
        tag.vbr = tag.vbr || m_otherBitrate;
        const std::uint64_t total = frame.size() + m_audioBytes;
        const auto total32 = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, UINT32_MAX));
        // The seek table reads the offset of one frame per entry: those frames, picked as makeToc
        // picks them, stand for the whole list (a list of kTocSize offsets is read one to one).
        std::vector<std::uint32_t> offsets;
        offsets.reserve(mp3::kTocSize);
        const std::size_t count = m_audioOffsets.size();
        for (std::size_t i = 0; i < mp3::kTocSize && count > 0; ++i) {
            const std::uint64_t offset = m_audioOffsets[std::min(count - 1, i * count / mp3::kTocSize)];
            offsets.push_back(
                static_cast<std::uint32_t>(std::min<std::uint64_t>(offset + frame.size(), UINT32_MAX)));
        }
        tag.frames = static_cast<std::uint32_t>(m_result.frames);
        tag.bytes = total32;
        tag.toc = mp3::makeToc(offsets, total32);
        if (tag.lame) {
            tag.lame->setMusicLength(total32);
        }
        mp3::writeXingFrame(tag, frame.data(), frame.size());
        // lame writes the tag of a protected stream over the end of the side information, which
        // its CRC covers.
        if (const std::optional<mp3::FrameHeader> header = layerThreeHeader(frame)) {
            refreshFrameCrc(frame, *header);
        }
        m_xingTag = tag;
        return frame;
    }

    // The music CRC joined from the CRCs the walk summed over each frame, without reading a byte
    // again; only where every copied frame goes in as the source holds it.
    std::optional<std::uint16_t> musicCrcFromWalk() const {
        const std::vector<std::uint16_t>& crcs = m_frames.frameCrcs();
        if (!walkedMusicCrcAllowed.load(std::memory_order_relaxed) ||
            crcs.size() != static_cast<std::size_t>(m_frames.count()) || m_levels.changesAny()) {
            return std::nullopt;
        }
        CrcJoin join;
        std::uint16_t crc = 0;
        for (const CopyStep& step : m_steps) {
            if (!step.built.empty()) {
                crc = mp3::crc16(step.built.data(), step.built.size(), crc);
                continue;
            }
            for (int frame = step.from; frame < step.to; ++frame) {
                crc = join.append(crc, crcs[static_cast<std::size_t>(frame)], m_frames.length(frame));
            }
        }
        return crc;
    }

    std::uint16_t audioCrc() const {
        std::uint16_t crc = 0;
        std::vector<std::uint8_t> chunk(kCrcChunk);
        // The bytes as written: a level applier of its own, as the copy's runs on the other thread.
        LevelApplier levels = m_levels;
        for (const CopyStep& step : m_steps) {
            if (!step.built.empty()) {
                crc = mp3::crc16(step.built.data(), step.built.size(), crc);
                continue;
            }
            if (levels.changes(step.from, step.to)) {
                readWithLevels(
                    m_frames, step.from, step.to, levels,
                    [&crc](const std::uint8_t* bytes, std::size_t count, std::size_t, std::int64_t) {
                        crc = mp3::crc16(bytes, count, crc);
                        return true;
                    });
                continue;
            }
            // The frames' bytes only, as copyFrames takes them: anything between two frames stays out.
            for (int frame = step.from; frame < step.to;) {
                std::int64_t at = m_frames.offset(frame);
                std::int64_t end = at;
                while (frame < step.to && m_frames.offset(frame) == end) {
                    end += m_frames.length(frame);
                    ++frame;
                }
                while (at < end) {
                    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(end - at, kCrcChunk));
                    const std::size_t got = m_frames.file().readAt(at, chunk.data(), want);
                    if (got == 0) {
                        return crc;
                    }
                    crc = mp3::crc16(chunk.data(), got, crc);
                    at += static_cast<std::int64_t>(got);
                }
            }
        }
        return crc;
    }

    std::string id3v2Tag(std::uint32_t xingBytes) const {
        const std::string sourceTag = readLeadingTag(m_job.source);
        const bool chapters = m_job.options.chapters || tagHasChapters(sourceTag);
        const std::string kept = m_job.options.copyTags ? sourceTag : std::string();
        if (!chapters) {
            return editedCopyTag(kept, nullptr);
        }
        const std::vector<ChapterMark> marks = chapterMarks(xingBytes);
        return editedCopyTag(kept, &marks);
    }

    // One chapter per kept block, on the copy's decoded timeline.
    std::vector<ChapterMark> chapterMarks(std::uint32_t xingBytes) const {
        std::vector<ChapterMark> marks;
        if (m_sampleRate <= 0) {
            return marks;
        }
        // Where frame j's own samples begin on the decoded timeline: j * spf - delay, with the
        // decoder's own delay included where the copy leads with a silent frame.
        const std::int64_t delay = m_leadFrame                    ? m_samplesPerFrame
                                   : m_xingTag && m_xingTag->lame ? m_xingTag->lame->encoderDelay()
                                                                  : 0;
        const std::int64_t padding = m_xingTag && m_xingTag->lame ? m_xingTag->lame->padding() : 0;
        const std::int64_t tagDelay = m_xingTag && m_xingTag->lame ? m_xingTag->lame->encoderDelay() : 0;
        const std::int64_t samples =
            static_cast<std::int64_t>(m_result.frames) * m_samplesPerFrame - tagDelay - padding;
        const auto secondsAt = [&](int copyFrame) {
            const std::int64_t sample = std::clamp<std::int64_t>(
                static_cast<std::int64_t>(copyFrame) * m_samplesPerFrame - delay, 0, samples);
            return static_cast<double>(sample) / m_sampleRate;
        };
        const auto byteAt = [&](int copyFrame) -> std::uint32_t {
            const std::uint64_t offset = copyFrame < static_cast<int>(m_audioOffsets.size())
                                             ? m_audioOffsets[static_cast<std::size_t>(copyFrame)]
                                             : m_audioBytes;
            return static_cast<std::uint32_t>(std::min<std::uint64_t>(offset + xingBytes, 0xFFFFFFFEu));
        };
        const int audioEnd = m_result.frames - (m_tailFrame ? 1 : 0);
        for (std::size_t i = 0; i < m_blockStarts.size(); ++i) {
            const auto [block, start] = m_blockStarts[i];
            const int end = i + 1 < m_blockStarts.size() ? m_blockStarts[i + 1].second : audioEnd;
            ChapterMark mark;
            mark.startSeconds = secondsAt(start);
            mark.endSeconds = secondsAt(end);
            mark.startOffset = byteAt(start);
            mark.endOffset = byteAt(end);
            for (const BlockTag& record : m_job.blockTags) {
                if (record.block == block) {
                    mark.title = record.tag.title;
                    mark.performer = record.tag.artist;
                    break;
                }
            }
            marks.push_back(std::move(mark));
        }
        return marks;
    }

    // The source's ID3v1 tag: the 128 bytes after its last frame, when they hold one.
    std::vector<std::uint8_t> sourceId3v1() const {
        const std::int64_t size = m_frames.file().size();
        const int last = m_frames.count() - 1;
        const std::int64_t audioEnd = m_frames.offset(last) + m_frames.length(last);
        if (size < audioEnd + 128) {
            return {};
        }
        std::vector<std::uint8_t> tag(128);
        if (m_frames.file().readAt(size - 128, tag.data(), tag.size()) != tag.size() || tag[0] != 'T' ||
            tag[1] != 'A' || tag[2] != 'G') {
            return {};
        }
        return tag;
    }

    const EditedCopyJob& m_job;
    WindowLink& m_log;
    std::unique_ptr<SourceFrames> m_ownFrames; // unless the caller's walk is taken
    SourceFrames& m_frames;
    std::optional<mp3::XingFrame> m_sourceTag;
    std::vector<std::uint8_t> m_sourceTagFrame;
    std::optional<mp3::XingFrame> m_xingTag; // the copy's, as written
    std::optional<mp3::FrameHeader> m_model; // the first audio frame's header, when Layer III
    int m_firstAudio = 0;
    int m_samplesPerFrame = 1152;
    int m_sampleRate = 0;
    std::vector<CopyStep> m_steps;
    std::vector<std::uint64_t> m_audioOffsets; // of every audio frame, from the first one
    std::uint64_t m_audioBytes = 0;
    std::vector<std::pair<int, int>> m_blockStarts; // a kept block, its first audio frame in the copy
    bool m_firstKept = false;
    bool m_lastKept = false;
    bool m_tailFrame = false;
    bool m_leadFrame = false;
    bool m_otherBitrate = false;
    EditedCopyResult m_result;
    LevelApplier m_levels;
};

} // namespace

void allowWalkedMusicCrcForTesting(bool allowed) {
    walkedMusicCrcAllowed.store(allowed, std::memory_order_relaxed);
}

void setSyncStepForTesting(std::int64_t bytes) {
    syncStep.store(bytes, std::memory_order_relaxed);
}

namespace {

// The job without the frame lists, which a caller's walk may stand for.
EditedCopyJob jobWithoutFrames(const SplitDocument& doc, const std::filesystem::path& output,
                               const EditedCopyOptions& options) {
    EditedCopyJob job;
    job.source = doc.m_filePath;
    job.output = output;
    job.stream = doc.editedStream();
    job.sourceStatus = doc.m_sourceStatus;
    job.blockTags = doc.m_blockTags;
    job.options = options;
    return job;
}

} // namespace

EditedCopyJob editedCopyJob(const SplitDocument& doc, const std::filesystem::path& output,
                            const EditedCopyOptions& options) {
    EditedCopyJob job = jobWithoutFrames(doc, output, options);
    job.frameOffsets = doc.m_frameOffsets;
    job.frameLengths = doc.m_frameLengths;
    return job;
}

EditedCopyResult runEditedCopy(const EditedCopyJob& job, WindowLink& frame, SourceFrames* walked) {
    try {
        EditedCopyWriter writer(job, frame, walked);
        return writer.run();
    } catch (const std::bad_alloc&) {
        sendLog(frame, LogLevel::Error,
                "The edited copy could not be saved to " + pathText(job.output) + ": not enough memory");
        return {};
    }
}

EditedCopyResult saveEditedCopy(SplitDocument& doc, const std::filesystem::path& output,
                                const EditedCopyOptions& options, SourceFrames* walked) {
    if (walked != nullptr) {
        return runEditedCopy(jobWithoutFrames(doc, output, options), doc.m_frame, walked);
    }
    return runEditedCopy(editedCopyJob(doc, output, options), doc.m_frame);
}
