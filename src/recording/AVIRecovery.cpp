#include "AVIRecovery.h"

#include <FfmpegHandles.h>
#include <LogModule.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const LogModule recoveryLog("velora/recording");

/// Whether the process named in `marker` is gone (or the marker says nothing readable).
bool writerIsGone(const QString &marker)
{
    QFile file(marker);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    bool number = false;
    const qint64 pid = file.read(32).trimmed().toLongLong(&number);
    if (!number || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return true;
    return kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

/// Copies every packet of `input` into a new AVI at `path`; the seconds copied, or -1.
double copyStreams(AVFormatContext *input, const QString &path, QString *error)
{
    const QByteArray name = "file:" + path.toUtf8();
    int result = 0;
    OutputFormatPtr output = createOutputFormat("avi", name, &result);
    for (unsigned i = 0; result >= 0 && i < input->nb_streams; ++i) {
        AVStream *stream = avformat_new_stream(output.get(), nullptr);
        result = stream ? avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar)
                        : AVERROR(ENOMEM);
        if (result >= 0)
            stream->time_base = input->streams[i]->time_base;
    }
    if (result >= 0)
        result = avio_open(&output->pb, name.constData(), AVIO_FLAG_WRITE);
    if (result >= 0)
        result = avformat_write_header(output.get(), nullptr);
    PacketPtr packet(av_packet_alloc());
    double seconds = 0;
    while (result >= 0) {
        if (av_read_frame(input, packet.get()) < 0)
            break; // The end, or the torn last chunk of a killed writer.
        const AVStream *from = input->streams[packet->stream_index];
        if (packet->pts != AV_NOPTS_VALUE && packet->size > 0)
            seconds = qMax(seconds,
                           double(packet->pts + packet->duration) * av_q2d(from->time_base));
        av_packet_rescale_ts(packet.get(), from->time_base,
                             output->streams[packet->stream_index]->time_base);
        result = av_interleaved_write_frame(output.get(), packet.get());
    }
    if (result >= 0)
        result = av_write_trailer(output.get());
    if (result >= 0)
        result = avio_closep(&output->pb);
    if (result < 0) {
        *error = ffmpegError(result);
        return -1;
    }
    return seconds;
}

bool syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return synced;
}

} // namespace

namespace AVIRecovery {

QString markerPath(const QString &aviPath)
{
    return aviPath + u".partial"_s;
}

bool recover(const QString &aviPath)
{
    const QString temporary = aviPath + u".recovering"_s;
    QString error;
    double seconds = -1;
    if (InputFormatPtr input = openInputFormat(u"file:"_s + aviPath, &error))
        seconds = copyStreams(input.get(), temporary, &error);
    if (seconds <= 0 || !syncFile(temporary)) {
        QFile::remove(temporary);
        recoveryLog.log(LogSystem::LogError, "AVIRecovery::recover - Cannot recover %s: %s",
                        qPrintable(aviPath), qPrintable(error.isEmpty() ? u"no frames"_s : error));
        return false;
    }
    // The rename replaces the unindexed file only once the complete copy is on the disk.
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(aviPath).constData())
        != 0) {
        recoveryLog.log(LogSystem::LogError, "AVIRecovery::recover - Cannot replace %s: %s",
                        qPrintable(aviPath), strerror(errno));
        QFile::remove(temporary);
        return false;
    }
    QFile::remove(markerPath(aviPath));
    recoveryLog.log(LogSystem::LogNotice, "AVIRecovery::recover - Recovered %.1f s of %s", seconds,
                    qPrintable(aviPath));
    return true;
}

QStringList recoverFolder(const QString &folder)
{
    QStringList recovered;
    const QDir dir(folder);
    const QStringList markers = dir.entryList({u"*.avi.partial"_s}, QDir::Files | QDir::Hidden);
    for (const QString &name : markers) {
        const QString marker = dir.filePath(name);
        const QString avi = marker.chopped(markerPath({}).size());
        if (!writerIsGone(marker))
            continue;
        // A file killed before its header reached the disk holds nothing to recover.
        if (QFileInfo(avi).size() == 0) {
            QFile::remove(avi);
            QFile::remove(marker);
        } else if (recover(avi))
            recovered.append(avi);
    }
    return recovered;
}

} // namespace AVIRecovery
