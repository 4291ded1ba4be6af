#include "parcels/frmMemoParcelRemove.h"

#include "core/Figures.h"
#include "core/widgets/NumberBox.h"

#include <QHBoxLayout>
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
    root->addWidget(lblOut);
    root->addWidget(txtCarat);
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

void MemoCaratDialog::updateCommands()
{
    const auto c = figures::parseTyped(txtCarat->text());
    cmdOK->setEnabled(c && *c > parcels::Decimal5() && *c <= m_out);
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
