#include "RecordedTools.h"

#include <QFile>

#include <cstring>

namespace velmor::test {

namespace {

class Playback : public db::backup::ToolRun {
public:
    Playback(const Recording &r, QByteArray *input) : m_r(r), m_input(input) {}

    qsizetype read(char *out, qsizetype max) override
    {
        // Small, uneven pieces, as a pipe gives them.
        const qsizetype piece = std::min<qsizetype>({max, m_r.output.size() - m_at, 997});
        if (piece <= 0)
            return 0;
        std::memcpy(out, m_r.output.constData() + m_at, size_t(piece));
        m_at += piece;
        return piece;
    }
    bool write(const char *data, qsizetype size) override
    {
        if (m_r.stopAfterInput >= 0 && m_taken + size > m_r.stopAfterInput)
            return false;
        m_input->append(data, size);
        m_taken += size;
        return true;
    }
    void closeInput() override {}
    bool finish() override { return m_r.exitCode == 0; }
    int exitCode() const override { return m_r.exitCode; }
    QString errors() const override { return QString::fromUtf8(m_r.errors); }
    void stop() override {}

private:
    Recording m_r;
    QByteArray *m_input;
    qsizetype m_at = 0;
    qint64 m_taken = 0;
};

} // namespace

QByteArray RecordedTools::dataFile(const QString &name)
{
    QFile f(QStringLiteral(VELMOR_TEST_DATA) + QStringLiteral("/backup/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return f.readAll();
}

db::backup::ToolStarter RecordedTools::starter()
{
    return [this](const QString &program, const QStringList &args,
                  QString *why) -> std::unique_ptr<db::backup::ToolRun> {
        calls << (QStringList{program} + args);
        if (m_missing.contains(program)) {
            *why = m_missing.value(program);
            return nullptr;
        }
        return std::make_unique<Playback>(m_recordings.value(program), &input);
    };
}

} // namespace velmor::test
