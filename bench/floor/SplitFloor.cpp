// The system calls a durable split into COUNT pieces cannot do without, and nothing else: each
// piece's bytes copied file to file into a new temporary file, one syncfs, the renames, one sync of
// the folder. No frame is looked at, so its time is what the disk and the kernel ask of any
// splitter that keeps pieces atomic and durable (bench/split-vs-cp.sh).
// Usage: kerfline_split_floor SOURCE FOLDER COUNT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int fail(const char* what) {
    std::perror(what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: kerfline_split_floor SOURCE FOLDER COUNT\n");
        return 2;
    }
    const int count = std::atoi(argv[3]);
    const int source = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    const int folder = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status {};
    if (source < 0 || folder < 0 || ::fstat(source, &status) != 0 || count < 1) {
        return fail("kerfline_split_floor");
    }
    const off_t pieceBytes = status.st_size / count;
    std::vector<int> pieces;
    for (int piece = 0; piece < count; ++piece) {
        const std::string temporary = ".floor" + std::to_string(piece) + ".part";
        const int out = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0) {
            return fail("openat");
        }
        off_t from = pieceBytes * piece;
        off_t left = piece == count - 1 ? status.st_size - from : pieceBytes;
        while (left > 0) {
            const ssize_t copied =
                ::copy_file_range(source, &from, out, nullptr, static_cast<size_t>(left), 0);
            if (copied <= 0) {
                return fail("copy_file_range");
            }
            left -= copied;
        }
        pieces.push_back(out);
    }
    if (::syncfs(folder) != 0) {
        return fail("syncfs");
    }
    for (int piece = 0; piece < count; ++piece) {
        ::close(pieces[static_cast<std::size_t>(piece)]);
        const std::string temporary = ".floor" + std::to_string(piece) + ".part";
        const std::string name = "piece-" + std::to_string(piece) + ".mp3";
        if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            return fail("renameat");
        }
    }
    if (::fsync(folder) != 0) {
        return fail("fsync");
    }
    ::close(folder);
    ::close(source);
    return 0;
}
