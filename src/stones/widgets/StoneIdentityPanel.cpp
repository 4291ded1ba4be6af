#include "stones/widgets/StoneIdentityPanel.h"

#include "stones/widgets/StoneFilesTab.h"
#include "stones/widgets/StonePanelControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace velmor::ui {

namespace {
// Rows close together: the boxes, the prices and the getting-started list
// fit a laptop's 768 pixels.
void tighten(QFormLayout *f)
{
    f->setVerticalSpacing(1);
    f->setContentsMargins(6, 2, 6, 2);
}
} // namespace

StoneIdentityPanel::StoneIdentityPanel(AppContext &ctx, QWidget *parent) : QGroupBox(QStringLiteral("Stone"), parent)
{
    const StonePanelControls make(this, m_entryFields);
    auto *fi = new QFormLayout(this);
    // A stone's ID or SKU typed here and Enter loads it.
    auto *id = make.lineEdit("txtID", false);
    id->setToolTip(QStringLiteral("Type a stone's ID or SKU# and press Enter to open it"));
    fi->addRow(QStringLiteral("ID / SKU#"), id);
    auto *itemId = make.lineEdit("txtItemID", false);
    itemId->setVisible(false);
    auto *skuRow = new QHBoxLayout;
    // The SKU and its button share the width of the boxes above and below.
    auto *sku = make.lineEdit("txtSKU");
    sku->setSizePolicy(QSizePolicy::Ignored, sku->sizePolicy().verticalPolicy());
    skuRow->addWidget(sku);
    auto *imgAuto = new QPushButton(QStringLiteral("#"), this);
    imgAuto->setObjectName(QStringLiteral("imgAuto"));
    imgAuto->setToolTip(QStringLiteral("Next free number for this SKU prefix"));
    imgAuto->setMaximumWidth(30);
    make.entry(imgAuto);
    skuRow->addWidget(imgAuto);
    fi->addRow(QStringLiteral("SKU#"), skuRow);
    fi->addRow(QStringLiteral("Lot"), make.combo("cboLot", true));
    fi->addRow(make.label("lblCode", QStringLiteral("Code")), make.lineEdit("txtCode"));
    fi->addRow(QStringLiteral("Location"), make.lineEdit("txtLocation"));
    fi->addRow(QStringLiteral("Description"), make.lineEdit("txtDescription"));
    auto *dateRow = new QHBoxLayout;
    auto *dateText = make.lineEdit("txtDateCreated", false);
    dateText->setReadOnly(true);
    auto *dtDate = new QDateEdit(this);
    dtDate->setObjectName(QStringLiteral("dtDate"));
    dtDate->setCalendarPopup(true);
    dtDate->setDisplayFormat(QStringLiteral("MMM dd, yyyy"));
    dtDate->setVisible(false);
    dateRow->addWidget(dateText);
    dateRow->addWidget(dtDate);
    fi->addRow(QStringLiteral("Entered"), dateRow);
    auto *comment = new QPlainTextEdit(this);
    comment->setObjectName(QStringLiteral("txtComment"));
    comment->setMaximumHeight(52);
    // As wide as the boxes above it (a text box asks for 256 px).
    comment->setSizePolicy(QSizePolicy::Ignored, comment->sizePolicy().verticalPolicy());
    comment->setTabChangesFocus(true); // Tab moves on; a line end is Enter
    make.entry(comment);
    fi->addRow(QStringLiteral("Comment"), comment);
    m_files = new StoneFilesTab(ctx, parent); // its tab joins the status box
    fi->addRow(QStringLiteral("Picture"), m_files->mainPicture());
    tighten(fi);
}

StoneGradingPanel::StoneGradingPanel(QWidget *parent) : QGroupBox(QStringLiteral("Grading"), parent)
{
    const StonePanelControls make(this, m_entryFields);
    auto *fg = new QFormLayout(this);
    fg->addRow(QStringLiteral("Shape"), make.combo("cboShape", true));
    fg->addRow(QStringLiteral("Weight"), make.lineEdit("txtWeight"));
    fg->addRow(QStringLiteral("Colour"), make.combo("cboColour", false));
    fg->addRow(QStringLiteral("Clarity"), make.combo("cboClarity", false));
    fg->addRow(QStringLiteral("Cut"), make.combo("cboCut", true));
    fg->addRow(QStringLiteral("Flourescence"), make.combo("cboFlourescence", true));
    fg->addRow(QStringLiteral("Fancy colour"), make.combo("cboFancyColour", true));
    fg->addRow(QStringLiteral("Polish"), make.combo("cboFinishPolish", true));
    fg->addRow(QStringLiteral("Symmetry"), make.combo("cboFinishSymetry", true));
    fg->addRow(QStringLiteral("Laboratory"), make.combo("cboLaboratory", true));
    fg->addRow(QStringLiteral("Certificate"), make.lineEdit("txtCertificate"));
    fg->addRow(QStringLiteral("Inscription 1"), make.lineEdit("txtInscription1"));
    fg->addRow(QStringLiteral("Inscription 2"), make.lineEdit("txtInscription2"));
    tighten(fg);
}

StoneProportionsPanel::StoneProportionsPanel(QWidget *parent) : QGroupBox(QStringLiteral("Proportions"), parent)
{
    const StonePanelControls make(this, m_entryFields);
    auto *fp = new QFormLayout(this);
    // Figures of a few digits ("6.45", "57.5"): boxes as wide as they need,
    // so that the status and history beside them have the room.
    auto number = [&](const char *name, const QString &widest = QStringLiteral("000.000")) {
        QLineEdit *e = make.lineEdit(name);
        e->setMaximumWidth(fontMetrics().horizontalAdvance(widest) + 14);
        return e;
    };
    auto *dims = new QHBoxLayout;
    dims->setSpacing(2);
    dims->addWidget(number("txtDim1", QStringLiteral("00.00")));
    dims->addWidget(new QLabel(QStringLiteral("x"), this));
    dims->addWidget(number("txtDim2", QStringLiteral("00.00")));
    dims->addWidget(new QLabel(QStringLiteral("x"), this));
    dims->addWidget(number("txtDim3", QStringLiteral("00.00")));
    dims->addStretch(1);
    fp->addRow(QStringLiteral("Measurements"), dims);
    fp->addRow(QStringLiteral("Table %"), number("txtTableSize"));
    fp->addRow(QStringLiteral("Total depth %"), number("txtTotalDepth"));
    fp->addRow(QStringLiteral("Crown height %"), number("txtCrownHeight"));
    fp->addRow(QStringLiteral("Pavilion depth %"), number("txtPavillionDepth"));
    fp->addRow(QStringLiteral("Crown angle"), number("txtCrownAngle"));
    fp->addRow(QStringLiteral("Pavilion angle"), number("txtPavillionAngle"));
    fp->addRow(QStringLiteral("Girdle"), make.combo("cboGirdle", true));
    fp->addRow(QStringLiteral("Girdle %"), number("txtGirdleDimension"));
    fp->addRow(QStringLiteral("Culet"), make.combo("cboCulet", true));
    auto *flags = new QGridLayout;
    flags->addWidget(make.check("chkCanadian", QStringLiteral("Canadian")), 0, 0);
    flags->addWidget(make.check("chkLabGrown", QStringLiteral("Lab grown")), 0, 1);
    flags->addWidget(make.check("chkFinished", QStringLiteral("Finished piece")), 1, 0);
    flags->addWidget(make.check("chkMEMOhere", QStringLiteral("Here on memo")), 1, 1);
    fp->addRow(flags);
    tighten(fp);
}

} // namespace velmor::ui
