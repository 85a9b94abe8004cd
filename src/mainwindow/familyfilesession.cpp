#include "familyfilesession.h"

#include "base/failure.h"
#include "gedcom/familyload.h"
#include "mainwindow/services/appfiles.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>

namespace pq {

namespace {

constexpr int kProgressIntervalMs = 100;

} // namespace

std::shared_ptr<const LoadedFamilyFile> readFamilyFileAt(const QString& path,
                                                         ReadControl& control) {
    gedcom::LoadControl load;
    load.cancel = &control.cancelled;
    load.progress = [&control](qint64 read, qint64 total) {
        control.total = total;
        control.done = read;
    };
    auto loaded = std::make_shared<LoadedFamilyFile>();
    loaded->path = QFileInfo(path).absoluteFilePath();
    loaded->fileName = QFileInfo(path).fileName();
    loaded->file = gedcom::loadFamilyFile(path, load);
    if (!loaded->file)
        throw ReadCancelled();
    loaded->search = std::make_unique<gedcom::PersonSearch>(*loaded->file, &control.cancelled);
    if (!loaded->search->isComplete())
        throw ReadCancelled();
    loaded->warnings = gedcom::fileWarnings(*loaded->file, loaded->fileName);
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
            failure =
                QStringLiteral("cannot read %1: %2").arg(path, QString::fromLocal8Bit(e.what()));
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
        // Nothing but the main window opens at start: a note in it, no message box.
        forget(QStringLiteral("The family file could not be read, so it is no longer open: %1")
                   .arg(failure));
    } else {
        // One message, and the file open before stays open.
        emit changed();
        mDialogs.message({failure, QString(), MsgButtons::Ok, MsgIcon::Exclamation, true});
    }
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
}

int FamilyFileSession::progress() const {
    if (!mControl)
        return 0;
    const qint64 total = mControl->total;
    // Reading the bytes is most of the way; making sense of them and indexing the names is
    // the rest, of which we learn only the end.
    return total > 0 ? static_cast<int>(mControl->done * 800 / total) : 0;
}

QList<gedcom::FileWarning> FamilyFileSession::warnings() const {
    return mCurrent ? mCurrent->warnings + mChartWarnings : QList<gedcom::FileWarning>();
}

std::size_t FamilyFileSession::problemCount() const {
    if (!mCurrent)
        return 0;
    return mCurrent->file->warnings().total() + static_cast<std::size_t>(mChartWarnings.size());
}

void FamilyFileSession::addChartWarnings(const QList<gedcom::FileWarning>& warnings) {
    const auto before = mChartWarnings.size();
    for (const gedcom::FileWarning& w : warnings)
        if (std::none_of(mChartWarnings.begin(), mChartWarnings.end(),
                         [&](const gedcom::FileWarning& kept) {
                             return kept.line == w.line && kept.text == w.text;
                         }))
            mChartWarnings << w;
    if (mChartWarnings.size() != before)
        emit changed();
}

void FamilyFileSession::replaceCurrent(std::shared_ptr<const LoadedFamilyFile> next) {
    std::shared_ptr<const LoadedFamilyFile> old = std::exchange(mCurrent, std::move(next));
    mChartWarnings.clear();
    mChosen = -1;
    mChosenText.clear();
    emit changed(); // the window lets go of the old file's index here
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
