// libFuzzer entry point: any byte string given to the family-tree reader either reads (with
// warnings) or throws FormatFailure; whatever reads is used as the chart uses it: the first
// person chosen by their own name, their pedigree, names and life years. The loader's early
// verdict on the file's opening, taken on a cut of it, must agree with the whole reading. The
// window's person search is built over it and searched, and its resolution of the name must be
// the tool's choice.

#include "base/failure.h"
#include "gedcom/dates.h"
#include "gedcom/familyload.h"
#include "gedcom/pedigree.h"
#include "gedcom/personsearch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void useAsTheChartDoes(const pq::gedcom::FamilyFile& file) {
    if (file.people().empty())
        return;
    pq::gedcom::choosePerson(file, pq::gedcom::chartName(file, 0));
    for (const std::int32_t who : pq::gedcom::pedigreeOf(file, 0, 6).ancestors)
        if (who >= 0)
            pq::gedcom::describePerson(file, who);
}

void searchAsTheWindowDoes(const pq::gedcom::FamilyFile& file) {
    if (file.people().empty())
        return;
    const pq::gedcom::PersonSearch search(file);
    const QString name = pq::gedcom::chartName(file, 0);
    for (const QString& typed : {name, name.left(3), name.section(QLatin1Char(' '), -1)}) {
        std::size_t total = 0;
        if (search.find(typed, 5, &total).size() > std::min<std::size_t>(total, 5))
            std::abort();
        const pq::gedcom::PersonChoice tool = pq::gedcom::choosePerson(file, typed);
        const pq::gedcom::Resolution window = search.resolve(typed);
        if (window.person != tool.person || window.candidates.size() != tool.candidates.size() ||
            window.total != (tool.person >= 0 ? 1 : tool.pool))
            std::abort(); // the window would choose another person than the tool
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using pq::gedcom::Opening;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype cut = size ? data[0] % static_cast<qsizetype>(size) : 0;
    const Opening opening = pq::gedcom::judgeOpening(bytes.left(cut), false);
    bool refused = false;
    try {
        const auto file = pq::gedcom::readFamilyFile(bytes);
        useAsTheChartDoes(*file);
        searchAsTheWindowDoes(*file);
    } catch (const pq::gedcom::FormatFailure&) {
        refused = true;
    }
    if (opening.verdict != Opening::Verdict::Undecided &&
        (opening.verdict == Opening::Verdict::NotFamilyTree) != refused)
        std::abort();
    return 0;
}
