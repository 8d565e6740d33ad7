#pragma once

#include "ScreenGrabber.h"

#include <QRect>

#include <memory>

/// Receives the pictures of one PipeWire video node (a screen cast) on a thread of its own and
/// keeps the newest, cut to an area and in the B, G, R, X order recordings take.
///
/// Pictures are read in place, in the producer's own buffers (shared memory, or linear DMA-BUF
/// where the producer offers it): the picture handed out is kept from the producer until the
/// next is asked for. Only the newest picture matters: a recording that asks less often than the
/// screen changes skips the ones in between, and one that asks more often gets the same picture
/// again, as an unchanged screen is.
class PipeWireFrameStream
{
public:
    /// Connects through `pipeWireFd` (taken over, closed in every case) to `node`. `area` is in
    /// the node's pixels; an empty one, or one the pictures do not reach, means the whole picture.
    PipeWireFrameStream(int pipeWireFd, quint32 node, QRect area);
    ~PipeWireFrameStream();

    /// Waits up to `ms` for the first picture; false when none came or the stream failed, with
    /// the reason (for the log) in `why`.
    bool waitForFirstPicture(int ms, QString *why);
    /// The size of the pictures handed out, once the first has come.
    QSize size() const;
    /// The newest picture, valid until the next call. False once the stream has ended (the
    /// person stopped sharing, the portal or PipeWire went away).
    bool latest(DesktopPicture &picture);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
