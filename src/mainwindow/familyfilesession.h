#pragma once

// The family-tree file of the main window, without the window: reading it off the
// user-interface thread with progress and a way to cancel, remembering it in the settings
// store, keeping its warnings, and the person the chart is for. Form1 shows it in its
// family-file row (familyfilerow.h).

#include "gedcom/personsearch.h"
#include "generation/generationrun.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pq {

class DialogService;
class SettingsStore;

// The settings key of the open family file, beside "Text1" and "Text2".
inline const QString kFamilyFileKey = QStringLiteral("FamilyFile");

// A family-tree file read and ready to fill charts from.
struct LoadedFamilyFile {
    QString path;
    QString fileName;
    std::shared_ptr<const gedcom::FamilyFile> file;
    std::unique_ptr<const gedcom::PersonSearch>
        search;                          // indexes `file`: declared after it, so gone first
    QList<gedcom::FileWarning> warnings; // the last one says how many more were not kept
};

// Shared by the user-interface thread and the reader.
struct ReadControl {
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
};

// Thrown by the reader when it sees `cancelled`.
struct ReadCancelled {};

// Reads the family-tree file at `path` and indexes its people's names, reporting its progress
// in `control` and stopping when asked to. Throws Failure (gedcom::LoadFailure) with a message
// that names the file, or ReadCancelled.
std::shared_ptr<const LoadedFamilyFile> readFamilyFileAt(const QString& path, ReadControl& control);

class FamilyFileSession : public QObject {
    Q_OBJECT
public:
    FamilyFileSession(DialogService& dialogs, SettingsStore& store, QObject* parent = nullptr);
    // Cancels a read under way and waits for the reader to stop.
    ~FamilyFileSession() override;

    // What reads a file on the reader's thread: readFamilyFileAt unless replaced (tests hold a
    // read at will).
    using Reader =
        std::function<std::shared_ptr<const LoadedFamilyFile>(const QString&, ReadControl&)>;
    void setReader(Reader reader) { mRead = std::move(reader); }

    // Starts reading the file the user chose; a read under way is cancelled. The file open
    // until now stays open until the new one is read: a file that cannot be read gets one
    // message and changes nothing.
    void open(const QString& path);
    // At start: reads the remembered file again. One that is gone or cannot be read is
    // forgotten with a note (note()), never a message box.
    void openRemembered();
    // Stops the read under way; the file open before it stays.
    void cancel();
    // Back to no family file: the charts are blank, as without one.
    void close();

    bool reading() const { return mControl != nullptr; }
    QString readingPath() const { return mReadingPath; }
    // How far the read under way is, from 0 to 1000.
    int progress() const;
    // The file open now, or null.
    const std::shared_ptr<const LoadedFamilyFile>& current() const { return mCurrent; }
    // The open file's problems, then those met while filling charts from it.
    QList<gedcom::FileWarning> warnings() const;
    // How many problems there are, those not kept in warnings() included.
    std::size_t problemCount() const;
    // Problems met while filling a chart, kept once each.
    void addChartWarnings(const QList<gedcom::FileWarning>& warnings);
    // What the window says about the family file beside it (a remembered file forgotten, a
    // read cancelled); empty when there is nothing to say.
    QString note() const { return mNote; }

    // The person chosen from the list for the text `text`, kept by cross-reference: the chart
    // is theirs while Text1 holds that text, even when others share the name.
    void choosePerson(std::int32_t person, const QString& text);
    // Text1 changed: a choice made for another text no longer holds.
    void textChanged(const QString& text);
    std::int32_t chosenPerson() const { return mChosen; }

    // The file and the chosen person as a run takes them.
    OpenFamilyFile forRun(const QString& text1) const;
    // The line the window always shows: whom the chart will be for.
    QString targetLine(const QString& text1) const;

signals:
    // The open file, the read under way or the note changed.
    void changed();
    // The read under way went on (progress()).
    void progressed();

private:
    enum class Origin { User, Remembered };
    void start(const QString& path, Origin origin);
    void finish(const std::shared_ptr<ReadControl>& control, Origin origin,
                std::shared_ptr<const LoadedFamilyFile> loaded, const QString& failure);
    void replaceCurrent(std::shared_ptr<const LoadedFamilyFile> next);
    void forget(const QString& note);
    void remember(const QString& path);

    DialogService& mDialogs;
    SettingsStore& mStore;
    Reader mRead = readFamilyFileAt;
    QThreadPool mReader; // one thread: a new read waits until a cancelled one has stopped
    QTimer mProgressTicks;
    std::shared_ptr<ReadControl> mControl; // the read under way, or null
    QString mReadingPath;
    std::shared_ptr<const LoadedFamilyFile> mCurrent;
    QString mNote;
    QList<gedcom::FileWarning> mChartWarnings;
    std::int32_t mChosen = -1;
    QString mChosenText;
};

} // namespace pq
