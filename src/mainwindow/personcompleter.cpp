#include "personcompleter.h"

#include "gedcom/personlistmodel.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>

namespace pq {

PersonCompleter::PersonCompleter(QLineEdit* box, QObject* parent)
    : QObject(parent), mBox(box), mModel(new gedcom::PersonListModel(this)),
      mCompleter(new QCompleter(mModel, this)) {
    // The search orders and filters; the completer only shows its rows. It is not the box's
    // own completer, so highlighting a row leaves the text as typed.
    mCompleter->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    mCompleter->setMaxVisibleItems(12);
    mCompleter->setWidget(mBox);
    // The completer filters the popup's keys; a filter installed later runs first, so Enter
    // is ours before the completer hands it on to the box.
    mCompleter->popup()->installEventFilter(this);
    connect(mBox, &QLineEdit::textEdited, this, &PersonCompleter::typed);
    connect(mCompleter, qOverload<const QModelIndex&>(&QCompleter::activated), this,
            &PersonCompleter::choose);
}

void PersonCompleter::setSearch(const gedcom::PersonSearch* search) {
    mCompleter->popup()->hide();
    mModel->setSearch(search);
    mActive = search != nullptr;
}

bool PersonCompleter::isListShown() const {
    return mCompleter->popup()->isVisible();
}

void PersonCompleter::typed(const QString& text) {
    if (!mActive)
        return;
    mModel->setText(text);
    if (mModel->rowCount() == 0 || text.trimmed().isEmpty()) {
        mCompleter->popup()->hide();
        return;
    }
    mCompleter->complete();
}

void PersonCompleter::choose(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const std::int32_t person = index.data(gedcom::PersonListModel::PersonRole).toInt();
    if (person < 0) // the row that says how many more match
        return;
    const QString name = index.data(gedcom::PersonListModel::NameRole).toString();
    mCompleter->popup()->hide();
    mBox->setText(name);
    emit chosen(person, name);
}

bool PersonCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || watched != mCompleter->popup() ||
        !mCompleter->popup()->isVisible())
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QObject::eventFilter(watched, event);
    const QModelIndex current = mCompleter->popup()->currentIndex();
    if (current.isValid())
        choose(current);
    else
        mCompleter->popup()->hide();
    return true;
}

} // namespace pq
