#pragma once

#include <QMainWindow>

class KivoscopeIntf;
class WebCamIntf;

/// Velora's main window.
class Velora : public QMainWindow
{
    Q_OBJECT

public:
    explicit Velora(QWidget *parent = nullptr);
    ~Velora() override;

private:
    KivoscopeIntf *kivoscope;
    WebCamIntf *webCam;
};
