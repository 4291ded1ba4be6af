#pragma once
// imgUS, imgCDN, imgZAR of the invoice screens: the print currency of this
// workstation (sellcurrency.ini).  The chosen picture stands larger (800
// twips square) than the other two (500).
#include "invoices/Invoice.h"

#include <QWidget>

class QToolButton;

namespace velmor::invoices {

class CurrencyPictures : public QWidget {
    Q_OBJECT
public:
    explicit CurrencyPictures(AppContext &ctx, QWidget *parent = nullptr);
    Currency current() const { return m_current; }
    void choose(Currency c);

    QToolButton *imgUS, *imgCDN, *imgZAR;

private:
    void showChoice();
    AppContext &m_ctx;
    Currency m_current;
};

} // namespace velmor::invoices
