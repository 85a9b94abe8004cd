#include "filelayer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace pq {

namespace {
FileLayer gSystem;
FileLayer* gCurrent = &gSystem;
} // namespace

int FileLayer::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
ssize_t FileLayer::write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
int FileLayer::fsync(int fd) {
    return ::fsync(fd);
}
int FileLayer::fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}
int FileLayer::close(int fd) {
    return ::close(fd);
}
int FileLayer::linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    return ::linkat(fromFolder, from, toFolder, to, flags);
}
int FileLayer::rename(const char* from, const char* to) {
    return ::rename(from, to);
}
int FileLayer::renameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    errno = ENOSYS;
    return -1;
#endif
}
int FileLayer::link(const char* from, const char* to) {
    return ::link(from, to);
}
int FileLayer::unlink(const char* path) {
    return ::unlink(path);
}

FileLayer& FileLayer::current() {
    return *gCurrent;
}

ScopedFileLayer::ScopedFileLayer(FileLayer& layer) : mPrevious(gCurrent) {
    gCurrent = &layer;
}
ScopedFileLayer::~ScopedFileLayer() {
    gCurrent = mPrevious;
}

} // namespace pq
