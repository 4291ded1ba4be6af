#pragma once
// The stone screen's boxes of what the stone is: "Stone" (ID / SKU#, lot,
// code, location, description, the date entered, comment, main picture),
// "Grading" (shape, weight, colour, clarity, cut and the laboratory's
// grades, certificate, inscriptions) and "Proportions" (measurements,
// percentages, angles, girdle, culet, and the stone's flags).  They make the
// controls with their control names; the stone screen fills and reads them
// and wires their commands.
//
// Controls by objectName: txtID, txtItemID (hidden), txtSKU, imgAuto, cboLot,
// lblCode, txtCode, txtLocation, txtDescription, txtDateCreated, dtDate
// (hidden), txtComment; cboShape, txtWeight, cboColour, cboClarity, cboCut,
// cboFlourescence, cboFancyColour, cboFinishPolish, cboFinishSymetry,
// cboLaboratory, txtCertificate, txtInscription1, txtInscription2; txtDim1-3,
// txtTableSize, txtTotalDepth, txtCrownHeight, txtPavillionDepth,
// txtCrownAngle, txtPavillionAngle, cboGirdle, txtGirdleDimension, cboCulet,
// chkCanadian, chkLabGrown, chkFinished, chkMEMOhere.
#include <QGroupBox>
#include <QList>

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class StoneFilesTab;

class StoneIdentityPanel : public QGroupBox {
    Q_OBJECT
public:
    // The files tab is made here (its main picture is a row of this box) as
    // a child of `parent`; the screen places the tab itself.
    StoneIdentityPanel(AppContext &ctx, QWidget *parent);
    StoneFilesTab *filesTab() const { return m_files; }
    // The controls typed into while a stone is added or edited.
    const QList<QWidget *> &entryFields() const { return m_entryFields; }

private:
    StoneFilesTab *m_files = nullptr;
    QList<QWidget *> m_entryFields;
};

class StoneGradingPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit StoneGradingPanel(QWidget *parent);
    const QList<QWidget *> &entryFields() const { return m_entryFields; }

private:
    QList<QWidget *> m_entryFields;
};

class StoneProportionsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit StoneProportionsPanel(QWidget *parent);
    const QList<QWidget *> &entryFields() const { return m_entryFields; }

private:
    QList<QWidget *> m_entryFields;
};

} // namespace velmor::ui
