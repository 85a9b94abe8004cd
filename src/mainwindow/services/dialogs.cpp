#include "dialogs.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace pq {

MsgResult MsgBox(DialogService& dialogs, const QString& text, MsgButtons buttons) {
    return dialogs.message({text, QString(), buttons, MsgIcon::None, true});
}

QString displayText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

namespace {
QString withoutBreaks(const QString& address) {
    QString out;
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, address);
    qsizetype start = 0;
    while (lines.toNextBoundary() != -1 && lines.position() < address.size()) {
        out += address.mid(start, lines.position() - start) + QChar(kWordJoiner);
        start = lines.position();
    }
    return out + address.mid(start);
}
} // namespace

QString keepAddressesWhole(const QString& text) {
    // A scheme and "//" (or "www.") starts a web address; a word with "@" is an e-mail address.
    static const QRegularExpression address(
        QStringLiteral(R"((?:[A-Za-z][A-Za-z0-9+.\-]*://|www\.)\S+|[^\s@]+@[^\s@]+)"));
    QString out;
    qsizetype done = 0;
    for (auto matches = address.globalMatch(text); matches.hasNext();) {
        const QRegularExpressionMatch m = matches.next();
        out += text.mid(done, m.capturedStart() - done) + withoutBreaks(m.captured());
        done = m.capturedEnd();
    }
    return out + text.mid(done);
}

QString qtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        // Qt reads the patterns from the parentheses; add them when the description has none.
        if (description.contains(QLatin1Char('(')))
            entries << description;
        else
            entries << QStringLiteral("%1 (%2)").arg(description,
                                                     QString(patterns).replace(';', ' '));
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace pq
