#include "dialogs.h"

#include <QStringList>

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
