"""How 100 new pieces of 190 KiB (a 20-minute split) can reach the disk, side by side in one run:
each synced and renamed before the next (`each`), all written then one syncfs (`syncfs`, what the
program does for pieces this small), all written then fdatasync of each (`fdatasync`), the same with
the write-back started as each piece ends (`started`), that start followed by one syncfs (`hinted`,
what the program does for pieces of 4 MiB and more), and no sync at all (`none`, the floor). Prints
the median of each.

Usage: python3 bench/split-sync-ways.py FOLDER [ROUNDS] [PIECES] [KIB]   (FOLDER on the file system to
measure; 100 pieces of 190 KiB unless told: 16 of 9600 KiB are the pieces of bench/split-jobs.sh)
"""
import ctypes, os, shutil, statistics, sys, time

libc = ctypes.CDLL("libc.so.6", use_errno=True)
folder, rounds = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 7
base = os.path.join(folder, "split-sync-ways")
pieces = int(sys.argv[3]) if len(sys.argv) > 3 else 100
data = os.urandom((int(sys.argv[4]) if len(sys.argv) > 4 else 190) * 1024)
SYNC_FILE_RANGE_WRITE = 2


def run(way):
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)
    started = time.perf_counter()
    folder_fd = os.open(base, os.O_RDONLY | os.O_DIRECTORY)
    files = []
    for i in range(pieces):
        temporary = os.path.join(base, f".part{i}")
        fd = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL)
        os.write(fd, data)
        if way == "each":
            os.fsync(fd)
            os.close(fd)
            os.rename(temporary, os.path.join(base, f"{i}.mp3"))
            os.fsync(folder_fd)
            continue
        if way in ("started", "hinted"):
            libc.sync_file_range(fd, ctypes.c_longlong(0), ctypes.c_longlong(0), SYNC_FILE_RANGE_WRITE)
        files.append((fd, temporary, os.path.join(base, f"{i}.mp3")))
    if way in ("syncfs", "hinted"):
        libc.syncfs(folder_fd)
    for fd, temporary, final in files:
        if way in ("fdatasync", "started"):
            os.fdatasync(fd)
    for fd, temporary, final in files:
        os.close(fd)
        os.rename(temporary, final)
    if way != "each" and way != "none":
        os.fsync(folder_fd)
    os.close(folder_fd)
    return (time.perf_counter() - started) * 1000


ways = ["each", "syncfs", "fdatasync", "started", "hinted", "none"]
times = {way: [] for way in ways}
for _ in range(rounds):
    for way in ways:
        times[way].append(run(way))
shutil.rmtree(base, ignore_errors=True)
for way in ways:
    print(f"{way:10s} median {statistics.median(times[way]):7.1f} ms  "
          f"(range {min(times[way]):.0f}-{max(times[way]):.0f} ms)")
