// The least a lister of tagged mp3 files must do, as the floor scripts/bench.sh measures
// `plumtide-cli list` against: walk the folder, and per file open it, read its tag header,
// its tag and its last 128 bytes (where an ID3v1 block would be), and print one line.
// Plain POSIX on purpose: no library of the program, so that nothing it does is in here.
//   bench_list_floor FOLDER

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace
{

long long g_files = 0;
long long g_tagBytes = 0;

bool isMp3(const char* name)
{
    const size_t length = std::strlen(name);
    return length > 4 && strcasecmp(name + length - 4, ".mp3") == 0;
}

void readFile(int folder, const char* name, const std::string& path)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    unsigned char header[10];
    std::vector<unsigned char> tag;
    if (::pread(fd, header, sizeof header, 0) == ssize_t(sizeof header)
        && std::memcmp(header, "ID3", 3) == 0) {
        const size_t size = size_t(header[6] & 0x7F) << 21 | size_t(header[7] & 0x7F) << 14
            | size_t(header[8] & 0x7F) << 7 | size_t(header[9] & 0x7F);
        tag.resize(size);
        const ssize_t got = ::pread(fd, tag.data(), size, sizeof header);
        if (got > 0)
            g_tagBytes += got;
    }
    struct stat st {
    };
    unsigned char last[128];
    if (::fstat(fd, &st) == 0 && st.st_size >= 128
        && ::pread(fd, last, sizeof last, st.st_size - 128) == ssize_t(sizeof last)
        && std::memcmp(last, "TAG", 3) == 0)
        g_tagBytes += 128;
    ::close(fd);
    ++g_files;
    std::fputs(path.c_str(), stdout);
    std::fputc('\n', stdout);
}

void walk(const std::string& path)
{
    const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    DIR* dir = ::fdopendir(folder);
    if (!dir) {
        ::close(folder);
        return;
    }
    std::vector<std::string> folders;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (entry->d_type == DT_DIR)
            folders.push_back(path + '/' + entry->d_name);
        else if (entry->d_type == DT_REG && isMp3(entry->d_name))
            readFile(folder, entry->d_name, path + '/' + entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& sub : folders)
        walk(sub);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_list_floor FOLDER\n");
        return 2;
    }
    walk(argv[1]);
    std::fprintf(stderr, "%lld files, %lld tag bytes\n", g_files, g_tagBytes);
    return 0;
}
