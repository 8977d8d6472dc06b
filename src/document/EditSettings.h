#pragma once

// How the edited copy of this file is made, kept with its edits (in a project and in the remembered
// state), so reopening the work writes the same copy.
struct EditSettings {
    bool copyTags = true;  // the source's tags go into the edited copy
    bool chapters = false; // one chapter per kept block even when the source has none
    bool operator==(const EditSettings&) const = default;
};
