#include "stones/frmExportOptions.h"

#include "core/widgets/Named.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmExportOptions::frmExportOptions(bool fileMode, int layout, QWidget *parent) : QDialog(parent), m_fileMode(fileMode)
{
    setObjectName(QStringLiteral("frmExportOptions"));
    setWindowTitle(fileMode ? QStringLiteral("Export Diamond List") : QStringLiteral("E-Mail Diamond List"));
    const stones::ListOptions d;
    auto box = [this](const char *name, const QString &caption, bool on) {
        auto *c = named(new QCheckBox(caption, this), name);
        c->setChecked(on);
        return c;
    };
    chkShape = box("chkShape", QStringLiteral("Shape"), d.shape);
    chkColour = box("chkColour", QStringLiteral("Colour"), d.colour);
    chkClarity = box("chkClarity", QStringLiteral("Clarity"), d.clarity);
    chkCut = box("chkCut", QStringLiteral("Cut"), d.cut);
    chkMeasurement = box("chkMeasurement", QStringLiteral("Measurement"), d.measurement);
    chkRapCt = box("chkRapCt", QStringLiteral("RAP US$/ct"), d.rapCt);
    chkRAPOFF = box("chkRAPOFF", QStringLiteral("% off RAP"), d.rapOff);
    chkCODE = box("chkCODE", QStringLiteral("Code"), d.code);
    chkCert = box("chkCert", QStringLiteral("Laboratory and certificate"), d.cert);
    chkFiles = box("chkFiles", QStringLiteral("Names of pictures and files"), d.files);
    optLayout1 = named(new QRadioButton(QStringLiteral("Layout 1 (certificate first)"), this), "optLayout1");
    optLayout2 = named(new QRadioButton(QStringLiteral("Layout 2 (grading first)"), this), "optLayout2");
    (layout == 2 ? optLayout2 : optLayout1)->setChecked(true);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    cmdOK->setDefault(true);

    auto *root = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    const QList<QCheckBox *> boxes = {chkShape, chkColour, chkClarity, chkCut, chkMeasurement,
                                      chkRapCt, chkRAPOFF, chkCODE, chkCert, chkFiles};
    for (int i = 0; i < boxes.size(); ++i)
        grid->addWidget(boxes.at(i), i / 3, i % 3);
    root->addLayout(grid);
    root->addWidget(optLayout1);
    root->addWidget(optLayout2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    root->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

stones::ListOptions frmExportOptions::options() const
{
    stones::ListOptions o;
    o.shape = chkShape->isChecked();
    o.colour = chkColour->isChecked();
    o.clarity = chkClarity->isChecked();
    o.cut = chkCut->isChecked();
    o.measurement = chkMeasurement->isChecked();
    o.rapCt = chkRapCt->isChecked();
    o.rapOff = chkRAPOFF->isChecked();
    o.code = chkCODE->isChecked();
    o.cert = chkCert->isChecked();
    o.files = chkFiles->isChecked();
    return o;
}

int frmExportOptions::layout() const { return optLayout2->isChecked() ? 2 : 1; }

} // namespace velmor::ui
