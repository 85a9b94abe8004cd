#pragma once

// Translation between the object model's cell formats and BIFF8 fonts and XFs, and the table of
// fonts and XFs a workbook file carries.

#include "biffrecords.h"
#include "sheetmodel.h"

#include <cstdint>
#include <vector>

namespace pq::engine::biff {

inline constexpr int kMaxXfCount = 4000; // the application's limit on distinct cell formats
inline constexpr int kMaxFontCount = 510;

FontRecord fontFor(const CellFormat& format);
XfRecord cellXfFor(const CellFormat& format, std::uint16_t ifnt);
// The format an XF with its font describes; unknown colours and styles fall back to defaults.
CellFormat formatFrom(const XfRecord& xf, const FontRecord& font);

// Fonts and XFs of a workbook being written. Fonts 0..3 are the Normal font (index 4 does not
// exist), then one font per distinct face, size and colour. XFs 0..14 are the built-in style
// XFs, 15 the default cell XF (the Normal format), then one cell XF per distinct format used.
class StyleTable {
public:
    explicit StyleTable(const FormatTable& formats);

    // The XF of a format, assigned on first use; throws Failure past the format limit.
    std::uint16_t xfOf(std::uint32_t formatId);
    std::uint16_t fontTwipsOf(std::uint32_t formatId);
    std::size_t cellXfCount() const { return mCellXfs.size(); }

    // FONT, XF and STYLE records, in that order.
    void appendRecords(QByteArray& out) const;

private:
    std::uint16_t fontIndexOf(const FontRecord& font);

    const FormatTable& mFormats;
    FontRecord mNormalFont;
    std::vector<int> mXfOfFormat;              // by format id, -1 while unassigned
    std::vector<std::uint16_t> mTwipsOfFormat; // by format id, 0 while unknown
    std::vector<FontRecord> mFonts;            // fonts from index 5 on
    std::vector<XfRecord> mCellXfs;            // XFs from index 16 on
};

} // namespace pq::engine::biff
