// libFuzzer entry point: any byte string given to the workbook reader either decodes or throws
// Failure; whatever decodes is written again, as the program would save it.

#include "spreadsheet/engine/xls/xlsfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto workbook = pq::engine::decodeXls(file);
        pq::engine::encodeXls(*workbook);
    } catch (const pq::Failure&) {
    }
    return 0;
}
