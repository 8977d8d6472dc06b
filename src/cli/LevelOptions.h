#pragma once

#include <optional>
#include <string>
#include <vector>

class SplitDocument;

// What --gain, --fade-in, --fade-out, --fade-cuts, --normalize, --allow-clipping and --replaygain ask
// of the pieces or of an edited copy.
struct LevelOptions {
    enum class Target { Peak, Loudness };
    struct Normalise {
        Target target = Target::Peak;
        double value = 0; // dBFS or LUFS
    };

    std::optional<double> gainDb;
    double fadeInSeconds = 0;
    double fadeOutSeconds = 0;
    double fadeCutsSeconds = 0;
    std::optional<Normalise> normalise;
    bool allowClipping = false;
    bool replayGain = false;

    // Whether the audio changes (ReplayGain tags alone leave it as it is).
    bool changesAudio() const;
    // Whether the frames' decoded peaks are needed: for a gain up (it may clip) or a normalise. A
    // gain down or fades alone need no decoding.
    bool needsPeaks() const { return (gainDb && *gainDb > 0) || normalise; }
};

// The help lines of the level options.
extern const char* const kLevelOptionsUsage;

// Takes one level option and its value (empty for a switch); false with `problem` for a bad value.
// Names not of a level option are not taken (false, `problem` empty).
bool takeLevelOption(const std::string& name, const std::string& value, LevelOptions& options,
                     std::string& problem);
// Whether `name` is a level option that takes a value.
bool levelOptionTakesValue(const std::string& name);

// Puts the level options into the document's block edits, over the blocks `kept` (first frames, as
// the document's block starts, in order): the gain or each block's normalise on every kept block,
// the fade in on the first, the fade out on the last. Needs the document's frame peaks for a gain or
// a normalise (and measures loudness from its file for a loudness one). Returns an exit status:
// success, or kExitBadUsage with `problem` saying by how much a gain would clip unless allowed.
int applyLevelOptions(SplitDocument& doc, const LevelOptions& options, const std::vector<int>& kept,
                      std::string& problem);
