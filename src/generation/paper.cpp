#include "paper.h"

#include "mainwindow/services/appfiles.h"
#include "mainwindow/services/settingsstore.h"

#include <exception>

namespace pq {

namespace {

struct PaperFacts {
    Paper paper;
    const char* name;
    QPageSize::PageSizeId size;
    int workbookCode;
};

// The workbook codes are the spreadsheet application's paper size constants.
constexpr PaperFacts kFacts[] = {
    {Paper::A4, "A4", QPageSize::A4, 9},
    {Paper::Letter, "Letter", QPageSize::Letter, 1},
    {Paper::Legal, "Legal", QPageSize::Legal, 5},
    {Paper::A3, "A3", QPageSize::A3, 8},
    {Paper::Tabloid, "Tabloid", QPageSize::Tabloid, 3},
};

const PaperFacts& factsOf(Paper paper) {
    for (const PaperFacts& f : kFacts)
        if (f.paper == paper)
            return f;
    return kFacts[0];
}

} // namespace

QString paperName(Paper paper) {
    return QLatin1String(factsOf(paper).name);
}

QStringList paperNames() {
    QStringList names;
    for (const PaperFacts& f : kFacts)
        names << QLatin1String(f.name);
    return names;
}

std::optional<Paper> paperFromName(const QString& name) {
    QString key = name.trimmed().toLower();
    key.remove(QLatin1Char(' '));
    key.remove(QLatin1Char('-'));
    if (key == QLatin1String("usletter"))
        key = QStringLiteral("letter");
    if (key == QLatin1String("uslegal"))
        key = QStringLiteral("legal");
    for (const PaperFacts& f : kFacts)
        if (key == QString::fromLatin1(f.name).toLower())
            return f.paper;
    return std::nullopt;
}

Paper localePaper(const QLocale& locale) {
    return locale.measurementSystem() == QLocale::ImperialUSSystem ? Paper::Letter : Paper::A4;
}

QPageSize pageSize(Paper paper) {
    return QPageSize(factsOf(paper).size);
}

std::optional<Paper> paperOf(const QPageSize& size) {
    for (const Paper paper : kPapers)
        if (size.id() == factsOf(paper).size)
            return paper;
    return std::nullopt;
}

int workbookPaperCode(Paper paper) {
    return factsOf(paper).workbookCode;
}

namespace {
const QString kPaperKey = QStringLiteral("Paper");
}

Paper rememberedPaper(const SettingsStore& store) {
    const QString name =
        store.GetSetting(kSettingsApplication, kProductTitle, kPaperKey, QString());
    return paperFromName(name).value_or(localePaper());
}

void rememberPaper(SettingsStore& store, Paper paper) {
    try {
        store.SaveSetting(kSettingsApplication, kProductTitle, kPaperKey, paperName(paper));
    } catch (const std::exception& failure) {
        qWarning("settings store: the paper could not be written: %s", failure.what());
    }
}

} // namespace pq
