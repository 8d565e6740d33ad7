#include "Velora.h"

#include <QIcon>

Velora::Velora(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Velora"));
    setWindowIcon(QIcon(QStringLiteral(":/Image/pics/velora.png")));
    resize(1024, 768);
    showMaximized();
}

Velora::~Velora() = default;
