#include "DocCamAdjustToolsPanel.h"

#include "DocCamActionStatus.h"
#include "DocCamToolButton.h"
#include "KivoscopeIntf.h"
#include "SetValueSlider.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString Pics = QStringLiteral(":/Image/pics/docCam/");

/// A square "−" or "+" beside a slider or a value, large enough to hit on a touch board.
QToolButton *stepButton(QWidget *parent, const QString &objectName, const QString &symbol,
                        const QString &toolTip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(symbol);
    button->setToolTip(toolTip);
    button->setMinimumSize(36, 36);
    QFont font = button->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.4);
    button->setFont(font);
    return button;
}

SetValueSlider *levelSlider(QWidget *parent, const QString &objectName, const QString &toolTip)
{
    auto *slider = new SetValueSlider(Qt::Horizontal, parent);
    slider->setObjectName(objectName);
    slider->setToolTip(toolTip);
    // The controller takes 0 to 100; anything wider would only be refused.
    slider->setRange(0, 100);
    slider->setPageStep(10);
    slider->setMinimumWidth(120);
    return slider;
}

/// The automatic switches show the camera's state; they are not commands.
QCheckBox *indicator(QWidget *parent, const QString &objectName, const QString &text)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

DocCamAdjustToolsPanel::DocCamAdjustToolsPanel(KivoscopeIntf *controller, QWidget *parent)
    : QWidget(parent)
    , controller(controller)
    , focusLabelTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("DocCamAdjustToolsPanel"));
    focusLabelTimer->setObjectName(QStringLiteral("focusLabelTimer"));
    focusLabelTimer->setInterval(FocusLabelTickMs);
    connect(focusLabelTimer, &QTimer::timeout, this, &DocCamAdjustToolsPanel::manualFocusLabelHide);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildPictureGroup());
    layout->addWidget(buildFocusGroup());
    layout->addWidget(buildColourGroup());
    layout->addWidget(buildModeGroup());

    // Apart from the groups, so that it is not taken for a control of one of them.
    resetBtn = new QToolButton(this);
    resetBtn->setObjectName(QStringLiteral("resetBtn"));
    resetBtn->setText(tr("Reset"));
    resetBtn->setToolTip(tr("Back to the camera's own picture settings"));
    resetBtn->setMinimumHeight(36);
    auto *resetRow = new QHBoxLayout;
    resetRow->addStretch();
    resetRow->addWidget(resetBtn);
    layout->addLayout(resetRow);
    connect(resetBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::resetSettings);

    connect(controller, &KivoscopeIntf::brightnessChanged, this,
            &DocCamAdjustToolsPanel::updateBrightness);
    connect(controller, &KivoscopeIntf::contrastChanged, this,
            &DocCamAdjustToolsPanel::updateContrast);
    connect(controller, &KivoscopeIntf::exposureChanged, this,
            &DocCamAdjustToolsPanel::updateExposure);
    connect(controller, &KivoscopeIntf::autoExposureChanged, this,
            &DocCamAdjustToolsPanel::updateAutoExposure);
    connect(controller, &KivoscopeIntf::autoWhiteBalanceChanged, this,
            &DocCamAdjustToolsPanel::updateAutoWhiteBalance);
    connect(controller, &KivoscopeIntf::colorEffectChanged, this,
            &DocCamAdjustToolsPanel::updateColorEfc);
    connect(controller, &KivoscopeIntf::docCamModeChanged, this,
            &DocCamAdjustToolsPanel::updateDocCamMode);
    connect(controller, &KivoscopeIntf::autoImageChanged, this,
            &DocCamAdjustToolsPanel::updateAutoImg);
    connect(controller, &KivoscopeIntf::actionStatusChanged, this,
            &DocCamAdjustToolsPanel::updateUIWithActionStatus);

    // A panel made after the camera connected has missed the first reports.
    updateBrightness(controller->brightness());
    updateContrast(controller->contrast());
    updateExposure(controller->exposure());
    updateColorEfc(controller->colorEffect());
    updateDocCamMode(controller->cameraMode());
    // These getters answer the opposite of the camera's state.
    updateAutoExposure(!controller->autoExposure());
    updateAutoWhiteBalance(!controller->autoWhiteBalance());
    updateAutoImg(!controller->autoImage());
    updateUIWithActionStatus(controller->actionStatus());
}

QWidget *DocCamAdjustToolsPanel::buildPictureGroup()
{
    auto *group = new QGroupBox(tr("Picture"), this);
    group->setObjectName(QStringLiteral("pictureGroup"));
    auto *grid = new QGridLayout(group);

    decBrightnessBtn = stepButton(group, QStringLiteral("decBrightnessBtn"), QStringLiteral("−"),
                                  tr("Darker"));
    brightnessSlider = levelSlider(group, QStringLiteral("brightnessSlider"), tr("Brightness"));
    incBrightnessBtn = stepButton(group, QStringLiteral("incBrightnessBtn"), QStringLiteral("+"),
                                  tr("Brighter"));
    grid->addWidget(new QLabel(tr("Brightness"), group), 0, 0);
    grid->addWidget(decBrightnessBtn, 0, 1);
    grid->addWidget(brightnessSlider, 0, 2);
    grid->addWidget(incBrightnessBtn, 0, 3);

    decContrastBtn = stepButton(group, QStringLiteral("decContrastBtn"), QStringLiteral("−"),
                                tr("Less contrast"));
    contrastSlider = levelSlider(group, QStringLiteral("contrastSlider"), tr("Contrast"));
    incContrastBtn = stepButton(group, QStringLiteral("incContrastBtn"), QStringLiteral("+"),
                                tr("More contrast"));
    grid->addWidget(new QLabel(tr("Contrast"), group), 1, 0);
    grid->addWidget(decContrastBtn, 1, 1);
    grid->addWidget(contrastSlider, 1, 2);
    grid->addWidget(incContrastBtn, 1, 3);

    decExposureBtn = stepButton(group, QStringLiteral("decExposureBtn"), QStringLiteral("−"),
                                tr("Shorter exposure"));
    exposureValue = new QLabel(group);
    exposureValue->setObjectName(QStringLiteral("exposureValue"));
    exposureValue->setAlignment(Qt::AlignCenter);
    incExposureBtn = stepButton(group, QStringLiteral("incExposureBtn"), QStringLiteral("+"),
                                tr("Longer exposure"));
    autoExposureBox = indicator(group, QStringLiteral("autoExposureBox"), tr("Auto"));
    auto *exposureRow = new QHBoxLayout;
    exposureRow->addWidget(exposureValue, 1);
    exposureRow->addWidget(autoExposureBox);
    grid->addWidget(new QLabel(tr("Exposure"), group), 2, 0);
    grid->addWidget(decExposureBtn, 2, 1);
    grid->addLayout(exposureRow, 2, 2);
    grid->addWidget(incExposureBtn, 2, 3);

    connect(brightnessSlider, &SetValueSlider::mouseReleaseValue, this,
            &DocCamAdjustToolsPanel::setBrightness);
    connect(contrastSlider, &SetValueSlider::mouseReleaseValue, this,
            &DocCamAdjustToolsPanel::setContrast);
    connect(decBrightnessBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::decBrightness);
    connect(incBrightnessBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::incBrightness);
    connect(decContrastBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::decContrast);
    connect(incContrastBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::incContrast);
    connect(decExposureBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::decExposure);
    connect(incExposureBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::incExposure);
    connect(autoExposureBox, &QCheckBox::clicked, this, &DocCamAdjustToolsPanel::setAutoExposure);
    return group;
}

QWidget *DocCamAdjustToolsPanel::buildFocusGroup()
{
    auto *group = new QGroupBox(tr("Manual focus"), this);
    group->setObjectName(QStringLiteral("focusGroup"));
    auto *row = new QHBoxLayout(group);
    decManualFocus = makeDocCamToolButton(group, QStringLiteral("decManualFocus"), tr("Near"),
                                          Pics + QStringLiteral("focus_near.png"));
    incManualFocus = makeDocCamToolButton(group, QStringLiteral("incManualFocus"), tr("Far"),
                                          Pics + QStringLiteral("focus_far.png"));
    // Holding the button steps the lens on, as a focus ring would.
    for (QToolButton *button : {decManualFocus, incManualFocus}) {
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(400);
        button->setAutoRepeatInterval(150);
    }
    manualFocusLabel = new QLabel(group);
    manualFocusLabel->setObjectName(QStringLiteral("manualFocusLabel"));
    manualFocusLabel->setAlignment(Qt::AlignCenter);
    QFont font = manualFocusLabel->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    manualFocusLabel->setFont(font);
    // Keep the room for the hint so the buttons do not jump when it comes and goes.
    QSizePolicy policy = manualFocusLabel->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    manualFocusLabel->setSizePolicy(policy);
    manualFocusLabel->hide();
    row->addWidget(decManualFocus);
    row->addWidget(manualFocusLabel, 1);
    row->addWidget(incManualFocus);

    connect(decManualFocus, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::decFocus);
    connect(incManualFocus, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::incFocus);
    return group;
}

QWidget *DocCamAdjustToolsPanel::buildColourGroup()
{
    auto *group = new QGroupBox(tr("Colour"), this);
    group->setObjectName(QStringLiteral("colourGroup"));
    auto *grid = new QGridLayout(group);

    decRedBtn = stepButton(group, QStringLiteral("decRedBtn"), QStringLiteral("−"), tr("Less red"));
    incRedBtn = stepButton(group, QStringLiteral("incRedBtn"), QStringLiteral("+"), tr("More red"));
    decBlueBtn
            = stepButton(group, QStringLiteral("decBlueBtn"), QStringLiteral("−"), tr("Less blue"));
    incBlueBtn
            = stepButton(group, QStringLiteral("incBlueBtn"), QStringLiteral("+"), tr("More blue"));
    autoWhiteBalanceBox
            = indicator(group, QStringLiteral("autoWhiteBalanceBox"), tr("Auto white balance"));
    grid->addWidget(new QLabel(tr("Red"), group), 0, 0);
    grid->addWidget(decRedBtn, 0, 1);
    grid->addWidget(incRedBtn, 0, 2);
    grid->addWidget(new QLabel(tr("Blue"), group), 0, 3);
    grid->addWidget(decBlueBtn, 0, 4);
    grid->addWidget(incBlueBtn, 0, 5);
    grid->addWidget(autoWhiteBalanceBox, 1, 0, 1, 6);

    blackWhite = makeDocCamToolButton(group, QStringLiteral("blackWhite"), tr("Black && white"),
                                      Pics + QStringLiteral("bw.png"), true);
    blackWhite->setToolTip(tr("Black and white"));
    negative = makeDocCamToolButton(group, QStringLiteral("negative"), tr("Negative"),
                                    Pics + QStringLiteral("negative.png"), true);
    auto *effects = new QHBoxLayout;
    effects->addWidget(blackWhite);
    effects->addWidget(negative);
    effects->addStretch();
    grid->addLayout(effects, 2, 0, 1, 6);

    connect(decRedBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::decRed);
    connect(incRedBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::incRed);
    connect(decBlueBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::decBlue);
    connect(incBlueBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::incBlue);
    connect(autoWhiteBalanceBox, &QCheckBox::clicked, this,
            &DocCamAdjustToolsPanel::setAutoWhiteBalance);
    connect(blackWhite, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setBlackAndWhite);
    connect(negative, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setNegative);
    return group;
}

QWidget *DocCamAdjustToolsPanel::buildModeGroup()
{
    auto *group = new QGroupBox(tr("Camera mode"), this);
    group->setObjectName(QStringLiteral("modeGroup"));
    auto *grid = new QGridLayout(group);
    microScopeBtn = makeDocCamToolButton(group, QStringLiteral("microScopeBtn"), tr("Microscope"),
                                         Pics + QStringLiteral("microscope.png"), true);
    enhanceBtn = makeDocCamToolButton(group, QStringLiteral("enhanceBtn"), tr("Enhance"),
                                      Pics + QStringLiteral("enhance.png"), true);
    infinityBtn = makeDocCamToolButton(group, QStringLiteral("infinityBtn"), tr("Infinity"),
                                       Pics + QStringLiteral("infinity.png"), true);
    wideAngleBtn = makeDocCamToolButton(group, QStringLiteral("wideAngleBtn"), tr("Wide angle"),
                                        Pics + QStringLiteral("wideangle.png"), true);
    macroBtn = makeDocCamToolButton(group, QStringLiteral("macroBtn"), tr("Macro"),
                                    Pics + QStringLiteral("macro.png"), true);
    autoImgBtn = makeDocCamToolButton(group, QStringLiteral("autoImgBtn"), tr("Auto image"),
                                      Pics + QStringLiteral("autoimage.png"), true);
    grid->addWidget(enhanceBtn, 0, 0);
    grid->addWidget(wideAngleBtn, 0, 1);
    grid->addWidget(microScopeBtn, 0, 2);
    grid->addWidget(infinityBtn, 1, 0);
    grid->addWidget(macroBtn, 1, 1);
    grid->addWidget(autoImgBtn, 1, 2);

    // clicked, not toggled: showing a reported mode must not send it back to the camera.
    connect(microScopeBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setMicroScopeMode);
    connect(enhanceBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setEnhanceMode);
    connect(infinityBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setInfiniteMode);
    connect(wideAngleBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setWideEngleMode);
    connect(macroBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setMacroMode);
    connect(autoImgBtn, &QToolButton::clicked, this, &DocCamAdjustToolsPanel::setAutoImgMode);
    return group;
}

void DocCamAdjustToolsPanel::incBrightness()
{
    controller->brightnessUp();
}

void DocCamAdjustToolsPanel::decBrightness()
{
    controller->brightnessDown();
}

void DocCamAdjustToolsPanel::updateBrightness(int value)
{
    brightnessSlider->showValue(value);
}

void DocCamAdjustToolsPanel::incContrast()
{
    controller->contrastUp();
}

void DocCamAdjustToolsPanel::decContrast()
{
    controller->contrastDown();
}

void DocCamAdjustToolsPanel::updateContrast(int value)
{
    contrastSlider->showValue(value);
}

void DocCamAdjustToolsPanel::incExposure()
{
    controller->exposureUp();
}

void DocCamAdjustToolsPanel::decExposure()
{
    controller->exposureDown();
}

void DocCamAdjustToolsPanel::setAutoExposure(bool)
{
    // The camera decides automatic exposure by itself; the box only reports it.
}

void DocCamAdjustToolsPanel::updateAutoExposure(bool on)
{
    autoExposureBox->setChecked(on);
}

void DocCamAdjustToolsPanel::updateExposure(int value)
{
    exposureValue->setText(QString::number(value));
}

void DocCamAdjustToolsPanel::incFocus()
{
    controller->focusFar();
    showFocusHint(tr("Far"));
}

void DocCamAdjustToolsPanel::decFocus()
{
    controller->focusNear();
    showFocusHint(tr("Near"));
}

void DocCamAdjustToolsPanel::showFocusHint(const QString &text)
{
    manualFocusLabel->setText(text);
    manualFocusLabel->show();
    focusLabelTicks = 0;
    focusLabelTimer->start();
}

void DocCamAdjustToolsPanel::incBlue()
{
    controller->blueGainUp();
}

void DocCamAdjustToolsPanel::decBlue()
{
    controller->blueGainDown();
}

void DocCamAdjustToolsPanel::incRed()
{
    controller->redGainUp();
}

void DocCamAdjustToolsPanel::decRed()
{
    controller->redGainDown();
}

void DocCamAdjustToolsPanel::setAutoWhiteBalance(bool)
{
    // As for exposure: reported, not commanded.
}

void DocCamAdjustToolsPanel::updateAutoWhiteBalance(bool on)
{
    autoWhiteBalanceBox->setChecked(on);
}

void DocCamAdjustToolsPanel::setNegative(bool on)
{
    requestColorEffect(on ? 2 : 0);
}

void DocCamAdjustToolsPanel::setBlackAndWhite(bool on)
{
    requestColorEffect(on ? 1 : 0);
}

void DocCamAdjustToolsPanel::requestColorEffect(int effect)
{
    requestedColorEffect = effect;
    // One effect at a time: show the choice at once, the camera's report confirms it.
    updateColorEfc(effect);
    controller->setColorEffect(effect);
}

void DocCamAdjustToolsPanel::updateColorEfc(int effect)
{
    blackWhite->setChecked(effect == 1);
    negative->setChecked(effect == 2);
}

void DocCamAdjustToolsPanel::setInfiniteMode(bool on)
{
    requestCameraMode(on ? 4 : 0);
}

void DocCamAdjustToolsPanel::setWideEngleMode(bool on)
{
    requestCameraMode(on ? 2 : 0);
}

void DocCamAdjustToolsPanel::setMacroMode(bool on)
{
    requestCameraMode(on ? 5 : 0);
}

void DocCamAdjustToolsPanel::setMicroScopeMode(bool on)
{
    requestCameraMode(on ? 3 : 0);
}

void DocCamAdjustToolsPanel::setEnhanceMode(bool on)
{
    requestCameraMode(on ? 1 : 0);
}

void DocCamAdjustToolsPanel::requestCameraMode(int mode)
{
    requestedCameraMode = mode;
    updateDocCamMode(mode);
    controller->setCameraMode(mode);
}

void DocCamAdjustToolsPanel::setAutoImgMode(bool on)
{
    controller->setAutoImage(on);
}

void DocCamAdjustToolsPanel::updateDocCamMode(int mode)
{
    // The modes are one lens setting: exactly one is on, or none for normal.
    enhanceBtn->setChecked(mode == 1);
    wideAngleBtn->setChecked(mode == 2);
    microScopeBtn->setChecked(mode == 3);
    infinityBtn->setChecked(mode == 4);
    macroBtn->setChecked(mode == 5);
}

void DocCamAdjustToolsPanel::updateAutoImg(bool on)
{
    autoImgBtn->setChecked(on);
}

void DocCamAdjustToolsPanel::updateUIWithActionStatus(uint status)
{
    using namespace DocCamAction;
    const bool live = isLive(status);
    for (QWidget *widget : std::initializer_list<QWidget *>{
                 brightnessSlider, decBrightnessBtn, incBrightnessBtn, contrastSlider,
                 decContrastBtn, incContrastBtn, blackWhite, negative, resetBtn})
        widget->setEnabled(live);

    const bool exposure = live && (status & Exposure);
    autoExposureBox->setEnabled(exposure);
    exposureValue->setEnabled(exposure);
    decExposureBtn->setEnabled(exposure && (status & ManualExposure));
    incExposureBtn->setEnabled(exposure && (status & ManualExposure));

    const bool focus = live && (status & ManualFocus);
    decManualFocus->setEnabled(focus);
    incManualFocus->setEnabled(focus);

    const bool whiteBalance = live && (status & WhiteBalance);
    autoWhiteBalanceBox->setEnabled(whiteBalance);
    const bool gains = whiteBalance && (status & ManualWhiteBalance);
    for (QToolButton *button : {decRedBtn, incRedBtn, decBlueBtn, incBlueBtn})
        button->setEnabled(gains);

    const bool modes = live && (status & CameraModes);
    for (QToolButton *button : {enhanceBtn, wideAngleBtn, microScopeBtn, infinityBtn, macroBtn})
        button->setEnabled(modes);
    autoImgBtn->setEnabled(live && (status & AutoImage));
}

void DocCamAdjustToolsPanel::manualFocusLabelHide()
{
    if (++focusLabelTicks < FocusLabelTicks)
        return;
    focusLabelTimer->stop();
    manualFocusLabel->hide();
}

void DocCamAdjustToolsPanel::setContrast(uint value)
{
    controller->setContrast(int(value));
}

void DocCamAdjustToolsPanel::setBrightness(uint value)
{
    controller->setBrightness(int(value));
}

void DocCamAdjustToolsPanel::resetSettings()
{
    controller->resetToDefaults();
}
