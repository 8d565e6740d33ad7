#pragma once

/// System events for the camera library's users: DocCam::SystemEventSuspend (0) before the
/// machine sleeps and DocCam::SystemEventResume (1) after it wakes, taken from logind's
/// PrepareForSleep signal on the system bus. Without a system bus nothing is ever reported.
class KivoSystemOsal
{
public:
    using SystemEventCallback = void (*)(int event, void *context);

    /// Registers the one callback (a null callback unregisters). It runs on the thread that
    /// first registered, which must run a Qt event loop.
    static void osalRegisterSystemEventListener(SystemEventCallback callback, void *context);

    /// Delivers `event` to the registered callback, as the system would. For tests.
    static void deliverSystemEvent(int event);
};
