#pragma once

#include "FileBasedLogger.h"

#include <QDate>

/// A file logger that names its file from a template: "YYMMDD" becomes the date and "9999" the
/// lowest four-digit serial (from 0001) whose file does not exist yet, so an existing log is never
/// overwritten. A run that goes past midnight continues in a new file for the new day.
class AutoSerialFileLogger : public FileBasedLogger
{
public:
    explicit AutoSerialFileLogger(const QString &pathTemplate);

    bool open() override;
    void write(const QString &line) override;

    /// The file name the template gives for `date` and `serial`.
    static QString expand(const QString &pathTemplate, QDate date, int serial);

private:
    bool openForDate(QDate date);

    QString pathTemplate;
    QDate openedFor;
};
