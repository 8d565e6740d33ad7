#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

/// The application's persistent preferences. A value written by one component is seen by all
/// others at their next read, and a change another program makes to the settings file is seen
/// at the next call.
class SettingIntf : public QObject
{
    Q_OBJECT

public:
    /// The shared store; give it back with release().
    static SettingIntf *getInstance();

    virtual void release() = 0;

    /// The media folder, always ending in "/". A stored folder that no longer exists is
    /// replaced by the default under the user's documents folder.
    virtual QString getSavePath() = 0;
    virtual void setSavePath(const QString &path) = 0;
    /// Name of the microphone used for recordings; empty for the system default.
    virtual QString getAudioSource() = 0;
    virtual void setAudioSource(const QString &source) = 0;
    virtual int getVideoQuality() = 0;
    virtual void setVideoQuality(int quality) = 0;
    virtual bool getMute() = 0;
    virtual void setMute(bool mute) = 0;
    /// Time-lapse total time.
    virtual uint getTotalTime() = 0;
    virtual void setTotalTime(uint totalTime) = 0;
    /// Time-lapse interval.
    virtual uint getPeriod() = 0;
    virtual void setPeriod(uint period) = 0;

    virtual void setValue(const QString &key, const QVariant &value) = 0;
    /// The stored value, or an invalid variant when the key is absent.
    virtual QVariant value(const QString &key) = 0;
    virtual QVariant value(const QString &key, const QVariant &defaultValue) = 0;

protected:
    SettingIntf() = default;
    ~SettingIntf() override = default;
};
