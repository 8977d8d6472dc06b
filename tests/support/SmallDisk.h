#pragma once

#include <filesystem>
#include <string>

#include <sys/mount.h>
#include <unistd.h>

namespace testing_support {

// A file system of `bytes` mounted at `folder` for one test (root only), gone with the object.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, std::size_t bytes) : m_folder(folder) {
        std::filesystem::create_directories(folder);
        const std::string options = "size=" + std::to_string(bytes);
        m_mounted =
            ::geteuid() == 0 && ::mount("kerfline-test", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (m_mounted) {
            ::umount2(m_folder.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
};

} // namespace testing_support
