#include "familyfilesession.h"

#include "base/failure.h"
#include "gedcom/familyfile.h"
#include "mainwindow/services/appfiles.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>

namespace pq {

namespace {

constexpr qint64 kChunk = 4 << 20;
// What a QByteArray can hold; a family file that large is no export anyone sends.
constexpr qint64 kLargestFile = qint64(2) << 30;
constexpr int kProgressIntervalMs = 100;

QString cannotRead(const QString& path, const QString& why) {
    return QStringLiteral("cannot read %1: %2").arg(path, why);
}

QByteArray readBytes(const QString& path, ReadControl& control) {
    const QFileInfo info(path);
    if (!info.exists())
        throw Failure(cannotRead(path, QStringLiteral("there is no such file")));
    if (info.isDir())
        throw Failure(cannotRead(path, QStringLiteral("it is a folder")));
    if (!info.isFile())
        throw Failure(cannotRead(path, QStringLiteral("it is not a regular file")));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure(cannotRead(path, in.errorString()));
    const qint64 size = in.size();
    if (size >= kLargestFile)
        throw Failure(cannotRead(path, QStringLiteral("it is larger than 2 GB")));
    control.total = size;
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        if (control.cancelled)
            throw ReadCancelled();
        const qint64 got = in.read(bytes.data() + done, std::min(kChunk, size - done));
        if (got < 0)
            throw Failure(cannotRead(path, in.errorString()));
        if (got == 0) // the file shrank while we read it
            break;
        done += got;
        control.done = done;
    }
    bytes.truncate(done);
    return bytes;
}

std::vector<FileWarning> warningsOf(const gedcom::FamilyFile& file, const QString& fileName) {
    std::vector<FileWarning> out;
    for (const gedcom::Warning& w : file.warnings().kept())
        out.push_back({fileName, w.line, w.text});
    return out;
}

} // namespace

std::shared_ptr<const LoadedFamilyFile> readFamilyFileAt(const QString& path,
                                                         ReadControl& control) {
    auto loaded = std::make_shared<LoadedFamilyFile>();
    loaded->path = QFileInfo(path).absoluteFilePath();
    loaded->fileName = QFileInfo(path).fileName();
    QByteArray bytes = readBytes(path, control);
    try {
        loaded->file = gedcom::readFamilyFile(std::move(bytes));
    } catch (const Failure& f) {
        const QString& why = f.description();
        throw Failure(
            loaded->fileName +
            (why.startsWith(QLatin1String("line ")) ? QStringLiteral(" ") : QStringLiteral(": ")) +
            why);
    }
    if (control.cancelled)
        throw ReadCancelled();
    loaded->warnings = warningsOf(*loaded->file, loaded->fileName);
    loaded->unlistedWarnings = loaded->file->warnings().total() - loaded->warnings.size();
    return loaded;
}

FamilyFileSession::FamilyFileSession(DialogService& dialogs, SettingsStore& store, QObject* parent)
    : QObject(parent), mDialogs(dialogs), mStore(store) {
    mReader.setMaxThreadCount(1);
    mProgressTicks.setInterval(kProgressIntervalMs);
    connect(&mProgressTicks, &QTimer::timeout, this, &FamilyFileSession::progressed);
}

FamilyFileSession::~FamilyFileSession() {
    if (mControl)
        mControl->cancelled = true;
    mReader.waitForDone();
}

void FamilyFileSession::open(const QString& path) {
    start(path, Origin::User);
}

void FamilyFileSession::openRemembered() {
    const QString path =
        mStore.GetSetting(kSettingsApplication, kProductTitle, kFamilyFileKey, QString());
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        forget(QStringLiteral("The family file %1 is gone, so it is no longer open.")
                   .arg(QDir::toNativeSeparators(path)));
        return;
    }
    start(path, Origin::Remembered);
}

void FamilyFileSession::start(const QString& path, Origin origin) {
    cancel();
    auto control = std::make_shared<ReadControl>();
    mControl = control;
    mReadingPath = path;
    mNote.clear();
    mReader.start([this, read = mRead, control, path, origin] {
        std::shared_ptr<const LoadedFamilyFile> loaded;
        QString failure;
        try {
            loaded = read(path, *control);
        } catch (const ReadCancelled&) {
        } catch (const Failure& f) {
            failure = f.description();
        } catch (const std::exception& e) {
            failure = cannotRead(path, QString::fromLocal8Bit(e.what()));
        }
        // The session outlives the reader (its destructor waits), and a result for a read
        // that was cancelled meanwhile is dropped in finish().
        QMetaObject::invokeMethod(
            this,
            [this, control, origin, loaded = std::move(loaded), failure]() mutable {
                finish(control, origin, std::move(loaded), failure);
            },
            Qt::QueuedConnection);
    });
    mProgressTicks.start();
    emit changed();
}

void FamilyFileSession::finish(const std::shared_ptr<ReadControl>& control, Origin origin,
                               std::shared_ptr<const LoadedFamilyFile> loaded,
                               const QString& failure) {
    if (control != mControl || control->cancelled) {
        // A result nobody waits for any more: its memory is given back off this thread.
        if (loaded)
            mReader.start([gone = std::move(loaded)]() mutable { gone.reset(); });
        return;
    }
    mControl.reset();
    mReadingPath.clear();
    mProgressTicks.stop();
    if (loaded) {
        remember(loaded->path);
        replaceCurrent(std::move(loaded));
    } else if (origin == Origin::Remembered) {
        forget(QStringLiteral("The family file could not be read, so it is no longer open: %1")
                   .arg(failure));
    } else {
        emit changed();
        MessageRequest request{failure, QString(), MsgButtons::Ok, MsgIcon::Exclamation, true};
        mDialogs.message(request);
        return;
    }
    emit changed();
}

void FamilyFileSession::cancel() {
    if (!mControl)
        return;
    mControl->cancelled = true;
    mControl.reset();
    mReadingPath.clear();
    mProgressTicks.stop();
    emit changed();
}

void FamilyFileSession::close() {
    cancel();
    remember(QString());
    mNote.clear();
    replaceCurrent(nullptr);
    emit changed();
}

int FamilyFileSession::progress() const {
    if (!mControl)
        return 0;
    const qint64 total = mControl->total;
    // Reading the bytes is the first half; making sense of them the second, of which we
    // learn only the end.
    return total > 0 ? static_cast<int>(mControl->done * 500 / total) : 0;
}

std::vector<FileWarning> FamilyFileSession::warnings() const {
    std::vector<FileWarning> all = mCurrent ? mCurrent->warnings : std::vector<FileWarning>();
    all.insert(all.end(), mChartWarnings.begin(), mChartWarnings.end());
    return all;
}

void FamilyFileSession::addChartWarnings(const QStringList& warnings) {
    const auto before = mChartWarnings.size();
    for (const QString& text : warnings)
        if (std::none_of(mChartWarnings.begin(), mChartWarnings.end(),
                         [&](const FileWarning& w) { return w.text == text; }))
            mChartWarnings.push_back({QString(), 0, text});
    if (mChartWarnings.size() != before)
        emit changed();
}

void FamilyFileSession::replaceCurrent(std::shared_ptr<const LoadedFamilyFile> next) {
    std::shared_ptr<const LoadedFamilyFile> old = std::exchange(mCurrent, std::move(next));
    mChartWarnings.clear();
    mChosen = -1;
    mChosenText.clear();
    // A large file takes a while to give back; the window need not wait for it.
    if (old)
        mReader.start([gone = std::move(old)]() mutable { gone.reset(); });
}

void FamilyFileSession::forget(const QString& note) {
    remember(QString());
    mNote = note;
    emit changed();
}

void FamilyFileSession::remember(const QString& path) {
    // Like the two inputs, a write that fails is dropped: the file stays open.
    try {
        mStore.SaveSetting(kSettingsApplication, kProductTitle, kFamilyFileKey, path);
    } catch (const std::exception& failure) {
        qWarning("settings store: %s could not be written: %s", qPrintable(kFamilyFileKey),
                 failure.what());
    }
}

void FamilyFileSession::choosePerson(std::int32_t person, const QString& text) {
    if (!mCurrent || person < 0 ||
        static_cast<std::size_t>(person) >= mCurrent->file->people().size())
        return;
    mChosen = person;
    mChosenText = text;
    emit changed();
}

void FamilyFileSession::textChanged(const QString& text) {
    if (mChosen >= 0 && text != mChosenText) {
        mChosen = -1;
        mChosenText.clear();
    }
}

OpenFamilyFile FamilyFileSession::forRun(const QString& text1) const {
    if (!mCurrent)
        return {};
    return {mCurrent->file, mCurrent->fileName, text1 == mChosenText ? mChosen : -1};
}

QString FamilyFileSession::targetLine(const QString& text1) const {
    if (!mCurrent)
        return QStringLiteral("No family file is open: the chart is blank, for the name as "
                              "typed.");
    const OpenFamilyFile source = forRun(text1);
    const gedcom::PersonChoice choice = chartPersonFor(source, text1);
    if (choice.person >= 0)
        return QStringLiteral("The chart will be for %1.")
            .arg(gedcom::describePerson(*source.file, choice.person));
    if (text1.trimmed().isEmpty())
        return QStringLiteral("Type the name or the cross-reference (@I12@) of someone in %1.")
            .arg(source.fileName);
    if (choice.matches > 1)
        return QStringLiteral("\"%1\" names %2 people in %3: choose one from the list, or when "
                              "you start.")
            .arg(text1.trimmed())
            .arg(choice.matches)
            .arg(source.fileName);
    return QStringLiteral("No one in %1 is named \"%2\": starting offers a blank chart.")
        .arg(source.fileName, text1.trimmed());
}

} // namespace pq
