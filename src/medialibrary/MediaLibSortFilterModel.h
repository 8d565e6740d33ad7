#pragma once

#include "MediaLibTableModel.h"

#include <QPointer>
#include <QSortFilterProxyModel>

#include <optional>

/// Orders the media library's rows the way people read them: folders before files, "shot2"
/// before "shot10", sizes by their number rather than their text.
class MediaLibSortFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit MediaLibSortFilterModel(QObject *parent = nullptr);

    /// Names compared by the numbers in them: -1, 0 or 1, or nullopt when the names do not line
    /// up (different text before a number) and the plain comparison must decide.
    static std::optional<int> compareNaturally(const QString &left, const QString &right);
    /// The number of bytes a size text of the table stands for; 0 for the "Bytes" form.
    static quint64 sizeFromText(const QString &text);

    void setSourceModel(QAbstractItemModel *model) override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    bool keyLessThan(const MediaLibTableModel::SortKey &leftKey,
                     const MediaLibTableModel::SortKey &rightKey, const QModelIndex &left,
                     const QModelIndex &right) const;

    // The rows' own sort keys, when the source is the media library's model.
    QPointer<MediaLibTableModel> rows;
};
