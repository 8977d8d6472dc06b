#pragma once

#include "document/formats/ProjectFile.h"

#include <string>

class SplitDocument;

// The edit state of the loaded file as a project, keyed by the file as the load found it (its size
// and time); nothing when no file is loaded or a load runs.
std::optional<Project> projectOf(const SplitDocument& doc);

// What applying a project left out because the loaded file is not the one it was made for.
struct ProjectApplied {
    int droppedBreakPoints = 0; // past the end of the loaded file
    int droppedEdits = 0;       // for blocks the loaded file does not have
};

// Puts the project's break points, block tags, block edits and settings into the document, replacing
// its own, as one undo step named `description`. Break points past the end of the loaded file and
// edits of blocks it does not have are left out and counted. Call only when the list may change.
ProjectApplied applyProject(SplitDocument& doc, const Project& project, const std::string& description);
