#pragma once

#include <QWidget>

class KivoscopeIntf;
class QCheckBox;
class QLabel;
class QTimer;
class QToolButton;
class SetValueSlider;

/// The picture adjustments of the document camera: brightness, contrast, exposure, manual
/// focus, white balance, colour effects and camera modes. Each control sends one command to
/// the controller; the sliders and checked buttons follow the values the controller reports.
class DocCamAdjustToolsPanel : public QWidget
{
    Q_OBJECT

public:
    /// Connects itself to `controller`, which must outlive the panel.
    explicit DocCamAdjustToolsPanel(KivoscopeIntf *controller, QWidget *parent = nullptr);

    /// How long the "Far" / "Near" hint stays after the last manual focus step.
    static constexpr int FocusLabelTickMs = 200;
    static constexpr int FocusLabelTicks = 5;

public Q_SLOTS:
    void incBrightness();
    void decBrightness();
    void updateBrightness(int value);
    void incContrast();
    void decContrast();
    void updateContrast(int value);
    void incExposure();
    void decExposure();
    void setAutoExposure(bool on);
    void updateAutoExposure(bool on);
    void updateExposure(int value);
    void incFocus();
    void decFocus();
    void incBlue();
    void decBlue();
    void incRed();
    void decRed();
    void setAutoWhiteBalance(bool on);
    void updateAutoWhiteBalance(bool on);
    void setNegative(bool on);
    void setBlackAndWhite(bool on);
    void updateColorEfc(int effect);
    void setInfiniteMode(bool on);
    void setWideEngleMode(bool on);
    void setMacroMode(bool on);
    void setMicroScopeMode(bool on);
    void setEnhanceMode(bool on);
    void setAutoImgMode(bool on);
    void updateDocCamMode(int mode);
    void updateAutoImg(bool on);
    void updateUIWithActionStatus(uint status);
    void manualFocusLabelHide();
    void setContrast(uint value);
    void setBrightness(uint value);
    /// Back to the camera's own settings, forgetting those remembered for it.
    void resetSettings();

private:
    QWidget *buildPictureGroup();
    QWidget *buildFocusGroup();
    QWidget *buildColourGroup();
    QWidget *buildModeGroup();
    void requestColorEffect(int effect);
    void requestCameraMode(int mode);
    void showFocusHint(const QString &text);

    KivoscopeIntf *controller;

    SetValueSlider *brightnessSlider = nullptr;
    SetValueSlider *contrastSlider = nullptr;
    QToolButton *decBrightnessBtn = nullptr;
    QToolButton *incBrightnessBtn = nullptr;
    QToolButton *decContrastBtn = nullptr;
    QToolButton *incContrastBtn = nullptr;
    QToolButton *decExposureBtn = nullptr;
    QToolButton *incExposureBtn = nullptr;
    QLabel *exposureValue = nullptr;
    QCheckBox *autoExposureBox = nullptr;

    QToolButton *decManualFocus = nullptr;
    QToolButton *incManualFocus = nullptr;
    QLabel *manualFocusLabel = nullptr;

    QToolButton *decRedBtn = nullptr;
    QToolButton *incRedBtn = nullptr;
    QToolButton *decBlueBtn = nullptr;
    QToolButton *incBlueBtn = nullptr;
    QCheckBox *autoWhiteBalanceBox = nullptr;
    QToolButton *blackWhite = nullptr;
    QToolButton *negative = nullptr;

    QToolButton *microScopeBtn = nullptr;
    QToolButton *enhanceBtn = nullptr;
    QToolButton *infinityBtn = nullptr;
    QToolButton *wideAngleBtn = nullptr;
    QToolButton *macroBtn = nullptr;
    QToolButton *autoImgBtn = nullptr;
    QToolButton *resetBtn = nullptr;

    /// What the panel last asked for: 0 colour, 1 black and white, 2 negative.
    int requestedColorEffect = 0;
    /// 0 normal, 1 enhance, 2 wide angle, 3 microscope, 4 infinity, 5 macro.
    int requestedCameraMode = 0;
    int focusLabelTicks = 0;
    QTimer *focusLabelTimer;
};
