#include "engineapp.h"

#include "rangepicture.h"
#include "spreadsheet/engine/xls/sheetmodel.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

namespace pq::engine {

namespace {

using xl::Ref;

std::atomic<int> gLiveInstances{0};

const QString kDisconnected =
    QStringLiteral("Automation error: the object invoked has disconnected from its clients");
const QString kObjectDefined = QStringLiteral("Application-defined or object-defined error");

enum class RangeKind { Cells, Rows, Columns };

struct AppState;

struct BookState {
    std::unique_ptr<WorkbookModel> model;
    QString fullName;
    bool open = true;
    std::weak_ptr<AppState> app;
};

struct AppState {
    bool alive = true;
    bool visible = false;
    bool displayAlerts = true;
    std::vector<std::shared_ptr<BookState>> books;
};

void requireAlive(const std::shared_ptr<AppState>& app) {
    if (!app || !app->alive)
        throw Failure(kDisconnected);
}

// An instance that ends closes its workbooks, so an open workbook has a live instance: the
// check made on every call of the object model is one flag.
void requireOpen(const std::shared_ptr<BookState>& book) {
    if (!book || !book->open)
        throw Failure(kDisconnected);
}

void closeBooks(AppState& app) {
    for (auto& book : app.books)
        book->open = false;
    app.books.clear();
}

// Where a range lives: one sheet of one open workbook.
struct SheetRef {
    std::shared_ptr<BookState> book;
    int sheetIndex = 0;

    SheetModel& sheet() const {
        requireOpen(book);
        return *book->model->sheets().at(static_cast<std::size_t>(sheetIndex));
    }
};

CellRect wholeSheet() {
    return {1, 1, kMaxRows, kMaxColumns};
}

bool isWholeSheet(const CellRect& r) {
    return r == wholeSheet();
}
bool spansAllRows(const CellRect& r) {
    return r.top == 1 && r.bottom == kMaxRows;
}

void requireInSheet(int row, int column) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw Failure(kObjectDefined);
}

// Applies a format edit to every cell of a range; whole sheets and whole columns change the
// sheet's or the columns' formats, so cells made later take the change too.
template<class Edit>
void editRangeFormat(const SheetRef& where, const CellRect& r, Edit edit, std::uint32_t key = 0) {
    SheetModel& sheet = where.sheet();
    if (isWholeSheet(r)) {
        sheet.editSheetFormat(edit);
        return;
    }
    if (spansAllRows(r)) {
        for (int c = r.left; c <= r.right; ++c) {
            CellFormat f = sheet.formats().at(sheet.defaultFormatAt(c));
            edit(f);
            sheet.setColumnFormatId(c, c, sheet.formats().intern(f));
        }
        // Positions first: editing a merged area may add cells while the map is walked.
        std::vector<std::pair<int, int>> inColumns;
        sheet.forEachCell([&](int row, int column, const Cell&) {
            if (column >= r.left && column <= r.right)
                inColumns.emplace_back(row, column);
        });
        for (const auto& [row, column] : inColumns)
            sheet.editCellFormat(row, column, edit, key);
        return;
    }
    for (int row = r.top; row <= r.bottom; ++row)
        for (int c = r.left; c <= r.right; ++c)
            sheet.editCellFormat(row, c, edit, key);
}

class EngineFont final : public xl::Font {
public:
    EngineFont(SheetRef where, CellRect r) : mWhere(std::move(where)), mRect(r) {}
    QString name() const override { return first().fontName; }
    void setName(const QString& name) override {
        if (name.trimmed().isEmpty())
            throw Failure(QStringLiteral("Unable to set the Name property of the Font class"));
        editRangeFormat(mWhere, mRect, [&](CellFormat& f) { f.fontName = name; });
    }
    double size() const override { return first().fontSize; }
    void setSize(double points) override {
        if (!(points >= 1.0 && points <= 409.0))
            throw Failure(QStringLiteral("Unable to set the Size property of the Font class"));
        editRangeFormat(mWhere, mRect, [&](CellFormat& f) { f.fontSize = points; });
    }
    int colorIndex() const override { return first().fontColorIndex; }
    void setColorIndex(int index) override {
        if (index != kColorIndexAutomatic && (index < 1 || index > 56))
            throw Failure(
                QStringLiteral("Unable to set the ColorIndex property of the Font class"));
        editRangeFormat(
            mWhere, mRect, [&](CellFormat& f) { f.fontColorIndex = index; },
            editKey(EditedProperty::FontColor, index));
    }

private:
    const CellFormat& first() const { return mWhere.sheet().formatAt(mRect.top, mRect.left); }
    SheetRef mWhere;
    CellRect mRect;
};

class EngineInterior final : public xl::Interior {
public:
    EngineInterior(SheetRef where, CellRect r) : mWhere(std::move(where)), mRect(r) {}
    int colorIndex() const override {
        return mWhere.sheet().formatAt(mRect.top, mRect.left).interiorColorIndex;
    }
    void setColorIndex(int index) override {
        if (index != kColorIndexNone && (index < 1 || index > 56))
            throw Failure(
                QStringLiteral("Unable to set the ColorIndex property of the Interior class"));
        editRangeFormat(
            mWhere, mRect, [&](CellFormat& f) { f.interiorColorIndex = index; },
            editKey(EditedProperty::Interior, index));
    }

private:
    SheetRef mWhere;
    CellRect mRect;
};

class EngineBorder final : public xl::Border {
public:
    EngineBorder(SheetRef where, CellRect r, Edge edge)
        : mWhere(std::move(where)), mRect(r), mEdge(edge) {}
    int lineStyle() const override {
        return mWhere.sheet().formatAt(mRect.top, mRect.left).border(mEdge);
    }
    void setLineStyle(int style) override {
        if (style != kLineStyleContinuous && style != kLineStyleNone)
            throw Failure(
                QStringLiteral("Unable to set the LineStyle property of the Border class"));
        const int e = static_cast<int>(mEdge);
        const auto property =
            static_cast<EditedProperty>(static_cast<int>(EditedProperty::LeftBorder) + e);
        editRangeFormat(
            mWhere, mRect, [&](CellFormat& f) { f.borders[e] = style; }, editKey(property, style));
    }

private:
    SheetRef mWhere;
    CellRect mRect;
    Edge mEdge;
};

QString columnLetters(int column) {
    QString letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}

// "$B$2", or "$B$2:$F$35" for more than one cell.
QString absoluteAddress(const CellRect& r) {
    auto cell = [](int row, int column) {
        return QStringLiteral("$%1$%2").arg(columnLetters(column)).arg(row);
    };
    if (r.top == r.bottom && r.left == r.right)
        return cell(r.top, r.left);
    return cell(r.top, r.left) + QLatin1Char(':') + cell(r.bottom, r.right);
}

// "A" -> 1, "IV" -> 256.
int columnNumber(const QString& letters) {
    int n = 0;
    for (QChar ch : letters)
        n = n * 26 + (ch.toUpper().unicode() - 'A' + 1);
    return n;
}

// "B2", "$B$2" -> (row, column); false when the text is not a cell reference.
bool parseCell(const QString& text, int& row, int& column) {
    static const QRegularExpression re(QStringLiteral("^\\$?([A-Za-z]{1,3})\\$?([0-9]{1,7})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    column = columnNumber(m.captured(1));
    row = m.captured(2).toInt();
    return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
}

// "C3", "B2:F35" or "F35:B2" -> the cells between the corners; nothing for other texts.
std::optional<CellRect> parseCellArea(const QString& address) {
    const QStringList parts = address.split(QLatin1Char(':'));
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (parts.size() > 2 || !parseCell(parts.front(), r1, c1) || !parseCell(parts.back(), r2, c2))
        return std::nullopt;
    return CellRect{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
}

class EnginePageSetup final : public xl::PageSetup {
public:
    explicit EnginePageSetup(SheetRef where) : mWhere(std::move(where)) {}
    QString printArea() const override {
        const auto& area = setup().printArea;
        return area ? absoluteAddress(*area) : QString();
    }
    void setPrintArea(const QString& address) override {
        if (address.trimmed().isEmpty()) {
            setup().printArea.reset();
            return;
        }
        const std::optional<CellRect> area = parseCellArea(address);
        if (!area)
            throw Failure(refused(QStringLiteral("PrintArea")));
        setup().printArea = area;
    }
    QString printTitleRows() const override {
        const engine::PageSetup& s = setup();
        if (s.titleRowFirst == 0)
            return QString();
        return QStringLiteral("$%1:$%2").arg(s.titleRowFirst).arg(s.titleRowLast);
    }
    void setPrintTitleRows(const QString& rows) override {
        static const QRegularExpression re(
            QStringLiteral("^\\$?([0-9]{1,7})(?::\\$?([0-9]{1,7}))?$"));
        engine::PageSetup& s = setup();
        if (rows.trimmed().isEmpty()) {
            s.titleRowFirst = s.titleRowLast = 0;
            return;
        }
        const auto m = re.match(rows.trimmed());
        const int first = m.captured(1).toInt();
        const int last = m.captured(2).isEmpty() ? first : m.captured(2).toInt();
        if (!m.hasMatch() || first < 1 || last < 1 || first > kMaxRows || last > kMaxRows)
            throw Failure(refused(QStringLiteral("PrintTitleRows")));
        s.titleRowFirst = std::min(first, last);
        s.titleRowLast = std::max(first, last);
    }
    int fitToPagesWide() const override { return setup().fitToPagesWide; }
    void setFitToPagesWide(int pages) override { setup().fitToPagesWide = fitPages(pages); }
    int fitToPagesTall() const override { return setup().fitToPagesTall; }
    void setFitToPagesTall(int pages) override { setup().fitToPagesTall = fitPages(pages); }
    bool centerHorizontally() const override { return setup().centerHorizontally; }
    void setCenterHorizontally(bool on) override { setup().centerHorizontally = on; }
    int paperSize() const override { return setup().paperSize; }
    void setPaperSize(int paper) override {
        // The codes a 97-2003 page set-up stores: 1 to 41 and a few beyond.
        if (paper < 1 || paper > 255)
            throw Failure(refused(QStringLiteral("PaperSize")));
        setup().paperSize = paper;
    }

private:
    static QString refused(const QString& property) {
        return QStringLiteral("Unable to set the %1 property of the PageSetup class").arg(property);
    }
    int fitPages(int pages) {
        if (pages < 0 || pages > 32767)
            throw Failure(refused(QStringLiteral("FitToPages")));
        setup().fitToPages = true;
        return pages;
    }
    engine::PageSetup& setup() const { return mWhere.sheet().pageSetup(); }
    SheetRef mWhere;
};

class EngineRange final : public xl::Range, public std::enable_shared_from_this<EngineRange> {
public:
    EngineRange(SheetRef where, CellRect r, RangeKind kind = RangeKind::Cells)
        : mWhere(std::move(where)), mRect(r), mKind(kind) {}

    QVariant value() const override {
        const Cell* c = mWhere.sheet().cell(mRect.top, mRect.left);
        return c ? QVariant(c->value()) : QVariant(QString());
    }
    void setValue(const QVariant& value) override {
        SheetModel& sheet = mWhere.sheet();
        const QString text = value.toString();
        // A cell holds at most 32,767 characters; cutting a longer text short would lose
        // what the user typed without a word.
        if (text.size() > kMaxCellTextLength)
            throw Failure(QStringLiteral("A cell can hold at most 32,767 characters; the text "
                                         "has %1")
                              .arg(text.size()));
        for (int row = mRect.top; row <= mRect.bottom; ++row)
            for (int c = mRect.left; c <= mRect.right; ++c)
                sheet.setValue(row, c, text);
    }
    int horizontalAlignment() const override {
        return mWhere.sheet().formatAt(mRect.top, mRect.left).horizontalAlignment;
    }
    void setHorizontalAlignment(int alignment) override {
        if (alignment != kAlignGeneral && alignment != kAlignLeft && alignment != kAlignCenter &&
            alignment != kAlignRight)
            throw Failure(QStringLiteral(
                "Unable to set the HorizontalAlignment property of the Range class"));
        editRangeFormat(
            mWhere, mRect, [&](CellFormat& f) { f.horizontalAlignment = alignment; },
            editKey(EditedProperty::Alignment, alignment));
    }
    bool shrinkToFit() const override {
        return mWhere.sheet().formatAt(mRect.top, mRect.left).shrinkToFit;
    }
    void setShrinkToFit(bool on) override {
        editRangeFormat(
            mWhere, mRect, [&](CellFormat& f) { f.shrinkToFit = on; },
            editKey(EditedProperty::ShrinkToFit, on ? 1 : 0));
    }
    Ref<xl::Font> font() override {
        mWhere.sheet();
        return Ref<xl::Font>(std::make_shared<EngineFont>(mWhere, mRect));
    }
    Ref<xl::Interior> interior() override {
        mWhere.sheet();
        return Ref<xl::Interior>(std::make_shared<EngineInterior>(mWhere, mRect));
    }
    Ref<xl::Border> borders(int edge) override {
        mWhere.sheet();
        if (edge < xl::xlEdgeLeft || edge > xl::xlEdgeRight)
            throw Failure(QStringLiteral("Unable to get the Item property of the Borders class"));
        return Ref<xl::Border>(std::make_shared<EngineBorder>(
            mWhere, mRect, static_cast<Edge>(edge - xl::xlEdgeLeft)));
    }
    double columnWidth() const override {
        return mWhere.sheet().columnWidth(mRect.left).value_or(8.43);
    }
    void setColumnWidth(const QVariant& characters) override {
        bool ok = false;
        const double width = characters.toString().trimmed().toDouble(&ok);
        if (!ok)
            throw Failure(failures::kTypeMismatch);
        if (!(width >= 0.0 && width <= 255.0))
            throw Failure(
                QStringLiteral("Unable to set the ColumnWidth property of the Range class"));
        mWhere.sheet().setColumnWidth(mRect.left, mRect.right, width);
    }
    void merge() override {
        if (mRect.top == mRect.bottom && mRect.left == mRect.right)
            return; // a single cell stays as it is
        mWhere.sheet().merge(mRect);
    }
    int row() const override { return mRect.top; }
    int column() const override { return mRect.left; }
    QString address() const override {
        mWhere.sheet();
        return absoluteAddress(mRect);
    }
    Ref<xl::Range> rows() override {
        return Ref<xl::Range>(std::make_shared<EngineRange>(mWhere, mRect, RangeKind::Rows));
    }
    Ref<xl::Range> columns() override {
        return Ref<xl::Range>(std::make_shared<EngineRange>(mWhere, mRect, RangeKind::Columns));
    }
    int count() const override {
        const int rows = mRect.bottom - mRect.top + 1;
        const int columns = mRect.right - mRect.left + 1;
        switch (mKind) {
        case RangeKind::Rows:
            return rows;
        case RangeKind::Columns:
            return columns;
        case RangeKind::Cells:
            break;
        }
        return rows * columns;
    }
    Ref<xl::Range> item(int n) override {
        if (n < 1 || n > count())
            throw Failure(kObjectDefined);
        CellRect r = mRect;
        switch (mKind) {
        case RangeKind::Rows:
            r.top = r.bottom = mRect.top + n - 1;
            break;
        case RangeKind::Columns:
            r.left = r.right = mRect.left + n - 1;
            break;
        case RangeKind::Cells: {
            const int columns = mRect.right - mRect.left + 1;
            r.top = r.bottom = mRect.top + (n - 1) / columns;
            r.left = r.right = mRect.left + (n - 1) % columns;
            break;
        }
        }
        return Ref<xl::Range>(std::make_shared<EngineRange>(mWhere, r, mKind));
    }
    void copyPicture() override { copyRangePictureToClipboard(mWhere.sheet(), mRect); }

private:
    SheetRef mWhere;
    CellRect mRect;
    RangeKind mKind;
};

// "A:A", "B:D" -> columns; false otherwise.
bool parseColumns(const QString& text, int& first, int& last) {
    static const QRegularExpression re(QStringLiteral("^\\$?([A-Za-z]{1,3}):\\$?([A-Za-z]{1,3})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    first = columnNumber(m.captured(1));
    last = columnNumber(m.captured(2));
    if (first > last)
        std::swap(first, last);
    return first >= 1 && last <= kMaxColumns;
}

class EngineSheet final : public xl::Worksheet {
public:
    explicit EngineSheet(SheetRef where) : mWhere(std::move(where)) {}
    QString name() const override { return mWhere.sheet().name(); }
    Ref<xl::Range> cells() override { return make(wholeSheet()); }
    Ref<xl::Range> cells(int row, int column) override {
        requireInSheet(row, column);
        return make({row, column, row, column});
    }
    Ref<xl::Range> columns(const QString& letters) override {
        int first = 0, last = 0;
        if (!parseColumns(letters, first, last))
            throw Failure(kObjectDefined);
        return make({1, first, kMaxRows, last}, RangeKind::Columns);
    }
    Ref<xl::Range> range(const QString& address) override {
        if (const std::optional<CellRect> area = parseCellArea(address))
            return make(*area);
        if (int f = 0, l = 0; parseColumns(address, f, l))
            return make({1, f, kMaxRows, l}, RangeKind::Columns);
        throw Failure(QStringLiteral("Method 'Range' of object '_Worksheet' failed"));
    }
    Ref<xl::Range> usedRange() override {
        const auto used = mWhere.sheet().usedRange();
        return make(used ? *used : CellRect{1, 1, 1, 1});
    }
    Ref<xl::PageSetup> pageSetup() override {
        mWhere.sheet();
        return Ref<xl::PageSetup>(std::make_shared<EnginePageSetup>(mWhere));
    }

private:
    Ref<xl::Range> make(CellRect r, RangeKind kind = RangeKind::Cells) {
        mWhere.sheet();
        return Ref<xl::Range>(std::make_shared<EngineRange>(mWhere, r, kind));
    }
    SheetRef mWhere;
};

class EngineWorkbook final : public xl::Workbook {
public:
    explicit EngineWorkbook(std::shared_ptr<BookState> book) : mBook(std::move(book)) {}
    QString fullName() const override {
        requireOpen(mBook);
        return mBook->fullName;
    }
    Ref<xl::Worksheet> activeSheet() override {
        requireOpen(mBook);
        if (mBook->model->sheets().empty())
            throw Failure(QStringLiteral("Object required"));
        return Ref<xl::Worksheet>(
            std::make_shared<EngineSheet>(SheetRef{mBook, mBook->model->activeIndex()}));
    }
    void saveAs(const QString& path, int fileFormat) override {
        requireOpen(mBook);
        if (fileFormat != xl::xlExcel8 && fileFormat != xl::xlNormal)
            throw Failure(QStringLiteral("SaveAs method of Workbook class failed"));
        if (path.trimmed().isEmpty())
            throw Failure(QStringLiteral("SaveAs method of Workbook class failed"));
        writeXls(*mBook->model, path);
        mBook->fullName = QFileInfo(path).absoluteFilePath();
    }
    QByteArray file() const {
        requireOpen(mBook);
        return encodeXls(*mBook->model);
    }
    void close() override {
        requireOpen(mBook);
        mBook->open = false;
        if (auto app = mBook->app.lock())
            std::erase(app->books, mBook);
    }

private:
    std::shared_ptr<BookState> mBook;
};

class EngineWorkbooks final : public xl::Workbooks {
public:
    explicit EngineWorkbooks(std::shared_ptr<AppState> app) : mApp(std::move(app)) {}
    Ref<xl::Workbook> add() override {
        requireAlive(mApp);
        auto book = std::make_shared<BookState>();
        book->model = std::make_unique<WorkbookModel>();
        book->model->addSheet(QStringLiteral("Sheet1"));
        book->fullName = QStringLiteral("Book%1").arg(++mAdded);
        return attach(std::move(book));
    }
    Ref<xl::Workbook> open(const QString& path) override {
        requireAlive(mApp);
        auto book = std::make_shared<BookState>();
        book->model = readXls(path);
        book->fullName = QFileInfo(path).absoluteFilePath();
        return attach(std::move(book));
    }
    int count() const override {
        requireAlive(mApp);
        return static_cast<int>(mApp->books.size());
    }
    Ref<xl::Workbook> item(int n) override {
        requireAlive(mApp);
        if (n < 1 || n > static_cast<int>(mApp->books.size()))
            throw Failure(QStringLiteral("Subscript out of range"));
        return Ref<xl::Workbook>(
            std::make_shared<EngineWorkbook>(mApp->books[static_cast<std::size_t>(n - 1)]));
    }

private:
    Ref<xl::Workbook> attach(std::shared_ptr<BookState> book) {
        book->app = mApp;
        mApp->books.push_back(book);
        return Ref<xl::Workbook>(std::make_shared<EngineWorkbook>(std::move(book)));
    }
    std::shared_ptr<AppState> mApp;
    int mAdded = 0;
};

class EngineApplication final : public xl::Application {
public:
    EngineApplication() : mState(std::make_shared<AppState>()) { ++gLiveInstances; }
    ~EngineApplication() override {
        // Releasing an instance that was never quit ends it too: nothing outlives its owner.
        if (mState->alive)
            --gLiveInstances;
        mState->alive = false;
        closeBooks(*mState);
    }
    QString defaultValue() const override { return QStringLiteral("Microsoft Excel"); }
    bool visible() const override {
        requireAlive(mState);
        return mState->visible;
    }
    void setVisible(bool visible) override {
        requireAlive(mState);
        mState->visible = visible;
    }
    QString version() const override {
        requireAlive(mState);
        return QStringLiteral("16.0");
    }
    Ref<xl::Workbooks> workbooks() override {
        requireAlive(mState);
        if (!mWorkbooks)
            mWorkbooks = std::make_shared<EngineWorkbooks>(mState);
        return Ref<xl::Workbooks>(mWorkbooks);
    }
    bool displayAlerts() const override {
        requireAlive(mState);
        return mState->displayAlerts;
    }
    void setDisplayAlerts(bool on) override {
        requireAlive(mState);
        mState->displayAlerts = on;
    }
    void quit() override {
        requireAlive(mState);
        closeBooks(*mState);
        mState->alive = false;
        --gLiveInstances;
    }

private:
    std::shared_ptr<AppState> mState;
    std::shared_ptr<EngineWorkbooks> mWorkbooks;
};

} // namespace

QByteArray workbookFile(const xl::Ref<xl::Workbook>& workbook) {
    const auto* book = dynamic_cast<const EngineWorkbook*>(workbook.shared().get());
    if (!book)
        throw Failure(QStringLiteral("SaveAs method of Workbook class failed"));
    return book->file();
}

xl::Ref<xl::Application> createEngineApplication() {
    return xl::Ref<xl::Application>(std::make_shared<EngineApplication>());
}

} // namespace pq::engine

namespace pq::xl {

namespace {
ApplicationFactory& factory() {
    static ApplicationFactory f;
    return f;
}
ApplicationFactory& runningProvider() {
    static ApplicationFactory f;
    return f;
}
} // namespace

Ref<Application> CreateObject(const QString& progId) {
    if (progId.compare(kProgId, Qt::CaseInsensitive) != 0)
        throw Failure(failures::kCannotCreateObject);
    if (factory())
        return factory()();
    return engine::createEngineApplication();
}

Ref<Application> GetObject(const QString& pathName, const QString& progId) {
    // The embedded engine has no shared instance that other programs could have started.
    if (!pathName.isEmpty() || progId.compare(kProgId, Qt::CaseInsensitive) != 0 ||
        !runningProvider())
        throw Failure(failures::kCannotCreateObject);
    return runningProvider()();
}

void setApplicationFactory(ApplicationFactory f) {
    factory() = std::move(f);
}
void setRunningInstanceProvider(ApplicationFactory p) {
    runningProvider() = std::move(p);
}
int liveInstanceCount() {
    return engine::gLiveInstances.load();
}

} // namespace pq::xl
