#pragma once

#include "cli/CliPrompts.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"
#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"

#include <filesystem>
#include <string>

// The document without windows: one message link stands for both the main frame and the view, and
// the calling thread dispatches the workers' "done" messages.
class CliDocument {
public:
    explicit CliDocument(bool echoLog);
    CliDocument(const CliDocument&) = delete;
    CliDocument& operator=(const CliDocument&) = delete;

    // Whether the load decodes the file for its levels, or reads only where the frames are.
    enum class Levels { Scan, Skip };
    // Runs the open routine and waits for the load; false with `problem` set when the open routine
    // refused or the file holds no frame.
    bool load(const std::filesystem::path& path, std::string& problem, Levels levels = Levels::Scan);
    // Waits for a posted "done" message and handles it.
    bool waitFor(unsigned message);

    MessageQueueLink link;
    CliPrompts prompts;
    SplitDocument document{link, link, prompts};

private:
    bool m_echoLog;
    TerminalProgress m_progress;
};
