#include "output/ReplayGainTag.h"

#include "engine/LoudnessScan.h"
#include "engine/ReplayGain.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <memory>
#include <optional>

namespace {

void setUserText(TagLib::ID3v2::Tag& tag, const char* description, const std::string& value) {
    const TagLib::String key(description);
    if (TagLib::ID3v2::UserTextIdentificationFrame* old =
            TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, key)) {
        tag.removeFrame(old);
    }
    auto frame = std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(TagLib::String::Latin1);
    frame->setDescription(key);
    frame->setText(TagLib::String(value, TagLib::String::UTF8));
    tag.addFrame(frame.release()); // the tag owns its frames
}

} // namespace

bool writeReplayGainTags(const std::filesystem::path& path) {
    const mp3::LoudnessReport report = mp3::measureLoudness(path, {});
    const std::optional<mp3::ReplayGainValues> values = mp3::replayGainValues(report.file);
    if (!values) {
        return true;
    }
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) {
        return false;
    }
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    setUserText(*tag, "REPLAYGAIN_TRACK_GAIN", values->trackGain);
    setUserText(*tag, "REPLAYGAIN_TRACK_PEAK", values->trackPeak);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate);
}
