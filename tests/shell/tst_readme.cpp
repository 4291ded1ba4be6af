// README.md against the program: the figures it gives for the version and
// the schema version are the ones the program states, so that a new schema
// version (or a new release) cannot leave README behind unseen.  The command
// tables are checked against `velmor --help` by the package test (they make
// the manual page).
#include "db/Schema.h"
#include "shell/CliDispatch.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class TestReadme : public QObject {
    Q_OBJECT

    QString m_readme;

private slots:
    void initTestCase()
    {
        QFile f(QStringLiteral(VELMOR_SOURCE_DIR "/README.md"));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        // Line breaks inside a sentence are spaces to the reader.
        m_readme = QString::fromUtf8(f.readAll()).replace(QRegularExpression(QStringLiteral("\\s*\\n\\s*")),
                                                          QStringLiteral(" "));
    }

    void figures_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("program");
        // What `velmor --version` prints, quoted as README shows it.
        QTest::newRow("version line") << R"(`(Velmor \d+\.\d+\.\d+ \(schema version \d+\))`)" << velmor::cliVersion();
        // Every "schema version N" and "schema version (N)": the figure of
        // the program today.  (A column's history is told as "schema N".)
        QTest::newRow("schema version") << R"(schema version \(?(\d+)\)?)"
                                        << QString::number(velmor::db::schema::kSchemaVersion);
    }

    void figures()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, program);
        QStringList wrong;
        int seen = 0;
        for (auto it = QRegularExpression(pattern).globalMatch(m_readme); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            ++seen;
            if (m.captured(1) != program)
                wrong << QStringLiteral("README says \"%1\" where the program says %2").arg(m.captured(0), program);
        }
        QVERIFY2(seen > 0, qPrintable(QStringLiteral("README gives no figure for ") + QTest::currentDataTag()));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestReadme)
#include "tst_readme.moc"
