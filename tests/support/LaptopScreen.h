#pragma once
// The main() of a test that runs its windows on a 1366x768 laptop's screen
// (offscreen, 96 dpi), so that what fits there is what a dealer sees.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#define VELMOR_LAPTOP_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char **argv)                                                                 \
    {                                                                                               \
        QTemporaryDir dir;                                                                          \
        const QString config = dir.filePath(QStringLiteral("screen.json"));                         \
        QFile f(config);                                                                            \
        if (!f.open(QIODevice::WriteOnly))                                                          \
            return 2;                                                                               \
        f.write("{\"synchronousWindowSystemEvents\": false, \"windowFrameMargins\": true, "                \
                "\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": 1366, "                 \
                "\"height\": 768, \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}");            \
        f.close();                                                                                  \
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());               \
        QApplication app(argc, argv);                                                               \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                    \
        TestClass t;                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                  \
        return QTest::qExec(&t, argc, argv);                                                        \
    }
