#include "invoices/widgets/CurrencyPictures.h"

#include "core/AppContext.h"
#include "core/widgets/Named.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace velmor::invoices {

namespace {
int twipsToPixels(QWidget *w, int twips)
{
    return twips * w->logicalDpiX() / 1440;
}
} // namespace

CurrencyPictures::CurrencyPictures(AppContext &ctx, QWidget *parent)
    : QWidget(parent), m_ctx(ctx), m_current(printCurrency(ctx))
{
    imgUS = named(new QToolButton, "imgUS");
    imgCDN = named(new QToolButton, "imgCDN");
    imgZAR = named(new QToolButton, "imgZAR");
    imgUS->setText(QStringLiteral("US$"));
    imgCDN->setText(QStringLiteral("CDN$"));
    imgZAR->setText(QStringLiteral("ZAR"));
    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    for (QToolButton *b : {imgUS, imgCDN, imgZAR}) {
        b->setToolTip(QStringLiteral("Print the invoice in this currency"));
        h->addWidget(b, 0, Qt::AlignBottom);
    }
    connect(imgUS, &QToolButton::clicked, this, [this] { choose(Currency::US); });
    connect(imgCDN, &QToolButton::clicked, this, [this] { choose(Currency::CDN); });
    connect(imgZAR, &QToolButton::clicked, this, [this] { choose(Currency::ZAR); });
    showChoice();
}

void CurrencyPictures::choose(Currency c)
{
    m_current = c;
    if (!setPrintCurrency(m_ctx, c))
        m_ctx.prompt().inform(QStringLiteral("The print currency could not be saved in ") +
                                  m_ctx.workstation.path(QStringLiteral("sellcurrency.ini")),
                              QStringLiteral("Invoice"), Icon::Exclamation);
    showChoice();
}

void CurrencyPictures::showChoice()
{
    const std::pair<QToolButton *, Currency> all[] = {{imgUS, Currency::US}, {imgCDN, Currency::CDN}, {imgZAR, Currency::ZAR}};
    for (const auto &[b, c] : all) {
        QFont f = b->font();
        f.setBold(c == m_current);
        b->setFont(f);
        // Square, and never narrower than its caption ("CDN$").
        const int caption = QFontMetrics(f).horizontalAdvance(b->text())
                            + 2 * b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b) + 4;
        const int side = qMax(twipsToPixels(this, c == m_current ? 800 : 500), caption);
        b->setFixedSize(side, side);
    }
}

} // namespace velmor::invoices
