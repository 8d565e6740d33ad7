#include "FileDialog.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex answererMutex;
FileDialog::Answerer testAnswerer;
} // namespace

QString FileDialog::getExistingDirectory(const Request &request)
{
    Answerer answerer;
    {
        std::lock_guard lock(answererMutex);
        answerer = testAnswerer;
    }
    if (answerer)
        return answerer(request);

    if (qEnvironmentVariableIsSet("VELORA_TEST_ANSWER_DIALOGS")) {
        std::fprintf(stderr, "Velora folder dialog: %s: %s\n", qPrintable(request.caption),
                     qPrintable(request.startFolder));
        std::fflush(stderr);
        return {};
    }
    return QFileDialog::getExistingDirectory(request.parent, request.caption, request.startFolder,
                                             request.options);
}

void FileDialog::setAnswerer(Answerer answerer)
{
    std::lock_guard lock(answererMutex);
    testAnswerer = std::move(answerer);
}
