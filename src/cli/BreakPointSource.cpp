#include "cli/BreakPointSource.h"
#include "cli/NumberText.h"

#include "document/ChapterCopy.h"
#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"


namespace {

std::optional<AutoMethod> methodOf(const std::string& option) {
    if (option == "--silence") {
        return AutoMethod::Silence;
    }
    if (option == "--count") {
        return AutoMethod::EqualCount;
    }
    if (option == "--length") {
        return AutoMethod::EveryLength;
    }
    return std::nullopt;
}

} // namespace

bool BreakPointSource::take(const std::vector<std::string>& args, std::size_t& i, std::string& problem) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (isSilenceOption(arg)) {
        if (!silences) {
            silences.emplace();
            ++given;
        }
        return takeSilenceOption(args, i, *silences, problem);
    }
    if (const auto chosen = methodOf(arg)) {
        const auto number = hasValue ? parseInt(args[i + 1]) : std::nullopt;
        if (!number) {
            problem = arg + " needs an integer";
            return true;
        }
        method = chosen;
        methodValue = *number;
    } else if (const auto format = listOptionFormat(arg)) {
        if (!hasValue) {
            problem = arg + " needs a file";
            return true;
        }
        list = ListOption{*format, args[i + 1]};
    } else if (arg == "--breakpoints") {
        if (!hasValue) {
            problem = "--breakpoints needs a file";
            return true;
        }
        breakPointFile = args[i + 1];
    } else if (arg == "--chapters") {
        chapters = true;
        ++given;
        return true;
    } else {
        return false;
    }
    ++i;
    ++given;
    return true;
}

bool BreakPointSource::apply(SplitDocument& doc, const MessageQueueLink& log, std::string& problem,
                             SilenceReport* report) const {
    const std::size_t errorsBefore = log.logLines(LogLevel::Error).size();
    const auto lastError = [&] {
        const auto errors = log.logLines(LogLevel::Error);
        return errors.size() > errorsBefore ? errors.back() : std::string("the break points were refused");
    };
    if (method) {
        doc.placeAutomaticBreakPoints(*method, methodValue, false);
        if (log.logLines(LogLevel::Error).size() != errorsBefore) {
            problem = lastError();
            return false;
        }
    } else if (breakPointFile) {
        doc.loadBreakPointFile(*breakPointFile);
        if (log.logLines(LogLevel::Error).size() != errorsBefore) {
            problem = lastError();
            return false;
        }
    } else if (list) {
        if (!importBreakPoints(doc, list->path, list->format, false)) {
            problem = "the break point list could not be read";
            return false;
        }
    } else if (silences) {
        // Nothing found is no failure here: the document has said so, the caller picks the status.
        const SilenceResult result = doc.placeSilenceBreakPoints(*silences, false);
        if (report) {
            *report = result.report;
        }
    } else if (chapters) {
        if (!importFileChapters(doc, false)) {
            problem = lastError();
            return false;
        }
    }
    return true;
}
