#pragma once

// What the generation run hands to the preview window, in this order: the picture, the
// temporary workbook's path, then the show. The preview window implements it.

#include "spreadsheet/picture.h"

#include <QString>

namespace pq {

class PreviewHandOff {
public:
    virtual ~PreviewHandOff() = default;
    // Touching the preview for the picture creates and loads it first when needed.
    virtual void setPicture(const Picture& picture) = 0;
    virtual void setExcelFile(const QString& path) = 0;
    virtual void showPreview() = 0; // modeless
};

} // namespace pq
