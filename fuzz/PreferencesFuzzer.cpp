// Reads arbitrary bytes as a preferences file; whatever was read must survive a save and a load, and
// its names must become paths and UTF-8 without throwing.
#include "ScratchFile.h"

#include "settings/PathText.h"
#include "settings/PreferencesFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = writeScratchFile("kerfline-fuzz-prefs", data, size);
    Preferences loaded;
    loadPreferences(path, loaded);
    if (2 * (loaded.DefaultOutputFolder.size() + loaded.LogFileName.size()) > size) {
        std::abort();
    }
    for (const std::u16string& text : {loaded.DefaultOutputFolder, loaded.LogFileName}) {
        const std::string utf8 = utf8Text(text);
        if (pathText(pathFromText(text)) != utf8 || utf8.size() > 3 * text.size()) {
            std::abort();
        }
    }
    savePreferences(path, loaded);
    Preferences again;
    loadPreferences(path, again);
    if (!(again == loaded)) {
        std::abort();
    }
    return 0;
}
