#pragma once

#include <QAudioFormat>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

class AudioRing;
class FrameQueue;

/// The demux/decode thread of a MediaService: reads the file with libavformat, decodes its
/// pictures into a FrameQueue and its sound, resampled to the audio output's format, into an
/// AudioRing.
///
/// Both streams are decoded on this one thread: they arrive interleaved in one file, sound
/// costs little beside the pictures, and one thread reading in file order keeps the two queues
/// filling together without a packet queue per stream. After the end of the file the thread
/// idles until a seek or its destruction.
class MediaDecoder
{
public:
    struct Info
    {
        bool valid = false;
        QString error;
        QSize frameSize;
        qint64 durationUs = 0; // 0 when the file does not say
        bool hasAudio = false;
        int sampleRate = 0;
        int channels = 0;
    };

    /// Starts the thread, which opens `path`; info() waits for the outcome.
    MediaDecoder(const QString &path, FrameQueue &frames);
    /// Stops and joins the thread.
    ~MediaDecoder();

    Info info();
    /// Lets the thread decode: sound into `ring` in `format`, or no sound with a null ring.
    /// `mayDropPictures` says whether the presenter is starving for sound so that a full picture
    /// queue may drop rather than wait.
    void start(AudioRing *ring, const QAudioFormat &format, std::function<bool()> mayDropPictures);
    /// Decodes from `positionUs` on, for the serial the queues were just reset to; pictures and
    /// sound before that time are decoded but not queued.
    void seek(qint64 positionUs, quint64 serial);
    /// The furthest time decoded so far, the end of the last picture or sound.
    qint64 reachedUs() const { return reached.load(); }
    /// True once the end of the file was reached for `serial`.
    bool endedFor(quint64 serial) const;

private:
    struct Streams;

    void run(QString path);
    bool openFile(const QString &path, Info *info);
    void decodeLoop();
    bool decodePacket(bool video, bool flush);
    void queuePicture();
    void queueSound();
    void seekFile();

    FrameQueue &frames;
    std::unique_ptr<Streams> streams;
    std::promise<Info> opened;
    std::future<Info> openedResult;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool started = false;
    bool stopping = false;
    bool seekPending = false;
    qint64 seekTargetUs = 0;
    quint64 pendingSerial = 0;
    quint64 endedSerial = ~quint64(0);

    AudioRing *ring = nullptr;
    QAudioFormat outputFormat;
    std::function<bool()> mayDropPictures;
    // Decode-thread state.
    quint64 serial = 0;
    qint64 skipBeforeUs = 0;
    std::atomic<qint64> reached{0};

    std::thread thread;
};
