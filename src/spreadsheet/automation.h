#pragma once

// The spreadsheet automation interface: application, workbooks, workbook, sheet, range and the
// range's font, interior and borders, with the members the program uses. Objects are reached
// through Ref<T>, which behaves like an object variable: using one that was never set or was
// released fails with a clear description instead of crashing.
//
// The embedded engine implements the interface (CreateObject("Excel.Application")); tests can
// install a factory that returns a fake application.

#include "base/failure.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace pq::xl {

// Constants of the object model.
inline constexpr int xlLeft = -4131;
inline constexpr int xlContinuous = 1;
inline constexpr int xlEdgeLeft = 7;
inline constexpr int xlEdgeTop = 8;
inline constexpr int xlEdgeBottom = 9;
inline constexpr int xlEdgeRight = 10;
inline constexpr int xlExcel8 = 56;
inline constexpr int xlNormal = -4143;

inline const QString kProgId = QStringLiteral("Excel.Application");

template<class T> class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}                                        // NOLINT
    Ref(std::shared_ptr<T> p) : mPtr(std::move(p)) {}             // NOLINT
    template<class U> Ref(Ref<U> other) : mPtr(other.shared()) {} // NOLINT

    T* operator->() const {
        if (!mPtr)
            throw Failure(failures::kObjectNotSet);
        return mPtr.get();
    }
    T& operator*() const { return *operator->(); }
    explicit operator bool() const { return static_cast<bool>(mPtr); }
    void reset() { mPtr.reset(); }
    const std::shared_ptr<T>& shared() const { return mPtr; }

private:
    std::shared_ptr<T> mPtr;
};

class Font {
public:
    virtual ~Font() = default;
    virtual QString name() const = 0;
    virtual void setName(const QString& name) = 0;
    virtual double size() const = 0;
    virtual void setSize(double points) = 0;
    virtual int colorIndex() const = 0;
    virtual void setColorIndex(int index) = 0;
};

class Interior {
public:
    virtual ~Interior() = default;
    virtual int colorIndex() const = 0;
    virtual void setColorIndex(int index) = 0;
};

class Border {
public:
    virtual ~Border() = default;
    virtual int lineStyle() const = 0;
    virtual void setLineStyle(int style) = 0;
};

// How a sheet prints: the page set-up of the object model.
class PageSetup {
public:
    virtual ~PageSetup() = default;
    virtual QString printArea() const = 0; // "$B$2:$F$35"; empty: the used range
    virtual void setPrintArea(const QString& address) = 0;
    virtual QString printTitleRows() const = 0; // "$2:$3"; empty: none
    virtual void setPrintTitleRows(const QString& rows) = 0;
    // Setting either prints the sheet scaled to fit so many pages (the object model's Zoom
    // False); 0 stands for False: as many pages as needed.
    virtual int fitToPagesWide() const = 0;
    virtual void setFitToPagesWide(int pages) = 0;
    virtual int fitToPagesTall() const = 0;
    virtual void setFitToPagesTall(int pages) = 0;
    virtual bool centerHorizontally() const = 0;
    virtual void setCenterHorizontally(bool on) = 0;
    // The object model's paper size constant (xlPaperA4 9, xlPaperLetter 1...).
    virtual int paperSize() const = 0;
    virtual void setPaperSize(int paper) = 0;
};

class Range {
public:
    virtual ~Range() = default;
    // Value as the sheet shows it; a text set stays text.
    virtual QVariant value() const = 0;
    virtual void setValue(const QVariant& value) = 0;
    virtual int horizontalAlignment() const = 0;
    virtual void setHorizontalAlignment(int alignment) = 0;
    // Text wider than its cell is shown smaller until it fits, instead of being cut off.
    virtual bool shrinkToFit() const = 0;
    virtual void setShrinkToFit(bool on) = 0;
    virtual Ref<Font> font() = 0;
    virtual Ref<Interior> interior() = 0;
    virtual Ref<Border> borders(int edge) = 0; // xlEdgeLeft .. xlEdgeRight
    virtual double columnWidth() const = 0;
    // Width in characters of the standard font; a text such as "24" is converted.
    virtual void setColumnWidth(const QVariant& characters) = 0;
    virtual void merge() = 0;

    // Row and column of the range's top-left cell; its rows and columns as ranges.
    virtual int row() const = 0;
    virtual int column() const = 0;
    virtual QString address() const = 0; // absolute: "$B$2:$F$35", "$B$2"
    virtual Ref<Range> rows() = 0;
    virtual Ref<Range> columns() = 0;
    virtual int count() const = 0;      // cells, or rows of rows(), or columns of columns()
    virtual Ref<Range> item(int n) = 0; // 1-based: the n-th row, column or cell
    // Copies a picture of the range, as shown on screen, to the system clipboard.
    virtual void copyPicture() = 0;
};

class Worksheet {
public:
    virtual ~Worksheet() = default;
    virtual QString name() const = 0;
    virtual Ref<Range> cells() = 0; // every cell of the sheet
    virtual Ref<Range> cells(int row, int column) = 0;
    virtual Ref<Range> columns(const QString& letters) = 0; // "A:A", "B:D"
    virtual Ref<Range> range(const QString& address) = 0;   // "B2:F2", "C3"
    virtual Ref<Range> usedRange() = 0;
    virtual Ref<PageSetup> pageSetup() = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    virtual QString fullName() const = 0;
    virtual Ref<Worksheet> activeSheet() = 0;
    virtual void saveAs(const QString& path, int fileFormat) = 0;
    virtual void close() = 0;
};

class Workbooks {
public:
    virtual ~Workbooks() = default;
    virtual Ref<Workbook> add() = 0;
    virtual Ref<Workbook> open(const QString& path) = 0;
    virtual int count() const = 0;
    virtual Ref<Workbook> item(int n) = 0; // 1-based
};

class Application {
public:
    virtual ~Application() = default;
    virtual QString defaultValue() const = 0; // "Microsoft Excel"
    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual QString version() const = 0; // "16.0"
    virtual Ref<Workbooks> workbooks() = 0;
    virtual bool displayAlerts() const = 0;
    virtual void setDisplayAlerts(bool on) = 0;
    virtual void quit() = 0;
};

// Creates a new instance of the class named by progId ("Excel.Application").
Ref<Application> CreateObject(const QString& progId);
// Attaches to the running instance of the class; fails when none runs.
Ref<Application> GetObject(const QString& pathName, const QString& progId);

// Replaces what CreateObject and GetObject return (tests); an empty function restores the
// embedded engine.
using ApplicationFactory = std::function<Ref<Application>()>;
void setApplicationFactory(ApplicationFactory factory);
void setRunningInstanceProvider(ApplicationFactory provider);

// The number of engine instances alive in this process (created and not yet quit).
int liveInstanceCount();

} // namespace pq::xl
