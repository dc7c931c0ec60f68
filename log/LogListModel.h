#pragma once

#include <QAbstractListModel>
#include <QString>

#include <deque>

// What the log list shows: a copy of the event log's lines, brought up to
// date in whole runs of rows at a time.
class LogListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using Lines = std::deque<QString>;
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(m_lines.size()); }

    void append(Lines::const_iterator first, Lines::const_iterator last);
    void removeFirst(int rows);
    void reset(const Lines &lines);
    void clear() { reset({}); }

private:
    Lines m_lines;
};
