#include "biffstyles.h"

#include "base/failure.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pq::engine::biff {

namespace {

// Object-model ColorIndex n (1..56) is palette entry n + 7.
constexpr int kPaletteOffset = 7;

bool isPaletteColor(int colorIndex) {
    return colorIndex >= 1 && colorIndex <= 56;
}

std::uint8_t icvOf(int colorIndex) {
    return static_cast<std::uint8_t>(colorIndex + kPaletteOffset);
}

// Any palette reference, including the 8 built-in colours that repeat entries 8..15.
std::optional<int> colorIndexOf(int icv) {
    if (icv >= 8 && icv <= 63)
        return icv - kPaletteOffset;
    if (icv >= 0 && icv < 8)
        return icv + 1;
    return std::nullopt;
}

// Object-model line styles and BIFF line styles (dg) that both sides know.
constexpr std::pair<int, std::uint8_t> kLineStyles[] = {
    {kLineStyleContinuous, 1},       {-4115, 3} /* dash */, {-4118, 4} /* dot */,
    {-4119, 6} /* double */,         {4, 9} /* dash-dot */, {5, 11} /* dash-dot-dot */,
    {13, 13} /* slanted dash-dot */,
};

std::uint8_t dgOf(int lineStyle) {
    for (auto [style, dg] : kLineStyles)
        if (style == lineStyle)
            return dg;
    return 0;
}

int lineStyleOf(std::uint8_t dg) {
    if (dg == 0)
        return kLineStyleNone;
    for (auto [style, known] : kLineStyles)
        if (known == dg)
            return style;
    return kLineStyleContinuous; // medium, thick, hair and others: a plain line
}

std::uint8_t alcOf(int alignment) {
    switch (alignment) {
    case kAlignLeft:
        return 1;
    case kAlignCenter:
        return 2;
    case kAlignRight:
        return 3;
    default:
        return 0;
    }
}

int alignmentOf(std::uint8_t alc) {
    switch (alc) {
    case 1:
        return kAlignLeft;
    case 2:
        return kAlignCenter;
    case 3:
        return kAlignRight;
    default:
        return kAlignGeneral;
    }
}

} // namespace

FontRecord fontFor(const CellFormat& format) {
    FontRecord font;
    font.name = format.fontName.left(31);
    font.heightTwips =
        static_cast<std::uint16_t>(std::clamp(std::lround(format.fontSize * 20.0), 20L, 8191L));
    font.icv = isPaletteColor(format.fontColorIndex) ? icvOf(format.fontColorIndex) : kIcvFontAuto;
    return font;
}

XfRecord cellXfFor(const CellFormat& format, std::uint16_t ifnt) {
    XfRecord xf;
    xf.ifnt = ifnt;
    xf.alc = alcOf(format.horizontalAlignment);
    xf.shrinkToFit = format.shrinkToFit;
    auto edge = [&](Edge e, std::uint8_t& dg, std::uint8_t& icv) {
        dg = dgOf(format.border(e));
        icv = dg ? kIcvBlack : 0;
    };
    edge(Edge::Left, xf.dgLeft, xf.icvLeft);
    edge(Edge::Right, xf.dgRight, xf.icvRight);
    edge(Edge::Top, xf.dgTop, xf.icvTop);
    edge(Edge::Bottom, xf.dgBottom, xf.icvBottom);
    if (isPaletteColor(format.interiorColorIndex)) {
        // Solid fill shows the pattern (foreground) colour.
        xf.fls = 1;
        xf.icvFore = icvOf(format.interiorColorIndex);
        xf.icvBack = kIcvForeground;
    }
    return xf;
}

CellFormat formatFrom(const XfRecord& xf, const FontRecord& font) {
    CellFormat format;
    format.fontName = font.name;
    format.fontSize = font.heightTwips / 20.0;
    if (auto color = colorIndexOf(font.icv))
        format.fontColorIndex = *color;
    format.horizontalAlignment = alignmentOf(xf.alc);
    format.shrinkToFit = xf.shrinkToFit;
    if (xf.fls != 0) {
        if (xf.icvFore == kIcvForeground)
            format.interiorColorIndex = 1; // window text: black
        else if (xf.icvFore == kIcvBackground)
            format.interiorColorIndex = 2; // window background: white
        else if (auto color = colorIndexOf(xf.icvFore))
            format.interiorColorIndex = *color;
    }
    format.borders[static_cast<int>(Edge::Left)] = lineStyleOf(xf.dgLeft);
    format.borders[static_cast<int>(Edge::Top)] = lineStyleOf(xf.dgTop);
    format.borders[static_cast<int>(Edge::Bottom)] = lineStyleOf(xf.dgBottom);
    format.borders[static_cast<int>(Edge::Right)] = lineStyleOf(xf.dgRight);
    return format;
}

StyleTable::StyleTable(const FormatTable& formats)
    : mFormats(formats), mNormalFont(fontFor(formats.at(FormatTable::kDefault))),
      mXfOfFormat(formats.size(), -1), mTwipsOfFormat(formats.size(), 0) {
    mXfOfFormat[FormatTable::kDefault] = kDefaultCellXf;
}

std::uint16_t StyleTable::fontIndexOf(const FontRecord& font) {
    if (font == mNormalFont)
        return 0;
    auto it = std::find(mFonts.begin(), mFonts.end(), font);
    if (it != mFonts.end())
        return static_cast<std::uint16_t>(5 + (it - mFonts.begin()));
    if (mFonts.size() + 4 >= kMaxFontCount)
        throw Failure(QStringLiteral("Too many different fonts"));
    mFonts.push_back(font);
    return static_cast<std::uint16_t>(4 + mFonts.size());
}

std::uint16_t StyleTable::xfOf(std::uint32_t formatId) {
    int& xf = mXfOfFormat.at(formatId);
    if (xf < 0) {
        if (mCellXfs.size() + kFirstCellXf >= kMaxXfCount)
            throw Failure(QStringLiteral("Too many different cell formats"));
        const CellFormat& format = mFormats.at(formatId);
        mCellXfs.push_back(cellXfFor(format, fontIndexOf(fontFor(format))));
        xf = static_cast<int>(kFirstCellXf + mCellXfs.size() - 1);
    }
    return static_cast<std::uint16_t>(xf);
}

std::uint16_t StyleTable::fontTwipsOf(std::uint32_t formatId) {
    // Asked for every cell of every row: worked out once per format.
    std::uint16_t& twips = mTwipsOfFormat.at(formatId);
    if (twips == 0)
        twips = fontFor(mFormats.at(formatId)).heightTwips;
    return twips;
}

void StyleTable::appendRecords(QByteArray& out) const {
    // Fonts 0..3 must exist (Normal, bold, italic, bold italic); they all stay the Normal font.
    for (int i = 0; i < 4; ++i)
        appendFont(out, mNormalFont);
    for (const FontRecord& font : mFonts)
        appendFont(out, font);

    XfRecord normalStyle;
    normalStyle.style = true;
    normalStyle.usedAttributes = 0;
    appendXf(out, normalStyle);
    // Row and column outline styles: every attribute group taken from Normal.
    XfRecord outlineStyle = normalStyle;
    outlineStyle.usedAttributes = 0xF4;
    for (int i = 1; i < 15; ++i)
        appendXf(out, outlineStyle);
    appendXf(out, cellXfFor(mFormats.at(FormatTable::kDefault), 0));
    for (const XfRecord& xf : mCellXfs)
        appendXf(out, xf);
    appendNormalStyle(out);
}

} // namespace pq::engine::biff
