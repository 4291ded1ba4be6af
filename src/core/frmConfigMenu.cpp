#include "core/frmConfigMenu.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/KnownRates.h"
#include "core/widgets/NumberBox.h"
#include "core/Configuration.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
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
      txtZAR(new QLineEdit(this)),
      lblRates(new QLabel(this))
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
    // An unknown rate (0) shows as an empty box, not as a rate of 0.
    const auto rateText = [](double r) { return r > 0 ? QString::number(r, 'g', 10) : QString(); };
    txtCDN->setText(rateText(ctx.exchangeRateCDN));
    txtZAR->setText(rateText(ctx.exchangeRateZAR));
    readLabelOptions(ctx.workstation, ctx.settings);
    chkLabelQuill->setChecked(ctx.settings.labelQuill);
    chkprintDIAMONDcomment->setChecked(ctx.settings.printDiamondComment);
    // The working rates are taken when a box is left and when the menu
    // closes, never while typing: "1,35" typed key by key passes through
    // "1", which is a figure but not the rate meant.  Text that is not a
    // rate is refused by name and the working rate stays as it was.
    lblRates->setObjectName(QStringLiteral("lblRates"));
    lblRates->setWordWrap(true);
    rf->addRow(lblRates);
    connect(txtCDN, &QLineEdit::editingFinished, this, [this] { takeRates(); });
    connect(txtZAR, &QLineEdit::editingFinished, this, [this] { takeRates(); });
    administratorOnly(ctx, this);
}

void frmConfigMenu::choose(int n)
{
    m_choice = n;
    accept();
}

QString frmConfigMenu::takeRates()
{
    QStringList refused;
    const auto take = [&](QLineEdit *box, const QString &name, const char *column, double &rate) {
        // Only what the user typed: the rate the box was opened with stays.
        const QString typed = box->text();
        if (!box->isModified() || typed.trimmed().isEmpty())
            return;
        const figures::Reading r = figures::read(
            typed, {name, figures::columnOf(m_ctx.db(), QStringLiteral("Config"), QString::fromLatin1(column)),
                    figures::Need::Positive});
        if (!r.ok())
            refused << r.error;
        else if (m_ctx.user.Administrator)
            rate = r.toDouble();
    };
    take(txtCDN, QStringLiteral("Working rate CDN"), "ExchangeRate", m_ctx.exchangeRateCDN);
    const double zarBefore = m_ctx.exchangeRateZAR;
    take(txtZAR, QStringLiteral("Working rate ZAR"), "ExchangeRateZAR", m_ctx.exchangeRateZAR);
    // The rand rate typed here is kept as the last good one, as the rate
    // screen keeps it: the next start works with it when none is fetched.
    if (m_ctx.exchangeRateZAR != zarBefore && rateKnown(m_ctx.exchangeRateZAR)) {
        try {
            db::exec(m_ctx.db(), QStringLiteral("UPDATE Config SET ExchangeRateZAR = ? ORDER BY ID LIMIT 1"),
                     {rateValue(m_ctx.exchangeRateZAR)});
        } catch (const db::DbError &e) {
            refused << QStringLiteral("The rand rate could not be stored: ") + e.message();
        }
    }
    const QString note = refused.join(QLatin1Char('\n'));
    lblRates->setText(note);
    return note;
}

void frmConfigMenu::done(int result)
{
    // A rate still refused when the menu closes is said once more: the
    // note on the menu goes with it.
    if (const QString note = takeRates(); !note.isEmpty())
        m_ctx.prompt().inform(note + QStringLiteral("\n\nThe working rates stay as they were."),
                              QStringLiteral("Settings"), Icon::Exclamation);
    QDialog::done(result);
}

void frmConfigMenu::saveLabelOptions()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    writeLabelOptions(m_ctx, chkLabelQuill->isChecked(), chkprintDIAMONDcomment->isChecked());
}

} // namespace velmor::ui
