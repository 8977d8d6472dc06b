#include "document/BreakPointLists.h"

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
#include <set>

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

// The boundaries Save All cuts at: distinct break points in 1..F-1, ascending.
std::vector<int> blockStarts(const BreakPointList& breakPoints, int frameCount) {
    std::set<int> starts;
    for (const BreakPoint value : breakPoints) {
        if (value >= 1 && value < frameCount) {
            starts.insert(value);
        }
    }
    return {starts.begin(), starts.end()};
}

// The Save All block that frame `frame` lies in.
int blockOf(const std::vector<int>& starts, int frame) {
    return static_cast<int>(std::upper_bound(starts.begin(), starts.end(), frame) - starts.begin());
}

// The one text all records share for a field, or nothing.
std::string sharedText(const std::vector<BlockTag>& tags, std::string ID3Info::*field) {
    std::string shared;
    for (const BlockTag& record : tags) {
        if (record.tag.*field != tags.front().tag.*field) {
            return {};
        }
        shared = record.tag.*field;
    }
    return shared;
}

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
    switch (format) {
    case ListFormat::CueSheet:
        return parseCueSheet(bytes.value());
    case ListFormat::LabelFile:
        return parseLabelFile(bytes.value());
    case ListFormat::Tracklist:
        return parseTracklist(bytes.value());
    case ListFormat::BreakPointFile:
        break;
    }
    return FormatError{0, "a break point file holds frames, not times"};
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

bool importTimedList(SplitDocument& doc, const TimedList& list, bool replace, const std::string& origin) {
    if (doc.m_saveAllThread || doc.m_blockThread) {
        doc.log(LogLevel::Error, "You can not change break points while separated blocks are saving ...");
        return false;
    }
    if (doc.m_loadThread || doc.frameCount() < 1) {
        doc.log(LogLevel::Error, "You can not import break points before you load a mp3 file!");
        return false;
    }
    const FrameTimeline timeline = documentTimeline(doc);
    struct Placed {
        int frame;
        const TimedEntry* entry;
    };
    std::vector<Placed> placed;
    for (const TimedEntry& entry : list.entries) {
        const int frame = timeline.nearestFrame(entry.seconds);
        if (frame >= doc.frameCount()) {
            const std::string where =
                entry.line > 0 ? " of line " + std::to_string(entry.line) : std::string();
            doc.log(LogLevel::Error, "The time " + trackTime(entry.seconds) + where + " of " + origin +
                                         " lies beyond the end of the mp3 file (" +
                                         trackTime(timeline.endSeconds()) + "), it has been skipped");
            continue;
        }
        placed.push_back(Placed{frame, &entry});
    }

    BreakPointList breakPoints = replace ? BreakPointList() : doc.m_breakPoints;
    for (const Placed& point : placed) {
        // Frame 0 always starts the first block; its entry only names that block.
        if (point.frame > 0) {
            breakPoints.push_back(point.frame);
        }
    }
    const bool named = !list.album.empty() || !list.artist.empty() ||
                       std::any_of(placed.begin(), placed.end(), [](const Placed& point) {
                           return !point.entry->title.empty() || !point.entry->performer.empty();
                       });
    std::vector<BlockTag> tags = replace && named ? std::vector<BlockTag>() : doc.m_blockTags;
    if (named) {
        const std::vector<int> starts = blockStarts(breakPoints, doc.frameCount());
        for (const Placed& point : placed) {
            ID3Info tag = doc.m_mainTag;
            if (!list.album.empty()) {
                tag.album = list.album;
            }
            const std::string& artist = point.entry->performer.empty() ? list.artist : point.entry->performer;
            if (!artist.empty()) {
                tag.artist = artist;
            }
            tag.title = point.entry->title;
            setBlockTag(tags, blockOf(starts, point.frame), tag);
        }
    }
    const SplitDocument::EditStep step(doc, "import break points from " + origin);
    doc.replaceBreakPoints(std::move(breakPoints));
    doc.replaceBlockTags(std::move(tags));
    doc.invalidateView();
    doc.log(LogLevel::Normal, "Break points imported from " + origin + " (" + std::to_string(placed.size()) +
                                  " of " + std::to_string(list.entries.size()) + ")");
    return true;
}

bool importBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format,
                       bool replace) {
    const Parsed<TimedList> list = readTimedList(path, format);
    if (!list) {
        const std::string text = "The " + std::string(formatName(format)) + " " + pathText(path) +
                                 " can not be read (" + list.describe() +
                                 "), no break point has been imported!";
        doc.log(LogLevel::Error, text);
        doc.m_prompts.messageBox(text, "Error", MessageIcon::Error);
        return false;
    }
    return importTimedList(doc, list.value(), replace, pathText(path));
}

std::vector<int> blockStartFrames(const SplitDocument& doc) {
    std::vector<int> starts = blockStarts(doc.m_breakPoints, doc.frameCount());
    starts.insert(starts.begin(), 0);
    return starts;
}

TimedList blockList(const SplitDocument& doc, const FrameTimeline& timeline) {
    TimedList list;
    list.album = sharedText(doc.m_blockTags, &ID3Info::album);
    list.artist = sharedText(doc.m_blockTags, &ID3Info::artist);
    if (list.album.empty()) {
        list.album = doc.m_mainTag.album;
    }
    if (list.artist.empty()) {
        list.artist = doc.m_mainTag.artist;
    }
    const std::vector<int> starts = blockStartFrames(doc);
    for (std::size_t block = 0; block < starts.size(); ++block) {
        TimedEntry entry;
        entry.seconds = timeline.frameStart(starts[block]);
        const auto record =
            std::find_if(doc.m_blockTags.begin(), doc.m_blockTags.end(),
                         [&](const BlockTag& t) { return t.block == static_cast<int>(block); });
        if (record != doc.m_blockTags.end()) {
            entry.title = record->tag.title;
            entry.performer = record->tag.artist;
        }
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::string listText(const SplitDocument& doc, ListFormat format) {
    if (format == ListFormat::BreakPointFile) {
        return breakPointBytes(doc.m_breakPoints);
    }
    const FrameTimeline timeline = documentTimeline(doc);
    const TimedList list = blockList(doc, timeline);
    switch (format) {
    case ListFormat::CueSheet:
        return writeCueSheet(list, pathText(doc.m_filePath.filename()));
    case ListFormat::LabelFile:
        return writeLabelFile(list, timeline.endSeconds());
    case ListFormat::Tracklist:
        return writeTracklist(list);
    case ListFormat::BreakPointFile:
        break;
    }
    return {};
}

bool exportBreakPoints(SplitDocument& doc, const std::filesystem::path& path, ListFormat format) {
    if (doc.m_loadThread || doc.frameCount() < 1) {
        return false;
    }
    if (!doc.m_filePath.empty() && namesSameFile(path, doc.m_filePath)) {
        doc.log(LogLevel::Error, "Break points could not be exported to file " + pathText(path) +
                                     ", it is the loaded mp3 file");
        return false;
    }
    if (const std::optional<std::string> problem =
            writeOutputFile(path, listText(doc, format), doc.m_filePath)) {
        doc.log(LogLevel::Error,
                "Break points could not be exported to file " + pathText(path) + ": " + *problem);
        return false;
    }
    doc.log(LogLevel::Normal,
            "Break points exported to file " + pathText(path) + " as " + formatName(format));
    return true;
}
