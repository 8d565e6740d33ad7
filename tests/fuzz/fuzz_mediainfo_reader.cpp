// libFuzzer entry point for the media information file reader: arbitrary bytes are read into a
// media object. Besides the sanitizers' findings, two properties are checked: what was read
// stays within the reader's limits, and writing it gives a file that reads back to the very
// same file (saving the information of a damaged file never makes it unreadable or changes it
// again).

#include <MediaImpl.h>
#include <MediaInfoFile.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes
            = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    MediaImpl media;
    MediaInfoFile::read(bytes, media);
    if (media.title().size() > MediaInfoFile::MaxTextLength
        || media.description().size() > MediaInfoFile::MaxTextLength
        || media.keywords().size() > MediaInfoFile::MaxKeywords)
        std::abort();
    const QByteArray written = MediaInfoFile::write(media);
    MediaImpl again;
    if (!MediaInfoFile::read(written, again) || MediaInfoFile::write(again) != written)
        std::abort();
    return 0;
}
