#pragma once

#include <KivoDocCam.h>
#include <ThreadHandOver.h>

#include <QMetaObject>
#include <QObject>

#include <memory>

/// A reference to `camera`, given back when the last copy goes.
inline std::shared_ptr<KivoDocCam> holdCamera(KivoDocCam *camera)
{
    camera->addRef();
    return {camera, [](KivoDocCam *held) {
                held->release();
            }};
}

/// Runs `work(camera)` later on `context`'s thread, for events the camera library reports on
/// its own threads. A reference to the camera travels with the call and is given back when
/// the call has run, or when it is dropped because `context` was destroyed first.
template<typename Work> void handOverToContext(QObject *context, KivoDocCam *camera, Work work)
{
    const std::shared_ptr<KivoDocCam> held = holdCamera(camera);
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            context,
            [held, work = std::move(work)] {
                ThreadHandOver::received();
                work(held.get());
            },
            Qt::QueuedConnection);
}

/// Hands a manager's camera-added and camera-removed events to `context`'s thread, where
/// `added(camera)` or `removed(camera)` runs; the manager's other events mean nothing here.
template<typename Added, typename Removed>
void handOverCameraEvent(QObject *context, DocCam::ManagerEvent event, KivoDocCam *camera,
                         Added added, Removed removed)
{
    if (event == DocCam::ManagerEvent::CameraAdded)
        handOverToContext(context, camera, std::move(added));
    else if (event == DocCam::ManagerEvent::CameraRemoved)
        handOverToContext(context, camera, std::move(removed));
}
