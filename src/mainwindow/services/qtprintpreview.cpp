// The print preview and the print dialog of the Qt dialog service.

#include "qtdialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pq {

namespace {

// The preview's window: the choosers above, the pages in the middle, the way on below.
class PrintPreviewWindow final : public QDialog {
public:
    PrintPreviewWindow(QWidget* parent, PrintPreviewRequest& request)
        : QDialog(parent), mRequest(request), mChoices(request) {
        setWindowTitle(request.title);
        setObjectName(QStringLiteral("printPreview"));
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(createPlanRow());
        layout->addLayout(createPaperRow());
        mPrinter = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        mPreview = new QPrintPreviewWidget(mPrinter.get(), this);
        mPreview->setObjectName(QStringLiteral("pages"));
        mPreview->setViewMode(QPrintPreviewWidget::SinglePageView);
        mPreview->setZoomMode(QPrintPreviewWidget::FitInView);
        connect(mPreview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
            if (mChoices.paint)
                mChoices.paint(*printer, mChoices);
        });
        connect(mPreview, &QPrintPreviewWidget::previewChanged, this, [this] { showPage(); });
        layout->addWidget(mPreview, 1);
        layout->addLayout(createPageRow());
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* accept = buttons->addButton(request.acceptText, QDialogButtonBox::AcceptRole);
        accept->setObjectName(QStringLiteral("accept"));
        // Enter goes on, whichever plan button has the focus.
        accept->setDefault(true);
        buttons->addButton(QDialogButtonBox::Cancel);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
        resize(720, 820);
        describe();
    }

    int exec() override {
        const int result = QDialog::exec();
        if (result == QDialog::Accepted)
            mRequest = mChoices;
        return result;
    }

private:
    QHBoxLayout* createPlanRow() {
        auto* row = new QHBoxLayout;
        auto* group = new QButtonGroup(this);
        for (int i = 0; i < mChoices.plans.size(); ++i) {
            auto* button = new QPushButton(mChoices.plans[i], this);
            button->setCheckable(true);
            button->setChecked(i == mChoices.plan);
            button->setObjectName(QStringLiteral("plan%1").arg(i));
            group->addButton(button, i);
            row->addWidget(button);
        }
        connect(group, &QButtonGroup::idClicked, this, [this](int id) {
            mChoices.plan = id;
            changed();
        });
        mPagesWide = new QSpinBox(this);
        mPagesWide->setObjectName(QStringLiteral("pagesWide"));
        mPagesWide->setRange(1, mChoices.maxPagesWide);
        mPagesWide->setValue(mChoices.pagesWide);
        mPagesWide->setSuffix(QStringLiteral(" pages wide"));
        connect(mPagesWide, &QSpinBox::valueChanged, this, [this](int pages) {
            mChoices.pagesWide = pages;
            if (mChoices.plan == mChoices.plans.size() - 1)
                changed();
        });
        row->addWidget(mPagesWide);
        return row;
    }

    QComboBox* chooser(const QString& name, const QStringList& items, int current) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->addItems(items);
        box->setCurrentIndex(current);
        return box;
    }

    QHBoxLayout* createPaperRow() {
        auto* row = new QHBoxLayout;
        auto* paper = chooser(QStringLiteral("paper"), mChoices.papers, mChoices.paper);
        auto* turn = chooser(QStringLiteral("turn"), mChoices.turns, mChoices.turn);
        connect(paper, &QComboBox::currentIndexChanged, this, [this](int i) {
            mChoices.paper = i;
            changed();
        });
        connect(turn, &QComboBox::currentIndexChanged, this, [this](int i) {
            mChoices.turn = i;
            changed();
        });
        row->addWidget(new QLabel(QStringLiteral("Paper:"), this));
        row->addWidget(paper);
        row->addWidget(new QLabel(QStringLiteral("Page:"), this));
        row->addWidget(turn);
        mDescription = new QLabel(this);
        mDescription->setObjectName(QStringLiteral("description"));
        row->addWidget(mDescription, 1);
        return row;
    }

    QHBoxLayout* createPageRow() {
        auto* row = new QHBoxLayout;
        auto* previous = new QPushButton(QStringLiteral("< Previous Page"), this);
        auto* next = new QPushButton(QStringLiteral("Next Page >"), this);
        previous->setShortcut(QKeySequence(Qt::Key_PageUp));
        next->setShortcut(QKeySequence(Qt::Key_PageDown));
        mPageNumber = new QLabel(this);
        mPageNumber->setAlignment(Qt::AlignCenter);
        connect(previous, &QPushButton::clicked, this, [this] { turnPage(-1); });
        connect(next, &QPushButton::clicked, this, [this] { turnPage(1); });
        row->addWidget(previous);
        row->addWidget(mPageNumber, 1);
        row->addWidget(next);
        return row;
    }

    void turnPage(int by) {
        mPreview->setCurrentPage(mPreview->currentPage() + by);
        showPage();
    }

    void showPage() {
        mPageNumber->setText(QStringLiteral("Page %1 of %2")
                                 .arg(mPreview->currentPage())
                                 .arg(mPreview->pageCount()));
    }

    void describe() {
        mPagesWide->setEnabled(mChoices.plan == mChoices.plans.size() - 1);
        if (mChoices.describe)
            mDescription->setText(mChoices.describe(mChoices));
    }

    void changed() {
        describe();
        mPreview->updatePreview();
    }

    PrintPreviewRequest& mRequest;
    PrintPreviewRequest mChoices;
    std::unique_ptr<QPrinter> mPrinter;
    QPrintPreviewWidget* mPreview = nullptr;
    QSpinBox* mPagesWide = nullptr;
    QLabel* mDescription = nullptr;
    QLabel* mPageNumber = nullptr;
};

} // namespace

bool QtDialogService::printPreview(PrintPreviewRequest& request) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    PrintPreviewWindow window(parent, request);
    return window.exec() == QDialog::Accepted;
}

bool QtDialogService::printDialog(QPrinter& printer, int pageCount) {
    QWidget* parent = mParent ? mParent : QApplication::activeWindow();
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, std::max(pageCount, 1));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace pq
