#include "core/frmConfiguration.h"

#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/widgets/NumberBox.h"
#include "core/Settings.h"
#include "core/SettingsFields.h"
#include "db/Row.h"
#include "db/Sql.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {

// Builds one frame: a form of text boxes and a grid of check boxes and
// option groups, registering each control.
class FrameBuilder {
public:
    FrameBuilder(QWidget *frame, std::vector<frmConfiguration::Control> &controls,
                 std::vector<QButtonGroup *> &groups)
        : m_frame(frame), m_controls(controls), m_groups(groups)
    {
        auto *v = new QVBoxLayout(frame);
        m_form = new QFormLayout;
        v->addLayout(m_form);
        m_checks = new QGridLayout;
        v->addLayout(m_checks);
        m_options = new QVBoxLayout;
        v->addLayout(m_options);
        v->addStretch(1);
    }

    FrameBuilder &text(const QString &name, const QString &column, const QString &label, bool secret = false)
    {
        auto *e = new QLineEdit(m_frame);
        e->setObjectName(name);
        if (secret)
            e->setEchoMode(QLineEdit::Password);
        m_form->addRow(label, e);
        m_controls.push_back({name, column, frmConfiguration::Kind::Text, -1, e});
        return *this;
    }
    FrameBuilder &number(const QString &name, const QString &column, const QString &label)
    {
        auto *e = new QLineEdit(m_frame);
        e->setObjectName(name);
        e->setMaximumWidth(140);
        e->setAccessibleName(label); // the name a refusal gives the field
        numberBox(e);
        m_form->addRow(label, e);
        m_controls.push_back({name, column, frmConfiguration::Kind::Number, -1, e});
        return *this;
    }
    FrameBuilder &check(const QString &name, const QString &column, const QString &label)
    {
        auto *c = new QCheckBox(label, m_frame);
        c->setObjectName(name);
        const int n = m_checkCount++;
        m_checks->addWidget(c, n / 2, n % 2);
        m_controls.push_back({name, column, frmConfiguration::Kind::Check, -1, c});
        return *this;
    }
    // An exclusive group of option buttons: {name, column, caption}; an empty
    // column is the button that stands for "none of the others".
    FrameBuilder &options(const QString &title, const QList<std::array<QString, 3>> &buttons)
    {
        auto *box = new QGroupBox(title, m_frame);
        auto *h = new QHBoxLayout(box);
        auto *group = new QButtonGroup(m_frame);
        const int id = int(m_groups.size());
        m_groups.push_back(group);
        for (const auto &b : buttons) {
            auto *r = new QRadioButton(b[2], box);
            r->setObjectName(b[0]);
            group->addButton(r);
            h->addWidget(r);
            m_controls.push_back({b[0], b[1], frmConfiguration::Kind::Option, id, r});
        }
        h->addStretch(1);
        m_options->addWidget(box);
        return *this;
    }

private:
    QWidget *m_frame;
    std::vector<frmConfiguration::Control> &m_controls;
    std::vector<QButtonGroup *> &m_groups;
    QFormLayout *m_form;
    QGridLayout *m_checks;
    QVBoxLayout *m_options;
    int m_checkCount = 0;
};

const QString kPriceListRetired =
    QStringLiteral("Function retired, unavailable: the price list provider no longer offers this service. "
                   "The price grid is read from the provider's four files: \"Import price files...\" on the "
                   "stone screen's Rapaport menu, or the command \"velmor grid import FOLDER\".");

QString numberText(double v) { return QString::number(v, 'g', 12); }

QWidget *scrolled(QWidget *frame)
{
    auto *area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(frame);
    return area;
}

} // namespace

frmConfiguration::frmConfiguration(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmConfiguration"));
    setWindowTitle(QStringLiteral("Configuration"));
    build();
    resize(760, 620);
    m_allowed = administratorOnly(ctx, this);
}

void frmConfiguration::build()
{
    auto *v = new QVBoxLayout(this);
    tsDiamond = new QTabBar(this);
    tsDiamond->setObjectName(QStringLiteral("tsDiamond"));
    m_frames = new QStackedWidget(this);
    v->addWidget(tsDiamond);
    v->addWidget(m_frames, 1);

    auto frame = [&](const char *name) {
        auto *w = new QWidget;
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    auto S = [](const char *s) { return QString::fromLatin1(s); };

    // 1. Company.
    QWidget *fraCompany = frame("fraCompany");
    {
        FrameBuilder b(fraCompany, m_controls, m_groups);
        b.text(S("txtCompanyName"), S("CompanyName"), S("Company name"))
            .text(S("txtCompanyStreet1"), S("CompanyStreet1"), S("Street"))
            .text(S("txtCompanyStreet2"), S("CompanyStreet2"), S("Street (2)"))
            .text(S("txtCompanyCity"), S("CompanyCity"), S("City"))
            .text(S("txtCompanyProvince"), S("CompanyProvince"), S("Province"))
            .text(S("txtCompanyZIP"), S("CompanyZIP"), S("Postal code"))
            .text(S("txtCompanyCountry"), S("CompanyCountry"), S("Country"))
            .text(S("txtCompanyPhone"), S("CompanyPhone"), S("Phone"))
            .text(S("txtCompanyFax"), S("CompanyFax"), S("Fax"))
            .text(S("txtCompanyEMail"), S("CompanyEMail"), S("E-mail"))
            .text(S("txtCompanyWWW"), S("CompanyWWW"), S("Web site"))
            .text(S("txtMyCurrencyName"), S("MyCurrencyName"), S("Local currency name"))
            .check(S("chkStoneChange"), S("StoneChange"), S("enable the Tracking of Changes that were done to a Stone"))
            .check(S("chkPublishDiamondPrices"), S("PublishDiamondPrices"), S("Publish diamond prices online"))
            .check(S("chkVelmorWholeSale"), S("VelmorWholeSale"),
                   S("Wholesale set-up: the main menu is the home screen (from the next start)"));
    }
    // The company logo: logo.jpg of the shared folder, which the main menu,
    // the stone screen and the printed documents show.
    {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(S("Logo"), fraCompany));
        imgCompanyLogo = new QLabel(fraCompany);
        imgCompanyLogo->setObjectName(S("imgCompanyLogo"));
        imgCompanyLogo->setFixedSize(160, 80);
        imgCompanyLogo->setFrameShape(QFrame::StyledPanel);
        imgCompanyLogo->setAlignment(Qt::AlignCenter);
        row->addWidget(imgCompanyLogo);
        auto *cmdCompanyLogo = new QPushButton(S("Choose &logo..."), fraCompany);
        cmdCompanyLogo->setObjectName(S("cmdCompanyLogo"));
        row->addWidget(cmdCompanyLogo);
        row->addStretch(1);
        static_cast<QVBoxLayout *>(fraCompany->layout())->insertLayout(1, row);
        connect(cmdCompanyLogo, &QPushButton::clicked, this, &frmConfiguration::chooseLogo);
    }
    // 3. Price grid.
    QWidget *fra2 = frame("fra2");
    {
        FrameBuilder b(fra2, m_controls, m_groups);
        b.text(S("txtRapUsername"), S("RapUserName"), S("Price list user name"))
            .text(S("txtRapPassword"), S("RapPassword"), S("Price list password"), true)
            .options(S("Price list edition"), {{S("optWeekly"), S("RapWeekly"), S("Weekly")},
                                               {S("optMonthly"), S("RapMonthly"), S("Monthly")}})
            .options(S("Split grades are priced by"),
                     {{S("optAverage"), S("AverageQuality"), S("the average of the neighbours")},
                      {S("optLower"), S("LowerQuality"), S("the lower grade")}})
            .check(S("chkRound5"), QString(), S("Round selling prices to 5"))
            .check(S("chkDontUseSplits"), S("DontUseSplits"), S("Do not offer split grades"))
            .check(S("chkGIAanythingelse"), S("GIAanythingelse"), S("Laboratory lookup: take any other grading"));
        for (const char *shape : {"Oval", "Asser", "Princess", "Marquise", "Emerald", "Cushion", "Radiant",
                                  "Triangle", "Heart"})
            b.check(S("chk%1EQPear").arg(S(shape)), S("%1EQPear").arg(S(shape)),
                    S("Price %1 from the pear grid").arg(S(shape).toLower()));
        b.check(S("chkSquareBrilliantEQRound"), S("SquareBrilliantEQRound"),
                S("Price square brilliant from the round grid"))
            .check(S("chkRectangleBrilliantEQRound"), S("RectangleBrilliantEQRound"),
                   S("Price rectangle brilliant from the round grid"));
    }
    // 4. Display and stone entry.
    QWidget *fra4 = frame("fra4");
    {
        FrameBuilder b(fra4, m_controls, m_groups);
        b.text(S("txtSKURound"), S("SKURound"), S("SKU prefix, round stones"))
            .text(S("txtSKUOther"), S("SKUOther"), S("SKU prefix, other shapes"))
            .number(S("txtStoneFileLimitMB"), S("StoneFileLimitMB"), S("Largest file on a stone (MB; empty: 200)"));
        // The price columns of the lists: MY is the local currency.
        const QString local = m_ctx.settings.currencyName();
        const std::pair<const char *, QString> shown[] = {
            {"HideRapUS_CT", S("Hide Rap US$ /ct")},
            {"HideRapUS_Stone", S("Hide Rap US$ /Stone")},
            {"HideRapMY_Stone", S("Hide Rap %1 /Stone").arg(local)},
            {"HideCostMY_ST", S("Hide cost %1 /Stone").arg(local)},
            {"HideCostUS_ST", S("Hide cost US$ /Stone")},
            {"HideSellPriceMY_ST", S("Hide selling price %1 /Stone").arg(local)},
            {"HideSellPriceUS_ST", S("Hide selling price US$ /Stone")},
            {"ShowCostMY_CT", S("Show cost %1 /ct").arg(local)},
            {"ShowCostUS_CT", S("Show cost US$ /ct")},
            {"ShowSellPriceMY_CT", S("Show selling price %1 /ct").arg(local)},
            {"ShowSellPriceUS_CT", S("Show selling price US$ /ct")}};
        for (const auto &[c, caption] : shown)
            b.check(S("chk%1").arg(S(c)), S(c), caption);
        b.check(S("chkShowLot"), S("ShowLot"), S("Show the lot"))
            .check(S("chkShowDimension"), S("ShowDimension"), S("Show the dimensions"))
            .check(S("chkShowMemoID"), S("ShowMemoID"), S("Show the memo number"))
            .check(S("chkShowReference"), S("ShowReferenceNumber"), S("Show the reference number"))
            .check(S("chkCheckLiveStonesOnly"), S("CheckLiveStonesOnly"), S("Check stones in stock only"))
            .check(S("chkForceCertificate"), S("ForceCertificate"), S("Certificate required"))
            .check(S("chkForceClarity"), S("ForceClarity"), S("Clarity required"))
            .check(S("chkForceColour"), S("ForceColour"), S("Colour required"))
            .check(S("chkForceCut"), S("ForceCut"), S("Cut required"))
            .check(S("chkForceDimension"), S("ForceDimension"), S("Dimensions required"))
            .check(S("chkForceLab"), S("ForceLab"), S("Laboratory required"))
            .check(S("chkAutoSKU"), S("AutoSku"), S("Number new stones automatically"));
    }
    // 5. Store side.
    QWidget *fra5 = frame("fra5");
    {
        FrameBuilder b(fra5, m_controls, m_groups);
        b.options(S("Invoice layout"), {{S("optInvoice1"), QString(), S("Default")},
                                        {S("optInvoiceBH"), QString(), S("BH")}})
            .options(S("Material available"), {{S("optMaterialTrue"), S("MaterialAvailabe"), S("Yes")},
                                              {S("optMaterialFalse"), QString(), S("No")}})
            .number(S("txtDefaultMarkup"), S("DefaultMarkup"), S("Default markup"))
            .number(S("txtDiscount"), S("DefaultDiscount"), S("Default discount"));
        for (int i = 1; i <= 4; ++i)
            b.number(S("txtClass%1Threshold").arg(i), S("Class%1Threshold").arg(i), S("Class %1 threshold").arg(i))
                .text(S("txtClass%1Label").arg(i), S("Class%1Label").arg(i), S("Class %1 label").arg(i))
                .number(S("txtClass%1Markup").arg(i), S("Class%1Markup").arg(i), S("Class %1 markup").arg(i));
        b.number(S("txtDefaultCreditLimit"), S("DefaultCreditLimit"), S("Default credit limit"))
            .number(S("txtOverDue"), S("OverDue"), S("Overdue after (days)"))
            .number(S("txtTagMarkup"), S("TagMarkup"), S("Tag markup"))
            .number(S("txtTagEnd"), S("TagEnd"), S("Tag ending"));
        for (int k : {10, 14, 18, 19, 22, 25})
            b.number(S("txtAlloyCost%1").arg(k), S("AlloyCost%1").arg(k), S("Alloy cost %1 kt").arg(k))
                .number(S("txt%1ktRatio").arg(k), S("%1ktRatio").arg(k), S("%1 kt ratio").arg(k))
                .number(S("txtCostFactor%1").arg(k), S("CostFactor%1").arg(k), S("Cost factor %1 kt").arg(k));
        b.number(S("txtIntrinsicGoldValueMarkup"), S("IntrinsicGoldValueMarkup"), S("Intrinsic gold value markup"))
            .number(S("txtCommissionRate"), S("CommissionRate"), S("Commission rate"))
            .text(S("txtShippingSheetDisclaimer"), S("ShippingSheetDisclaimer"), S("Shipping sheet disclaimer"))
            .text(S("txtMemoFormDisclaimer"), S("MemoFormDisclaimer"), S("Memo form disclaimer"));
        for (int i = 1; i <= 20; ++i)
            b.text(S("txtColour%1").arg(i), S("Colour%1").arg(i), S("Metal colour %1").arg(i));
        b.check(S("chkPrintJobBagsGroupedByType"), S("PrintJobBagsGroupedByType"), S("Job bags grouped by type"))
            .check(S("chkAlwaysUseSeperateJobBags"), S("AlwaysUseSeperateJobBags"), S("Separate job bags"))
            .check(S("chkForceRepEntry"), S("ForceRepEntry"), S("Rep required"))
            .check(S("chkLongStatement"), S("LongStatement"), S("Long statements"));
    }
    // 6. Buying and selling.
    QWidget *fraBuyingAndSelling = frame("fraBuyingAndSelling");
    {
        FrameBuilder b(fraBuyingAndSelling, m_controls, m_groups);
        b.options(S("Buying price preset"), {{S("optBuyUS"), S("BuyUS"), S("US$")},
                                             {S("optBuyLocal"), S("Buylocal"), S("Local money")},
                                             {S("optBuyOffRap"), S("BuyOffRap"), S("% off Rap")},
                                             {S("optBuyFixedValue"), QString(), S("Fixed value")}})
            .options(S("Selling price preset"), {{S("optSellUS"), S("SellUS"), S("US$")},
                                                 {S("optSellLocal"), S("SellLocal"), S("Local money")},
                                                 {S("optSellOffRap"), S("SellOffRap"), S("% off Rap")},
                                                 {S("optSellFixedValue"), S("SellFixedValue"), S("Fixed value")}})
            .options(S("Prices on memo"), {{S("optLockMemo"), S("LockMemo"), S("Lock the memo price")},
                                           {S("optFloatValue"), S("FloatValue"), S("Float with the list")}});
    }
    // 7. Taxes.
    QWidget *fraTaxes = frame("fraTaxes");
    {
        FrameBuilder b(fraTaxes, m_controls, m_groups);
        for (int i = 1; i <= 3; ++i)
            b.text(S("txtTax%1Name").arg(i), S("Tax%1Name").arg(i), S("Tax %1 name").arg(i))
                .number(S("txtTax%1").arg(i), S("Tax%1").arg(i), S("Tax %1 rate").arg(i));
        for (int i = 1; i <= 4; ++i)
            b.text(S("txtTax%1_Name").arg(i), S("_tax%1name").arg(i), S("Diamond invoice tax %1 name").arg(i))
                .number(S("txtTax%1_Rate").arg(i), S("_tax%1").arg(i), S("Diamond invoice tax %1 rate").arg(i));
        b.number(S("txtExciseTax"), S("ExciseTax"), S("Excise tax"));
    }

    auto *retired = new QLabel(kPriceListRetired);
    retired->setWordWrap(true);
    retired->setAlignment(Qt::AlignCenter);
    const QList<QPair<QString, QWidget *>> tabs = {{S("Company"), fraCompany},
                                                   {S("Price list service"), retired},
                                                   {S("Price grid"), fra2},
                                                   {S("Display"), fra4},
                                                   {S("Store"), fra5},
                                                   {S("Buying and selling"), fraBuyingAndSelling},
                                                   {S("Taxes"), fraTaxes}};
    for (const auto &[caption, w] : tabs) {
        tsDiamond->addTab(caption);
        m_frames->addWidget(scrolled(w));
    }
    // The provider's service is gone: its tab stays visible, disabled, and
    // says why.
    tsDiamond->setTabEnabled(1, false);
    tsDiamond->setTabToolTip(1, kPriceListRetired);
    connect(tsDiamond, &QTabBar::currentChanged, this, &frmConfiguration::tabChanged);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cmdRapSettings = new QPushButton(QStringLiteral("&Save"), this);
    cmdRapSettings->setDefault(true);
    cmdRapSettings->setObjectName(QStringLiteral("cmdRapSettings"));
    auto *cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(cmdRapSettings);
    buttons->addWidget(cmdClose);
    v->addLayout(buttons);
    connect(cmdRapSettings, &QPushButton::clicked, this, &frmConfiguration::save);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

void frmConfiguration::tabChanged(int index)
{
    if (index == 1) {
        m_ctx.prompt().inform(QStringLiteral("Function retired, unavailable"), QString(), Icon::Information);
        QSignalBlocker block(tsDiamond);
        tsDiamond->setCurrentIndex(m_tab);
        return;
    }
    m_tab = index;
    m_frames->setCurrentIndex(index);
}

void frmConfiguration::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!m_loaded && m_allowed)
        loadControls();
}

void frmConfiguration::loadControls()
{
    m_loaded = true;
    try {
        GetConfigurationModule(m_ctx);
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The settings could not be read from the database."),
                              QStringLiteral("Configuration"), Icon::Critical);
        return;
    }
    if (m_newLogo.isNull())
        showLogo(QImage(logoFile()));
    const Settings &s = m_ctx.settings;
    auto valueOf = [&](const QString &column) -> QVariant {
        if (column.startsWith(QLatin1String("Colour"), Qt::CaseInsensitive) && !column.contains(QLatin1Char('_'))) {
            bool ok = false;
            const int n = column.mid(6).toInt(&ok);
            if (ok && n >= 1 && n <= 20)
                return s.Colour[n - 1];
        }
        if (const SettingsField *f = settingsField(column))
            return f->value(s);
        return {};
    };

    for (QButtonGroup *g : m_groups)
        g->setExclusive(false);
    std::map<int, bool> groupHasSetFlag;
    for (const Control &c : m_controls)
        if (c.kind == Kind::Option && !c.column.isEmpty() && valueOf(c.column).toBool())
            groupHasSetFlag[c.group] = true;
    for (const Control &c : m_controls) {
        switch (c.kind) {
        case Kind::Text: static_cast<QLineEdit *>(c.widget)->setText(valueOf(c.column).toString()); break;
        case Kind::Number: static_cast<QLineEdit *>(c.widget)->setText(numberText(valueOf(c.column).toDouble())); break;
        case Kind::Check:
            if (c.name == QLatin1String("chkRound5"))
                static_cast<QCheckBox *>(c.widget)->setChecked(s.PriceRound == 5);
            else
                static_cast<QCheckBox *>(c.widget)->setChecked(valueOf(c.column).toBool());
            break;
        case Kind::Option: {
            bool on = false;
            if (c.name == QLatin1String("optInvoiceBH"))
                on = s.InvoiceTemplate == QLatin1String("BH");
            else if (c.name == QLatin1String("optInvoice1"))
                on = s.InvoiceTemplate != QLatin1String("BH");
            else if (c.column.isEmpty())
                on = !groupHasSetFlag[c.group];
            else
                on = valueOf(c.column).toBool();
            static_cast<QRadioButton *>(c.widget)->setChecked(on);
            break;
        }
        }
    }
    for (QButtonGroup *g : m_groups)
        g->setExclusive(true);
    m_asLoaded = edits();
}

ConfigurationEdits frmConfiguration::edits() const
{
    ConfigurationEdits e;
    for (const Control &c : m_controls) {
        if (c.name == QLatin1String("chkRound5")) {
            e.round5 = static_cast<QCheckBox *>(c.widget)->isChecked();
            continue;
        }
        if (c.name == QLatin1String("optInvoiceBH")) {
            e.invoiceBH = static_cast<QRadioButton *>(c.widget)->isChecked();
            continue;
        }
        if (c.column.isEmpty())
            continue;
        QVariant v;
        switch (c.kind) {
        case Kind::Text: v = static_cast<QLineEdit *>(c.widget)->text(); break;
        case Kind::Number:
            v = figures::parseTyped(static_cast<QLineEdit *>(c.widget)->text()).value_or(Decimal5()).toDouble();
            break;
        case Kind::Check: v = static_cast<QCheckBox *>(c.widget)->isChecked(); break;
        case Kind::Option: v = static_cast<QRadioButton *>(c.widget)->isChecked(); break;
        }
        if (c.column.startsWith(QLatin1String("Colour"), Qt::CaseInsensitive)) {
            bool ok = false;
            const int n = c.column.mid(6).toInt(&ok);
            if (ok && n >= 1 && n <= 20) {
                e.colours[n - 1] = v.toString();
                continue;
            }
        }
        e.values[c.column] = v;
    }
    return e;
}

void frmConfiguration::save()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    try {
        // Every number first: one that is not a figure, or is larger than
        // its column holds, is refused and nothing is written.
        for (const Control &c : m_controls) {
            if (c.kind != Kind::Number || c.column.isEmpty())
                continue;
            auto *box = static_cast<QLineEdit *>(c.widget);
            const figures::Reading r = figures::read(
                box->text(), {box->accessibleName(), figures::columnOf(m_ctx.db(), QStringLiteral("Config"), c.column)});
            if (!r.ok()) {
                m_ctx.prompt().inform(r.error, QStringLiteral("Configuration"), Icon::Exclamation);
                box->setFocus();
                return;
            }
        }
        // Only what the user changed: a box that cannot show a stored value
        // (a Null number shows 0, a Null text shows nothing) leaves it alone.
        ConfigurationEdits e = edits();
        for (auto it = e.values.begin(); it != e.values.end();) {
            const auto was = m_asLoaded.values.find(it->first);
            if (was != m_asLoaded.values.end() && was->second == it->second)
                it = e.values.erase(it);
            else
                ++it;
        }
        for (int i = 0; i < 20; ++i)
            e.writeColour[i] = e.colours[i] != m_asLoaded.colours[i];
        e.writeRound = e.round5 != m_asLoaded.round5;
        e.writeTemplate = e.invoiceBH != m_asLoaded.invoiceBH;
        saveConfiguration(m_ctx, e);
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The settings could not be saved: the database did not accept them. "
                                             "Nothing was changed."),
                              QStringLiteral("Configuration"), Icon::Critical);
        return;
    }
    if (!m_newLogo.isNull() && !writeLogo())
        return;
    loadControls();
    m_ctx.prompt().notice(QStringLiteral("The configuration has been saved."));
}

QString frmConfiguration::logoFile() const
{
    const QString shared = m_ctx.settings.sharedFolder.isEmpty() ? m_ctx.workstation.folder()
                                                                 : m_ctx.settings.sharedFolder;
    return QDir(shared).filePath(QStringLiteral("logo.jpg"));
}

void frmConfiguration::showLogo(const QImage &logo)
{
    imgCompanyLogo->setPixmap(logo.isNull() ? QPixmap()
                                            : QPixmap::fromImage(logo.scaled(imgCompanyLogo->size(), Qt::KeepAspectRatio,
                                                                             Qt::SmoothTransformation)));
    imgCompanyLogo->setText(logo.isNull() ? QStringLiteral("(none)") : QString());
}

void frmConfiguration::chooseLogo()
{
    QFileDialog dialog(this, QStringLiteral("Company logo"), QDir::homePath(),
                       QStringLiteral("Pictures (*.jpg *.jpeg *.png *.bmp *.gif)"));
    dialog.setObjectName(QStringLiteral("dlgCompanyLogo"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    const QImage logo(file);
    if (logo.isNull()) {
        m_ctx.prompt().inform(QStringLiteral("The picture \"%1\" cannot be read; the logo stays as it was.").arg(file),
                              QStringLiteral("Configuration"), Icon::Exclamation);
        return;
    }
    // Written with the other settings, when they are saved.
    m_newLogo = logo;
    showLogo(logo);
}

bool frmConfiguration::writeLogo()
{
    // Whole or not at all: a workstation reading the logo meanwhile sees
    // the old one.
    const QString path = logoFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || !m_newLogo.save(&out, "JPG", 92) || !out.commit()) {
        m_ctx.prompt().inform(QStringLiteral("The settings were saved, but the logo could not be written to %1: %2")
                                  .arg(QDir::toNativeSeparators(path), out.errorString()),
                              QStringLiteral("Configuration"), Icon::Exclamation);
        return false;
    }
    m_newLogo = QImage();
    m_ctx.settings.logoPath = path;
    return true;
}

} // namespace velmor::ui
