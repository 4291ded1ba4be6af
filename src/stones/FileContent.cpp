#include "stones/FileContent.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QChar>
#include <QRegularExpression>
#include <QtEndian>

namespace velmor::stones {

namespace {

struct Bytes {
    const uchar *p;
    qint64 n;
    quint32 be32(qint64 at) const { return qFromBigEndian<quint32>(p + at); }
    quint64 be64(qint64 at) const { return qFromBigEndian<quint64>(p + at); }
    QByteArray raw() const { return QByteArray::fromRawData(reinterpret_cast<const char *>(p), int(qMin<qint64>(n, INT_MAX))); }
};

enum class Format { None, Jpeg, Png, Webp, Mp4, Mov, Pdf };

Format formatOfName(const QString &fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg") || ext == QLatin1String("jpe"))
        return Format::Jpeg;
    if (ext == QLatin1String("png"))
        return Format::Png;
    if (ext == QLatin1String("webp"))
        return Format::Webp;
    if (ext == QLatin1String("mp4") || ext == QLatin1String("m4v"))
        return Format::Mp4;
    if (ext == QLatin1String("mov") || ext == QLatin1String("qt"))
        return Format::Mov;
    if (ext == QLatin1String("pdf"))
        return Format::Pdf;
    return Format::None;
}

ContentCheck refused(const QString &why)
{
    ContentCheck c;
    c.why = why;
    return c;
}

// JPEG: start marker, segments by their lengths, the coded data up to the
// next marker, and the end marker last.  A copy cut short has no end marker.
QString walkJpeg(const Bytes &b)
{
    if (b.n < 4 || b.p[0] != 0xFF || b.p[1] != 0xD8)
        return QStringLiteral("is not a JPEG picture");
    qint64 i = 2;
    bool frame = false;
    while (i < b.n) {
        if (b.p[i] != 0xFF)
            return QStringLiteral("is a damaged JPEG picture (no marker where one belongs)");
        while (i < b.n && b.p[i] == 0xFF)
            ++i;
        if (i >= b.n)
            break;
        const uchar m = b.p[i++];
        if (m == 0xD9)
            return frame ? QString() : QStringLiteral("is a JPEG file without a picture in it");
        if ((m >= 0xD0 && m <= 0xD7) || m == 0x01)
            continue;
        if (i + 2 > b.n)
            break;
        const qint64 len = (b.p[i] << 8) | b.p[i + 1];
        if (len < 2)
            return QStringLiteral("is a damaged JPEG picture (a segment of length %1)").arg(len);
        if (i + len > b.n)
            break;
        if ((m >= 0xC0 && m <= 0xCF) && m != 0xC4 && m != 0xC8 && m != 0xCC)
            frame = true;
        i += len;
        if (m == 0xDA) {
            // The coded data runs to the next marker that is not a stuffed
            // byte or a restart marker.
            while (i + 1 < b.n) {
                if (b.p[i] == 0xFF) {
                    const uchar next = b.p[i + 1];
                    if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
                        i += next == 0xFF ? 1 : 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            if (i + 1 >= b.n)
                break;
        }
    }
    return QStringLiteral("is cut short (the JPEG picture ends before its end marker)");
}

QString walkPng(const Bytes &b, int *w, int *h)
{
    static const uchar sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.n < 8 || memcmp(b.p, sig, 8) != 0)
        return QStringLiteral("is not a PNG picture");
    qint64 i = 8;
    bool first = true;
    while (i + 12 <= b.n) {
        const qint64 len = b.be32(i);
        const QByteArray type(reinterpret_cast<const char *>(b.p + i + 4), 4);
        if (first) {
            if (type != "IHDR" || len < 8)
                return QStringLiteral("is a damaged PNG picture (no header)");
            *w = int(b.be32(i + 8));
            *h = int(b.be32(i + 12));
            first = false;
        }
        if (i + 12 + len > b.n)
            break;
        if (type == "IEND")
            return {};
        i += 12 + len;
    }
    return QStringLiteral("is cut short (the PNG picture ends before its last chunk)");
}

QString walkWebp(const Bytes &b)
{
    if (b.n < 12 || memcmp(b.p, "RIFF", 4) != 0 || memcmp(b.p + 8, "WEBP", 4) != 0)
        return QStringLiteral("is not a WebP picture");
    const qint64 size = qFromLittleEndian<quint32>(b.p + 4);
    if (size + 8 > b.n)
        return QStringLiteral("is cut short (the WebP picture ends before its end)");
    if (!webpReadable())
        return QStringLiteral("is a WebP picture, which this workstation cannot show (Qt's WebP image format is not "
                              "installed); save it as JPEG or PNG");
    return {};
}

// MP4 and QuickTime: boxes one after the other to the last byte; the movie
// header (moov) must be among them.
QString walkMovie(const Bytes &b, bool mp4)
{
    const QString what = mp4 ? QStringLiteral("an MP4 video") : QStringLiteral("a QuickTime (MOV) video");
    qint64 i = 0;
    bool moov = false;
    bool firstBox = true;
    while (i < b.n) {
        if (i + 8 > b.n)
            return QStringLiteral("is cut short (the video ends inside a box header)");
        quint64 size = b.be32(i);
        const QByteArray type(reinterpret_cast<const char *>(b.p + i + 4), 4);
        for (char c : type)
            if (c < 0x20 || c > 0x7E)
                return QStringLiteral("is not %1").arg(what);
        qint64 header = 8;
        if (size == 1) {
            if (i + 16 > b.n)
                return QStringLiteral("is cut short (the video ends inside a box header)");
            size = b.be64(i + 8);
            header = 16;
        } else if (size == 0) {
            size = quint64(b.n - i);
        }
        if (size < quint64(header))
            return QStringLiteral("is not %1 (a box of %2 bytes)").arg(what).arg(size);
        if (firstBox) {
            static const QList<QByteArray> movFirst = {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"};
            if (mp4 ? type != "ftyp" : !movFirst.contains(type))
                return QStringLiteral("is not %1").arg(what);
            firstBox = false;
        }
        if (type == "moov")
            moov = true;
        if (size > quint64(b.n - i))
            return QStringLiteral("is cut short (the video's \"%1\" box runs past the end of the file)")
                .arg(QString::fromLatin1(type));
        i += qint64(size);
    }
    if (!moov)
        return QStringLiteral("has no movie header (moov box): it cannot be played");
    return {};
}

// The streams of a PDF that hold other objects (object streams, compressed),
// inflated, so that their page objects can be counted too.
QList<QByteArray> objectStreams(const QByteArray &pdf)
{
    QList<QByteArray> out;
    static const QRegularExpression lengthRe(QStringLiteral("/Length\\s+(\\d+)(\\s+\\d+\\s+R)?"));
    qsizetype at = 0;
    while ((at = pdf.indexOf("/ObjStm", at)) >= 0) {
        const qsizetype dictStart = pdf.lastIndexOf("obj", at);
        const qsizetype streamAt = pdf.indexOf("stream", at);
        at += 7;
        if (dictStart < 0 || streamAt < 0)
            continue;
        const QByteArray dict = pdf.mid(dictStart, streamAt - dictStart);
        if (!dict.contains("/FlateDecode"))
            continue;
        qsizetype begin = streamAt + 6;
        if (begin < pdf.size() && pdf.at(begin) == '\r')
            ++begin;
        if (begin < pdf.size() && pdf.at(begin) == '\n')
            ++begin;
        qsizetype end = pdf.indexOf("endstream", begin);
        const QRegularExpressionMatch m = lengthRe.match(QString::fromLatin1(dict));
        if (m.hasMatch() && m.captured(2).isEmpty())
            end = begin + m.captured(1).toLongLong();
        if (end <= begin || end > pdf.size())
            continue;
        // zlib's own stream: qUncompress wants the expected size in front
        // and grows its buffer as needed.
        QByteArray z = pdf.mid(begin, end - begin);
        const quint32 guess = quint32(qMin<qint64>(qint64(z.size()) * 8 + 1024, 64 << 20));
        uchar head[4];
        qToBigEndian(guess, head);
        z.prepend(reinterpret_cast<const char *>(head), 4);
        const QByteArray inflated = qUncompress(z);
        if (!inflated.isEmpty())
            out << inflated;
    }
    return out;
}

// Page objects: "/Type /Page" (blanks between the two names allowed), not
// "/Type /Pages".
int countPages(const QByteArray &text)
{
    int n = 0;
    qsizetype at = 0;
    while ((at = text.indexOf("/Type", at)) >= 0) {
        at += 5;
        qsizetype i = at;
        while (i < text.size() && (text.at(i) == ' ' || text.at(i) == '\r' || text.at(i) == '\n' || text.at(i) == '\t'))
            ++i;
        if (text.mid(i, 5) != "/Page")
            continue;
        const char next = i + 5 < text.size() ? text.at(i + 5) : ' ';
        if (!QChar::isLetterOrNumber(uchar(next)))
            ++n;
    }
    return n;
}

QString walkPdf(const Bytes &b)
{
    const QByteArray all = b.raw();
    const qsizetype head = all.indexOf("%PDF-");
    if (head < 0 || head > 1024)
        return QStringLiteral("is not a PDF document");
    const qsizetype tail = qMax<qsizetype>(0, all.size() - 2048);
    if (all.indexOf("%%EOF", tail) < 0)
        return QStringLiteral("is cut short (the PDF document has no end mark)");
    int pages = countPages(all);
    if (pages == 0)
        for (const QByteArray &s : objectStreams(all))
            pages += countPages(s);
    // An encrypted document may keep its page objects where they cannot be
    // read without the key: only a readable one is refused for no pages.
    if (pages == 0 && !all.contains("/Encrypt"))
        return QStringLiteral("is a PDF document with no pages");
    return {};
}

} // namespace

bool webpReadable()
{
    return QImageReader::supportedImageFormats().contains("webp");
}

QString kindOfName(const QString &fileName)
{
    switch (formatOfName(fileName)) {
    case Format::Jpeg:
    case Format::Png:
    case Format::Webp:
        return QStringLiteral("picture");
    case Format::Mp4:
    case Format::Mov:
        return QStringLiteral("video");
    case Format::Pdf:
        return QStringLiteral("document");
    case Format::None:
        break;
    }
    return {};
}

QString attachableNameFilter()
{
    return QStringLiteral("Pictures, videos and PDF documents (*.jpg *.jpeg *.png *.webp *.mp4 *.m4v *.mov *.pdf)");
}

namespace {

ContentCheck check(const QString &fileName, const Bytes &b)
{
    const Format f = formatOfName(fileName);
    if (f == Format::None)
        return refused(QStringLiteral("is not a picture (JPEG, PNG, WebP), a video (MP4, MOV) or a PDF document"));
    if (b.n == 0)
        return refused(QStringLiteral("is empty"));
    ContentCheck c;
    c.kind = kindOfName(fileName);
    switch (f) {
    case Format::Jpeg:
        c.why = walkJpeg(b);
        c.mimeType = QStringLiteral("image/jpeg");
        break;
    case Format::Png:
        c.why = walkPng(b, &c.width, &c.height);
        c.mimeType = QStringLiteral("image/png");
        break;
    case Format::Webp:
        c.why = walkWebp(b);
        c.mimeType = QStringLiteral("image/webp");
        break;
    case Format::Mp4:
        c.why = walkMovie(b, true);
        c.mimeType = QStringLiteral("video/mp4");
        break;
    case Format::Mov:
        c.why = walkMovie(b, false);
        c.mimeType = QStringLiteral("video/quicktime");
        break;
    case Format::Pdf:
        c.why = walkPdf(b);
        c.mimeType = QStringLiteral("application/pdf");
        break;
    case Format::None:
        break;
    }
    if (!c.why.isEmpty())
        return c;
    if (c.kind == QLatin1String("picture")) {
        // The picture must also be one this program can show.
        QByteArray copy = QByteArray::fromRawData(reinterpret_cast<const char *>(b.p), int(qMin<qint64>(b.n, INT_MAX)));
        QBuffer buf(&copy);
        buf.open(QIODevice::ReadOnly);
        QImageReader r(&buf);
        r.setAutoTransform(true);
        const QSize size = r.size();
        if (!r.canRead() || !size.isValid()) {
            c.why = QStringLiteral("is a picture that cannot be read (%1)").arg(r.errorString());
            return c;
        }
        c.width = size.width();
        c.height = size.height();
    }
    c.ok = true;
    return c;
}

} // namespace

ContentCheck checkContent(const QString &fileName, const QByteArray &bytes)
{
    return check(fileName, Bytes{reinterpret_cast<const uchar *>(bytes.constData()), bytes.size()});
}

ContentCheck checkFileContent(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("cannot be read (%1)").arg(f.errorString()));
    const qint64 n = f.size();
    if (n == 0)
        return check(path, Bytes{nullptr, 0});
    uchar *p = f.map(0, n);
    if (!p) {
        // A file that cannot be mapped is read whole.
        const QByteArray all = f.readAll();
        if (all.size() != n)
            return refused(QStringLiteral("cannot be read (%1)").arg(f.errorString()));
        return checkContent(path, all);
    }
    const ContentCheck c = check(path, Bytes{p, n});
    f.unmap(p);
    return c;
}

} // namespace velmor::stones
