#pragma once

// The paper a chart is printed on: the sizes offered, their names as the user types them, the
// default that follows the user's locale, and the code a workbook's page set-up stores.

#include <QLocale>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace pq {

enum class Paper { A4, Letter, Legal, A3, Tabloid };

inline constexpr Paper kPapers[] = {Paper::A4, Paper::Letter, Paper::Legal, Paper::A3,
                                    Paper::Tabloid};

// "A4", "Letter", "Legal", "A3", "Tabloid": shown to the user and stored in the settings.
QString paperName(Paper paper);
QStringList paperNames();

// The paper a name gives, whatever its case ("letter", "US Letter" and "tabloid" too);
// nothing for a name no paper has.
std::optional<Paper> paperFromName(const QString& name);

// US Letter where the locale measures in the US system, A4 elsewhere.
Paper localePaper(const QLocale& locale = QLocale());

QPageSize pageSize(Paper paper);
// The paper of a page size, where it is one of ours.
std::optional<Paper> paperOf(const QPageSize& size);

// The paper size code of a 97-2003 workbook's page set-up.
int workbookPaperCode(Paper paper);

class SettingsStore;

// The paper the user chose last, kept beside the main window's inputs ("Paper"); the locale's
// paper when none was chosen or the stored name is no paper's.
Paper rememberedPaper(const SettingsStore& store);
// Keeps the choice; a store that cannot be written keeps the old one (reported as a warning).
void rememberPaper(SettingsStore& store, Paper paper);

} // namespace pq
