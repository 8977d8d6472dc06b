#include "cli/BreakPointSource.h"
#include "cli/NumberText.h"

#include <optional>

namespace {

// Seconds beyond a day are no length of a silence or a piece anyone means; they would only overflow
// the frame counts.
constexpr double kMostSeconds = 86400.0;

} // namespace

bool isSilenceOption(const std::string& arg) {
    return arg == "--silence-db" || arg == "--min-silence" || arg == "--cut" || arg == "--min-piece" ||
           arg == "--tracks";
}

const char* silenceCutName(SilenceCut cut) {
    switch (cut) {
    case SilenceCut::Start:
        return "start";
    case SilenceCut::End:
        return "end";
    case SilenceCut::Middle:
        break;
    }
    return "middle";
}

bool takeSilenceOption(const std::vector<std::string>& args, std::size_t& i, SilenceSettings& settings,
                       std::string& problem) {
    const std::string& arg = args[i];
    if (!isSilenceOption(arg)) {
        return false;
    }
    const std::optional<std::string> text = i + 1 < args.size() ? std::optional(args[i + 1]) : std::nullopt;
    const std::optional<double> parsed = text ? parseNumber(*text) : std::nullopt;
    const bool isNumber = parsed.has_value();
    const double number = parsed.value_or(0.0);
    if (arg == "--silence-db") {
        if (!isNumber || number > 0.0 || number < -120.0) {
            problem = "--silence-db needs a level in dB from -120 to 0, such as -40";
            return true;
        }
        settings.thresholdDb = number;
    } else if (arg == "--min-silence" || arg == "--min-piece") {
        if (!isNumber || number < 0.0 || number > kMostSeconds) {
            problem = arg + " needs a number of seconds from 0 to 86400";
            return true;
        }
        (arg == "--min-silence" ? settings.minSilenceSeconds : settings.minPieceSeconds) = number;
    } else if (arg == "--cut") {
        if (text == "start") {
            settings.cut = SilenceCut::Start;
        } else if (text == "middle") {
            settings.cut = SilenceCut::Middle;
        } else if (text == "end") {
            settings.cut = SilenceCut::End;
        } else {
            problem = "--cut needs one of start, middle and end";
            return true;
        }
    } else {
        const auto tracks = text ? parseInt(*text) : std::nullopt;
        if (!tracks || *tracks < 1) {
            problem = "--tracks needs a whole number above 0";
            return true;
        }
        settings.tracks = *tracks;
    }
    ++i;
    return true;
}
