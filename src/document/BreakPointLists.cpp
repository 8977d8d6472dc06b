#include "document/BreakPointLists.h"

#include "document/BlockEdits.h"
#include "document/BlockTags.h"
#include "document/OutputFile.h"
#include "document/SameFile.h"
#include "document/SplitDocument.h"
#include "document/formats/CueSheet.h"
#include "document/formats/LabelFile.h"
#include "document/formats/Tracklist.h"
#include "settings/PathText.h"

#include "engine/FrameReader.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <system_error>

namespace {

const char* formatName(ListFormat format) {
    switch (format) {
    case ListFormat::CueSheet:
        return "CUE sheet";
    case ListFormat::LabelFile:
        return "label file";
    case ListFormat::Tracklist:
        return "tracklist";
    case ListFormat::BreakPointFile:
        return "break point file";
    }
    return "list";
}

// The frames that start a block besides frame 0.
std::vector<int> blockStarts(const BreakPointList& breakPoints, int frameCount) {
    return cutFramesOf(breakPoints, frameCount);
}

// The Save All block that frame `frame` lies in.
int blockOf(const std::vector<int>& starts, int frame) {
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), frame) - starts.begin());
}

// The one text all records of blocks share for a field, or nothing.
std::string sharedText(const std::vector<BlockTag>& tags, std::string ID3Info::*field) {
    const BlockTag* first = nullptr;
    for (const BlockTag& record : tags) {
        if (record.block == kWholeListRecord) {
            continue;
        }
        if (first == nullptr) {
            first = &record;
        } else if (record.tag.*field != first->tag.*field) {
            return {};
        }
    }
    return first == nullptr ? std::string() : first->tag.*field;
}

// What the list as a whole is called: the names a list gave the whole file, else the names all
// blocks share, else the loaded file's.
std::string wholeListText(const std::vector<BlockTag>& tags, const ID3Info& mainTag,
                          std::string ID3Info::*field) {
    if (const auto names = findBlockTag(tags, kWholeListRecord); names && !(*names.*field).empty()) {
        return *names.*field;
    }
    std::string shared = sharedText(tags, field);
    return shared.empty() ? mainTag.*field : shared;
}

// How many of the times past the end one summary line names.
constexpr std::size_t kNamedPastEnd = 5;

// Takes the entries of a list as they are read and keeps one per frame: entries past the end are
// only counted, and of several entries on one frame the last one's names count. What it keeps is
// bounded by the frame count, whatever the size of the list.
class EntryPlacer {
public:
    EntryPlacer(const FrameTimeline& timeline, int frameCount)
        : m_timeline(timeline), m_frameCount(frameCount) {}

    void place(TimedEntry&& entry) {
        ++m_received;
        const int frame = m_timeline.nearestFrame(entry.seconds);
        if (frame >= m_frameCount) {
            if (m_pastEnd.size() < kListedPastEnd) {
                m_pastEnd.push_back(PastEnd{entry.seconds, entry.line});
            }
            ++m_pastEndCount;
            return;
        }
        m_byFrame.insert_or_assign(frame, std::move(entry));
    }

    EntrySink sink() {
        return [this](TimedEntry&& entry) { place(std::move(entry)); };
    }

    const std::map<int, TimedEntry>& byFrame() const { return m_byFrame; }
    std::size_t received() const { return m_received; }
    std::size_t pastEndCount() const { return m_pastEndCount; }

    // One line for all the times past the end, naming the first few; empty when there are none.
    std::string pastEndSummary(const std::string& origin) const {
        if (m_pastEndCount == 0) {
            return {};
        }
        const auto where = [](const PastEnd& time) {
            return trackTime(time.seconds) + (time.line > 0 ? " of line " + std::to_string(time.line) : "");
        };
        const std::string end = trackTime(m_timeline.endSeconds());
        if (m_pastEndCount == 1) {
            return "The time " + where(m_pastEnd.front()) + " of " + origin +
                   " lies beyond the end of the mp3 file (" + end + "), it has been skipped";
        }
        std::string text = std::to_string(m_pastEndCount) + " times of " + origin +
                           " lie beyond the end of the mp3 file (" + end + ") and have been skipped: ";
        const std::size_t named = std::min(m_pastEnd.size(), kNamedPastEnd);
        for (std::size_t i = 0; i < named; ++i) {
            text += (i > 0 ? ", " : "") + where(m_pastEnd[i]);
        }
        if (m_pastEndCount > named) {
            text += " and " + std::to_string(m_pastEndCount - named) + " more";
        }
        return text;
    }

    // The question's view of what was read.
    ImportCheck check(std::size_t existing) const {
        ImportCheck result;
        result.entries = m_received;
        result.pastEnd = m_pastEndCount;
        result.existing = existing;
        for (const PastEnd& time : m_pastEnd) {
            result.skipped.push_back(
                (time.line > 0 ? "line " + std::to_string(time.line) + ": " : std::string()) +
                trackTime(time.seconds));
        }
        return result;
    }

private:
    struct PastEnd {
        double seconds;
        int line;
    };
    FrameTimeline m_timeline;
    int m_frameCount;
    std::map<int, TimedEntry> m_byFrame;
    std::vector<PastEnd> m_pastEnd;
    std::size_t m_pastEndCount = 0;
    std::size_t m_received = 0;
};

std::string breakPointBytes(const BreakPointList& breakPoints) {
    std::string bytes;
    bytes.reserve(breakPoints.size() * 4);
    for (const BreakPoint value : breakPoints) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<char>((bits >> shift) & 0xFF));
        }
    }
    return bytes;
}

Parsed<TimedList> parseList(std::string_view bytes, ListFormat format, const EntrySink& sink) {
    switch (format) {
    case ListFormat::CueSheet:
        return parseCueSheet(bytes, sink);
    case ListFormat::LabelFile:
        return parseLabelFile(bytes, sink);
    case ListFormat::Tracklist:
        return parseTracklist(bytes, sink);
    case ListFormat::BreakPointFile:
        break;
    }
    return FormatError{0, "a break point file holds frames, not times"};
}

} // namespace

Parsed<std::string> readListFile(const std::filesystem::path& path, std::size_t limit) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        return FormatError{0, "the file does not exist"};
    }
    // A pipe or device would block the reader or never end; a folder has no text.
    if (!std::filesystem::is_regular_file(status)) {
        return FormatError{0, "it is not a regular file"};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return FormatError{0, "the file can not be opened"};
    }
    std::string bytes(limit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        return FormatError{0, "the file can not be read"};
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > limit) {
        return FormatError{0, "the file is larger than " + std::to_string(limit / (1024 * 1024)) +
                                  " MB, which is no list of break points"};
    }
    return bytes;
}

Parsed<TimedList> readTimedList(const std::filesystem::path& path, ListFormat format) {
    const Parsed<std::string> bytes = readListFile(path);
    if (!bytes) {
        return bytes.error();
    }
    return collectEntries([&](const EntrySink& sink) { return parseList(bytes.value(), format, sink); });
}

FrameTimeline documentTimeline(const SplitDocument& doc) {
    FrameTimeline timeline;
    timeline.frameCount = doc.frameCount();
    if (doc.m_filePath.empty() || doc.frameCount() < 1) {
        return timeline;
    }
    const mp3::FrameReader reader(doc.m_filePath);
    if (reader.atEnd()) {
        return timeline;
    }
    return makeTimeline(reader.header(), reader.frameData(), static_cast<std::size_t>(reader.frameLength()),
                        doc.frameCount());
}

namespace {

void reportUnreadable(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                      const Parsed<TimedList>& list) {
    const std::string text = "The " + std::string(formatName(format)) + " " + pathText(path) +
                             " can not be read (" + list.describe() + "), no break point has been imported!";
    doc.log(LogLevel::Error, text);
    doc.m_prompts.messageBox(text, "Error", MessageIcon::Error);
}

// Refuses an import while it could not change the list; true when it may go on.
bool mayImport(SplitDocument& doc) {
    if (doc.m_saveAllThread || doc.m_blockThread) {
        doc.log(LogLevel::Error, "You can not change break points while separated blocks are saving ...");
        return false;
    }
    if (doc.m_loadThread || doc.frameCount() < 1) {
        doc.log(LogLevel::Error, "You can not import break points before you load a mp3 file!");
        return false;
    }
    return true;
}

// Puts the entries `placed` kept into the document, with the names `list` gives the whole file.
void applyPlaced(SplitDocument& doc, const TimedList& list, const EntryPlacer& placed, bool replace,
                 const std::string& origin) {
    if (const std::string skipped = placed.pastEndSummary(origin); !skipped.empty()) {
        doc.log(LogLevel::Error, skipped);
    }
    BreakPointList breakPoints = replace ? BreakPointList() : doc.m_breakPoints;
    std::vector<BreakPoint> present(breakPoints);
    std::sort(present.begin(), present.end());
    for (const auto& [frame, entry] : placed.byFrame()) {
        // Frame 0 always starts the first block; its entry only names that block. A frame the list
        // holds already is not added twice.
        if (frame > 0 && !std::binary_search(present.begin(), present.end(), frame)) {
            breakPoints.push_back(frame);
        }
    }
    const bool named = !list.album.empty() || !list.artist.empty() ||
                       std::any_of(placed.byFrame().begin(), placed.byFrame().end(), [](const auto& point) {
                           return !point.second.title.empty() || !point.second.performer.empty();
                       });
    std::vector<BlockTag> tags = replace && named ? std::vector<BlockTag>() : doc.m_blockTags;
    if (named) {
        const std::vector<int> starts = blockStarts(breakPoints, doc.frameCount());
        std::vector<BlockTag> updates;
        updates.reserve(placed.byFrame().size() + 1);
        for (const auto& [frame, entry] : placed.byFrame()) {
            ID3Info tag = doc.m_mainTag;
            if (!list.album.empty()) {
                tag.album = list.album;
            }
            const std::string& artist = entry.performer.empty() ? list.artist : entry.performer;
            if (!artist.empty()) {
                tag.artist = artist;
            }
            tag.title = entry.title;
            updates.push_back(BlockTag{blockOf(starts, frame), std::move(tag)});
        }
        if (!list.album.empty() || !list.artist.empty()) {
            ID3Info whole;
            whole.album = list.album;
            whole.artist = list.artist;
            updates.push_back(BlockTag{kWholeListRecord, std::move(whole)});
        }
        setBlockTags(tags, std::move(updates));
    }
    const SplitDocument::EditStep step(doc, "import break points from " + origin);
    doc.replaceBreakPoints(std::move(breakPoints));
    doc.replaceBlockTags(std::move(tags));
    doc.invalidateView();
    doc.log(LogLevel::Normal, "Break points imported from " + origin + " (" +
                                  std::to_string(placed.received() - placed.pastEndCount()) + " of " +
                                  std::to_string(placed.received()) + ")");
}

} // namespace

bool importTimedList(SplitDocument& doc, const TimedList& list, bool replace, const std::string& origin) {
    if (!mayImport(doc)) {
        return false;
    }
    EntryPlacer placer(documentTimeline(doc), doc.frameCount());
    for (const TimedEntry& entry : list.entries) {
        placer.place(TimedEntry(entry));
    }
    applyPlaced(doc, list, placer, replace, origin);
    return true;
}

bool importBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                       bool replace) {
    if (!mayImport(doc)) {
        return false;
    }
    const Parsed<std::string> bytes = readListFile(path);
    EntryPlacer placer(documentTimeline(doc), doc.frameCount());
    const Parsed<TimedList> list = bytes ? parseList(bytes.value(), format, placer.sink()) : bytes.error();
    if (!list) {
        reportUnreadable(doc, path, format, list);
        return false;
    }
    applyPlaced(doc, list.value(), placer, replace, pathText(path));
    return true;
}

namespace {

// What an export reads of the document: a copy lets the export run on its thread beside edits.
struct ListSource {
    BreakPointList breakPoints;
    std::vector<BlockTag> blockTags;
    ID3Info mainTag;
    std::filesystem::path filePath;
    FrameTimeline timeline;
};

TimedList blockListOf(const BreakPointList& breakPoints, const std::vector<BlockTag>& tags,
                      const ID3Info& mainTag, const FrameTimeline& timeline) {
    TimedList list;
    list.album = wholeListText(tags, mainTag, &ID3Info::album);
    list.artist = wholeListText(tags, mainTag, &ID3Info::artist);
    std::vector<int> starts = blockStarts(breakPoints, timeline.frameCount);
    starts.insert(starts.begin(), 0);
    list.entries.reserve(starts.size());
    // Records and blocks both ascend, so one walk pairs them.
    auto record = std::lower_bound(tags.begin(), tags.end(), 0,
                                   [](const BlockTag& tag, int block) { return tag.block < block; });
    for (std::size_t block = 0; block < starts.size(); ++block) {
        TimedEntry entry;
        entry.seconds = timeline.frameStart(starts[block]);
        while (record != tags.end() && record->block < static_cast<int>(block)) {
            ++record;
        }
        if (record != tags.end() && record->block == static_cast<int>(block)) {
            entry.title = record->tag.title;
            entry.performer = record->tag.artist;
        }
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::string listTextOf(const ListSource& source, ListFormat format) {
    if (format == ListFormat::BreakPointFile) {
        return breakPointBytes(source.breakPoints);
    }
    const TimedList list = blockListOf(source.breakPoints, source.blockTags, source.mainTag, source.timeline);
    switch (format) {
    case ListFormat::CueSheet:
        return writeCueSheet(list, pathText(source.filePath.filename()));
    case ListFormat::LabelFile:
        return writeLabelFile(list, source.timeline.endSeconds());
    case ListFormat::Tracklist:
        return writeTracklist(list);
    case ListFormat::BreakPointFile:
        break;
    }
    return {};
}

// Refuses an export that may not run now or would replace the loaded file; true when it may go on.
bool mayExport(SplitDocument& doc, const std::filesystem::path& path) {
    if (doc.m_loadThread || doc.frameCount() < 1) {
        return false;
    }
    if (!doc.m_filePath.empty() && namesSameFile(path, doc.m_filePath)) {
        doc.log(LogLevel::Error, "Break points could not be exported to file " + pathText(path) +
                                     ", it is the loaded mp3 file");
        return false;
    }
    return true;
}

// `problem` is why the file could not be written, or nothing when it was.
void logExport(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
               const std::optional<std::string>& problem) {
    if (problem) {
        doc.log(LogLevel::Error,
                "Break points could not be exported to file " + pathText(path) + ": " + *problem);
        return;
    }
    doc.log(LogLevel::Normal,
            "Break points exported to file " + pathText(path) + " as " + formatName(format));
}

} // namespace

// What the list thread works on and hands back; the GUI thread reads it only after the thread ended.
struct ListJob {
    bool import = true;
    std::filesystem::path path;
    ListFormat format = ListFormat::CueSheet;
    bool replace = true;
    // An import that asks once the file is read, and may take the format from the text.
    ImportDecision decide;
    bool recognise = false;
    // An import: the entries placed on the frames and the names of the whole list, or the error.
    std::optional<EntryPlacer> placer;
    Parsed<TimedList> list{FormatError{}};
    // An export: what it writes from, and why the file could not be written, if it could not.
    ListSource source;
    std::optional<std::string> writeProblem;
};

std::vector<int> blockStartFrames(const SplitDocument& doc) {
    std::vector<int> starts = blockStarts(doc.m_breakPoints, doc.frameCount());
    starts.insert(starts.begin(), 0);
    return starts;
}

TimedList blockList(const SplitDocument& doc, const FrameTimeline& timeline) {
    FrameTimeline blocks = timeline;
    blocks.frameCount = doc.frameCount();
    return blockListOf(doc.m_breakPoints, doc.m_blockTags, doc.m_mainTag, blocks);
}

std::string listText(const SplitDocument& doc, ListFormat format) {
    return listTextOf(
        ListSource{doc.m_breakPoints, doc.m_blockTags, doc.m_mainTag, doc.m_filePath, documentTimeline(doc)},
        format);
}

bool exportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format) {
    if (!mayExport(doc, path)) {
        return false;
    }
    const std::optional<std::string> problem = writeOutputFile(path, listText(doc, format), doc.m_filePath);
    logExport(doc, path, format, problem);
    return !problem;
}

namespace {

// One long job at a time: the list thread waits for the others and they for it.
bool refuseWhileBusy(SplitDocument& doc) {
    if (!doc.isBusy()) {
        return false;
    }
    doc.log(LogLevel::Error, "Break points can not be imported or exported while another job runs");
    return true;
}

// Starts `body` on the list thread; a thread that cannot start is reported and changes nothing.
bool startListThread(SplitDocument& doc, std::shared_ptr<ListJob> job, void (*body)(ListJob&)) {
    doc.m_listJob = job;
    try {
        doc.m_listThread.start([job, body, &view = doc.m_view] {
            body(*job);
            view.post(UM_LIST_DONE, 0, 0);
        });
    } catch (const std::system_error&) {
        doc.m_listThread.clear();
        doc.m_listJob.reset();
        doc.log(LogLevel::Error, "could not start a worker thread");
        return false;
    }
    return true;
}

} // namespace

bool startImportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                            bool replace) {
    if (refuseWhileBusy(doc) || !mayImport(doc)) {
        return false;
    }
    auto job = std::make_shared<ListJob>();
    job->path = path;
    job->format = format;
    job->replace = replace;
    job->placer.emplace(documentTimeline(doc), doc.frameCount());
    return startListThread(doc, std::move(job), [](ListJob& work) {
        const Parsed<std::string> bytes = readListFile(work.path);
        work.list = bytes ? parseList(bytes.value(), work.format, work.placer->sink()) : bytes.error();
    });
}

bool startExportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format) {
    if (refuseWhileBusy(doc) || !mayExport(doc, path)) {
        return false;
    }
    auto job = std::make_shared<ListJob>();
    job->import = false;
    job->path = path;
    job->format = format;
    // The copies are linear; the text and the file, the long part, are made on the thread.
    job->source =
        ListSource{doc.m_breakPoints, doc.m_blockTags, doc.m_mainTag, doc.m_filePath, documentTimeline(doc)};
    return startListThread(doc, std::move(job), [](ListJob& work) {
        work.writeProblem =
            writeOutputFile(work.path, listTextOf(work.source, work.format), work.source.filePath);
    });
}

void finishListJob(SplitDocument& doc) {
    doc.m_listThread.clear();
    const std::shared_ptr<ListJob> job = std::move(doc.m_listJob);
    if (!job) {
        return;
    }
    if (!job->import) {
        logExport(doc, job->path, job->format, job->writeProblem);
        return;
    }
    if (!job->list) {
        reportUnreadable(doc, job->path, job->format, job->list);
        return;
    }
    if (job->decide && mayImport(doc)) {
        const ImportChoice choice = job->decide(job->placer->check(doc.m_breakPoints.size()));
        if (choice == ImportChoice::Cancel) {
            return;
        }
        job->replace = choice == ImportChoice::Replace;
    }
    if (mayImport(doc)) {
        applyPlaced(doc, job->list.value(), *job->placer, job->replace, pathText(job->path));
    }
}

ImportCheck checkTimedList(const SplitDocument& doc, const TimedList& list) {
    EntryPlacer placer(documentTimeline(doc), doc.frameCount());
    for (const TimedEntry& entry : list.entries) {
        placer.place(TimedEntry(entry));
    }
    return placer.check(doc.m_breakPoints.size());
}

bool startImportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                            ImportDecision decide, bool recognise) {
    if (refuseWhileBusy(doc) || !mayImport(doc)) {
        return false;
    }
    auto job = std::make_shared<ListJob>();
    job->path = path;
    job->format = format;
    job->decide = std::move(decide);
    job->recognise = recognise;
    job->placer.emplace(documentTimeline(doc), doc.frameCount());
    return startListThread(doc, std::move(job), [](ListJob& work) {
        const Parsed<std::string> bytes = readListFile(work.path);
        if (bytes && work.recognise) {
            work.format = recogniseListFormat(bytes.value(), work.format);
        }
        work.list = bytes ? parseList(bytes.value(), work.format, work.placer->sink()) : bytes.error();
    });
}
