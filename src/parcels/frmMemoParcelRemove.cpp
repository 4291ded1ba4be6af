#include "parcels/frmMemoParcelRemove.h"

#include "core/Figures.h"
#include "core/widgets/NumberBox.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

MemoCaratDialog::MemoCaratDialog(const char *name, const QString &title, const QString &command, const QString &sku,
                                 parcels::Decimal5 out, QWidget *parent)
    : QDialog(parent), m_out(out)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(title);
    auto *root = new QVBoxLayout(this);
    lblOut = new QLabel(QStringLiteral("Parcel %1: %2 ct out on this Memo").arg(sku, out.fixed(2)), this);
    lblOut->setObjectName(QStringLiteral("lblOut"));
    txtCarat = new QLineEdit(this);
    txtCarat->setObjectName(QStringLiteral("txtCarat"));
    numberBox(txtCarat);
    cboLine = new QComboBox(this);
    cboLine->setObjectName(QStringLiteral("cboLine"));
    cboLine->setVisible(false);
    root->addWidget(lblOut);
    root->addWidget(cboLine);
    root->addWidget(txtCarat);
    connect(cboLine, &QComboBox::currentIndexChanged, this, &MemoCaratDialog::updateCommands);
    auto *cmds = new QHBoxLayout;
    cmdOK = new QPushButton(command, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmds->addWidget(cmdOK);
    cmds->addWidget(cmdCancel);
    root->addLayout(cmds);
    connect(txtCarat, &QLineEdit::textChanged, this, &MemoCaratDialog::updateCommands);
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        if (cmdOK->isEnabled())
            accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    updateCommands();
}

QString MemoCaratDialog::carat() const { return txtCarat->text().trimmed(); }

void MemoCaratDialog::setLines(const QList<parcels::OutLine> &lines)
{
    m_lines = lines;
    cboLine->clear();
    cboLine->addItem(QStringLiteral("the oldest lines first"), 0);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (const parcels::OutLine &l : lines)
        cboLine->addItem(QStringLiteral("%1: %2 ct at %3 US$/ct")
                             .arg(us.toString(l.date, QStringLiteral("MMM dd, yyyy HH:mm")), l.carat.fixed(2),
                                  l.priceCarat.grouped2()),
                         l.id);
    cboLine->setVisible(lines.size() > 1);
    updateCommands();
}

qint64 MemoCaratDialog::lineId() const { return cboLine->currentData().toLongLong(); }

void MemoCaratDialog::updateCommands()
{
    const auto c = figures::parseTyped(txtCarat->text());
    // A line chosen bounds the carats by what is still out on it.
    parcels::Decimal5 bound = m_out;
    for (const parcels::OutLine &l : m_lines)
        if (l.id == lineId())
            bound = l.carat;
    cmdOK->setEnabled(c && *c > parcels::Decimal5() && *c <= bound);
}

frmMemoParcelRemove::frmMemoParcelRemove(const QString &sku, parcels::Decimal5 out, QWidget *parent)
    : MemoCaratDialog("frmMemoParcelRemove", QStringLiteral("Return into Stock"), QStringLiteral("&Return"), sku, out,
                      parent)
{
}

frmMemoParcelSell::frmMemoParcelSell(const QString &sku, parcels::Decimal5 out, QWidget *parent)
    : MemoCaratDialog("frmMemoParcelSell", QStringLiteral("Sell"), QStringLiteral("&Sell"), sku, out, parent)
{
}

} // namespace velmor::ui
