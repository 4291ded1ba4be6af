#pragma once
// The lines of a printed report as a reader sees them: the words of each
// page grouped by their height on the page, left to right, joined with
// blanks (pdftotext's own order follows the columns, not the rows).
#include "PdfLayoutCheck.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace velmor::test {

inline QStringList pdfLines(const QString &pdf)
{
    QStringList out;
    for (const PdfPage &page : pdfWords(pdf)) {
        QList<PdfWord> words = page.words;
        std::sort(words.begin(), words.end(), [](const PdfWord &a, const PdfWord &b) {
            const double ya = a.box.center().y(), yb = b.box.center().y();
            if (std::abs(ya - yb) > 2)
                return ya < yb;
            return a.box.left() < b.box.left();
        });
        double y = -100;
        QStringList line;
        for (const PdfWord &w : words) {
            if (std::abs(w.box.center().y() - y) > 2 && !line.isEmpty()) {
                out << line.join(QLatin1Char(' '));
                line.clear();
            }
            if (line.isEmpty())
                y = w.box.center().y();
            line << w.text;
        }
        if (!line.isEmpty())
            out << line.join(QLatin1Char(' '));
    }
    return out;
}

} // namespace velmor::test
