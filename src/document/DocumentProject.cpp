#include "document/DocumentProject.h"

#include "document/SplitDocument.h"

#include <algorithm>

std::optional<Project> projectOf(const SplitDocument& doc) {
    if (doc.m_loadThread.isSet() || doc.frameCount() < 1 || !doc.m_sourceStatus) {
        return std::nullopt;
    }
    Project project;
    project.source.path = doc.m_filePath;
    project.source.size = doc.m_sourceStatus->size;
    project.source.modifiedNs = doc.m_sourceStatus->modifiedNs;
    project.source.frameCount = doc.frameCount();
    project.breakPoints = doc.m_breakPoints;
    project.selectedBreakPoint = doc.m_selectedBreakPoint;
    project.blockTags = doc.m_blockTags;
    project.blockEdits = doc.m_blockEdits;
    project.settings = doc.m_editSettings;
    return project;
}

ProjectApplied applyProject(SplitDocument& doc, const Project& project, const std::string& description) {
    ProjectApplied applied;
    const int frames = doc.frameCount();
    BreakPointList breakPoints;
    for (const BreakPoint value : project.breakPoints) {
        if (value >= 0 && value <= frames) {
            breakPoints.push_back(value);
        } else {
            ++applied.droppedBreakPoints;
        }
    }
    const std::vector<int> starts = blockStartsOf(breakPoints, frames);
    BlockEdits edits;
    for (const auto& [first, edit] : project.blockEdits) {
        if (std::binary_search(starts.begin(), starts.end(), first)) {
            edits[first] = edit;
        } else {
            ++applied.droppedEdits;
        }
    }
    SplitDocument::EditStep step(doc, description);
    doc.replaceBreakPoints(std::move(breakPoints));
    doc.replaceBlockTags(project.blockTags);
    doc.replaceBlockEdits(std::move(edits));
    doc.m_selectedBreakPoint = project.selectedBreakPoint;
    doc.m_editSettings = project.settings;
    doc.invalidateView();
    return applied;
}
