#include "log/LogListModel.h"

int LogListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LogListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return m_lines[static_cast<size_t>(index.row())];
}

void LogListModel::append(Lines::const_iterator first, Lines::const_iterator last)
{
    const int added = static_cast<int>(last - first);
    if (added <= 0)
        return;
    beginInsertRows(QModelIndex(), count(), count() + added - 1);
    m_lines.insert(m_lines.end(), first, last);
    endInsertRows();
}

void LogListModel::removeFirst(int rows)
{
    rows = std::min(rows, count());
    if (rows <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, rows - 1);
    m_lines.erase(m_lines.begin(), m_lines.begin() + rows);
    endRemoveRows();
}

void LogListModel::reset(const Lines &lines)
{
    beginResetModel();
    m_lines = lines;
    endResetModel();
}
