#pragma once

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace VeloraTest {

/// Points HOME and the XDG folders at a fresh temporary folder for the life of the test
/// program, so that settings, documents, logs and the single-instance socket never touch the
/// developer's own and parallel tests never meet.
class IsolatedHome
{
public:
    IsolatedHome();
    ~IsolatedHome();

    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

/// The folder IsolatedHome made, for tests that build paths below it.
QString homePath();

} // namespace VeloraTest

/// Like QTEST_MAIN, inside an IsolatedHome and with the application named as Velora names it.
#define VELORA_TEST_MAIN(TestObject) \
    int main(int argc, char **argv) \
    { \
        VeloraTest::IsolatedHome home; \
        QApplication app(argc, argv); \
        QCoreApplication::setApplicationName(QStringLiteral("Velora")); \
        TestObject test; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&test, argc, argv); \
    }
