// The least any page generator pays: writes the files of a finished run's
// output folder into an empty folder, one file after another with
// open/write/close. The source files are read into memory first; only the
// writing is timed.
//
//   quolix_floor SOURCE_FOLDER TARGET_FOLDER
//
// Prints "files=N bytes=B write_seconds=S" on standard output; exit status 0
// when every file was written completely.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct File {
    std::string name;
    std::string bytes;
};

bool ReadAll(const std::string& path, std::string& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    return close(fd) == 0;
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quolix_floor SOURCE_FOLDER TARGET_FOLDER\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string target = argv[2];

    std::vector<File> files;
    DIR* dir = opendir(source.c_str());
    if (!dir) {
        std::fprintf(stderr, "quolix_floor: cannot read %s: %s\n", source.c_str(),
                     std::strerror(errno));
        return 1;
    }
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.' &&
            (e->d_name[1] == '\0' || (e->d_name[1] == '.' && e->d_name[2] == '\0')))
            continue;
        files.push_back({e->d_name, {}});
    }
    closedir(dir);
    // The order Quolix writes in: the index and the dump page, then the pages.
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) {
        const bool aFirst = a.name[0] == '_', bFirst = b.name[0] == '_';
        if (aFirst != bFirst) return aFirst;
        return a.name < b.name;
    });
    long long total = 0;
    for (File& f : files) {
        if (!ReadAll(source + "/" + f.name, f.bytes)) {
            std::fprintf(stderr, "quolix_floor: cannot read %s/%s\n", source.c_str(),
                         f.name.c_str());
            return 1;
        }
        total += static_cast<long long>(f.bytes.size());
    }

    int failed = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (const File& f : files) {
        const std::string path = target + "/" + f.name;
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            ++failed;
            continue;
        }
        if (!WriteAll(fd, f.bytes)) ++failed;
        if (close(fd) != 0) ++failed;
    }
    const auto t1 = std::chrono::steady_clock::now();

    std::printf("files=%zu bytes=%lld write_seconds=%.6f\n", files.size(), total,
                std::chrono::duration<double>(t1 - t0).count());
    if (failed) std::fprintf(stderr, "quolix_floor: %d files not written\n", failed);
    return failed ? 1 : 0;
}
