#pragma once

#include "SettingIntf.h"

#include <SharedComponent.h>

#include <memory>

class QSettings;

/// Settings kept in "Settings.ini" in the per-user data folder (~/.local/share/Velora).
class SettingImpl : public SettingIntf, public SharedComponent<SettingImpl>
{
    Q_OBJECT
    friend SharedComponent<SettingImpl>;

public:
    using SharedComponent<SettingImpl>::getInstance;

    void release() override;

    QString getSavePath() override;
    void setSavePath(const QString &path) override;
    QString getAudioSource() override;
    void setAudioSource(const QString &source) override;
    int getVideoQuality() override;
    void setVideoQuality(int quality) override;
    bool getMute() override;
    void setMute(bool mute) override;
    uint getTotalTime() override;
    void setTotalTime(uint totalTime) override;
    uint getPeriod() override;
    void setPeriod(uint period) override;

    void setValue(const QString &key, const QVariant &value) override;
    QVariant value(const QString &key) override;
    QVariant value(const QString &key, const QVariant &defaultValue) override;

    /// The per-user data folder, absolute and ending in "/".
    static QString dataFolder();
    /// Full path of the settings file.
    static QString settingsFilePath();
    /// "Velora/Media Library/" under the user's documents folder, absolute and ending in "/".
    static QString defaultSavePath();

private:
    SettingImpl();
    ~SettingImpl() override;

    /// Opens the file for one operation. A file the INI reader cannot parse is moved aside,
    /// kept for inspection, and replaced by an empty one, so that later writes are not lost.
    std::unique_ptr<QSettings> open();
};
