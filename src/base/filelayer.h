#pragma once

// The system calls under the safe file writer, gathered in one object so that a test can make
// any of them fail, one at a time, or watch the order in which they come.

#include <sys/stat.h>
#include <sys/types.h>

namespace pq {

class FileLayer {
public:
    virtual ~FileLayer() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, size_t size);
    virtual int fsync(int fd);
    virtual int fstat(int fd, struct stat* st); // the size the system reports for the new file
    virtual int close(int fd);
    virtual int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags);
    virtual int rename(const char* from, const char* to);
    virtual int renameNoReplace(const char* from, const char* to);
    virtual int link(const char* from, const char* to);
    virtual int unlink(const char* path);

    // The layer the writer uses: the system's, unless a test put another in place.
    static FileLayer& current();
};

// Puts `layer` under the writer while this object lives (tests only: not thread-safe).
class ScopedFileLayer {
public:
    explicit ScopedFileLayer(FileLayer& layer);
    ~ScopedFileLayer();
    ScopedFileLayer(const ScopedFileLayer&) = delete;
    ScopedFileLayer& operator=(const ScopedFileLayer&) = delete;

private:
    FileLayer* mPrevious;
};

} // namespace pq
