#pragma once
// The printer choice of a print-out: cboPrinter ("use Default Printer", every
// installed printer, "PDF file..."), remembered in the print-out's own file
// and preselected from it; chk90Flip where the print-out can be turned;
// cmdPrint prints, cmdPreview shows the pages first, Image2 cancels.
#include "printing/PrintJob.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QPrinter;

namespace velmor {
class AppContext;
}

namespace velmor::printing {

class frmPrintTo : public QDialog {
    Q_OBJECT
public:
    // choiceFile: the file that remembers the entry (lastprinterforlabel.ini);
    // flipFile: the file of the turn box, empty when the print-out has none.
    frmPrintTo(AppContext &ctx, const QString &title, const QString &choiceFile, const QString &flipFile = {},
               QWidget *parent = nullptr);

    // Draws the document on a surface (flip as ticked); false with the
    // reason when it cannot be drawn.
    std::function<bool(PrintSurface &, bool flip, QString *error)> draw;
    // The name the PDF file dialog proposes.
    QString suggestedPdfName;

    // cmdPrint: remembers the choice and prints; the dialog closes when the
    // document went out and stays open (with the reason shown) when not.
    void print();
    // cmdPreview: the pages as they will print.
    void preview();
    const PrintOutcome &outcome() const { return m_outcome; }

    QComboBox *cboPrinter;
    QCheckBox *chk90Flip;
    QLineEdit *txtPdfFile;
    QPushButton *cmdBrowse, *cmdPrint, *cmdPreview, *Image2;

private:
    void choiceChanged();
    bool browse();
    void paintPreview(QPrinter *printer);

    AppContext &m_ctx;
    QString m_choiceFile, m_flipFile;
    PrintOutcome m_outcome;
    QString m_previewError;
};

} // namespace velmor::printing
