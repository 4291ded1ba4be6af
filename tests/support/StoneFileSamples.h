#pragma once
// Files of every kind a stone takes, made by the tests themselves: pictures
// (JPEG, PNG), PDF documents (with pages, without any, cut short), MP4 and
// MOV videos of any size (box structure right, the bytes made up), and the
// bad ones (a text called .jpg, a cut JPEG).
#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QtEndian>

namespace velmor::test {

inline bool writeBytes(const QString &path, const QByteArray &b)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

// A picture of w x h pixels: a red stone on white, so that it can be found
// on a rendered page.
inline QImage samplePicture(int w, int h, QColor colour = Qt::red)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRect(w / 8, h / 8, w * 3 / 4, h * 3 / 4));
    return img;
}

inline QByteArray encodedPicture(const QImage &img, const char *format, int quality = 90)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, format, quality);
    return out;
}

inline QByteArray samplePdf(int pages, const QString &text = QStringLiteral("Grading report"))
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    QPdfWriter w(&b);
    QPainter p(&w);
    for (int i = 0; i < pages; ++i) {
        if (i)
            w.newPage();
        p.drawText(200, 400, QStringLiteral("%1, page %2").arg(text).arg(i + 1));
    }
    p.end();
    return out;
}

// A document whose page tree holds no page.
inline QByteArray pdfWithoutPages()
{
    return QByteArrayLiteral("%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                             "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
                             "trailer\n<< /Root 1 0 R /Size 3 >>\n%%EOF\n");
}

inline QByteArray box(const char *type, const QByteArray &body)
{
    QByteArray b(8, '\0');
    qToBigEndian<quint32>(quint32(8 + body.size()), b.data());
    memcpy(b.data() + 4, type, 4);
    return b + body;
}

// The boxes in front of the media data: ftyp (MP4) and a small moov.
inline QByteArray movieHead(bool mp4)
{
    QByteArray ftyp = mp4 ? QByteArrayLiteral("isom\0\0\x02\0isomiso2mp41") : QByteArrayLiteral("qt  \0\0\0\0qt  ");
    return box("ftyp", ftyp) + box("moov", box("mvhd", QByteArray(100, '\0')));
}

// Writes a video of `payload` media bytes (made-up, not compressible) to
// `path`, a megabyte at a time; its SHA-256 in hex, empty on failure.
inline QString writeVideo(const QString &path, qint64 payload, bool mp4 = true, quint64 seed = 0x9E3779B97F4A7C15ull)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    auto put = [&](const QByteArray &b) {
        h.addData(b);
        return f.write(b) == b.size();
    };
    QByteArray mdat(8, '\0');
    qToBigEndian<quint32>(quint32(8 + payload), mdat.data());
    memcpy(mdat.data() + 4, "mdat", 4);
    if (!put(movieHead(mp4)) || !put(mdat))
        return {};
    QByteArray block(1 << 20, '\0');
    quint64 x = seed;
    for (qint64 left = payload; left > 0;) {
        const qint64 n = qMin<qint64>(left, block.size());
        auto *w = reinterpret_cast<quint64 *>(block.data());
        for (qint64 i = 0; i < (n + 7) / 8; ++i) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            w[i] = x;
        }
        if (!put(block.left(n)))
            return {};
        left -= n;
    }
    return QString::fromLatin1(h.result().toHex());
}

inline QString sha256OfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return QString::fromLatin1(h.result().toHex());
}

} // namespace velmor::test
