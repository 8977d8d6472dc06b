#include "cli/OptionParser.h"

#include "cli/BreakPointPositions.h"
#include "cli/NumberText.h"

#include <algorithm>
#include <cmath>

namespace {

// Seconds beyond a day are no length of a silence or a piece anyone means; they would only overflow
// the frame counts.
constexpr double kMostSeconds = 86400.0;

// Whether `text` is a value `kind` accepts; `number` gets its value when it is numeric.
bool accepts(OptionValue kind, const std::string& text, std::optional<double>& number) {
    switch (kind) {
    case OptionValue::None:
    case OptionValue::Text:
        return true;
    case OptionValue::Count:
    case OptionValue::WholeSeconds:
    case OptionValue::SecondsFrom0: {
        const std::optional<int> whole = parseInt(text);
        number = whole;
        return whole && *whole >= (kind == OptionValue::SecondsFrom0 ? 0 : 1);
    }
    case OptionValue::Duration:
        number = parseNumber(text);
        return number && *number >= 0.0 && *number <= kMostSeconds;
    case OptionValue::Decibels:
        number = parseNumber(text);
        return number && *number >= -120.0 && *number <= 0.0;
    case OptionValue::CutPlace:
        return text == "start" || text == "middle" || text == "end";
    case OptionValue::ListFormat:
        return text == "cue" || text == "labels" || text == "tracklist" || text == "bps";
    case OptionValue::Positions:
        return parsePositions(text).has_value();
    case OptionValue::Seconds:
        number = parseNumber(text);
        return number && *number >= 0.0 && *number <= kMostSeconds &&
               std::abs(*number * 1000.0 - std::round(*number * 1000.0)) < 1e-6;
    case OptionValue::Jobs: {
        const std::optional<int> whole = parseInt(text);
        number = whole;
        return whole && *whole >= 1 && *whole <= 256;
    }
    }
    return false;
}

std::string expected(OptionValue kind) {
    switch (kind) {
    case OptionValue::None:
        break;
    case OptionValue::Text:
        return "a value";
    case OptionValue::Count:
        return "a whole number above 0";
    case OptionValue::WholeSeconds:
        return "a whole number of seconds above 0";
    case OptionValue::SecondsFrom0:
        return "a whole number of seconds of 0 or more";
    case OptionValue::Duration:
        return "a number of seconds from 0 to 86400";
    case OptionValue::Decibels:
        return "a level in dB from -120 to 0, such as -40";
    case OptionValue::CutPlace:
        return "one of start, middle and end";
    case OptionValue::ListFormat:
        return "one of cue, labels, tracklist and bps";
    case OptionValue::Positions:
        return "break points separated by commas: frames (1200 or 1200f) or times (62.5s, 1:02.5, "
               "1:02:03.5)";
    case OptionValue::Seconds:
        return "a number of seconds from 0 to 86400, such as 1.5 (at most three decimals)";
    case OptionValue::Jobs:
        return "a whole number from 1 to 256";
    }
    return {};
}

} // namespace

bool ParsedOptions::has(const std::string& name) const {
    return std::find(m_names.begin(), m_names.end(), name) != m_names.end();
}

std::optional<std::string> ParsedOptions::text(const std::string& name) const {
    const auto found = std::find(m_names.begin(), m_names.end(), name);
    if (found == m_names.end()) {
        return std::nullopt;
    }
    return m_values[static_cast<std::size_t>(found - m_names.begin())];
}

std::vector<std::string> ParsedOptions::texts(const std::string& name) const {
    std::vector<std::string> values;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == name) {
            values.push_back(m_values[i]);
        }
    }
    return values;
}

std::optional<double> ParsedOptions::number(const std::string& name) const {
    const std::optional<std::string> value = text(name);
    return value ? parseNumber(*value) : std::nullopt;
}

std::optional<ParsedOptions> parseOptions(const CommandArgs& args,
                                          const std::vector<OptionDefinition>& definitions,
                                          std::string& problem) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        const auto definition =
            std::find_if(definitions.begin(), definitions.end(), [&](const OptionDefinition& d) {
                return arg == d.name || (d.alias != nullptr && arg == d.alias);
            });
        if (definition == definitions.end()) {
            problem = "unknown option '" + arg + "'";
            return std::nullopt;
        }
        const std::string name = definition->name;
        if (parsed.has(name) && !definition->repeatable) {
            problem = arg + " is given more than once";
            return std::nullopt;
        }
        std::string value;
        if (definition->value != OptionValue::None) {
            std::optional<double> number;
            if (i + 1 >= args.size() || !accepts(definition->value, args[i + 1], number)) {
                problem = arg + " needs " + expected(definition->value) +
                          (i + 1 < args.size() ? ", not '" + args[i + 1] + "'" : std::string());
                return std::nullopt;
            }
            value = args[++i];
        }
        parsed.m_names.push_back(name);
        parsed.m_values.push_back(std::move(value));
    }
    return parsed;
}

const std::vector<OptionDefinition>& breakPointOptionDefinitions() {
    static const std::vector<OptionDefinition> definitions = {
        {"--at", OptionValue::Positions},
        {"--breakpoints", OptionValue::Text},
        {"--cue", OptionValue::Text},
        {"--labels", OptionValue::Text},
        {"--tracklist", OptionValue::Text},
        {"--chapters"},
        {"--silence", OptionValue::Count},
        {"--count", OptionValue::Count},
        {"--length", OptionValue::WholeSeconds},
        {"--silence-db", OptionValue::Decibels},
        {"--min-silence", OptionValue::Duration},
        {"--min-piece", OptionValue::Duration},
        {"--cut", OptionValue::CutPlace},
        {"--tracks", OptionValue::Count},
        {"--near-silence", OptionValue::Seconds},
    };
    return definitions;
}

std::vector<OptionDefinition> withBreakPointOptions(std::initializer_list<OptionDefinition> definitions) {
    std::vector<OptionDefinition> all(definitions);
    all.insert(all.end(), breakPointOptionDefinitions().begin(), breakPointOptionDefinitions().end());
    return all;
}
