// libFuzzer entry point: any byte string given to the family-tree reader either reads (with
// warnings) or throws Failure; whatever reads is used as the chart uses it: the first person
// chosen by their own name, their pedigree, names and life years.

#include "base/failure.h"
#include "gedcom/dates.h"
#include "gedcom/pedigree.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto file = pq::gedcom::readFamilyFile(bytes);
        if (file->people().empty())
            return 0;
        pq::gedcom::choosePerson(*file, pq::gedcom::chartName(*file, 0));
        for (const std::int32_t who : pq::gedcom::pedigreeOf(*file, 0, 6).ancestors)
            if (who >= 0)
                pq::gedcom::describePerson(*file, who);
    } catch (const pq::Failure&) {
    }
    return 0;
}
