#pragma once
// The workstation files of the memo screens (one value per line; a missing
// file means the default):
//   lastmemorapdiscountgiven.ini            the last discount put on memo
//   frmMemoAddNewDiamondToItCHECKBOXES.txt  chkCDN, chkZAR ("true"/"false")
//   lastprinterformemosheet.ini             printer name or "use Default Printer"
//   memosheetsetup.txt                      chkUSdollar, chkRoundUP, chkPRINTrap, chkPictures
#include <QString>

namespace velmor {
class Workstation;
}

namespace velmor::memos {

struct MemoPrintOptions {
    bool usDollar = true;  // chkUSdollar: ticked on a new workstation
    bool roundUp = false;  // chkRoundUP
    bool printRap = false; // chkPRINTrap
    bool pictures = false; // chkPictures: each stone's main picture on its line
};

class MemoFiles {
public:
    explicit MemoFiles(const Workstation &ws) : m_ws(ws) {}

    QString lastDiscount() const;
    void setLastDiscount(const QString &discount) const;

    // chkCDN and chkZAR.
    void currencies(bool *cdn, bool *zar) const;
    void setCurrencies(bool cdn, bool zar) const;

    QString printer() const;
    void setPrinter(const QString &name) const;

    // A line other than "false" counts as true; a missing line leaves the
    // option off.  A new workstation (no file, or an empty one) prints US$
    // prices: the summary the sheet always shows then has its column.
    MemoPrintOptions printOptions() const;
    bool setPrintOptions(const MemoPrintOptions &o) const;

private:
    const Workstation &m_ws;
};

} // namespace velmor::memos
