#include "fakeapplication.h"

#include "spreadsheet/engine/engineapp.h"

namespace pq::test {

void CallLog::enter(const QString& member) {
    calls << member;
    const int occurrence = ++seen[member];
    if (failWhen) {
        const QString description = failWhen(member, occurrence);
        if (!description.isNull())
            throw Failure(description);
    }
}

namespace {

using Log = std::shared_ptr<CallLog>;

template<class T> std::shared_ptr<T> wrapShared(T* p) {
    return std::shared_ptr<T>(p);
}

class FakeFont final : public xl::Font {
public:
    FakeFont(xl::Ref<xl::Font> inner, Log log) : mInner(std::move(inner)), mLog(std::move(log)) {}
    QString name() const override { return mInner->name(); }
    void setName(const QString& v) override {
        mLog->enter("Font.setName");
        mInner->setName(v);
    }
    double size() const override { return mInner->size(); }
    void setSize(double v) override {
        mLog->enter("Font.setSize");
        mInner->setSize(v);
    }
    int colorIndex() const override { return mInner->colorIndex(); }
    void setColorIndex(int v) override {
        mLog->enter("Font.setColorIndex");
        mInner->setColorIndex(v);
    }

private:
    xl::Ref<xl::Font> mInner;
    Log mLog;
};

class FakeInterior final : public xl::Interior {
public:
    FakeInterior(xl::Ref<xl::Interior> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    int colorIndex() const override { return mInner->colorIndex(); }
    void setColorIndex(int v) override {
        mLog->enter("Interior.setColorIndex");
        mInner->setColorIndex(v);
    }

private:
    xl::Ref<xl::Interior> mInner;
    Log mLog;
};

class FakeBorder final : public xl::Border {
public:
    FakeBorder(xl::Ref<xl::Border> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    int lineStyle() const override { return mInner->lineStyle(); }
    void setLineStyle(int v) override {
        mLog->enter("Border.setLineStyle");
        mInner->setLineStyle(v);
    }

private:
    xl::Ref<xl::Border> mInner;
    Log mLog;
};

class FakePageSetup final : public xl::PageSetup {
public:
    FakePageSetup(xl::Ref<xl::PageSetup> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    QString printArea() const override { return mInner->printArea(); }
    void setPrintArea(const QString& v) override {
        mLog->enter("PageSetup.setPrintArea");
        mInner->setPrintArea(v);
    }
    QString printTitleRows() const override { return mInner->printTitleRows(); }
    void setPrintTitleRows(const QString& v) override {
        mLog->enter("PageSetup.setPrintTitleRows");
        mInner->setPrintTitleRows(v);
    }
    int fitToPagesWide() const override { return mInner->fitToPagesWide(); }
    void setFitToPagesWide(int v) override {
        mLog->enter("PageSetup.setFitToPagesWide");
        mInner->setFitToPagesWide(v);
    }
    int fitToPagesTall() const override { return mInner->fitToPagesTall(); }
    void setFitToPagesTall(int v) override {
        mLog->enter("PageSetup.setFitToPagesTall");
        mInner->setFitToPagesTall(v);
    }
    bool centerHorizontally() const override { return mInner->centerHorizontally(); }
    void setCenterHorizontally(bool v) override {
        mLog->enter("PageSetup.setCenterHorizontally");
        mInner->setCenterHorizontally(v);
    }
    int paperSize() const override { return mInner->paperSize(); }
    void setPaperSize(int v) override {
        mLog->enter("PageSetup.setPaperSize");
        mInner->setPaperSize(v);
    }

private:
    xl::Ref<xl::PageSetup> mInner;
    Log mLog;
};

class FakeRange final : public xl::Range {
public:
    FakeRange(xl::Ref<xl::Range> inner, Log log) : mInner(std::move(inner)), mLog(std::move(log)) {}
    QVariant value() const override { return mInner->value(); }
    void setValue(const QVariant& v) override {
        mLog->enter("Range.setValue");
        mInner->setValue(v);
    }
    int horizontalAlignment() const override { return mInner->horizontalAlignment(); }
    void setHorizontalAlignment(int v) override {
        mLog->enter("Range.setHorizontalAlignment");
        mInner->setHorizontalAlignment(v);
    }
    bool shrinkToFit() const override { return mInner->shrinkToFit(); }
    void setShrinkToFit(bool on) override {
        mLog->enter("Range.setShrinkToFit");
        mInner->setShrinkToFit(on);
    }
    xl::Ref<xl::Font> font() override {
        mLog->enter("Range.font");
        return wrapShared<xl::Font>(new FakeFont(mInner->font(), mLog));
    }
    xl::Ref<xl::Interior> interior() override {
        mLog->enter("Range.interior");
        return wrapShared<xl::Interior>(new FakeInterior(mInner->interior(), mLog));
    }
    xl::Ref<xl::Border> borders(int edge) override {
        mLog->enter("Range.borders");
        return wrapShared<xl::Border>(new FakeBorder(mInner->borders(edge), mLog));
    }
    double columnWidth() const override { return mInner->columnWidth(); }
    void setColumnWidth(const QVariant& v) override {
        mLog->enter("Range.setColumnWidth");
        mInner->setColumnWidth(v);
    }
    void merge() override {
        mLog->enter("Range.merge");
        mInner->merge();
    }
    int row() const override { return mInner->row(); }
    int column() const override { return mInner->column(); }
    QString address() const override { return mInner->address(); }
    xl::Ref<xl::Range> rows() override { return wrap(mInner->rows()); }
    xl::Ref<xl::Range> columns() override { return wrap(mInner->columns()); }
    int count() const override { return mInner->count(); }
    xl::Ref<xl::Range> item(int n) override { return wrap(mInner->item(n)); }
    void copyPicture() override {
        mLog->enter("Range.copyPicture");
        mInner->copyPicture();
    }

private:
    xl::Ref<xl::Range> wrap(xl::Ref<xl::Range> r) {
        return wrapShared<xl::Range>(new FakeRange(std::move(r), mLog));
    }
    xl::Ref<xl::Range> mInner;
    Log mLog;
};

class FakeSheet final : public xl::Worksheet {
public:
    FakeSheet(xl::Ref<xl::Worksheet> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    QString name() const override { return mInner->name(); }
    xl::Ref<xl::Range> cells() override {
        mLog->enter("Worksheet.cells");
        return wrap(mInner->cells());
    }
    xl::Ref<xl::Range> cells(int r, int c) override {
        mLog->enter("Worksheet.cell");
        return wrap(mInner->cells(r, c));
    }
    xl::Ref<xl::Range> columns(const QString& a) override {
        mLog->enter("Worksheet.columns");
        return wrap(mInner->columns(a));
    }
    xl::Ref<xl::Range> range(const QString& a) override {
        mLog->enter("Worksheet.range");
        return wrap(mInner->range(a));
    }
    xl::Ref<xl::Range> usedRange() override {
        mLog->enter("Worksheet.usedRange");
        return wrap(mInner->usedRange());
    }
    xl::Ref<xl::PageSetup> pageSetup() override {
        mLog->enter("Worksheet.pageSetup");
        return wrapShared<xl::PageSetup>(new FakePageSetup(mInner->pageSetup(), mLog));
    }

private:
    xl::Ref<xl::Range> wrap(xl::Ref<xl::Range> r) {
        return wrapShared<xl::Range>(new FakeRange(std::move(r), mLog));
    }
    xl::Ref<xl::Worksheet> mInner;
    Log mLog;
};

class FakeWorkbook final : public xl::Workbook {
public:
    FakeWorkbook(xl::Ref<xl::Workbook> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    QString fullName() const override { return mInner->fullName(); }
    xl::Ref<xl::Worksheet> activeSheet() override {
        mLog->enter("Workbook.activeSheet");
        return wrapShared<xl::Worksheet>(new FakeSheet(mInner->activeSheet(), mLog));
    }
    void saveAs(const QString& p, int f) override {
        mLog->enter("Workbook.saveAs");
        mInner->saveAs(p, f);
    }
    void close() override {
        mLog->enter("Workbook.close");
        mInner->close();
    }

private:
    xl::Ref<xl::Workbook> mInner;
    Log mLog;
};

class FakeWorkbooks final : public xl::Workbooks {
public:
    FakeWorkbooks(xl::Ref<xl::Workbooks> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    xl::Ref<xl::Workbook> add() override {
        mLog->enter("Workbooks.add");
        return wrap(mInner->add());
    }
    xl::Ref<xl::Workbook> open(const QString& p) override {
        mLog->enter("Workbooks.open");
        return wrap(mInner->open(p));
    }
    int count() const override { return mInner->count(); }
    xl::Ref<xl::Workbook> item(int n) override { return wrap(mInner->item(n)); }

private:
    xl::Ref<xl::Workbook> wrap(xl::Ref<xl::Workbook> w) {
        return wrapShared<xl::Workbook>(new FakeWorkbook(std::move(w), mLog));
    }
    xl::Ref<xl::Workbooks> mInner;
    Log mLog;
};

class FakeApplication final : public xl::Application {
public:
    FakeApplication(xl::Ref<xl::Application> inner, Log log)
        : mInner(std::move(inner)), mLog(std::move(log)) {}
    QString defaultValue() const override { return mInner->defaultValue(); }
    bool visible() const override { return mInner->visible(); }
    void setVisible(bool v) override {
        mLog->enter("Application.setVisible");
        mInner->setVisible(v);
    }
    QString version() const override { return mInner->version(); }
    xl::Ref<xl::Workbooks> workbooks() override {
        mLog->enter("Application.workbooks");
        return wrapShared<xl::Workbooks>(new FakeWorkbooks(mInner->workbooks(), mLog));
    }
    bool displayAlerts() const override { return mInner->displayAlerts(); }
    void setDisplayAlerts(bool v) override {
        mLog->enter("Application.setDisplayAlerts");
        mInner->setDisplayAlerts(v);
    }
    void quit() override {
        mLog->enter("Application.quit");
        mInner->quit();
    }

private:
    xl::Ref<xl::Application> mInner;
    Log mLog;
};

} // namespace

xl::Ref<xl::Application> makeFakeApplication(std::shared_ptr<CallLog> log) {
    log->enter(QStringLiteral("CreateObject"));
    return wrapShared<xl::Application>(
        new FakeApplication(engine::createEngineApplication(), std::move(log)));
}

FakeFactoryScope::FakeFactoryScope(std::shared_ptr<CallLog> log) {
    xl::setApplicationFactory([log] { return makeFakeApplication(log); });
}

FakeFactoryScope::~FakeFactoryScope() {
    xl::setApplicationFactory({});
}

} // namespace pq::test
