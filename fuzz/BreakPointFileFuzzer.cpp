// Reads arbitrary bytes as a break point file. Every value taken must be a frame of the file, none
// may be lost or invented, and what is saved must load back as the same list.
#include "ScratchFile.h"

#include "document/MessageQueueLink.h"
#include "document/SplitDocument.h"

#include <cstdlib>
#include <optional>

namespace {

// No boxes and no choosers: the loader must not need them.
class NoPrompts final : public UserPrompts {
public:
    void messageBox(const std::string&, const std::string&, MessageIcon) override { std::abort(); }
    std::optional<std::filesystem::path> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseSaveFile(const std::string&, const std::string&,
                                                        const std::string&) override {
        return std::nullopt;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes choose the document's frame count, the rest is the file.
    const int frameCount = data[0] | (data[1] << 8);
    const auto path = writeScratchFile("kerfline-fuzz-bps", data + 2, size - 2);
    MessageQueueLink link;
    NoPrompts prompts;
    SplitDocument doc(link, link, prompts);
    doc.m_frameLevels.assign(static_cast<std::size_t>(frameCount), 0);

    doc.loadBreakPointFile(path);
    const BreakPointList loaded = doc.m_breakPoints;
    std::size_t expected = 0;
    for (std::size_t at = 2; at + 4 <= size; at += 4) {
        const std::uint32_t bits = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                                   (static_cast<std::uint32_t>(data[at + 3]) << 24);
        if (bits < static_cast<std::uint32_t>(frameCount)) {
            if (expected >= loaded.size() || loaded[expected] != static_cast<BreakPoint>(bits)) {
                std::abort();
            }
            ++expected;
        }
    }
    if (expected != loaded.size()) {
        std::abort();
    }

    const auto saved = path.string() + ".bps";
    doc.saveBreakPointFile(saved);
    doc.m_breakPoints.clear();
    doc.loadBreakPointFile(saved);
    if (doc.m_breakPoints != loaded) {
        std::abort();
    }
    std::filesystem::remove(saved);
    return 0;
}
