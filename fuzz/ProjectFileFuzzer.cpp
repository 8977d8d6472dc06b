// Reads arbitrary bytes as a project file. Nothing may crash, and a project that is accepted must
// write text that reads back as the same project.
#include "document/formats/ProjectFile.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ProjectParse parse = parseProject(text);
    if (parse.project.has_value() == !parse.error.empty()) {
        std::abort();
    }
    if (!parse.project) {
        return 0;
    }
    const ProjectParse again = parseProject(projectText(*parse.project));
    if (!again.project || *again.project != *parse.project) {
        std::abort();
    }
    return 0;
}
