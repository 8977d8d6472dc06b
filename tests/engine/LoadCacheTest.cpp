#include "engine/LoadCache.h"
#include "engine/FileScan.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using testing_support::copyOver;
using testing_support::fixture;
using testing_support::modifiedTime;
using testing_support::scratchDir;
using testing_support::setModifiedTime;
namespace fs = std::filesystem;

std::vector<char> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void expectSameScan(const mp3::LevelScan& cached, const mp3::LevelScan& fresh) {
    EXPECT_EQ(cached.levels, fresh.levels);
    EXPECT_EQ(cached.rawLevels, fresh.rawLevels);
    EXPECT_EQ(cached.rmsDb, fresh.rmsDb);
    EXPECT_EQ(cached.peaks, fresh.peaks);
    EXPECT_EQ(cached.offsets, fresh.offsets);
    EXPECT_EQ(cached.lengths, fresh.lengths);
    EXPECT_EQ(cached.totalBytes, fresh.totalBytes);
    EXPECT_EQ(cached.framesWithPcm, fresh.framesWithPcm);
}

TEST(LoadCache, KeepsEveryArrayOfTheScan) {
    const fs::path folder = scratchDir("load-cache-arrays");
    const mp3::LoadCache cache(folder / "cache");
    for (const char* name : {"silences.mp3", "vbr.mp3", "mpeg2-mono.mp3", "id3v2-cover.mp3"}) {
        const fs::path file = fixture(name);
        const auto key = mp3::loadCacheKey(file);
        ASSERT_TRUE(key) << name;
        EXPECT_FALSE(cache.find(*key)) << name;
        const mp3::LevelScan fresh = mp3::scanLevels(file);
        ASSERT_TRUE(cache.store(*key, fresh)) << name;
        const auto cached = cache.find(*key);
        ASSERT_TRUE(cached) << name;
        SCOPED_TRACE(name);
        expectSameScan(*cached, fresh);
    }
#ifndef _WIN32
    // The entries name the user's files.
    EXPECT_EQ(fs::status(folder / "cache").permissions() & fs::perms::all, fs::perms::owner_all);
#endif
}

TEST(LoadCache, AChangedFileMisses) {
    const fs::path folder = scratchDir("load-cache-changed");
    const mp3::LoadCache cache(folder / "cache");
    const fs::path file = folder / "source.mp3";
    // Each change keeps the size; the last two keep the time too.
    const std::vector<std::pair<const char*, std::function<void(std::vector<char>&, fs::file_time_type&)>>>
        changes = {
            {"new time",
             [](std::vector<char>&, fs::file_time_type& time) { time += std::chrono::seconds(5); }},
            {"new byte at the end",
             [](std::vector<char>& bytes, fs::file_time_type&) { bytes.back() ^= 0x01; }},
            {"new byte at the start",
             [](std::vector<char>& bytes, fs::file_time_type&) { bytes[3] ^= 0x01; }},
        };
    for (const auto& [what, change] : changes) {
        copyOver(fixture("ten-seconds.mp3"), file);
        const auto key = mp3::loadCacheKey(file);
        ASSERT_TRUE(key);
        ASSERT_TRUE(cache.store(*key, mp3::scanLevels(file)));
        ASSERT_TRUE(cache.find(*key));

        std::vector<char> bytes = readBytes(file);
        fs::file_time_type time = modifiedTime(file);
        change(bytes, time);
        writeBytes(file, bytes);
        setModifiedTime(file, time);
        const auto changed = mp3::loadCacheKey(file);
        ASSERT_TRUE(changed) << what;
        EXPECT_EQ(changed->size, key->size) << what;
        EXPECT_FALSE(changed == *key) << what;
        EXPECT_FALSE(cache.find(*changed)) << what;
    }
    // The same bytes under another name are another entry.
    copyOver(fixture("ten-seconds.mp3"), folder / "other.mp3");
    const auto other = mp3::loadCacheKey(folder / "other.mp3");
    ASSERT_TRUE(other);
    EXPECT_FALSE(cache.find(*other));
}

TEST(LoadCache, ADamagedEntryIsNoEntry) {
    const fs::path folder = scratchDir("load-cache-damaged");
    const mp3::LoadCache cache(folder / "cache");
    const fs::path file = fixture("ten-seconds.mp3");
    const auto key = mp3::loadCacheKey(file);
    ASSERT_TRUE(key);
    const mp3::LevelScan fresh = mp3::scanLevels(file);
    ASSERT_TRUE(cache.store(*key, fresh));
    const fs::path entry = cache.entryPath(*key);
    const std::vector<char> good = readBytes(entry);
    ASSERT_GT(good.size(), 1000u);

    // Byte 8 is the first of the format version.
    const std::vector<std::pair<const char*, std::function<void(std::vector<char>&)>>> damages = {
        {"a level flipped", [](std::vector<char>& b) { b[b.size() - 1000] ^= 0x10; }},
        {"the path flipped", [](std::vector<char>& b) { b[82] ^= 0x01; }},
        {"cut short", [](std::vector<char>& b) { b.resize(b.size() - 7); }},
        {"cut inside the header", [](std::vector<char>& b) { b.resize(40); }},
        {"empty", [](std::vector<char>& b) { b.clear(); }},
        {"another version", [](std::vector<char>& b) { b[8] = static_cast<char>(b[8] + 1); }},
        {"another magic", [](std::vector<char>& b) { b[0] = 'X'; }},
        {"longer", [](std::vector<char>& b) { b.push_back(0); }},
        {"no bytes of ours", [](std::vector<char>& b) { std::fill(b.begin(), b.end(), '\x5a'); }},
    };
    for (const auto& [what, damage] : damages) {
        std::vector<char> bytes = good;
        damage(bytes);
        writeBytes(entry, bytes);
        EXPECT_FALSE(cache.find(*key)) << what;
    }
    // The store after a damaged entry replaces it.
    ASSERT_TRUE(cache.store(*key, fresh));
    const auto cached = cache.find(*key);
    ASSERT_TRUE(cached);
    expectSameScan(*cached, fresh);
}

TEST(LoadCache, TheBoundRemovesTheOldestEntriesFirst) {
    const fs::path folder = scratchDir("load-cache-bound");
    const fs::path sources = folder / "sources";
    fs::create_directories(sources);
    const mp3::LevelScan scan = mp3::scanLevels(fixture("ten-seconds.mp3"));

    std::vector<mp3::LoadCacheKey> keys;
    for (int i = 0; i < 5; ++i) {
        const fs::path file = sources / ("copy" + std::to_string(i) + ".mp3");
        copyOver(fixture("ten-seconds.mp3"), file);
        keys.push_back(*mp3::loadCacheKey(file));
    }
    const mp3::LoadCache unbounded(folder / "cache");
    ASSERT_TRUE(unbounded.store(keys[0], scan));
    const auto entryBytes = fs::file_size(unbounded.entryPath(keys[0]));

    // Room for three entries. Times are set a minute apart, so the order does not rest on the clock.
    const mp3::LoadCache cache(folder / "cache", entryBytes * 3 + entryBytes / 2);
    const auto start = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto age = [&](int key, int minutes) {
        fs::last_write_time(cache.entryPath(keys[static_cast<std::size_t>(key)]),
                            start + std::chrono::minutes(minutes));
    };
    age(0, 0);
    for (int i = 1; i < 3; ++i) {
        ASSERT_TRUE(cache.store(keys[static_cast<std::size_t>(i)], scan));
        age(i, i);
    }
    // Opening entry 0 makes it the newest: entry 1 is now the oldest.
    ASSERT_TRUE(cache.find(keys[0]));
    ASSERT_TRUE(cache.store(keys[3], scan));
    EXPECT_FALSE(fs::exists(cache.entryPath(keys[1])));
    for (const int kept : {0, 2, 3}) {
        EXPECT_TRUE(cache.find(keys[static_cast<std::size_t>(kept)])) << kept;
    }
    age(0, 10);
    age(2, 5);
    age(3, 20);
    ASSERT_TRUE(cache.store(keys[4], scan));
    EXPECT_FALSE(fs::exists(cache.entryPath(keys[2])));
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder / "cache")) {
        total += entry.file_size();
    }
    EXPECT_LE(total, cache.bound());
    EXPECT_EQ(total, entryBytes * 3);

    // An entry larger than the whole bound is not kept at all.
    const mp3::LoadCache tiny(folder / "tiny", entryBytes / 2);
    EXPECT_FALSE(tiny.store(keys[0], scan));
    EXPECT_FALSE(tiny.find(keys[0]));
}

} // namespace
