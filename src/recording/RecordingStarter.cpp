#include "RecordingStarter.h"

#include <Compositing.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int BoxRadius = 24;
const QColor Backdrop(128, 128, 128, 128);
const QColor BoxColour(40, 40, 40);

QPainterPath roundedBox(const QRect &rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, BoxRadius, BoxRadius);
    return path;
}

QLabel *whiteLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: #ffffff; font-size: 20pt;"));
    return label;
}

} // namespace

RecordingStarter::RecordingStarter(bool fullScreen, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , shaped(!Compositing::isAvailable())
{
    setObjectName(QStringLiteral("RecordingStarter"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_TranslucentBackground);

    // The box is painted by the dialog, so the mask of the shaped form and the painted box are
    // one and the same path; the box widget only lays out the texts.
    box = new QWidget(this);
    box->setObjectName(QStringLiteral("countdownBox"));
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(48, 24, 48, 24);
    layout->addWidget(whiteLabel(tr("start recording in"), box));
    number = new QLabel(box);
    number->setObjectName(QStringLiteral("countdownNumber"));
    number->setAlignment(Qt::AlignCenter);
    layout->addWidget(number);
    // A window-sized countdown has no room to spare between the number and the hint.
    if (fullScreen)
        layout->addSpacing(32);
    layout->addWidget(whiteLabel(tr("Press Esc to stop recording"), box));
    showCounter();

    timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &RecordingStarter::tick);
}

void RecordingStarter::veloraMoved(QPoint topLeft)
{
    move(topLeft);
}

void RecordingStarter::done(int result)
{
    // Escape and a close can both arrive in the same turn of the event loop; the caller hears
    // only the first.
    if (finished)
        return;
    finished = true;
    timer->stop();
    QDialog::done(result);
    deleteLater();
    Q_EMIT startRecording(result == QDialog::Accepted);
}

void RecordingStarter::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The first number stays a whole second from the moment it can be seen.
    if (!timer->isActive() && counter == Seconds)
        timer->start();
    activateWindow();
}

void RecordingStarter::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    QRect boxRect(QPoint(), box->sizeHint().boundedTo(size()));
    boxRect.moveCenter(rect().center());
    box->setGeometry(boxRect);
    if (shaped)
        setMask(QRegion(roundedBox(boxRect).toFillPolygon().toPolygon()));
}

void RecordingStarter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Backdrop);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedBox(box->geometry()), BoxColour);
}

void RecordingStarter::keyPressEvent(QKeyEvent *event)
{
    // Without a window manager nobody turns Alt+F4 into a close; it reaches the dialog as keys.
    const bool altF4 = event->key() == Qt::Key_F4 && event->modifiers() & Qt::AltModifier;
    if (event->key() == Qt::Key_Escape || altF4) {
        event->accept();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RecordingStarter::tick()
{
    --counter;
    if (counter <= 0) {
        accept();
        return;
    }
    showCounter();
    timer->start();
}

void RecordingStarter::showCounter()
{
    number->setText(QStringLiteral("<span style=\" font-size:150pt; font-weight:600; "
                                   "color:#ffffff;\">%1</span>")
                            .arg(counter));
}
