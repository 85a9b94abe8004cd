// The family file in the main window: opening one (Ctrl+O through the dialog port, or a drop),
// the chart for one of two people of the same name saved byte for byte as the command-line
// tool writes it, the line that says whom the chart is for, the remembered file, files that
// are no family files, and reads that are cancelled, overtaken or outlived by the window.

#include "gedcom/personlistmodel.h"
#include "mainwindow/familyfilerow.h"
#include "mainwindow/familyfilesession.h"
#include "mainwindow/form1.h"
#include "mainwindow/personcompleter.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/settingsstore.h"
#include "preview/form2.h"
#include "support/faultydisk.h"
#include "support/scripteddialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace pq {
namespace {

// Two people named Karl Müller: the first is Zoë's father, with parents of his own; the
// second has none and no dates.
const char* const kFamily = "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n1 CHAR UTF-8\n"
                            "0 @I1@ INDI\n1 NAME Zoë /Müller/\n1 BIRT\n2 DATE 3 MAY 1901\n"
                            "1 FAMC @F1@\n"
                            "0 @I2@ INDI\n1 NAME Karl /Müller/\n1 BIRT\n2 DATE ABT 1870\n"
                            "1 FAMC @F2@\n"
                            "0 @I3@ INDI\n1 NAME Anna /Roth/\n"
                            "0 @I4@ INDI\n1 NAME Otto /Müller/\n1 DEAT\n2 DATE 1911\n"
                            "0 @I9@ INDI\n1 NAME Karl /Müller/\n"
                            "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I3@\n1 CHIL @I1@\n"
                            "0 @F2@ FAM\n1 HUSB @I4@\n1 CHIL @I2@\n"
                            "0 @F9@ FAM\n1 HUSB @I404@\n0 TRLR\n";

class FamilyFileTest : public ::testing::Test {
protected:
    FamilyFileTest() : store(dir.filePath(QStringLiteral("store.ini"))), preview(dialogs) {
        previousTemp = qgetenv("TEMP");
        qputenv("TEMP", dir.path().toUtf8());
        preview.setEndProcess([] {});
    }
    ~FamilyFileTest() override { qputenv("TEMP", previousTemp); }

    Form1& load() {
        form = std::make_unique<Form1>(dialogs, store, preview);
        form->setWebsiteHooks({[] { return 0.5; }, [](const QUrl&) {}});
        form->Form_Load();
        return *form;
    }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QString stored(const QString& key) const {
        return QSettings(dir.filePath(QStringLiteral("store.ini")), QSettings::IniFormat)
            .value(kProductTitle + QLatin1Char('/') + key, QStringLiteral("<absent>"))
            .toString();
    }

    FamilyFileSession& session() { return form->familySession(); }
    FamilyFileRow& row() { return *form->FamilyRow; }

    // Waits for the read under way to end (a guard against a hang, not a measure of speed).
    void waitForRead() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !session().reading(); }));
    }

    void openAndWait(const QString& path) {
        session().open(path);
        waitForRead();
    }

    QTemporaryDir dir;
    QByteArray previousTemp;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    Form2 preview;
    std::unique_ptr<Form1> form;
};

// A reader that holds the read until it is cancelled, then hands over `late` (a result that
// arrives too late to be wanted) or gives up.
FamilyFileSession::Reader heldReader(std::atomic<int>& started, QString late = QString()) {
    return [&started, late](const QString&, ReadControl& control) {
        ++started;
        control.total = 1000;
        control.done = 250;
        while (!control.cancelled)
            QThread::msleep(2);
        if (late.isEmpty())
            throw ReadCancelled();
        ReadControl fresh;
        return readFamilyFileAt(late, fresh);
    };
}

// --- The whole path ---

TEST_F(FamilyFileTest, TheChartOfOneOfTwoNamesakesIsSavedAsTheToolWritesIt) {
    const QString ged = write(QStringLiteral("family.ged"), kFamily);
    load().show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    dialogs.openPaths.push_back(ged);
    QTest::keyClick(form->Text1, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    waitForRead();
    EXPECT_EQ(row().FileName->text(), QStringLiteral("family.ged"));
    EXPECT_EQ(stored(kFamilyFileKey), QFileInfo(ged).absoluteFilePath());
    // @F9@ names a husband who is not there: the list of problems says so, with file and line.
    EXPECT_EQ(row().WarningsButton->text(), QStringLiteral("Warnings (1)"));
    QTest::mouseClick(row().WarningsButton, Qt::LeftButton);
    auto* warnings = row().findChild<QDialog*>(QStringLiteral("WarningsList"));
    ASSERT_NE(warnings, nullptr);
    EXPECT_TRUE(warnings->isVisible());
    const QTableWidget* problems = warnings->findChild<QTableWidget*>();
    ASSERT_EQ(problems->rowCount(), 1);
    EXPECT_EQ(problems->item(0, 0)->text(), QStringLiteral("family.ged"));
    EXPECT_EQ(problems->item(0, 1)->text(), QStringLiteral("31"));
    EXPECT_TRUE(problems->item(0, 2)->text().contains(QStringLiteral("@I404@")));

    form->Text2->setText(QStringLiteral("4"));
    form->Text1->clear();
    QTest::keyClicks(form->Text1, QStringLiteral("karl muller")); // accents and case ignored
    EXPECT_TRUE(row().Target->text().contains(QStringLiteral("names 2 people")));
    PersonCompleter& people = *row().People;
    ASSERT_TRUE(people.isListShown());
    QAbstractItemView* list = people.completer()->popup();
    int second = -1; // the row of the Karl without parents, @I9@
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (list->model()->index(r, 0).data(gedcom::PersonListModel::XrefRole) == "@I9@")
            second = r;
    ASSERT_GE(second, 0);
    for (int r = 0; r <= second; ++r)
        QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return); // chooses, and starts nothing
    EXPECT_FALSE(people.isListShown());
    EXPECT_TRUE(preview.mExcelFile.isEmpty());
    EXPECT_EQ(form->Text1->text(), QStringLiteral("Karl Müller"));
    EXPECT_TRUE(row().Target->text().contains(QStringLiteral("@I9@")));

    QTest::keyClick(form->Text2, Qt::Key_Return);
    EXPECT_TRUE(dialogs.choiceRequests.empty()); // the choice from the list holds
    ASSERT_FALSE(preview.mExcelFile.isEmpty()) << dialogs.texts().join('|').toStdString();
    const QString saved = dir.filePath(QStringLiteral("window.xls"));
    dialogs.savePaths.push_back(saved);
    preview.PushButton6_Click();

    const QString tool = dir.filePath(QStringLiteral("tool.xls"));
    ASSERT_EQ(QProcess::execute(QStringLiteral(PQ_CLI_PATH),
                                {QStringLiteral("--gedcom"), ged, QStringLiteral("@I9@"),
                                 QStringLiteral("4"), tool}),
              0);
    const QByteArray workbook = test::readAll(saved);
    ASSERT_FALSE(workbook.isEmpty());
    EXPECT_EQ(workbook, test::readAll(tool));
    // The other Karl's chart differs: it has his parents and years.
    ASSERT_EQ(QProcess::execute(QStringLiteral(PQ_CLI_PATH),
                                {QStringLiteral("--force"), QStringLiteral("--gedcom"), ged,
                                 QStringLiteral("@I2@"), QStringLiteral("4"), tool}),
              0);
    EXPECT_NE(workbook, test::readAll(tool));
    // The list of problems follows the open file: closing the file takes it away.
    EXPECT_TRUE(warnings->isVisible());
    QTest::mouseClick(row().CloseButton, Qt::LeftButton);
    EXPECT_FALSE(warnings->isVisible());
    EXPECT_FALSE(row().WarningsButton->isEnabled());
}

TEST_F(FamilyFileTest, TheLineSaysWhomTheChartIsForAndAChoiceHoldsForItsTextOnly) {
    load();
    EXPECT_TRUE(row().Target->text().contains(QStringLiteral("No family file")));
    openAndWait(write(QStringLiteral("family.ged"), kFamily));
    const auto line = [&](const char* text) {
        form->Text1->setText(QString::fromUtf8(text));
        return row().Target->text();
    };
    EXPECT_TRUE(line("zoe muller").contains(QStringLiteral("@I1@ Zoë Müller (b. 1901)")));
    EXPECT_TRUE(line("@I4@").contains(QStringLiteral("@I4@ Otto Müller (d. 1911)")));
    EXPECT_TRUE(line("Karl Müller").contains(QStringLiteral("names 2 people")));
    EXPECT_TRUE(line("Nobody Known").contains(QStringLiteral("No one")));
    EXPECT_TRUE(line("  ").contains(QStringLiteral("Type the name")));

    const auto second = session().current()->file->personByXref("I9");
    form->Text1->setText(QStringLiteral("Karl Müller"));
    session().choosePerson(second, QStringLiteral("Karl Müller"));
    EXPECT_TRUE(row().Target->text().contains(QStringLiteral("@I9@")));
    EXPECT_EQ(form->familyFile().chosen, second);
    // Typing on drops the choice, and typing the name again does not bring it back.
    line("Karl Müllerx");
    EXPECT_TRUE(line("Karl Müller").contains(QStringLiteral("names 2 people")));
    EXPECT_EQ(form->familyFile().chosen, -1);

    row().CloseButton->click();
    EXPECT_EQ(session().current(), nullptr);
    EXPECT_EQ(stored(kFamilyFileKey), QString());
    EXPECT_EQ(form->familyFile().file, nullptr);
}

// --- Files that cannot be used ---

TEST_F(FamilyFileTest, AFileThatIsNoFamilyFileGetsOneMessageAndChangesNothing) {
    load();
    const QString good = write(QStringLiteral("family.ged"), kFamily);
    openAndWait(good);
    for (const QString& bad : {write(QStringLiteral("letter.ged"), "Dear Ada,\nthe tree...\n"),
                               write(QStringLiteral("empty.ged"), ""),
                               dir.filePath(QStringLiteral("missing.ged")), dir.path()}) {
        SCOPED_TRACE(bad.toStdString());
        dialogs.messages.clear();
        dialogs.openPaths.push_back(bad);
        row().OpenButton->click();
        waitForRead();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_TRUE(dialogs.messages[0].text.contains(QFileInfo(bad).fileName()));
        EXPECT_EQ(session().current()->path, QFileInfo(good).absoluteFilePath());
        EXPECT_EQ(row().FileName->text(), QStringLiteral("family.ged"));
        EXPECT_EQ(stored(kFamilyFileKey), QFileInfo(good).absoluteFilePath());
    }
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("cannot read")));
}

TEST_F(FamilyFileTest, ARememberedFileThatIsGoneOrBrokenIsForgottenWithANoteInTheWindow) {
    const QString gone = dir.filePath(QStringLiteral("gone.ged"));
    store.SaveSetting(kSettingsApplication, kProductTitle, kFamilyFileKey, gone);
    load();
    EXPECT_EQ(stored(kFamilyFileKey), QString());
    EXPECT_TRUE(row().Note->text().contains(QStringLiteral("gone.ged")));
    EXPECT_EQ(session().current(), nullptr);

    const QString broken = write(QStringLiteral("broken.ged"), "not a family file\n");
    store.SaveSetting(kSettingsApplication, kProductTitle, kFamilyFileKey, broken);
    load();
    waitForRead();
    EXPECT_EQ(stored(kFamilyFileKey), QString());
    EXPECT_TRUE(row().Note->text().contains(QStringLiteral("broken.ged")));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join('|').toStdString();

    // A file that is still there opens again at the next start.
    const QString good = write(QStringLiteral("family.ged"), kFamily);
    store.SaveSetting(kSettingsApplication, kProductTitle, kFamilyFileKey, good);
    load();
    waitForRead();
    EXPECT_EQ(row().FileName->text(), QStringLiteral("family.ged"));
    EXPECT_TRUE(row().Note->text().isEmpty());
}

// --- Reading off the user-interface thread ---

TEST_F(FamilyFileTest, AReadIsCancelledOvertakenOrOutlivedByTheWindowSafely) {
    load();
    const QString good = write(QStringLiteral("family.ged"), kFamily);
    openAndWait(good);
    std::atomic<int> started = 0;

    // Cancelled: the file open before stays open.
    session().setReader(heldReader(started));
    session().open(dir.filePath(QStringLiteral("large.ged")));
    EXPECT_TRUE(session().reading());
    EXPECT_FALSE(row().Progress->isHidden());
    EXPECT_EQ(row().CloseButton->text(), QStringLiteral("Cancel"));
    row().CloseButton->click();
    EXPECT_FALSE(session().reading());
    EXPECT_TRUE(row().Progress->isHidden());
    EXPECT_EQ(session().current()->path, QFileInfo(good).absoluteFilePath());

    // Overtaken: a read that finishes after another file was chosen is dropped.
    const QString other = write(QStringLiteral("other.ged"), kFamily);
    session().setReader(heldReader(started, good));
    session().open(dir.filePath(QStringLiteral("slow.ged")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 2; }));
    session().setReader(readFamilyFileAt);
    session().open(other);
    waitForRead();
    QTest::qWait(50); // lets a late result arrive, were it not dropped
    EXPECT_EQ(session().current()->fileName, QStringLiteral("other.ged"));
    EXPECT_TRUE(dialogs.messages.empty());

    // Outlived: closing the window stops the read and waits for it.
    session().setReader(heldReader(started));
    session().open(dir.filePath(QStringLiteral("large.ged")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started == 3; }));
    form.reset();
    EXPECT_EQ(stored(kFamilyFileKey), QFileInfo(other).absoluteFilePath());
}

TEST_F(FamilyFileTest, OnlyOneDroppedGedFileOpens) {
    const QString ged = write(QStringLiteral("family.ged"), kFamily);
    const auto carried = [](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        return familyFileInDrop(data);
    };
    EXPECT_EQ(carried({QUrl::fromLocalFile(ged)}), ged);
    EXPECT_EQ(carried({QUrl::fromLocalFile(QStringLiteral("/x/FAMILY.GED"))}),
              QStringLiteral("/x/FAMILY.GED"));
    EXPECT_EQ(carried({QUrl::fromLocalFile(QStringLiteral("/x/chart.xls"))}), QString());
    EXPECT_EQ(carried({QUrl::fromLocalFile(ged), QUrl::fromLocalFile(ged)}), QString());
    EXPECT_EQ(carried({QUrl(QStringLiteral("https://example.org/family.ged"))}), QString());

    load();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(ged)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    waitForRead();
    EXPECT_EQ(row().FileName->text(), QStringLiteral("family.ged"));
}

} // namespace
} // namespace pq
