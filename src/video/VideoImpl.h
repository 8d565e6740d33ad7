#pragma once

#include "MediaService.h"
#include "VideoIntf.h"

#include <SharedComponent.h>

#include <QPointer>

class VideoWidget;

/// The video component: one MediaService per attached file, its pictures in a VideoWidget, and
/// the rules of which action each state allows.
class VideoImpl : public VideoIntf, public SharedComponent<VideoImpl>
{
    Q_OBJECT
    friend SharedComponent<VideoImpl>;

public:
    using SharedComponent<VideoImpl>::getInstance;

    void release() override { releaseShared(); }

    int attachVideo(const QString &path) override;
    int start() override;
    int pause() override;
    int resume() override;
    int stop() override;
    int moveTo(uint seconds) override;
    int getTotalVideoLengthInSeconds() override;
    int setVolume(uint volume) override;
    int volume() override;
    int setProgressReportPeriod(uint milliseconds) override;
    int dropFpsForLoadBalance(uint fps) override;
    uint currentActionStatus() override;
    QString attachedPath() const override { return path; }
    QWidget *videoWidget() override;

    /// The service playing the attached file; null before the first attach.
    MediaService *mediaService() const { return service; }

public Q_SLOTS:
    void positionChanged(qint64 position);
    void stateChanged(MediaService::MediaState state);
    void mediaStatusChanged(MediaService::MediaStatus status);
    void playbackRateChanged(qreal rate);
    /// Stops the service and lets it go.
    void releaseVideo();

private:
    VideoImpl();
    ~VideoImpl() override;

    /// The checks every action starts with: a file, then media. 0 when both are there.
    int checkAttached(const char *operation);
    /// Runs `call` on the service when its state is one of `allowed`, with the logs of the
    /// action `operation` ("start", ...); `doing` is its success log and `wrongState` its
    /// refusal.
    int act(const char *operation, std::initializer_list<MediaService::MediaState> allowed,
            const char *doing, const char *wrongState, bool (MediaService::*call)());
    void retireService();

    QString path;
    MediaService *service = nullptr;
    QPointer<VideoWidget> widget;
    // Kept across files, so that the next video opens at the volume the presenter chose.
    uint volumeLevel = 100;
};
