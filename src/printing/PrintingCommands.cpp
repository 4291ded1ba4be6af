#include "printing/PrintingCommands.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "printing/PrintJob.h"

namespace velmor {

namespace {

// Messages of the print procedures go to the terminal.
class CliPrompt : public SilentPrompt {
public:
    explicit CliPrompt(QTextStream &err) : m_err(err) {}
    void inform(const QString &text, const QString &, Icon) override
    {
        m_err << "velmor: " << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << Qt::endl;
    }

private:
    QTextStream &m_err;
};

bool stoneNumber(const QString &text, qint64 &id, CliIo &io)
{
    bool ok = false;
    id = text.toLongLong(&ok);
    if (!ok || id <= 0) {
        io.err << "velmor: \"" << text << "\" is not a stone number" << Qt::endl;
        return false;
    }
    return true;
}

// Reads the stone's document data through `read`: 0 when read, else the
// exit code after saying why.
template <typename Read>
int readStone(CliIo &io, qint64 id, Read read)
{
    try {
        if (read())
            return 0;
        io.err << "velmor: there is no stone number " << id << Qt::endl;
        return 1;
    } catch (const db::DbError &) {
        io.err << "velmor: the stone could not be read" << Qt::endl;
        return 2;
    }
}

int runPaper(const StoneDocuments &stones, const QStringList &args, CliIo &io)
{
    bool quill = false, flip = false;
    QString idText;
    printing::TargetArgs target;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--quill"))
            quill = true;
        else if (a == QLatin1String("--flip"))
            flip = true;
        else if (target.take(args, i))
            continue;
        else if (idText.isEmpty() && !a.startsWith(QLatin1Char('-')))
            idText = a;
        else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    if (idText.isEmpty() || !target.complete()) {
        io.err << "velmor: give the stone number and either --pdf FILE or --printer NAME" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!stoneNumber(idText, id, io))
        return 2;

    Workstation ws;
    CliPrompt prompt(io.err);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    printing::DiamondPaper paper;
    if (const int rc = readStone(io, id, [&] { return stones.paper(ctx, id, paper); }))
        return rc;
    const printing::PrintOutcome out = printing::printDocument(
        target.target(),
        [&](printing::PrintSurface &s, QString *error) {
            return quill ? printing::PrintDiamondPaperQuillModule(s, paper, flip, error)
                         : printing::PrintDiamondPaperModule(s, paper, flip, error);
        },
        QStringLiteral("Stone paper %1").arg(id));
    if (!out.ok) {
        io.err << "velmor: " << out.error << Qt::endl;
        return 1;
    }
    io.out << "Document was sent to the Printer: " << out.where << Qt::endl;
    return 0;
}

int runLabel(const StoneDocuments &stones, const QStringList &args, CliIo &io)
{
    QString port, idText;
    bool portGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--port")) {
            portGiven = true;
            port = i + 1 < args.size() ? args.at(++i) : QString();
        } else if (idText.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            idText = a;
        } else {
            io.err << "velmor: unexpected argument " << a << Qt::endl;
            return 2;
        }
    }
    if (idText.isEmpty() || (portGiven && port.isEmpty())) {
        io.err << "velmor: give the stone number (and the port after --port)" << Qt::endl;
        return 2;
    }
    qint64 id = 0;
    if (!stoneNumber(idText, id, io))
        return 2;

    Workstation ws;
    CliPrompt prompt(io.err);
    AppContext ctx(ws, ws.connectionSettings(), &prompt);
    if (!openCliContext(ctx, io, true))
        return 2;
    printing::LabelTexts texts;
    if (const int rc = readStone(io, id, [&] { return stones.label(ctx, id, texts); }))
        return rc;
    const Settings &s = ctx.settings;
    const printing::LabelResult r = printing::PrintDumbellModule(
        prompt, portGiven ? port : s.labelPrinterPort, s.labelLeftOffset, s.labelRightOffset, texts, true);
    if (!r.printed)
        return 1;
    io.out << "Label was printed: " << printing::labelPortName(portGiven ? port : s.labelPrinterPort) << Qt::endl;
    return 0;
}

} // namespace

CliRegistry printingCommands(const StoneDocuments &stones)
{
    CliRegistry r;
    r.append({{QStringLiteral("print"), QStringLiteral("paper")},
              QStringLiteral("STONE_ID [--quill] [--flip] (--pdf FILE | --printer NAME)"),
              QStringLiteral("print a stone's paper to a PDF file or a printer"),
              [stones](const QStringList &a, CliIo &io) { return runPaper(stones, a, io); }});
    r.append({{QStringLiteral("print"), QStringLiteral("label")}, QStringLiteral("STONE_ID [--port PORT]"),
              QStringLiteral("send a stone's label to the label printer"),
              [stones](const QStringList &a, CliIo &io) { return runLabel(stones, a, io); }});
    return r;
}

} // namespace velmor
