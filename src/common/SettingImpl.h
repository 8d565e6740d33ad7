#pragma once

#include "IniFile.h"
#include "SettingIntf.h"

#include <SharedComponent.h>

#include <memory>

class FolderWatch;
struct stat;

/// Settings kept in "Settings.ini" in the per-user data folder (~/.local/share/Velora).
///
/// The parsed file is kept and used while the file on disk is the same one: a change in the data
/// folder (see FolderWatch) makes the next call compare the file's device, inode, size and
/// modification time (to the nanosecond) with those of the file it parsed, and read it again
/// when any differs. Changes are written, all at once and atomically (a temporary file renamed
/// into place), when control returns to the event loop, when a user of the store releases it,
/// and at the end; what others wrote meanwhile is read first so that it is kept.
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

    /// Writes the changes not yet in the file. Returns false when the file cannot be written;
    /// the first failure of a run is logged and shown to the user, and the changes stay in use.
    bool flush();

private:
    /// What tells one file on disk from another.
    struct FileIdentity
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedSeconds = 0;
        qint64 modifiedNanoseconds = 0;
        bool operator==(const FileIdentity &) const = default;
    };

    SettingImpl();
    ~SettingImpl() override;

    static FileIdentity identityOf(const struct stat &info);
    static FileIdentity identityOnDisk();
    /// Reads the file again if it is not the one parsed last.
    void refresh();
    /// Parses the file; unsaved changes stay on top. A file that is not INI is moved aside, kept
    /// for inspection, and the defaults are used.
    void load();
    void reportUnsaveable(const QString &reason);

    std::unique_ptr<FolderWatch> watch;
    FileIdentity loaded;
    IniFile::Values values; // the file as parsed, with the unsaved changes applied
    IniFile::Values unsaved;
    bool flushPosted = false;
};
