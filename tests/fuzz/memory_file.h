// An anonymous in-memory file that readers taking a path can open: the
// fuzz targets hand them their input without writing anything to disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <string>

class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("fuzz_input", 0)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile() { close(fd_); }

    // The path a reader opens (each open starts at the beginning).
    const std::string& path() const { return path_; }

    // Replaces the whole content.
    void put(const void* text, size_t size) const {
        if (ftruncate(fd_, 0) != 0) std::abort();
        if (size > 0 && pwrite(fd_, text, size, 0) != static_cast<ssize_t>(size)) std::abort();
    }

private:
    int fd_;
    std::string path_;
};
