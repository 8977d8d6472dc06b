#include "cli/ErrorOutput.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace {

// Workers report too, so the lines seen are guarded.
std::mutex mutex;
std::set<std::string> printed;

} // namespace

std::size_t printedErrorCount() {
    const std::lock_guard<std::mutex> lock(mutex);
    return printed.size();
}

void printError(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!printed.insert(text).second) {
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "kerfline-cli: %s\n", text.c_str());
}
