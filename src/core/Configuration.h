#pragma once
// Loading and saving the program-wide settings: GetConfigurationModule (the
// Config and Colours rows plus the workstation files), the configuration
// screen's save, GetPrintersModule (printers.ini of the program folder) and
// the two label options of the stone screen's settings menu.
#include "core/Settings.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <array>
#include <map>

namespace velmor {

class AppContext;
class Workstation;

// The default settings row an empty Config table receives.
void ensureConfigRow(const QSqlDatabase &db);

// Loads ctx.settings from the first Colours and Config rows (adding the
// default Config row when the table is empty) and from labelprinter.ini,
// server.ini, logo.jpg and the label option files; sets the home-screen
// flags from VelmorWholeSale.  Throws db::DbError when the database fails.
void GetConfigurationModule(AppContext &ctx);

// The five printer names of printers.ini (invoice, production sheet, ship
// form, statement, consignment form) and the system's default printer.
// A missing or unreadable file leaves the names as they were.
void GetPrintersModule(AppContext &ctx);

template <std::size_t N = 20> constexpr std::array<bool, N> filledArray(bool v)
{
    std::array<bool, N> a{};
    a.fill(v);
    return a;
}

// What the configuration screen hands to its save.
struct ConfigurationEdits {
    // Config column -> value: bool for a flag, double for a number, QString for a text.
    std::map<QString, QVariant> values;
    std::array<QString, 20> colours{}; // Colour1 .. Colour20
    bool round5 = false;               // PriceRound 5 (ticked) or 1
    bool invoiceBH = false;            // InvoiceTemplate "BH" or "DEFAULT"
    // A screen that saves only what the user changed clears these for the
    // parts left as loaded (and leaves unchanged columns out of `values`).
    std::array<bool, 20> writeColour = filledArray(true);
    bool writeRound = true;
    bool writeTemplate = true;
};

// Writes Colours and the first Config row in one transaction (CompanyLogo
// alternates between "LOGO" and "LOGO1"), then reloads the settings.
// Columns that the table does not have are left out.  Throws db::DbError;
// on failure nothing is written.
void saveConfiguration(AppContext &ctx, const ConfigurationEdits &edits);

// chklabelquill.txt and printDIAMONDcomment.txt ("true"/"false").
void writeLabelOptions(AppContext &ctx, bool labelQuill, bool printDiamondComment);
void readLabelOptions(const Workstation &ws, Settings &s);

} // namespace velmor
