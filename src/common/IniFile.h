#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QVariant>

/// The text of an INI settings file, read and written by the rules of QSettings' INI format
/// (sections, escaped keys and values, string lists, "@Type(...)" values), so that a file
/// written by either reads the same through both. Keys are flat: "group/key".
class IniFile
{
public:
    using Values = QHash<QString, QVariant>;

    /// Reads `data` into `values`. Returns false when a line is not INI (a section without its
    /// closing bracket, a line that is neither a comment nor "key=value"); the lines that could
    /// be read are stored all the same.
    static bool parse(QByteArrayView data, Values *values);

    /// The whole file for `values`, with sections and keys in alphabetical order.
    static QByteArray serialize(const Values &values);

    /// The text `value` is stored as; two values with the same text leave the file the same.
    static QByteArray valueText(const QVariant &value);
};
