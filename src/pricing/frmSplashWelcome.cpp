#include "pricing/frmSplashWelcome.h"

#include "core/AppContext.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::pricing {

frmSplashWelcome::frmSplashWelcome(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSplashWelcome"));
    setWindowTitle(QStringLiteral("Welcome"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    auto *title = new QLabel(QStringLiteral("Today's rates"));
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    title->setFont(f);
    lblCDN = new QLabel;
    lblCDN->setObjectName(QStringLiteral("lblCDN"));
    lblZAR = new QLabel;
    lblZAR->setObjectName(QStringLiteral("lblZAR"));
    lblGOLD = new QLabel;
    lblGOLD->setObjectName(QStringLiteral("lblGOLD"));
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(24, 18, 24, 18);
    l->addWidget(title);
    l->addWidget(lblCDN);
    l->addWidget(lblZAR);
    l->addWidget(lblGOLD);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(4000);
    connect(Timer1, &QTimer::timeout, this, [this] {
        Timer1->stop();
        accept();
    });
}

void frmSplashWelcome::setRates(double cdn, double zar, double gold)
{
    lblCDN->setText(cdnLabelText(cdn));
    lblZAR->setText(zarLabelText(zar));
    lblGOLD->setText(goldLabelText(gold));
}

void frmSplashWelcome::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    Timer1->start();
}

RatesFetch GetExchangeRateModule(AppContext &ctx, QWidget *parent, int welcomeMs)
{
    const RatesFetch r = fetchRates(ctx);
    if (!r.complete())
        return r;
    frmSplashWelcome w(parent);
    w.Timer1->setInterval(welcomeMs);
    w.setRates(*r.cad, *r.zar, *r.gold);
    w.exec();
    return r;
}

} // namespace velmor::pricing
