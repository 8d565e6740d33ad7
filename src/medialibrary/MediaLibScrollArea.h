#pragma once

#include <QWidget>

#include <array>

class MediaLibThumbnailView;
class QScrollBar;

/// Scroll bars for the thumbnail grid. The grid paints only what is in sight, so it is never
/// larger than its window: it tells the range it needs (uiRangeChanged) and is told the offset
/// (setOffset) instead of being moved.
class MediaLibScrollArea : public QWidget
{
    Q_OBJECT

public:
    explicit MediaLibScrollArea(QWidget *parent = nullptr);

    /// Takes `view` as the area's only content, wired to the scroll bars.
    void setView(MediaLibThumbnailView *view);
    QScrollBar *scrollBar(Qt::Orientation orientation) const;

public Q_SLOTS:
    void setScrollBarRange(int minimum, int maximum, Qt::Orientation orientation);

Q_SIGNALS:
    void scrollBarValueChanged(int value, Qt::Orientation orientation);
    /// The room the view has, without the scroll bars.
    void sizeChanged(const QSize &size);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void placeChildren();

    MediaLibThumbnailView *view = nullptr;
    std::array<QScrollBar *, 2> bars{};
};
