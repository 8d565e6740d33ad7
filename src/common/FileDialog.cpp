#include "FileDialog.h"

#include "TestAnswerer.h"

#include <cstdio>

namespace {
TestAnswerer<FileDialog::Answerer> testAnswerer;
} // namespace

QString FileDialog::getExistingDirectory(const Request &request)
{
    if (const Answerer answerer = testAnswerer.get())
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
    testAnswerer.set(std::move(answerer));
}
