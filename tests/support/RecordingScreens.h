#pragma once
// Screens for GUI tests: records what a screen asked to open, and says which
// screens count as installed.
#include "core/Screens.h"

#include <set>
#include <QStringList>

namespace velmor::test {

class RecordingScreens : public Screens {
public:
    std::set<Screen> installed;
    QStringList asked; // "openStone 12", "openPriceSheet", ...

    bool available(Screen s) const override { return installed.count(s) > 0; }
    bool openStone(qint64 id) override { return record(Screen::Stone, QStringLiteral("openStone %1").arg(id)); }
    bool openOlderParcel(qint64 id) override
    {
        return record(Screen::Parcel, QStringLiteral("openOlderParcel %1").arg(id));
    }
    bool openStoneSearch(qint64 memo) override
    {
        return record(Screen::StoneSearch, QStringLiteral("openStoneSearch %1").arg(memo));
    }
    bool openCustomer(qint64 id) override { return record(Screen::Customer, QStringLiteral("openCustomer %1").arg(id)); }
    bool openCustomerSearch() override { return record(Screen::CustomerSearch, QStringLiteral("openCustomerSearch")); }
    bool openCustomerSearchWith(const CustomerSearchPreset &p) override
    {
        return record(Screen::CustomerSearch,
                      QStringLiteral("openCustomerSearchWith customers=%1 suppliers=%2 hold=%3 rep=%4 pick=%5")
                          .arg(int(p.customers))
                          .arg(int(p.suppliers))
                          .arg(int(p.onHold))
                          .arg(p.repId)
                          .arg(int(p.pickForStone)));
    }
    void showStoneScreen() override { asked << QStringLiteral("showStoneScreen"); }
    bool openMemoSheet(qint64 id) override { return record(Screen::MemoSheet, QStringLiteral("openMemoSheet %1").arg(id)); }
    bool openMemoSheetWithStone(qint64 id, qint64 stone) override
    {
        return record(Screen::MemoSheet, QStringLiteral("openMemoSheetWithStone %1 %2").arg(id).arg(stone));
    }
    bool openMemoHistory(qint64 id, bool now) override
    {
        return record(Screen::MemoHistory, QStringLiteral("openMemoHistory %1 %2").arg(id).arg(int(now)));
    }
    bool openInvoice(qint64 id) override { return record(Screen::Invoice, QStringLiteral("openInvoice %1").arg(id)); }
    bool openOlderMemoSheet(qint64 id) override
    {
        return record(Screen::OlderMemoSheet, QStringLiteral("openOlderMemoSheet %1").arg(id));
    }
    bool openParcel(qint64 id) override { return record(Screen::Parcel, QStringLiteral("openParcel %1").arg(id)); }
    bool openPriceSheet() override { return record(Screen::PriceSheet, QStringLiteral("openPriceSheet")); }
    bool openCertificateLookup(qint64 id) override
    {
        return record(Screen::CertificateLookup, QStringLiteral("openCertificateLookup %1").arg(id));
    }
    bool openPayment(qint64 stone, qint64 customer) override
    {
        return record(Screen::Payment, QStringLiteral("openPayment %1 %2").arg(stone).arg(customer));
    }
    bool openPaymentMade(qint64 stone, qint64 supplier) override
    {
        return record(Screen::PaymentMade, QStringLiteral("openPaymentMade %1 %2").arg(stone).arg(supplier));
    }
    bool openItem(qint64 id) override { return record(Screen::Item, QStringLiteral("openItem %1").arg(id)); }
    bool printStonePaper(qint64 id, QWidget *) override
    {
        return record(Screen::StonePaper, QStringLiteral("printStonePaper %1").arg(id));
    }
    bool openSellDialog(qint64 id, QWidget *) override
    {
        return record(Screen::SellStone, QStringLiteral("openSellDialog %1").arg(id));
    }
    bool openInvoiceFind(bool today) override
    {
        return record(Screen::InvoiceFind, QStringLiteral("openInvoiceFind %1").arg(int(today)));
    }
    bool printInvoice(qint64 id, bool rap, bool disc, QWidget *) override
    {
        return record(Screen::InvoicePrint, QStringLiteral("printInvoice %1 %2 %3").arg(id).arg(int(rap)).arg(int(disc)));
    }
    bool openSalesDisclaimer() override
    {
        return record(Screen::SalesDisclaimer, QStringLiteral("openSalesDisclaimer"));
    }
    void showHome() override { asked << QStringLiteral("showHome"); }
    void refreshRates(QWidget *) override { asked << QStringLiteral("refreshRates"); }
    void partyPicked(const PartyPick &p) override { asked << QStringLiteral("partyPicked %1").arg(p.customerId); }

private:
    bool record(Screen s, const QString &what)
    {
        asked << what;
        return installed.count(s) > 0;
    }
};

} // namespace velmor::test
