#pragma once

// The list of people under the name box while a family file is open: each keystroke lists
// the people whose names match what is typed; arrow keys and Enter, or a click, choose one.
// Enter in the open list only chooses: it never reaches the box, where it would start a run.

#include <QObject>
#include <QString>
#include <cstdint>

class QCompleter;
class QLineEdit;

namespace pq {

namespace gedcom {
class PersonListModel;
class PersonSearch;
} // namespace gedcom

class PersonCompleter : public QObject {
    Q_OBJECT
public:
    PersonCompleter(QLineEdit* box, QObject* parent);

    // The index to search; nullptr when no family file is open (the list then never opens).
    void setSearch(const gedcom::PersonSearch* search);

    QCompleter* completer() const { return mCompleter; }
    gedcom::PersonListModel* model() const { return mModel; }
    bool isListShown() const;

signals:
    // The user chose `person`; the box now holds `name`.
    void chosen(std::int32_t person, const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void typed(const QString& text);
    void choose(const QModelIndex& index);

    QLineEdit* mBox;
    gedcom::PersonListModel* mModel;
    QCompleter* mCompleter;
    bool mActive = false;
};

} // namespace pq
