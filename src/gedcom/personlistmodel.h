#pragma once

// The people that match what is typed, as a list model for a completer's popup: the first
// matches, then a row "… and N more" that cannot be chosen when more people match.

#include "personsearch.h"

#include <QAbstractListModel>

namespace pq::gedcom {

class PersonListModel : public QAbstractListModel {
public:
    enum Role {
        PersonRole = Qt::UserRole + 1, // the person's index in the file; -1 on the "more" row
        NameRole,                      // the name as the chart's title shows it
        XrefRole,                      // "@I12@"
    };
    static constexpr int kShown = 50;

    explicit PersonListModel(QObject* parent = nullptr);

    // The index to search; nullptr when no family file is open. The model is emptied.
    void setSearch(const PersonSearch* search);
    // Lists the matches for the text typed now.
    void setText(QStringView typed);
    // How many people match the text in all.
    std::size_t total() const { return mTotal; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    bool hasMoreRow() const { return mTotal > mMatches.size(); }

    const PersonSearch* mSearch = nullptr;
    std::vector<PersonMatch> mMatches;
    std::size_t mTotal = 0;
};

} // namespace pq::gedcom
