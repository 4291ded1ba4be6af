#pragma once
// What a file attached to a stone really is: its name says picture (JPEG,
// PNG, WebP), video (MP4, MOV) or document (PDF), and its bytes must agree.
// The checks walk the file's own structure (JPEG markers up to the end
// marker, PNG chunks up to IEND, the video's boxes to the last byte, the
// PDF's end mark and its pages), so a text file called .jpg, a picture cut
// short in a copy or a PDF without a page is found before anything is kept.
#include <QByteArray>
#include <QString>

namespace velmor::stones {

struct ContentCheck {
    bool ok = false;
    QString kind;     // "picture", "video" or "document"
    QString mimeType; // "image/jpeg", ...
    QString why;      // the reason it is refused, to follow the file's name
    int width = 0, height = 0; // pictures
};

// Reads the file (mapped, not loaded whole) and checks it against its name.
ContentCheck checkFileContent(const QString &path);
// The same on bytes in hand, named as `fileName`.
ContentCheck checkContent(const QString &fileName, const QByteArray &bytes);

// The kinds a name may have, for file dialogs ("*.jpg *.jpeg ...").
QString attachableNameFilter();
// "photo.jpg" -> "picture"; empty when the ending is none of ours.
QString kindOfName(const QString &fileName);

// Whether this Qt reads WebP pictures (an image-format plug-in).
bool webpReadable();

} // namespace velmor::stones
