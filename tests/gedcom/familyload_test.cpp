// Loading a family-tree file from a path: only regular files of a sane size, given up at the
// first bytes that are not a family tree, with progress and cancellation.

#include "gedcom/familyload.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pq::gedcom {
namespace {

const QByteArray kTree = "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Ann /Smith/\n0 TRLR\n";

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    return path;
}

// A file of `size` bytes that takes no room: `head`, then a hole of NULs.
QString sparse(const QTemporaryDir& dir, const QString& name, const QByteArray& head, qint64 size) {
    const QString path = write(dir, name, head);
    EXPECT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
    return path;
}

LoadFailure failureOf(const QString& path, const LoadControl& control = {}) {
    try {
        loadFamilyFile(path, control);
    } catch (const LoadFailure& f) {
        return f;
    }
    ADD_FAILURE() << "loaded " << path.toStdString();
    return LoadFailure(LoadFailure::Kind::Unreadable, path, QString());
}

TEST(FamilyLoad, RefusesWhatIsNotARegularFileOfASaneSize) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.ged"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Refused at once, without waiting for a writer that never comes.
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/dev/null")}) {
        const LoadFailure f = failureOf(path);
        EXPECT_EQ(f.kind(), LoadFailure::Kind::NotRegularFile) << path.toStdString();
        EXPECT_EQ(f.path(), path);
        EXPECT_TRUE(f.description().startsWith(QStringLiteral("cannot read ") + path + ": "))
            << f.description().toStdString();
    }
    EXPECT_EQ(failureOf(dir.path()).kind(), LoadFailure::Kind::Unreadable);
    EXPECT_EQ(failureOf(dir.filePath(QStringLiteral("none.ged"))).kind(),
              LoadFailure::Kind::Unreadable);

    // Over 2 GiB: refused by its size, before a byte is read.
    qint64 reported = 0;
    const LoadControl control{[&](qint64 read, qint64) { reported = read; }};
    const QString huge = sparse(dir, QStringLiteral("huge.ged"), kTree, kMaxFamilyFileBytes + 1);
    const LoadFailure tooLarge = failureOf(huge, control);
    EXPECT_EQ(tooLarge.kind(), LoadFailure::Kind::TooLarge);
    EXPECT_TRUE(tooLarge.description().contains(huge));
    EXPECT_EQ(reported, 0);
}

TEST(FamilyLoad, GivesUpAtTheFirstBytesThatAreNotAFamilyTree) {
    QTemporaryDir dir;
    qint64 read = 0;
    const LoadControl control{[&](qint64 done, qint64) { read = done; }};
    // 1 GiB of NULs, or a workbook's bytes: known from the first chunk.
    for (const QByteArray& head : {QByteArray(), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"),
                                   QByteArray("\n\n  1 HEAD\n0 TRLR\n")}) {
        read = 0;
        const QString path = sparse(dir, QStringLiteral("junk.ged"), head, qint64(1) << 30);
        const LoadFailure f = failureOf(path, control);
        EXPECT_EQ(f.kind(), LoadFailure::Kind::NotFamilyTree);
        EXPECT_EQ(f.line(), head.startsWith('\n') ? 3u : 1u);
        EXPECT_TRUE(f.description().startsWith(
            QStringLiteral("%1 line %2: this is not a family-tree").arg(path).arg(f.line())))
            << f.description().toStdString();
        EXPECT_LE(read, qint64(4) << 20);
    }
    // A small file is read whole and judged by the reading itself, which names the problem.
    const LoadFailure empty = failureOf(write(dir, QStringLiteral("empty.ged"), {}));
    EXPECT_EQ(empty.kind(), LoadFailure::Kind::NotFamilyTree);
    EXPECT_TRUE(empty.description().endsWith(QStringLiteral("empty.ged: the file is empty")));
}

// The early verdict never refuses what the whole reading would accept, nor accepts what it
// refuses, at any cut of the opening.
TEST(FamilyLoad, JudgesTheOpeningAsTheReadingDoes) {
    auto utf16 = [](const QByteArray& ascii) {
        QByteArray out;
        for (const char c : ascii)
            out.append(c).append('\0');
        return out;
    };
    const QByteArray files[] = {kTree,
                                "\r\n\t \r\n" + kTree,
                                "\xEF\xBB\xBF" + kTree,
                                utf16(kTree),
                                "0000 HEAD\n0 TRLR\n",
                                "0 @H1@ HEAD\n0 TRLR\n",
                                "0 HEADER\n0 TRLR\n",
                                "00000 HEAD\n0 TRLR\n",
                                "0 HEAD",
                                "0HEAD\n0 TRLR\n",
                                "1 HEAD\n0 TRLR\n",
                                "x\n" + kTree,
                                "0 @I1@ INDI\n" + kTree,
                                QByteArray("\0\0\0\0\0\0", 6),
                                "0 @H1 HEAD\n0 TRLR\n"};
    for (const QByteArray& bytes : files) {
        bool refused = false;
        try {
            readFamilyFile(bytes);
        } catch (const FormatFailure&) {
            refused = true;
        }
        for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
            const Opening o = judgeOpening(bytes.left(cut), false);
            if (o.verdict != Opening::Verdict::Undecided) {
                EXPECT_EQ(o.verdict == Opening::Verdict::NotFamilyTree, refused)
                    << bytes.toStdString() << " cut at " << cut;
            }
        }
    }
    EXPECT_EQ(judgeOpening(QByteArray(16, '\0'), false).verdict, Opening::Verdict::NotFamilyTree);
    EXPECT_EQ(judgeOpening(kTree, false).verdict, Opening::Verdict::FamilyTree);
}

TEST(FamilyLoad, ReportsProgressAndStopsWhenCancelled) {
    QTemporaryDir dir;
    QByteArray big = kTree;
    big.chop(7); // "0 TRLR\n"
    while (big.size() < (qint64(3) << 20))
        big += "0 @I" + QByteArray::number(big.size()) + "@ INDI\n1 NAME Bo /Li/\n";
    big += "0 TRLR\n";
    const QString path = write(dir, QStringLiteral("big.ged"), big);

    std::vector<std::pair<qint64, qint64>> steps;
    const auto file = loadFamilyFile(path, {[&](qint64 r, qint64 t) { steps.emplace_back(r, t); }});
    ASSERT_TRUE(file);
    EXPECT_EQ(file->personByXref("I1"), 0);
    EXPECT_TRUE(file->warnings().kept().empty());
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps.back(), std::make_pair(qint64(big.size()), qint64(big.size())));
    for (std::size_t i = 1; i < steps.size(); ++i)
        EXPECT_GT(steps[i].first, steps[i - 1].first);

    std::atomic<bool> cancel = false;
    int calls = 0;
    const LoadControl cancelling{[&](qint64, qint64) { cancel = ++calls == 2; }, &cancel};
    EXPECT_EQ(loadFamilyFile(path, cancelling), nullptr);
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace pq::gedcom
