#include "MediaLibSortFilterModel.h"

#include "MediaLibTableModel.h"

namespace {

bool isFolderRow(const QModelIndex &index)
{
    return index.siblingAtColumn(MediaLibTableModel::TypeColumn)
                   .data()
                   .toString()
                   .compare(QLatin1String("Folder"), Qt::CaseInsensitive)
            == 0;
}

qsizetype nextDigit(const QString &text, qsizetype from)
{
    while (from < text.size() && !text.at(from).isDigit())
        ++from;
    return from;
}

qsizetype digitsEnd(const QString &text, qsizetype from)
{
    while (from < text.size() && text.at(from).isDigit())
        ++from;
    return from;
}

// Any number of digits: leading zeros dropped, then the longer run is the larger number.
int compareNumbers(QStringView left, QStringView right)
{
    while (left.size() > 1 && left.front() == QLatin1Char('0'))
        left = left.mid(1);
    while (right.size() > 1 && right.front() == QLatin1Char('0'))
        right = right.mid(1);
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

// compareNaturally() on names already lower-cased.
std::optional<int> compareLowered(const QString &left, const QString &right)
{
    qsizetype leftAt = 0, rightAt = 0;
    for (;;) {
        const qsizetype leftRun = nextDigit(left, leftAt);
        const qsizetype rightRun = nextDigit(right, rightAt);
        if (leftRun == left.size() || rightRun == right.size() || leftRun != rightRun
            || QStringView(left).mid(leftAt, leftRun - leftAt)
                    != QStringView(right).mid(rightAt, rightRun - rightAt))
            return std::nullopt;
        leftAt = digitsEnd(left, leftRun);
        rightAt = digitsEnd(right, rightRun);
        const int order = compareNumbers(QStringView(left).mid(leftRun, leftAt - leftRun),
                                         QStringView(right).mid(rightRun, rightAt - rightRun));
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
}

} // namespace

MediaLibSortFilterModel::MediaLibSortFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    // Names are compared lower-cased where numbers line them up; the plain comparison must
    // agree, or "img9" < "IMG10" < "a1" < "img9" would leave no order at all.
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

std::optional<int> MediaLibSortFilterModel::compareNaturally(const QString &leftName,
                                                             const QString &rightName)
{
    return compareLowered(leftName.toLower(), rightName.toLower());
}

void MediaLibSortFilterModel::setSourceModel(QAbstractItemModel *model)
{
    rows = qobject_cast<MediaLibTableModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

quint64 MediaLibSortFilterModel::sizeFromText(const QString &text)
{
    QString number = text;
    number.remove(QLatin1String("kb"), Qt::CaseInsensitive).remove(QLatin1Char(','));
    quint64 scale = 1;
    if (number.contains(QLatin1String("mb"), Qt::CaseInsensitive))
        scale = 1024;
    else if (number.contains(QLatin1String("gb"), Qt::CaseInsensitive))
        scale = 1024 * 1024;
    number.remove(QLatin1String("mb"), Qt::CaseInsensitive)
            .remove(QLatin1String("gb"), Qt::CaseInsensitive);
    bool ok = false;
    const quint64 value = number.toULongLong(&ok);
    return ok ? value * scale : 0;
}

// The same order as the comparison of the shown texts below, from keys made once per row: a
// folder of thousands of files is sorted some 30,000 comparisons at a time.
bool MediaLibSortFilterModel::keyLessThan(const MediaLibTableModel::SortKey &leftKey,
                                          const MediaLibTableModel::SortKey &rightKey,
                                          const QModelIndex &left, const QModelIndex &right) const
{
    if (leftKey.folder != rightKey.folder)
        return leftKey.folder;
    switch (left.column()) {
    case MediaLibTableModel::NameColumn:
        if (const std::optional<int> order = compareLowered(leftKey.lowerName, rightKey.lowerName))
            return *order < 0;
        return leftKey.shownName.compare(rightKey.shownName, sortCaseSensitivity()) < 0;
    case MediaLibTableModel::SizeColumn:
        return leftKey.kilobytes < rightKey.kilobytes;
    case MediaLibTableModel::DateColumn:
        if (leftKey.hasDate && rightKey.hasDate)
            return leftKey.created < rightKey.created;
        break;
    default:
        break;
    }
    return QSortFilterProxyModel::lessThan(left, right);
}

bool MediaLibSortFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (!left.isValid() || !right.isValid())
        return false;
    if (rows && left.model() == rows) {
        // Sizes and times are read from the disk for the rows shown; sorting by them reads all.
        const int column = left.column();
        const bool facts = column == MediaLibTableModel::SizeColumn
                || column == MediaLibTableModel::DateColumn;
        return keyLessThan(rows->sortKey(left.row(), facts), rows->sortKey(right.row(), facts),
                           left, right);
    }
    const bool leftFolder = isFolderRow(left);
    if (leftFolder != isFolderRow(right))
        return leftFolder;
    switch (left.column()) {
    case MediaLibTableModel::NameColumn:
        if (const std::optional<int> order
            = compareNaturally(left.data().toString(), right.data().toString()))
            return *order < 0;
        break;
    case MediaLibTableModel::SizeColumn:
        return sizeFromText(left.data().toString()) < sizeFromText(right.data().toString());
    default:
        break;
    }
    return QSortFilterProxyModel::lessThan(left, right);
}
