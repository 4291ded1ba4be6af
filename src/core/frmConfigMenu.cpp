#include "core/frmConfigMenu.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/widgets/NumberBox.h"
#include "core/Configuration.h"
#include "db/Row.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmConfigMenu::frmConfigMenu(AppContext &ctx, QWidget *stoneScreen, QWidget *parent, bool memoDisclaimer)
    : QDialog(parent ? parent : stoneScreen),
      m_ctx(ctx),
      m_stone(stoneScreen),
      chkLabelQuill(new QCheckBox(QStringLiteral("Compact stone label (quill)"), this)),
      chkprintDIAMONDcomment(new QCheckBox(QStringLiteral("Print the comment on the stone label"), this)),
      txtCDN(new QLineEdit(this)),
      txtZAR(new QLineEdit(this))
{
    setObjectName(QStringLiteral("frmConfigMenu"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    auto *v = new QVBoxLayout(this);
    auto *commands = new QGridLayout;
    auto button = [&](const char *name, const QString &caption, int row, int col) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumHeight(34);
        commands->addWidget(b, row, col);
        return b;
    };
    QPushButton *configuration = button("Command1", QStringLiteral("Configuration"), 0, 0);
    configuration->setDefault(true);
    connect(configuration, &QPushButton::clicked, this, [this] { choose(1); });
    connect(button("Command2", QStringLiteral("Memo disclaimer"), 0, 1), &QPushButton::clicked, this,
            [this] { choose(2); });
    connect(button("Command3", QStringLiteral("Sales disclaimer"), 1, 0), &QPushButton::clicked, this,
            [this] { choose(3); });
    connect(button("Command4", QStringLiteral("Users"), 1, 1), &QPushButton::clicked, this, [this] { choose(4); });
    connect(button("cmdConfigLabour", QStringLiteral("Labour"), 2, 0), &QPushButton::clicked, this,
            [this] { choose(5); });
    // The labour screen belongs to the store side; the disclaimers where built.
    findChild<QPushButton *>(QStringLiteral("cmdConfigLabour"))->setEnabled(false);
    findChild<QPushButton *>(QStringLiteral("Command2"))->setEnabled(memoDisclaimer);
    findChild<QPushButton *>(QStringLiteral("Command3"))->setEnabled(ctx.screens().available(Screen::SalesDisclaimer));
    // Label1..Label4 open the database maintenance screen, which this build
    // does not have: they are shown disabled.
    for (int i = 1; i <= 4; ++i) {
        QPushButton *l = button(QStringLiteral("Label%1").arg(i).toLatin1().constData(),
                                QStringLiteral("Maintenance %1").arg(i), 3 + (i - 1) / 2, (i - 1) % 2);
        l->setFlat(true);
        l->setEnabled(false);
    }
    v->addLayout(commands);

    auto *labels = new QGroupBox(QStringLiteral("Stone label"), this);
    auto *lv = new QVBoxLayout(labels);
    chkLabelQuill->setObjectName(QStringLiteral("chkLabelQuill"));
    chkprintDIAMONDcomment->setObjectName(QStringLiteral("chkprintDIAMONDcomment"));
    lv->addWidget(chkLabelQuill);
    lv->addWidget(chkprintDIAMONDcomment);
    auto *image2 = new QToolButton(labels);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setText(QStringLiteral("Save label options"));
    lv->addWidget(image2);
    connect(image2, &QToolButton::clicked, this, &frmConfigMenu::saveLabelOptions);
    v->addWidget(labels);

    auto *rates = new QGroupBox(QStringLiteral("Working exchange rates (US$ 1 =)"), this);
    auto *rf = new QFormLayout(rates);
    txtCDN->setObjectName(QStringLiteral("txtCDN"));
    txtZAR->setObjectName(QStringLiteral("txtZAR"));
    numberBox(txtCDN);
    numberBox(txtZAR);
    rf->addRow(QStringLiteral("CDN"), txtCDN);
    rf->addRow(QStringLiteral("ZAR"), txtZAR);
    v->addWidget(rates);

    // On load: the two rates and the two label options.
    txtCDN->setText(QString::number(ctx.exchangeRateCDN, 'g', 10));
    txtZAR->setText(QString::number(ctx.exchangeRateZAR, 'g', 10));
    readLabelOptions(ctx.workstation, ctx.settings);
    chkLabelQuill->setChecked(ctx.settings.labelQuill);
    chkprintDIAMONDcomment->setChecked(ctx.settings.printDiamondComment);
    // A box being typed into ("1." or "") would hand the pricing a rate of 0:
    // only a positive value replaces the working rate.
    connect(txtCDN, &QLineEdit::textChanged, this, [this](const QString &t) {
        if (const double r = figures::parseTyped(t).value_or(Decimal5()).toDouble(); r > 0)
            m_ctx.exchangeRateCDN = r;
    });
    connect(txtZAR, &QLineEdit::textChanged, this, [this](const QString &t) {
        if (const double r = figures::parseTyped(t).value_or(Decimal5()).toDouble(); r > 0)
            m_ctx.exchangeRateZAR = r;
    });
}

void frmConfigMenu::choose(int n)
{
    m_choice = n;
    accept();
}

void frmConfigMenu::saveLabelOptions()
{
    writeLabelOptions(m_ctx, chkLabelQuill->isChecked(), chkprintDIAMONDcomment->isChecked());
}

} // namespace velmor::ui
