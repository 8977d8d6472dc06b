#pragma once

#include "cli/Commands.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// What an option takes after it, and what a value must be for the option to accept it. Every
// command checks its options through this one parser, so the same option refuses the same values
// everywhere, and a bad value is always bad usage.
enum class OptionValue {
    None,         // a switch
    Text,         // any text: a file, a folder, a template
    Count,        // a whole number above 0
    WholeSeconds, // a whole number of seconds above 0
    SecondsFrom0, // a whole number of seconds, 0 or more
    Duration,     // a number of seconds from 0 to 86400
    Decibels,     // a level in dB from -120 to 0
    CutPlace,     // start, middle or end
    ListFormat,   // cue, labels, tracklist or bps
    Positions,    // break point positions separated by commas (see BreakPointPositions.h)
    Seconds,      // a number of seconds from 0 to 86400, to the millisecond
    Jobs,         // a whole number from 1 to 256
};

struct OptionDefinition {
    const char* name;
    OptionValue value = OptionValue::None;
    const char* alias = nullptr; // a short form such as "-o"
    bool repeatable = false;     // may be given more than once, each value kept
};

// The options of a command line as given, after checking.
class ParsedOptions {
public:
    // Whether `name` was given.
    bool has(const std::string& name) const;
    // The value given with `name`, as typed.
    std::optional<std::string> text(const std::string& name) const;
    // Every value given with a repeatable option, in the order typed.
    std::vector<std::string> texts(const std::string& name) const;
    // The value of a numeric option, already checked.
    std::optional<double> number(const std::string& name) const;
    // The options given, by their names, in the order typed.
    const std::vector<std::string>& names() const { return m_names; }

    std::vector<std::string> operands; // the arguments that are no option: files, folders

private:
    friend std::optional<ParsedOptions> parseOptions(const CommandArgs&, const std::vector<OptionDefinition>&,
                                                     std::string&);
    std::vector<std::string> m_names;
    std::vector<std::string> m_values;
};

// Reads `args` against the options a command takes. Empty, with `problem` naming the fault, for an
// unknown option, a missing or bad value, or an option given twice. A lone "-" is an operand.
std::optional<ParsedOptions>
parseOptions(const CommandArgs& args, const std::vector<OptionDefinition>& definitions, std::string& problem);

// The options of the break point sources and the silence finder, which every command that takes
// break points accepts.
const std::vector<OptionDefinition>& breakPointOptionDefinitions();

// `definitions` followed by the break point sources' options.
std::vector<OptionDefinition> withBreakPointOptions(std::initializer_list<OptionDefinition> definitions);
