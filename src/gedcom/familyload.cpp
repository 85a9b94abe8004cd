#include "familyload.h"

#include "base/largepages.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pq::gedcom {

namespace {

constexpr qint64 kChunk = qint64(1) << 20;
// The opening is judged while the file is this short: past it, a file still undecided (blank
// lines, or one endless first line) is left to the reading itself.
constexpr qint64 kJudgedBytes = qint64(4) << 20;

QString describe(LoadFailure::Kind kind, const QString& path, const QString& reason,
                 std::uint32_t line) {
    if (kind != LoadFailure::Kind::NotFamilyTree)
        return QStringLiteral("cannot read %1: %2").arg(path, reason);
    return line ? QStringLiteral("%1 line %2: %3").arg(path).arg(line).arg(reason)
                : QStringLiteral("%1: %2").arg(path, reason);
}

QString tooLargeReason() {
    return QStringLiteral("it is larger than 2 GiB, more than any family-tree file holds");
}

QString systemReason(int error) {
    return qt_error_string(error);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : mFd(fd) {}
    ~Descriptor() {
        if (mFd >= 0)
            ::close(mFd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return mFd; }

private:
    int mFd;
};

// Opens without blocking, so that a FIFO without a writer is refused rather than waited on.
int openForReading(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw LoadFailure(LoadFailure::Kind::Unreadable, path, systemReason(errno));
    return fd;
}

QString kindOfSpecialFile(mode_t mode) {
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

// The size of the regular file behind `fd`; refuses anything else, and files over the limit.
qint64 regularFileSize(int fd, const QString& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw LoadFailure(LoadFailure::Kind::Unreadable, path, systemReason(errno));
    if (S_ISDIR(st.st_mode))
        throw LoadFailure(LoadFailure::Kind::Unreadable, path, QStringLiteral("a folder"));
    if (!S_ISREG(st.st_mode))
        throw LoadFailure(LoadFailure::Kind::NotRegularFile, path,
                          kindOfSpecialFile(st.st_mode) +
                              QStringLiteral(", not a regular file; only files are read"));
    if (st.st_size > kMaxFamilyFileBytes)
        throw LoadFailure(LoadFailure::Kind::TooLarge, path, tooLargeReason());
    return st.st_size;
}

bool cancelled(const LoadControl& control) {
    return control.cancel && control.cancel->load(std::memory_order_relaxed);
}

// Reads the whole file in chunks; empty when cancelled (`*stopped` set).
QByteArray readChunks(int fd, const QString& path, qint64 size, const LoadControl& control,
                      bool* stopped) {
    // Room for the whole file is only taken once its opening looks like a family tree, so that a
    // large file of something else is refused for what it is, not for the memory it would need.
    QByteArray bytes;
    bytes.reserve(std::min(size, kJudgedBytes) + kChunk);
    adviseLargePages(bytes.data(), std::size_t(bytes.capacity()));
    qint64 read = 0;
    bool judging = true;
    for (;;) {
        if (cancelled(control)) {
            *stopped = true;
            return {};
        }
        bytes.resize(read + kChunk);
        const ssize_t got = ::read(fd, bytes.data() + read, static_cast<std::size_t>(kChunk));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw LoadFailure(LoadFailure::Kind::Unreadable, path, systemReason(errno));
        if (got == 0)
            break;
        read += got;
        if (read > kMaxFamilyFileBytes) // it grew while we read it
            throw LoadFailure(LoadFailure::Kind::TooLarge, path, tooLargeReason());
        if (judging && read < size) {
            const Opening opening =
                judgeOpening(QByteArray::fromRawData(bytes.constData(), read), false);
            if (opening.verdict == Opening::Verdict::NotFamilyTree)
                throw LoadFailure(LoadFailure::Kind::NotFamilyTree, path, notBeginningWithHead(),
                                  opening.line);
            judging = opening.verdict == Opening::Verdict::Undecided && read < kJudgedBytes;
            if (!judging) {
                bytes.reserve(size + kChunk);
                adviseLargePages(bytes.data(), std::size_t(bytes.capacity()));
            }
        }
        if (control.progress)
            control.progress(read, std::max(size, read));
    }
    bytes.truncate(read);
    bytes.squeeze();
    return bytes;
}

bool isBlankOrBreak(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

LoadFailure::LoadFailure(Kind kind, QString path, QString reason, std::uint32_t line)
    : Failure(describe(kind, path, reason, line)), mKind(kind), mPath(std::move(path)),
      mReason(std::move(reason)), mLine(line) {}

Opening judgeOpening(const QByteArray& prefix, bool whole) {
    // A few bytes are needed to tell UTF-16 from the rest; a whole file is left to the reading,
    // which names the problem best.
    if (whole || prefix.size() < 4)
        return {};
    const Source source(prefix);
    const std::string_view bytes = source.bytes();
    std::size_t first = 0;
    while (first < bytes.size() && isBlankOrBreak(bytes[first]))
        ++first;
    if (first == bytes.size())
        return {};
    Warnings ignored;
    LineReader reader(source, ignored);
    Line line;
    const bool any = reader.next(line);
    const std::uint32_t firstLine = reader.firstTextLine();
    if (bytes[first] < '0' || bytes[first] > '9')
        return {Opening::Verdict::NotFamilyTree, firstLine};
    if (bytes.find_first_of("\r\n", first) == std::string_view::npos)
        return {}; // the first line may go on
    if (any && line.number == firstLine && line.level == 0 && line.code == tagCode("HEAD"))
        return {Opening::Verdict::FamilyTree, 0};
    return {Opening::Verdict::NotFamilyTree, firstLine};
}

QList<FileWarning> fileWarnings(const FamilyFile& file, const QString& path) {
    QList<FileWarning> out;
    for (const Warning& w : file.warnings().kept())
        out.append({path, w.line, w.text});
    if (const std::size_t more = file.warnings().total() - file.warnings().kept().size())
        out.append({path, 0, QStringLiteral("%1 more problems like these").arg(more)});
    return out;
}

std::unique_ptr<FamilyFile> loadFamilyFile(const QString& path, const LoadControl& control) {
    try {
        const Descriptor fd(openForReading(path));
        const qint64 size = regularFileSize(fd.get(), path);
        bool stopped = false;
        QByteArray bytes = readChunks(fd.get(), path, size, control, &stopped);
        if (stopped || cancelled(control))
            return nullptr;
        try {
            return readFamilyFile(std::move(bytes));
        } catch (const FormatFailure& f) {
            throw LoadFailure(LoadFailure::Kind::NotFamilyTree, path, f.reason(), f.line());
        }
    } catch (const std::bad_alloc&) {
        throw LoadFailure(LoadFailure::Kind::OutOfMemory, path, QStringLiteral("out of memory"));
    }
}

} // namespace pq::gedcom
