#include "printing/frmPrintTo.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::printing {

frmPrintTo::frmPrintTo(AppContext &ctx, const QString &title, const QString &choiceFile, const QString &flipFile,
                       QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_choiceFile(choiceFile), m_flipFile(flipFile)
{
    setObjectName(QStringLiteral("frmPrintTo"));
    setWindowTitle(title);
    cboPrinter = named(new QComboBox, "cboPrinter");
    chk90Flip = named(new QCheckBox(QStringLiteral("Turn by 90 degrees (portrait)")), "chk90Flip");
    txtPdfFile = named(new QLineEdit, "txtPdfFile");
    cmdBrowse = named(new QPushButton(QStringLiteral("Browse...")), "cmdBrowse");
    cmdPrint = named(new QPushButton(QStringLiteral("&Print")), "cmdPrint");
    cmdPreview = named(new QPushButton(QStringLiteral("Preview")), "cmdPreview");
    Image2 = named(new QPushButton(QStringLiteral("Cancel")), "Image2");
    cmdPrint->setDefault(true);

    const QStringList choices = printerChoices(true);
    cboPrinter->addItems(choices);
    cboPrinter->setCurrentIndex(choiceIndex(choices, readPrinterChoice(ctx.workstation, choiceFile)));
    chk90Flip->setVisible(!flipFile.isEmpty());
    if (!flipFile.isEmpty())
        chk90Flip->setChecked(readFlagFile(ctx.workstation, flipFile));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Printer"), cboPrinter);
    auto *pdfRow = new QHBoxLayout;
    pdfRow->addWidget(txtPdfFile, 1);
    pdfRow->addWidget(cmdBrowse);
    form->addRow(QStringLiteral("PDF file"), pdfRow);
    form->addRow(QString(), chk90Flip);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(Image2);
    auto *l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);
    setMinimumWidth(460);

    connect(cboPrinter, &QComboBox::currentIndexChanged, this, &frmPrintTo::choiceChanged);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmPrintTo::browse);
    connect(cmdPrint, &QPushButton::clicked, this, &frmPrintTo::print);
    connect(cmdPreview, &QPushButton::clicked, this, &frmPrintTo::preview);
    connect(Image2, &QPushButton::clicked, this, &QDialog::reject);
    choiceChanged();
}

void frmPrintTo::choiceChanged()
{
    const bool pdf = cboPrinter->currentText() == kPdfEntry;
    txtPdfFile->setEnabled(pdf);
    cmdBrowse->setEnabled(pdf);
}

bool frmPrintTo::browse()
{
    QString start = txtPdfFile->text();
    if (start.isEmpty())
        start = QDir::home().filePath(suggestedPdfName.isEmpty() ? QStringLiteral("velmor.pdf") : suggestedPdfName);
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("PDF file"), start,
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (file.isEmpty())
        return false;
    txtPdfFile->setText(file);
    return true;
}

void frmPrintTo::print()
{
    const QString entry = cboPrinter->currentText();
    if (entry == kPdfEntry && txtPdfFile->text().trimmed().isEmpty() && !browse())
        return;
    writePrinterChoice(m_ctx.workstation, m_choiceFile, entry);
    if (!m_flipFile.isEmpty())
        writeFlagFile(m_ctx.workstation, m_flipFile, chk90Flip->isChecked());
    const bool flip = chk90Flip->isChecked();
    m_outcome = printDocument(PrintTarget::fromEntry(entry, txtPdfFile->text().trimmed()),
                              [this, flip](PrintSurface &s, QString *error) { return draw && draw(s, flip, error); },
                              windowTitle());
    if (!m_outcome.ok) {
        m_ctx.prompt().inform(m_outcome.error, QStringLiteral("Printing"), Icon::Critical);
        return;
    }
    accept();
}

void frmPrintTo::paintPreview(QPrinter *printer)
{
    PrintSurface s(printer);
    QString error;
    if (!draw || !draw(s, chk90Flip->isChecked(), &error)) {
        s.abort();
        m_previewError = error;
        return;
    }
    s.endDocument();
}

void frmPrintTo::preview()
{
    QPrinter printer(QPrinter::HighResolution);
    const PrintTarget target = PrintTarget::fromEntry(cboPrinter->currentText());
    QString ignored;
    if (target.kind == PrintTarget::PdfFile || !preparePrinter(printer, target, &ignored)) {
        // The pages of a PDF, or of a printer that is not there, as a
        // PDF would have them.
        printer.setOutputFormat(QPrinter::PdfFormat);
    }
    m_previewError.clear();
    QPrintPreviewDialog dlg(&printer, this);
    dlg.setObjectName(QStringLiteral("dlgPreview"));
    dlg.setWindowTitle(windowTitle());
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, &frmPrintTo::paintPreview);
    dlg.exec();
    if (!m_previewError.isEmpty())
        m_ctx.prompt().inform(m_previewError, QStringLiteral("Printing"), Icon::Critical);
}

} // namespace velmor::printing
