#include "view/SelectedBlock.h"

#include "document/SplitDocument.h"

#include <algorithm>

int selectedBlock(const SplitDocument& doc, int playPosition) {
    const int frames = doc.frameCount();
    if (frames == 0) {
        return -1;
    }
    if (doc.selectionInList()) {
        // A break point at or past the end starts no block: it closes the last one.
        return doc.blockAt(std::clamp(doc.m_selectedBreakPoint, 0, frames - 1));
    }
    return doc.blockAt(playPosition);
}
