#pragma once

#include <KivoDocCam.h>
#include <ThreadHandOver.h>

#include <QMetaObject>
#include <QObject>

#include <memory>

/// Runs `work(camera)` later on `context`'s thread, for events the camera library reports on
/// its own threads. A reference to the camera travels with the call and is given back when
/// the call has run, or when it is dropped because `context` was destroyed first.
template<typename Work> void handOverToContext(QObject *context, KivoDocCam *camera, Work work)
{
    camera->addRef();
    const std::shared_ptr<KivoDocCam> held(camera, [](KivoDocCam *c) { c->release(); });
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
