#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

// Every file the break point lists and the chapter copy write goes through here, so the way files
// are replaced is decided in one place. `fill` writes the content and says whether it could.
bool writeOutputFile(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& fill);
bool writeOutputFile(const std::filesystem::path& path, const std::string& bytes);
