#include "chartfill.h"

#include "gedcom/dates.h"
#include "gedcom/familyload.h"
#include "gedcom/pedigree.h"
#include "spreadsheet/engine/xls/sheetmodel.h"

#include <bit>
#include <unordered_set>

namespace pq {

namespace {

QString candidateList(const gedcom::FamilyFile& file, const gedcom::PersonChoice& choice) {
    QString list;
    for (const std::int32_t person : choice.candidates)
        list += QStringLiteral("\n  ") + gedcom::describePerson(file, person);
    if (choice.pool > choice.candidates.size())
        list +=
            QStringLiteral("\n  \u2026 and %1 more").arg(choice.pool - choice.candidates.size());
    return list;
}

QString noSinglePerson(const gedcom::FamilyFile& file, const gedcom::PersonChoice& choice,
                       const QString& who, const QString& fileName) {
    if (who.startsWith(QLatin1Char('@')) && who.endsWith(QLatin1Char('@')))
        return QStringLiteral("%1 has no person %2").arg(fileName, who);
    if (choice.matches > 1)
        return QStringLiteral("\"%1\" names %2 people in %3; choose one by its cross-reference:%4")
            .arg(who)
            .arg(choice.matches)
            .arg(fileName, candidateList(file, choice));
    QString message = QStringLiteral("no person in %1 is named \"%2\"").arg(fileName, who);
    if (!choice.candidates.empty())
        message += QStringLiteral("; people with a similar name:") + candidateList(file, choice);
    return message;
}

gedcom::FileWarning located(const QString& path, const gedcom::Warning& w) {
    return {path, w.line, w.text};
}

void gatherBoxes(const gedcom::FamilyFile& file, std::int32_t person, const QString& fileName,
                 ChartFill& fill) {
    const gedcom::Pedigree pedigree = gedcom::pedigreeOf(file, person, fill.columns);
    std::unordered_set<std::int32_t> seen;
    for (const gedcom::Warning& loop : pedigree.loops)
        fill.warnings << located(fileName, loop);
    for (std::size_t k = 1; k < pedigree.ancestors.size(); ++k) {
        const std::int32_t who = pedigree.ancestors[k];
        if (who < 0)
            continue;
        gedcom::LifeYears years = gedcom::lifeYearsOf(file, who);
        if (seen.insert(who).second) // an ancestor in two boxes is reported once
            for (const gedcom::Warning& w : years.warnings)
                fill.warnings << located(fileName, w);
        BoxText box{static_cast<int>(k), gedcom::chartName(file, who), std::move(years.text)};
        // A cell holds 32,767 characters; a longer name is left out rather than cut short.
        if (box.name.size() > engine::kMaxCellTextLength) {
            fill.warnings << located(fileName,
                                     {file.people()[who].name.line,
                                      QStringLiteral("the name has %1 characters, more than a "
                                                     "cell holds; the box is left blank")
                                          .arg(box.name.size())});
            box.name.clear();
        }
        fill.boxes.push_back(std::move(box));
    }
}

} // namespace

PreparedFill prepareChartFill(const QString& gedcomPath, const QString& who, int columns) {
    const QString& fileName = gedcomPath; // named as the user gave it
    std::unique_ptr<gedcom::FamilyFile> file;
    try {
        file = gedcom::loadFamilyFile(gedcomPath);
    } catch (const gedcom::LoadFailure& f) {
        if (f.kind() == gedcom::LoadFailure::Kind::OutOfMemory)
            throw; // not the file's fault
        return {{f.description()}, {}};
    }
    PreparedFill prepared;
    ChartFill& fill = prepared.fill;
    fill.warnings = gedcom::fileWarnings(*file, gedcomPath);

    const gedcom::PersonChoice choice = gedcom::choosePerson(*file, who);
    if (choice.person < 0) {
        prepared.errors << noSinglePerson(*file, choice, who.trimmed(), fileName);
        return prepared;
    }
    ChartFill chart = fillFor(*file, choice.person, columns, fileName);
    chart.warnings = fill.warnings + chart.warnings; // the file's own problems first
    fill = std::move(chart);
    return prepared;
}

ChartFill fillFor(const gedcom::FamilyFile& file, std::int32_t person, int columns,
                  const QString& fileName) {
    ChartFill fill;
    fill.name = gedcom::chartName(file, person);
    fill.columns = std::max(columns, 0);
    gatherBoxes(file, person, fileName, fill);
    return fill;
}

std::pair<int, int> boxCell(int ahnentafel, int columns) {
    const int generation = std::bit_width(static_cast<unsigned>(ahnentafel)) - 1;
    const int place = ahnentafel - (1 << generation); // from the top of its column
    const int t = columns - 1 - generation;           // columns from B
    return {4 + (1 << t) + place * (1 << (t + 1)), 2 + t};
}

namespace {

// "A", "B", ... "P": the letters of a generation column (at most 16 of them).
QString columnLetter(int column) {
    return QString(QChar(u'A' + column - 1));
}

} // namespace

void FillChart(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartFill& fill) {
    if (fill.columns <= 0)
        return; // a blank chart keeps its plan
    // The layout makes B to F 24 characters wide; older generations' columns, narrow in the
    // blank chart, hold names too.
    const int lastColumn = 1 + fill.columns;
    if (lastColumn > 6)
        g(292, [&] {
            sheet->columns(QStringLiteral("G:") + columnLetter(lastColumn))
                ->setColumnWidth(QStringLiteral("24"));
        });
    // A name wider than its box is shown smaller rather than cut off.
    g(294, [&] { sheet->cells(2, 2)->setShrinkToFit(true); });
    for (const BoxText& box : fill.boxes) {
        const auto [row, column] = boxCell(box.ahnentafel, fill.columns);
        if (!box.name.isEmpty()) {
            g(288, [&] { sheet->cells(row, column)->setValue(box.name); });
            g(294, [&] { sheet->cells(row, column)->setShrinkToFit(true); });
        }
        if (!box.years.isEmpty()) {
            g(290, [&] { sheet->cells(row + 1, column)->setValue(box.years); });
            g(294, [&] { sheet->cells(row + 1, column)->setShrinkToFit(true); });
        }
    }
}

void LayOutChartSheet(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartInputs& inputs,
                      const ChartFill& fill, Paper paper) {
    LayOutChart(g, sheet, inputs);
    FillChart(g, sheet, fill);
    SetUpPrinting(g, sheet, paper);
}

} // namespace pq
