#include "KivoscopeCallbacks.h"

#include "KivoscopeImpl.h"

#include <KivoDocCam.h>
#include <ThreadHandOver.h>

namespace {
/// Runs `work` on the controller's thread. Queued calls die with the controller, so nothing
/// reaches a controller that is gone.
template<typename Work> void onGuiThread(KivoscopeImpl *owner, Work work)
{
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            owner,
            [work = std::move(work)] {
                ThreadHandOver::received();
                work();
            },
            Qt::QueuedConnection);
}
} // namespace

void PloverHQImageGrabber::hqImageGrabbed(const QImage &image)
{
    onGuiThread(owner, [o = owner, image] { o->hqImageArrived(image); });
}

void PloverParametersListener::brightnessChanged(KivoDocCam *camera, int value)
{
    onGuiThread(owner, [o = owner, camera, value] { o->brightnessValueChanged(camera, value); });
}

void PloverParametersListener::contrastChanged(KivoDocCam *camera, int value)
{
    onGuiThread(owner, [o = owner, camera, value] { o->contrastValueChanged(camera, value); });
}

void PloverParametersListener::zoomRatioChanged(KivoDocCam *camera, double ratio)
{
    onGuiThread(owner, [o = owner, camera, ratio] { o->zoomRatioValueChanged(camera, ratio); });
}

void PloverParametersListener::rotationChanged(KivoDocCam *camera, unsigned degrees)
{
    onGuiThread(owner, [o = owner, camera, degrees] { o->rotationValueChanged(camera, degrees); });
}

void PloverParametersListener::mirrorChanged(KivoDocCam *camera, bool on)
{
    onGuiThread(owner, [o = owner, camera, on] { o->mirrorValueChanged(camera, on); });
}

void PloverParametersListener::freezeChanged(KivoDocCam *camera, bool on)
{
    onGuiThread(owner, [o = owner, camera, on] { o->freezeValueChanged(camera, on); });
}

void PloverParametersListener::autoWhiteBalanceChanged(KivoDocCam *camera, bool on)
{
    onGuiThread(owner, [o = owner, camera, on] { o->autoWhiteBalanceValueChanged(camera, on); });
}

void PloverParametersListener::autoExposureChanged(KivoDocCam *camera, bool on)
{
    onGuiThread(owner, [o = owner, camera, on] { o->autoExposureValueChanged(camera, on); });
}

void PloverParametersListener::exposureChanged(KivoDocCam *camera, int value)
{
    onGuiThread(owner, [o = owner, camera, value] { o->exposureValueChanged(camera, value); });
}

void PloverParametersListener::autoImageChanged(KivoDocCam *camera, bool on)
{
    onGuiThread(owner, [o = owner, camera, on] { o->autoImageValueChanged(camera, on); });
}

void PloverParametersListener::colorEffectChanged(KivoDocCam *camera, int cameraValue)
{
    onGuiThread(owner, [o = owner, camera, cameraValue] {
        o->colorEffectValueChanged(camera, cameraValue);
    });
}

void PloverParametersListener::cameraModeChanged(KivoDocCam *camera, int modeNumber)
{
    const bool flag = camera->modeFlag();
    onGuiThread(owner, [o = owner, camera, modeNumber, flag] {
        o->cameraModeValueChanged(camera, modeNumber, flag);
    });
}

void PloverParametersListener::modeFlagChanged(KivoDocCam *camera, bool on)
{
    const int modeNumber = camera->cameraMode();
    onGuiThread(owner, [o = owner, camera, modeNumber, on] {
        o->cameraModeValueChanged(camera, modeNumber, on);
    });
}

void PloverParametersListener::inputStatusChanged(KivoDocCam *camera, unsigned int)
{
    onGuiThread(owner, [o = owner, camera] { o->inputStatusValueChanged(camera); });
}

void PloverParametersListener::parameterTuningProcessEnded(KivoDocCam *camera)
{
    onGuiThread(owner, [o = owner, camera] { o->parameterTuningProcessEnded(camera); });
}
