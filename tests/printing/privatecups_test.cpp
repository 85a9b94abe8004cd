// Printing from the preview through a real print system: a private CUPS scheduler (its own
// configuration folder, port and spool) with a queue that writes what it receives to a file.
// The charts go from the preview's Print… through the scripted dialogs and the real printer
// path; pdfinfo and pdftotext check what arrives. Where no private scheduler can start, the
// test says why and skips.

#include "generation/pagination.h"
#include "preview/previewfixture.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QThread>
#include <unistd.h>

namespace pq::test {
namespace {

const QString kQueue = QStringLiteral("pedigrafa-test");

struct Output {
    int status = -1;
    QString text;
};

Output run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAll())};
}

QString pdfField(const QString& pdf, const QString& field) {
    for (const QString& line : run(QStringLiteral("pdfinfo"), {pdf}).text.split('\n'))
        if (line.startsWith(field + QLatin1Char(':')))
            return line.mid(field.size() + 1).trimmed();
    return QString();
}

void writeText(const QString& path, const QString& text) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8());
}

// The scheduler and its queue; whyNot() says what kept it from starting.
class PrivateCups {
public:
    PrivateCups() {
        mHost = QStringLiteral("127.0.0.1:%1").arg(20000 + getpid() % 20000);
        if (!start())
            return;
        qputenv("CUPS_SERVER", mHost.toUtf8());
    }
    ~PrivateCups() {
        if (mScheduler.state() != QProcess::NotRunning) {
            mScheduler.terminate();
            mScheduler.waitForFinished(10000);
        }
    }
    const QString& whyNot() const { return mWhyNot; }
    QString output() const { return mRoot.filePath(QStringLiteral("out/printed.pdf")); }

    // Waits until the queue holds no job and returns what the last one wrote.
    bool waitForIdleQueue() {
        for (int i = 0; i < 600; ++i) {
            const Output jobs = run(QStringLiteral("lpstat"),
                                    {QStringLiteral("-h"), mHost, QStringLiteral("-o"), kQueue});
            if (jobs.status == 0 && jobs.text.trimmed().isEmpty())
                return true;
            QThread::msleep(100);
        }
        return false;
    }

private:
    bool fail(const QString& why) {
        mWhyNot = why;
        return false;
    }

    bool start() {
        const QString cupsd = QStringLiteral("/usr/sbin/cupsd");
        if (!QFile::exists(cupsd))
            return fail(QStringLiteral("no %1 (the package cups-daemon)").arg(cupsd));
        const QDir root(mRoot.path());
        for (const char* folder : {"spool", "tmp", "cache", "state", "log", "out", "bin/filter"})
            root.mkpath(QLatin1String(folder));
        QFile::setPermissions(root.filePath(QStringLiteral("out")),
                              QFileDevice::Permissions(0x7777));
        // The queue's one filter hands the job on as it came; the scheduler's helpers are the
        // system's.
        writeText(
            root.filePath(QStringLiteral("bin/filter/passthrough")),
            QStringLiteral("#!/bin/sh\nif [ -n \"$6\" ]; then exec cat \"$6\"; fi\nexec cat\n"));
        QFile::setPermissions(root.filePath(QStringLiteral("bin/filter/passthrough")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                  QFileDevice::ExeOther);
        QFile::link(QStringLiteral("/usr/lib/cups/daemon"),
                    root.filePath(QStringLiteral("bin/daemon")));
        writeText(root.filePath(QStringLiteral("cupsd.conf")),
                  QStringLiteral("Listen %1\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                 "  </Limit>\n</Policy>\n")
                      .arg(mHost));
        QString files;
        for (const auto& [key, folder] : {std::pair{"ServerRoot", ""},
                                          {"RequestRoot", "spool"},
                                          {"TempDir", "tmp"},
                                          {"CacheDir", "cache"},
                                          {"StateDir", "state"},
                                          {"ServerBin", "bin"},
                                          {"ErrorLog", "log/error_log"},
                                          {"AccessLog", "log/access_log"},
                                          {"PageLog", "log/page_log"}})
            files += QStringLiteral("%1 %2\n").arg(QLatin1String(key),
                                                   root.filePath(QLatin1String(folder)));
        writeText(root.filePath(QStringLiteral("cups-files.conf")),
                  files + QStringLiteral("FileDevice Yes\n"));
        writeText(root.filePath(QStringLiteral("file.ppd")), kPpd);

        mScheduler.setProcessChannelMode(QProcess::MergedChannels);
        mScheduler.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"),
                                 root.filePath(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                                 root.filePath(QStringLiteral("cups-files.conf"))});
        if (!mScheduler.waitForStarted(10000))
            return fail(QStringLiteral("cupsd does not start: %1").arg(mScheduler.errorString()));
        for (int i = 0; i < 100; ++i) {
            if (run(QStringLiteral("lpstat"), {QStringLiteral("-h"), mHost, QStringLiteral("-r")})
                    .text.contains(QStringLiteral("is running")))
                break;
            if (mScheduler.state() == QProcess::NotRunning)
                return fail(QStringLiteral("cupsd ended at once: %1")
                                .arg(QString::fromUtf8(mScheduler.readAll())));
            QThread::msleep(100);
        }
        const Output added =
            run(QStringLiteral("lpadmin"),
                {QStringLiteral("-h"), mHost, QStringLiteral("-p"), kQueue, QStringLiteral("-E"),
                 QStringLiteral("-v"), QStringLiteral("file://") + output(), QStringLiteral("-P"),
                 root.filePath(QStringLiteral("file.ppd"))});
        if (added.status != 0)
            return fail(QStringLiteral("the queue cannot be added: %1").arg(added.text));
        return true;
    }

    static inline const QString kPpd = QStringLiteral(
        "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
        "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"PQFILE.PPD\"\n"
        "*Manufacturer: \"Test\"\n*Product: \"(File)\"\n*ModelName: \"File\"\n"
        "*ShortNickName: \"File\"\n*NickName: \"File\"\n*PSVersion: \"(3010.000) 0\"\n"
        "*LanguageLevel: \"3\"\n*ColorDevice: True\n*DefaultColorSpace: RGB\n"
        "*FileSystem: False\n*Throughput: \"1\"\n"
        "*cupsFilter: \"application/pdf 0 passthrough\"\n"
        "*OpenUI *PageSize/Page Size: PickOne\n*DefaultPageSize: A4\n"
        "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
        "*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
        "*CloseUI: *PageSize\n*DefaultImageableArea: A4\n"
        "*ImageableArea A4/A4: \"0 0 595 842\"\n*ImageableArea Letter/Letter: \"0 0 612 792\"\n"
        "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n"
        "*PaperDimension Letter/Letter: \"612 792\"\n");

    QTemporaryDir mRoot;
    QString mHost;
    QString mWhyNot;
    QProcess mScheduler;
};

class PrintToPrivateCups : public PreviewTest {
protected:
    // Prints the chart shown with a plan chosen in the preview; returns the pages the preview
    // promised.
    QString print(PageFit fit, Paper paper, int pagesWide) {
        dialogs.onPrintPreview = [=](PrintPreviewRequest& r) {
            r.plan = static_cast<int>(fit);
            r.paper = paperNames().indexOf(paperName(paper));
            r.pagesWide = pagesWide;
            return true;
        };
        dialogs.onPrintDialog = [](QPrinter& printer) {
            printer.setPrinterName(kQueue);
            EXPECT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
            return true;
        };
        form->PrintButton->click();
        const PrintPreviewRequest& shown = dialogs.printPreviews.back();
        PrintPreviewRequest chosen = shown;
        dialogs.onPrintPreview(chosen);
        return chosen.describe(chosen).section(QLatin1Char(' '), 0, 0);
    }
};

TEST_F(PrintToPrivateCups, FiveAndTwelveGenerationsArriveOnTheChosenPaper) {
    PrivateCups cups;
    if (!cups.whyNot().isEmpty())
        GTEST_SKIP() << "no private CUPS scheduler: " << cups.whyNot().toStdString();

    showSampleChart(5);
    EXPECT_EQ(print(PageFit::Page, Paper::Letter, 1), QStringLiteral("1"));
    ASSERT_TRUE(cups.waitForIdleQueue());
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join('\n').toStdString();
    EXPECT_EQ(pdfField(cups.output(), "Pages"), QStringLiteral("1"));
    EXPECT_TRUE(pdfField(cups.output(), "Page size").contains(QStringLiteral("letter")));
    EXPECT_TRUE(run(QStringLiteral("pdftotext"), {cups.output(), QStringLiteral("-")})
                    .text.contains(kSampleTitle));

    showSampleChart(12);
    const QString pages = print(PageFit::Width, Paper::A4, 3);
    ASSERT_TRUE(cups.waitForIdleQueue());
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.texts().join('\n').toStdString();
    EXPECT_EQ(pdfField(cups.output(), "Pages"), pages);
    EXPECT_EQ(pages.toInt() % 3, 0);
    EXPECT_TRUE(pdfField(cups.output(), "Page size").contains(QStringLiteral("A4")));
    EXPECT_TRUE(run(QStringLiteral("pdftotext"),
                    {QStringLiteral("-l"), QStringLiteral("1"), cups.output(), QStringLiteral("-")})
                    .text.contains(QStringLiteral("Family Tree")));
}

} // namespace
} // namespace pq::test
