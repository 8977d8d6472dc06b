#include "cli/ErrorOutput.h"

#include <cstdio>
#include <mutex>
#include <set>

void printError(const std::string& text) {
    // Workers report too, so the lines seen are guarded.
    static std::mutex mutex;
    static std::set<std::string> printed;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!printed.insert(text).second) {
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "kerfline-cli: %s\n", text.c_str());
}
