#include "settings/PreferencesFile.h"

#include "engine/AtomicFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

constexpr std::size_t kNameBytes = 512;
constexpr std::size_t kHeaderBytes = kNameBytes + 8;

enum RecordType : std::uint32_t { kBlock = 0, kText = 1, kInteger = 2 };

std::uint32_t readU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void appendU32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

// UTF-16LE text up to its first NUL (or the end of the bytes).
std::u16string textUpToNul(const unsigned char* data, std::size_t length) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return text;
}

void copyInto(void* field, std::size_t fieldSize, const std::vector<unsigned char>& data) {
    std::memcpy(field, data.data(), std::min(fieldSize, data.size()));
}

void copyBool(bool& field, const std::vector<unsigned char>& data) {
    field = data.at(0) != 0;
}

void appendRecord(std::vector<unsigned char>& out, const std::u16string& name, RecordType type,
                  const unsigned char* data, std::size_t length) {
    const std::size_t start = out.size();
    out.resize(start + kNameBytes, 0);
    for (std::size_t i = 0; i < name.size() && 2 * i + 1 < kNameBytes - 2; ++i) {
        out[start + 2 * i] = static_cast<unsigned char>(name[i] & 0xFF);
        out[start + 2 * i + 1] = static_cast<unsigned char>(name[i] >> 8);
    }
    appendU32(out, type);
    appendU32(out, static_cast<std::uint32_t>(length));
    out.insert(out.end(), data, data + length);
}

void appendText(std::vector<unsigned char>& out, const std::u16string& name, const std::u16string& text) {
    std::vector<unsigned char> data;
    for (const char16_t c : text) {
        data.push_back(static_cast<unsigned char>(c & 0xFF));
        data.push_back(static_cast<unsigned char>(c >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    appendRecord(out, name, kText, data.data(), data.size());
}

void appendBool(std::vector<unsigned char>& out, const std::u16string& name, bool value) {
    const unsigned char byte = value ? 1 : 0;
    appendRecord(out, name, kBlock, &byte, 1);
}

} // namespace

std::filesystem::path preferencesPath() {
    std::filesystem::path base;
#ifdef _WIN32
    if (const wchar_t* appData = _wgetenv(L"APPDATA")) {
        base = appData;
    }
#else
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome) {
        base = dataHome;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
#ifdef __APPLE__
        base = std::filesystem::path(home) / "Library" / "Application Support";
#else
        base = std::filesystem::path(home) / ".local" / "share";
#endif
    }
#endif
    if (base.empty()) {
        base = std::filesystem::temp_directory_path();
    }
    const std::filesystem::path folder = base / "Kerfline";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder / "preferences.dat";
}

void loadPreferences(const std::filesystem::path& path, Preferences& preferences) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return;
    }
    const std::streamoff fileSize = in.tellg();
    in.seekg(0);
    if (fileSize <= 0 || !in) {
        return;
    }
    unsigned char header[kHeaderBytes];
    std::vector<unsigned char> data;
    for (;;) {
        in.read(reinterpret_cast<char*>(header), kHeaderBytes);
        if (in.gcount() != static_cast<std::streamsize>(kHeaderBytes)) {
            return;
        }
        const std::uint32_t length = readU32(header + kNameBytes + 4);
        // Never hold more than the file still has, whatever the length says: a record cut short by
        // the end of the file keeps the bytes it has, and reading stops after it.
        const std::streamoff remaining = fileSize - static_cast<std::streamoff>(in.tellg());
        const auto toRead = static_cast<std::size_t>(
            std::min<std::streamoff>(length, std::max<std::streamoff>(remaining, 0)));
        if (toRead == 0) {
            return;
        }
        data.resize(toRead);
        in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(toRead));
        if (in.gcount() == 0) {
            return;
        }
        data.resize(static_cast<std::size_t>(in.gcount()));
        const std::u16string name = textUpToNul(header, kNameBytes);
        if (name == u"DefaultOutputFolder") {
            preferences.DefaultOutputFolder = textUpToNul(data.data(), data.size());
        } else if (name == u"LogFileName") {
            preferences.LogFileName = textUpToNul(data.data(), data.size());
        } else if (name == u"UseDefaultFolder") {
            copyBool(preferences.UseDefaultFolder, data);
        } else if (name == u"IsSaveLog") {
            copyBool(preferences.IsSaveLog, data);
        } else if (name == u"DrawParameters") {
            copyInto(preferences.DrawParameters.data(), preferences.DrawParameters.size(), data);
        } else if (name == u"OverlapSecs") {
            unsigned char value[4];
            for (int i = 0; i < 4; ++i) {
                value[i] = static_cast<unsigned char>(preferences.OverlapSecs >> (8 * i));
            }
            std::memcpy(value, data.data(), std::min<std::size_t>(4, data.size()));
            preferences.OverlapSecs = static_cast<std::int32_t>(readU32(value));
        } else if (name == u"Overlap") {
            copyBool(preferences.Overlap, data);
        }
    }
}

bool savePreferences(const std::filesystem::path& path, const Preferences& preferences) {
    std::vector<unsigned char> out;
    appendText(out, u"DefaultOutputFolder", preferences.DefaultOutputFolder);
    appendText(out, u"LogFileName", preferences.LogFileName);
    appendBool(out, u"UseDefaultFolder", preferences.UseDefaultFolder);
    appendBool(out, u"IsSaveLog", preferences.IsSaveLog);
    appendRecord(out, u"DrawParameters", kBlock, preferences.DrawParameters.data(),
                 preferences.DrawParameters.size());
    unsigned char overlapSecs[4];
    for (int i = 0; i < 4; ++i) {
        overlapSecs[i] =
            static_cast<unsigned char>(static_cast<std::uint32_t>(preferences.OverlapSecs) >> (8 * i));
    }
    appendRecord(out, u"OverlapSecs", kInteger, overlapSecs, 4);
    appendBool(out, u"Overlap", preferences.Overlap);

    // Written aside and renamed over the old file: a full disk or a crash mid-write leaves the
    // previous settings, not a truncated file that would read as the defaults.
    AtomicFile file(path);
    file.write(out.data(), out.size());
    return file.commit();
}
