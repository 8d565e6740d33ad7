#pragma once

#include <QMainWindow>

/// Velora's main window.
class Velora : public QMainWindow
{
    Q_OBJECT

public:
    explicit Velora(QWidget *parent = nullptr);
    ~Velora() override;
};
