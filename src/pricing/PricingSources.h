#pragma once
// Where the price list, the exchange rates and the metal prices come from:
// the workstation file pricing.ini, key=value lines (a missing file or key
// means the default):
//   pricelist=https://technet.rapaport.com   price-list provider (POSTs to /HTTP/Prices/...)
//   exchangerates=https://www.x-rates.com    exchange-rate site ("/" and "/table/?from=USD&amount=1")
//   metals=http://www.kitco.com              metal-price page ("/market/")
//   timeout=20                               seconds a single page fetch may take
//   metalfile=C:/mertz.ini                   where the metal page copy is written
//                                            (default C:\mertz.ini on Windows,
//                                            mertz.ini in the workstation folder elsewhere)
#include <QString>

namespace velmor {
class Workstation;
}

namespace velmor::pricing {

struct PricingSources {
    QString priceListHost;
    QString exchangeRateHost;
    QString metalHost;
    int timeoutMs = 20000;
    QString metalFile;

    static PricingSources fromWorkstation(const Workstation &ws);
};

} // namespace velmor::pricing
