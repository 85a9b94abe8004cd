#include "personlistmodel.h"

namespace pq::gedcom {

PersonListModel::PersonListModel(QObject* parent) : QAbstractListModel(parent) {}

void PersonListModel::setSearch(const PersonSearch* search) {
    beginResetModel();
    mSearch = search;
    mMatches.clear();
    mTotal = 0;
    endResetModel();
}

void PersonListModel::setText(QStringView typed) {
    beginResetModel();
    mTotal = 0;
    mMatches = mSearch ? mSearch->find(typed, kShown, &mTotal) : std::vector<PersonMatch>{};
    endResetModel();
}

int PersonListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(mMatches.size()) + (hasMoreRow() ? 1 : 0);
}

QVariant PersonListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (row == mMatches.size()) { // the "more" row
        if (role == Qt::DisplayRole)
            return QStringLiteral("… and %1 more").arg(mTotal - mMatches.size());
        if (role == PersonRole)
            return -1;
        return {};
    }
    const PersonMatch& match = mMatches[row];
    switch (role) {
    case Qt::DisplayRole:
        return match.display;
    case Qt::EditRole:
    case NameRole:
        return match.name;
    case PersonRole:
        return match.person;
    case XrefRole:
        return pointer(mSearch->file().people()[match.person].xref);
    default:
        return {};
    }
}

Qt::ItemFlags PersonListModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= mMatches.size())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace pq::gedcom
