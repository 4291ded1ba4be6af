#include "customers/frmCustomer.h"

#include "core/widgets/NumberBox.h"
#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/ChangeEvents.h"
#include "core/Users.h"
#include "db/ConvertSql.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmor::ui {

using customers::ColumnKind;

namespace {

// Column -> the control that shows it.
const QMap<QString, QString> &controlOf()
{
    static const QMap<QString, QString> m = {
        {QStringLiteral("CompanyName"), QStringLiteral("txtSupplierName")},
        {QStringLiteral("CompanyStreet1"), QStringLiteral("txtSupplierStreet1")},
        {QStringLiteral("CompanyStreet2"), QStringLiteral("txtSupplierStreet2")},
        {QStringLiteral("CompanyCity"), QStringLiteral("txtSupplierCity")},
        {QStringLiteral("CompanyProvince"), QStringLiteral("txtSupplierProvince")},
        {QStringLiteral("CompanyZIP"), QStringLiteral("txtSupplierZIP")},
        {QStringLiteral("CompanyCountry"), QStringLiteral("txtSupplierCountry")},
        {QStringLiteral("PhoneNumber1"), QStringLiteral("txtPhone1")},
        {QStringLiteral("PhoneNumber2"), QStringLiteral("txtPhone2")},
        {QStringLiteral("PhoneNumber3"), QStringLiteral("txtPhone3")},
        {QStringLiteral("FaxNumber"), QStringLiteral("txtFax")},
        {QStringLiteral("PhoneName1"), QStringLiteral("lblPhoneName1")},
        {QStringLiteral("PhoneName2"), QStringLiteral("lblPhoneName2")},
        {QStringLiteral("PhoneName3"), QStringLiteral("lblPhoneName3")},
        {QStringLiteral("ContactName"), QStringLiteral("txtContactPerson")},
        {QStringLiteral("ContactName2"), QStringLiteral("txtContactPerson2")},
        {QStringLiteral("ContactName3"), QStringLiteral("txtContactPerson3")},
        {QStringLiteral("Extension"), QStringLiteral("txtExtension")},
        {QStringLiteral("EMail"), QStringLiteral("txtEMail")},
        {QStringLiteral("www"), QStringLiteral("txtWebPage")},
        {QStringLiteral("Info"), QStringLiteral("txtInfo")},
        {QStringLiteral("NotePad"), QStringLiteral("txtNotePad")},
        {QStringLiteral("Customer"), QStringLiteral("chkCustomer")},
        {QStringLiteral("Supplier"), QStringLiteral("chkSupplier")},
        {QStringLiteral("Hold"), QStringLiteral("chkHold")},
        {QStringLiteral("holdreason"), QStringLiteral("txtHold")},
        {QStringLiteral("shipvia"), QStringLiteral("txtShipVia")},
        {QStringLiteral("InvoiceType"), QStringLiteral("chkInvoiceTypeM")},
        {QStringLiteral("Tax1"), QStringLiteral("chkTax1")},
        {QStringLiteral("Tax2"), QStringLiteral("chkTax2")},
        {QStringLiteral("Tax3"), QStringLiteral("chkTax3")},
        {QStringLiteral("_tax1"), QStringLiteral("chk_tax1")},
        {QStringLiteral("_tax2"), QStringLiteral("chk_tax2")},
        {QStringLiteral("_tax3"), QStringLiteral("chk_tax3")},
        {QStringLiteral("_tax4"), QStringLiteral("chk_tax4")},
        {QStringLiteral("PriceClass"), QStringLiteral("cboPriceGroup")},
        {QStringLiteral("RepID"), QStringLiteral("cboRep")},
        {QStringLiteral("InvoiceToID"), QStringLiteral("cboInvoiceTo")},
        {QStringLiteral("CreditLimit"), QStringLiteral("txtCreditLimit")},
        {QStringLiteral("defaultnoshipform"), QStringLiteral("chkDefaultNoShipForm")},
        {QStringLiteral("Commission"), QStringLiteral("chkCommission")},
        {QStringLiteral("CommissionRate"), QStringLiteral("txtCommission")},
        {QStringLiteral("AutoGrantDiscount"), QStringLiteral("chkAutoGrantDiscount")},
        {QStringLiteral("DefaultDiscount"), QStringLiteral("txtDiscount")},
        {QStringLiteral("DiscountIfPaidInTime"), QStringLiteral("txtDiscountIfPaidInTime")},
        {QStringLiteral("GroupMember"), QStringLiteral("cboGroup")},
        {QStringLiteral("ShippingCharge"), QStringLiteral("txtShipping")},
        {QStringLiteral("TagMarkup"), QStringLiteral("txtTagMarkup")},
        {QStringLiteral("TagEnd"), QStringLiteral("txtTagEnd")},
    };
    return m;
}

// The option buttons of the terms, in the order of termsOptions().
const QStringList &termButtons()
{
    static const QStringList b = {QStringLiteral("opt30"),           QStringLiteral("opt3060"),
                                  QStringLiteral("opt306090"),       QStringLiteral("opt306090120"),
                                  QStringLiteral("opt306090120150"), QStringLiteral("opt306090120150180")};
    return b;
}

// Buttons of the jewellery-item side: present, never enabled here.
const char *const kItemSideButtons[] = {"cmdCreateQuote",      "cmdQuoteList",   "cmdCreateOrderForm",
                                        "cmdLoadOrderForm",    "cmdBackOrderedItems", "cmdJobBags",
                                        "cmdNewMemo",          "cmdQuickSale",   "cmdViewMemo",
                                        "cmdViewMemoPieces",   "cmdViewStatements", "cmdApply"};

QString plainText(const QPlainTextEdit *e)
{
    // The note keeps its line breaks as CR LF.
    QString t = e->toPlainText();
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

const QString kLockedStyle = QStringLiteral("background-color: #ececec;");

} // namespace

frmCustomer::frmCustomer(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmCustomer"));
    setWindowFlag(Qt::Window);
    openUrl = [](const QUrl &u) { QDesktopServices::openUrl(u); };
    build();
    ClearFieldsfrmCustomer();
    DisablefrmCustomer();
    applyCaptions();
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmCustomer::updateCommands);
    // The customer shown was saved on another screen of this workstation:
    // read again, unless this screen is adding or editing.
    connect(&changeEvents(m_ctx), &ChangeEvents::customerChanged, this, [this](qint64 id) {
        const qint64 shown = currentId();
        if (!m_adding && !m_editing && shown != 0 && (id == 0 || id == shown))
            showCustomer(shown);
    });
}

void frmCustomer::build()
{
    auto line = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        m_fields << e;
        return e;
    };
    auto check = [this](const char *name, const QString &caption) {
        auto *c = new QCheckBox(caption, this);
        c->setObjectName(QString::fromLatin1(name));
        m_fields << c;
        return c;
    };
    auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    auto combo = [this](const char *name, bool editable) {
        auto *c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setEditable(editable);
        m_fields << c;
        return c;
    };
    auto label = [this](const char *name, const QString &caption) {
        auto *l = new QLabel(caption, this);
        if (name)
            l->setObjectName(QString::fromLatin1(name));
        return l;
    };

    auto *root = new QVBoxLayout(this);

    // Name and address.
    auto *top = new QGridLayout;
    auto *txtID = new QLineEdit(this);
    txtID->setObjectName(QStringLiteral("txtID"));
    txtID->setReadOnly(true);
    txtID->setStyleSheet(kLockedStyle);
    txtID->setMaximumWidth(90);
    int r = 0;
    top->addWidget(label(nullptr, QStringLiteral("ID")), r, 0);
    top->addWidget(txtID, r, 1);
    top->addWidget(check("chkCustomer", QStringLiteral("Customer")), r, 2);
    top->addWidget(check("chkSupplier", QStringLiteral("Supplier")), r++, 3);
    top->addWidget(label(nullptr, QStringLiteral("Company")), r, 0);
    top->addWidget(line("txtSupplierName"), r++, 1, 1, 3);
    top->addWidget(label(nullptr, QStringLiteral("Street")), r, 0);
    top->addWidget(line("txtSupplierStreet1"), r++, 1, 1, 3);
    top->addWidget(line("txtSupplierStreet2"), r++, 1, 1, 3);
    top->addWidget(label(nullptr, QStringLiteral("City")), r, 0);
    top->addWidget(line("txtSupplierCity"), r, 1);
    top->addWidget(label(nullptr, QStringLiteral("Province")), r, 2);
    top->addWidget(line("txtSupplierProvince"), r++, 3);
    top->addWidget(label(nullptr, QStringLiteral("ZIP")), r, 0);
    top->addWidget(line("txtSupplierZIP"), r, 1);
    top->addWidget(label(nullptr, QStringLiteral("Country")), r, 2);
    top->addWidget(line("txtSupplierCountry"), r++, 3);
    for (int i = 1; i <= 3; ++i) {
        auto *l = label(QStringLiteral("lblPhoneName%1").arg(i).toLatin1().constData(), QStringLiteral("Phone %1").arg(i));
        top->addWidget(l, r, 0);
        top->addWidget(line(QStringLiteral("txtPhone%1").arg(i).toLatin1().constData()), r, 1);
        if (i == 1) {
            top->addWidget(label(nullptr, QStringLiteral("Fax")), r, 2);
            top->addWidget(line("txtFax"), r, 3);
        } else if (i == 2) {
            top->addWidget(label(nullptr, QStringLiteral("Extension")), r, 2);
            top->addWidget(line("txtExtension"), r, 3);
        }
        ++r;
    }
    top->addWidget(label(nullptr, QStringLiteral("Contacts")), r, 0);
    top->addWidget(line("txtContactPerson"), r, 1);
    top->addWidget(line("txtContactPerson2"), r, 2);
    top->addWidget(line("txtContactPerson3"), r++, 3);
    auto *mailRow = new QHBoxLayout;
    mailRow->addWidget(line("txtEMail"));
    auto *imgEMail = new QToolButton(this);
    imgEMail->setObjectName(QStringLiteral("imgEMail"));
    imgEMail->setText(QStringLiteral("@"));
    imgEMail->setToolTip(QStringLiteral("Write an e-mail"));
    mailRow->addWidget(imgEMail);
    top->addWidget(label(nullptr, QStringLiteral("e-mail")), r, 0);
    top->addLayout(mailRow, r++, 1, 1, 3);
    auto *webRow = new QHBoxLayout;
    webRow->addWidget(line("txtWebPage"));
    auto *imgWeb = new QToolButton(this);
    imgWeb->setObjectName(QStringLiteral("imgWeb"));
    imgWeb->setText(QStringLiteral("www"));
    imgWeb->setToolTip(QStringLiteral("Open the web page"));
    webRow->addWidget(imgWeb);
    top->addWidget(label(nullptr, QStringLiteral("Web page")), r, 0);
    top->addLayout(webRow, r++, 1, 1, 3);
    // Rep: the combo while editing, the name while viewing.
    auto *repRow = new QHBoxLayout;
    repRow->addWidget(combo("cboRep", false), 2);
    auto *txtRep = new QLineEdit(this);
    txtRep->setObjectName(QStringLiteral("txtRep"));
    txtRep->setReadOnly(true);
    txtRep->setStyleSheet(kLockedStyle);
    repRow->addWidget(txtRep, 1);
    auto *txtRepID = new QLineEdit(this);
    txtRepID->setObjectName(QStringLiteral("txtRepID"));
    txtRepID->setVisible(false);
    top->addWidget(label(nullptr, QStringLiteral("Rep")), r, 0);
    top->addLayout(repRow, r++, 1, 1, 3);
    top->setRowStretch(r, 1);
    // The address on the left, the tabs beside it: the window fits a
    // laptop's screen with its commands in view, no scrolling.
    auto *record = new QHBoxLayout;
    record->addLayout(top, 1);
    auto *side = new QVBoxLayout;
    record->addLayout(side, 1);
    root->addLayout(record);

    // TabStrip1: invoicing, hold, label, credit, discounts.
    auto *TabStrip1 = new QTabWidget(this);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    {
        auto *pane = new QWidget;
        auto *g = new QGridLayout(pane);
        auto *terms = new QGroupBox(QStringLiteral("Terms"), pane);
        auto *tl = new QVBoxLayout(terms);
        for (int i = 0; i < termButtons().size(); ++i) {
            auto *o = new QRadioButton(customers::termsOptions().at(i), terms);
            o->setObjectName(termButtons().at(i));
            m_fields << o;
            tl->addWidget(o);
        }
        g->addWidget(terms, 0, 0, 6, 1);
        int row = 0;
        for (int i = 1; i <= 3; ++i)
            g->addWidget(check(QStringLiteral("chkTax%1").arg(i).toLatin1().constData(), QString()), row++, 1);
        for (int i = 1; i <= 4; ++i)
            g->addWidget(check(QStringLiteral("chk_tax%1").arg(i).toLatin1().constData(), QString()), i - 1, 2);
        g->addWidget(check("chkInvoiceTypeM", QStringLiteral("Invoice type M")), row++, 1);
        g->addWidget(check("chkDefaultNoShipForm", QStringLiteral("No shipping form")), row++, 1);
        auto *f = new QFormLayout;
        f->addRow(QStringLiteral("Ship via"), line("txtShipVia"));
        f->addRow(QStringLiteral("Shipping charge"), line("txtShipping"));
        g->addLayout(f, 4, 2, 2, 1);
        TabStrip1->addTab(pane, QStringLiteral("Invoicing"));
    }
    {
        auto *pane = new QWidget;
        auto *f = new QFormLayout(pane);
        f->addRow(check("chkHold", QStringLiteral("Customer on hold")));
        f->addRow(QStringLiteral("Reason"), line("txtHold"));
        TabStrip1->addTab(pane, QStringLiteral("Hold"));
    }
    {
        auto *pane = new QWidget;
        auto *f = new QFormLayout(pane);
        f->addRow(QStringLiteral("Tag markup"), line("txtTagMarkup"));
        f->addRow(QStringLiteral("Tag price ending"), line("txtTagEnd"));
        TabStrip1->addTab(pane, QStringLiteral("Label"));
    }
    {
        auto *pane = new QWidget;
        auto *f = new QFormLayout(pane);
        auto *billRow = new QHBoxLayout;
        billRow->addWidget(combo("cboInvoiceTo", false), 2);
        auto *txtInvoiceTo = new QLineEdit(pane);
        txtInvoiceTo->setObjectName(QStringLiteral("txtInvoiceTo"));
        txtInvoiceTo->setReadOnly(true);
        txtInvoiceTo->setStyleSheet(kLockedStyle);
        billRow->addWidget(txtInvoiceTo, 1);
        auto *txtInvoiceToID = new QLineEdit(pane);
        txtInvoiceToID->setObjectName(QStringLiteral("txtInvoiceToID"));
        txtInvoiceToID->setVisible(false);
        f->addRow(QStringLiteral("Invoice to"), billRow);
        f->addRow(QStringLiteral("Credit limit"), line("txtCreditLimit"));
        auto *used = new QLineEdit(pane);
        used->setObjectName(QStringLiteral("txtCreditUsed"));
        used->setReadOnly(true);
        used->setStyleSheet(kLockedStyle);
        f->addRow(QStringLiteral("Credit used"), used);
        TabStrip1->addTab(pane, QStringLiteral("Credit"));
    }
    {
        auto *pane = new QWidget;
        auto *f = new QFormLayout(pane);
        f->addRow(check("chkAutoGrantDiscount", QStringLiteral("Grant the discount automatically")));
        f->addRow(QStringLiteral("Discount %"), line("txtDiscount"));
        f->addRow(QStringLiteral("Discount if paid in time %"), line("txtDiscountIfPaidInTime"));
        auto *comm = new QHBoxLayout;
        comm->addWidget(check("chkCommission", QStringLiteral("Commission")));
        comm->addWidget(line("txtCommission"));
        f->addRow(comm);
        auto *groupRow = new QHBoxLayout;
        groupRow->addWidget(combo("cboGroup", true));
        auto *txtGroup = new QLineEdit(pane);
        txtGroup->setObjectName(QStringLiteral("txtGroup"));
        txtGroup->setVisible(false);
        f->addRow(QStringLiteral("Buying group"), groupRow);
        auto *price = combo("cboPriceGroup", false);
        for (int i = 1; i <= 4; ++i)
            price->addItem(QStringLiteral("Price class %1").arg(i));
        f->addRow(label("lblPriceGroup", QStringLiteral("Price class")), price);
        TabStrip1->addTab(pane, QStringLiteral("Discounts"));
    }
    side->addWidget(TabStrip1);

    // TabStrip2: info and note pad.
    auto *TabStrip2 = new QTabWidget(this);
    TabStrip2->setObjectName(QStringLiteral("TabStrip2"));
    for (const char *name : {"txtInfo", "txtNotePad"}) {
        auto *e = new QPlainTextEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setTabChangesFocus(true);
        m_fields << e;
        TabStrip2->addTab(e, QString::fromLatin1(name) == QLatin1String("txtInfo") ? QStringLiteral("Info")
                                                                                      : QStringLiteral("Note pad"));
    }
    side->addWidget(TabStrip2);

    // Commands.
    auto *cmds = new QGridLayout;
    const QList<QPair<const char *, QString>> row1 = {
        {"cmdAddCustomer", QStringLiteral("Add customer")}, {"cmdAddSupplier", QStringLiteral("Add supplier")},
        {"cmdEditCustomer", QStringLiteral("&Edit")},       {"cmdUpdateChanges", QStringLiteral("&Update")},
        {"cmdCancel", QStringLiteral("&Cancel")},           {"cmdPrevious", QStringLiteral("<< Previous")},
        {"cmdNext", QStringLiteral("Next >>")}};
    const QList<QPair<const char *, QString>> row2 = {
        {"cmdNewMemoSheet", QStringLiteral("New memo sheet")}, {"cmdSearch", QStringLiteral("Stones for the memo")},
        {"cmdOnMemo", QStringLiteral("Stones on memo")},      {"Command1", QStringLiteral("Memo history")},
        {"cmdFindCustomer", QStringLiteral("Find")},          {"cmdSearchCustomer", QStringLiteral("Customers")},
        {"cmdSearchSupplier", QStringLiteral("Suppliers")},   {"cmdBack", QStringLiteral("Back")},
        {"cmdHome", QStringLiteral("Home")}};
    int c = 0;
    for (const auto &[name, caption] : row1)
        cmds->addWidget(button(name, caption), 0, c++);
    c = 0;
    for (const auto &[name, caption] : row2)
        cmds->addWidget(button(name, caption), 1, c++);
    c = 0;
    for (const char *name : kItemSideButtons) {
        auto *b = button(name, QString::fromLatin1(name).mid(3));
        b->setEnabled(false);
        b->setToolTip(QStringLiteral("Jewellery items"));
        cmds->addWidget(b, 2, c++);
    }
    root->addLayout(cmds);

    connect(w<QPushButton>("cmdAddCustomer"), &QPushButton::clicked, this, [this] { addCustomer(false); });
    connect(w<QPushButton>("cmdAddSupplier"), &QPushButton::clicked, this, [this] { addCustomer(true); });
    connect(w<QPushButton>("cmdEditCustomer"), &QPushButton::clicked, this, &frmCustomer::editCustomer);
    connect(w<QPushButton>("cmdUpdateChanges"), &QPushButton::clicked, this, &frmCustomer::updateChanges);
    connect(w<QPushButton>("cmdCancel"), &QPushButton::clicked, this, &frmCustomer::cancel);
    connect(w<QPushButton>("cmdNext"), &QPushButton::clicked, this, &frmCustomer::next);
    connect(w<QPushButton>("cmdPrevious"), &QPushButton::clicked, this, &frmCustomer::previous);
    connect(w<QPushButton>("cmdNewMemoSheet"), &QPushButton::clicked, this, &frmCustomer::newMemoSheet);
    connect(w<QPushButton>("cmdOnMemo"), &QPushButton::clicked, this,
            [this] { m_ctx.screens().openMemoHistory(currentId(), true); });
    connect(w<QPushButton>("Command1"), &QPushButton::clicked, this,
            [this] { m_ctx.screens().openMemoHistory(currentId(), false); });
    connect(w<QPushButton>("cmdSearch"), &QPushButton::clicked, this, [this] {
        if (m_ctx.screens().openStoneSearch(m_memoSheet ? m_memoSheet : m_ctx.screens().currentMemoSheet()))
            hide();
    });
    connect(w<QPushButton>("cmdFindCustomer"), &QPushButton::clicked, this, [this] { openSearch(false, false); });
    connect(w<QPushButton>("cmdSearchCustomer"), &QPushButton::clicked, this, [this] { openSearch(true, false); });
    connect(w<QPushButton>("cmdSearchSupplier"), &QPushButton::clicked, this, [this] { openSearch(false, true); });
    connect(w<QPushButton>("cmdBack"), &QPushButton::clicked, this, [this] {
        m_ctx.screens().showStoneScreen();
        close();
    });
    connect(w<QPushButton>("cmdHome"), &QPushButton::clicked, this, [this] {
        close();
        m_ctx.screens().showHome();
    });
    connect(imgWeb, &QToolButton::clicked, this, [this] {
        const QString page = w<QLineEdit>("txtWebPage")->text().trimmed();
        if (page.isEmpty())
            return;
        const QUrl url = QUrl::fromUserInput(page);
        if (url.isValid())
            openUrl(url);
    });
    connect(imgEMail, &QToolButton::clicked, this, [this] {
        const QString address = w<QLineEdit>("txtEMail")->text().trimmed();
        if (!address.isEmpty())
            openUrl(QUrl(customers::mailtoLink(address)));
    });
    connect(w<QCheckBox>("chkHold"), &QCheckBox::clicked, this, &frmCustomer::holdClicked);
    connect(w<QCheckBox>("chkCustomer"), &QCheckBox::toggled, this, [this](bool on) {
        w<QComboBox>("cboPriceGroup")->setVisible(on);
        w<QLabel>("lblPriceGroup")->setVisible(on);
    });
    connect(w<QComboBox>("cboInvoiceTo"), &QComboBox::activated, this, &frmCustomer::invoiceToChosen);
    numberBoxes(this, {"txtCreditLimit", "txtCommission", "txtDiscount", "txtDiscountIfPaidInTime", "txtShipping",
                       "txtTagMarkup", "txtTagEnd"});
    connect(txtRepID, &QLineEdit::textChanged, this, [this](const QString &t) {
        w<QLineEdit>("txtRep")->setText(t.toLongLong() ? customers::repNameOf(m_ctx.db(), t.toLongLong()) : QString());
    });
    connect(w<QLineEdit>("txtInvoiceToID"), &QLineEdit::textChanged, this, [this](const QString &t) {
        w<QLineEdit>("txtInvoiceTo")
            ->setText(t.toLongLong() ? customers::customerNameOf(m_ctx.db(), t.toLongLong()) : QString());
    });
    resize(sizeHint());
}

// Shared procedures ----------------------------------------------------------------------

void frmCustomer::ClearFieldsfrmCustomer()
{
    const bool was = m_filling;
    m_filling = true;
    for (QLineEdit *e : findChildren<QLineEdit *>())
        e->clear();
    for (QPlainTextEdit *e : findChildren<QPlainTextEdit *>())
        e->clear();
    for (QCheckBox *c : findChildren<QCheckBox *>())
        c->setChecked(false);
    for (const QString &name : termButtons()) {
        auto *o = findChild<QRadioButton *>(name);
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
    }
    w<QComboBox>("cboPriceGroup")->setCurrentIndex(0);
    for (const char *name : {"cboRep", "cboInvoiceTo"})
        w<QComboBox>(name)->setCurrentIndex(-1);
    w<QComboBox>("cboGroup")->setEditText(QString());
    for (int i = 1; i <= 3; ++i)
        findChild<QLabel *>(QStringLiteral("lblPhoneName%1").arg(i))->setText(QStringLiteral("Phone %1").arg(i));
    m_filling = was;
}

void frmCustomer::fillCombos()
{
    const bool was = m_filling;
    m_filling = true;
    try {
        auto *rep = w<QComboBox>("cboRep");
        rep->clear();
        rep->addItems(customers::repEntries(m_ctx.db()));
        auto *bill = w<QComboBox>("cboInvoiceTo");
        bill->clear();
        bill->addItems(customers::invoiceToEntries(m_ctx.db()));
        auto *group = w<QComboBox>("cboGroup");
        group->clear();
        group->addItems(customers::groupEntries(m_ctx.db()));
        group->setCurrentIndex(-1);
    } catch (const db::DbError &) {
    }
    m_filling = was;
}

void frmCustomer::EnablefrmCustomer()
{
    applyLock(false);
    fillCombos();
    updateCommands();
}

void frmCustomer::DisablefrmCustomer()
{
    applyLock(true);
    updateCommands();
}

void frmCustomer::applyLock(bool locked)
{
    for (QWidget *f : m_fields) {
        if (auto *e = qobject_cast<QLineEdit *>(f))
            e->setReadOnly(locked);
        else if (auto *p = qobject_cast<QPlainTextEdit *>(f))
            p->setReadOnly(locked);
        else
            f->setEnabled(!locked);
        if (qobject_cast<QLineEdit *>(f) || qobject_cast<QPlainTextEdit *>(f))
            f->setStyleSheet(locked ? kLockedStyle : QString());
    }
    // The combos of rep and billing account take part only while editing;
    // the names beside them show the stored choice.
    w<QComboBox>("cboRep")->setVisible(!locked);
    w<QComboBox>("cboInvoiceTo")->setVisible(!locked);
}

void frmCustomer::RefreshfrmCustomer()
{
    const qint64 id = currentId();
    const bool was = m_filling;
    m_filling = true;
    customers::LoadedCustomer c;
    try {
        c = customers::loadCustomer(m_ctx, id);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The customer could not be read"), QStringLiteral("Customer"), e);
    }
    ClearFieldsfrmCustomer();
    if (!c.found) {
        m_loaded.clear();
        m_shown.clear();
        if (id)
            w<QLineEdit>("txtID")->clear();
        m_filling = was;
        updateCommands();
        return;
    }
    w<QLineEdit>("txtID")->setText(QString::number(c.id));
    m_loaded = c.form;
    showForm(c.form);
    w<QLineEdit>("txtCreditUsed")->setText(c.creditUsed);
    m_filling = was;
    snapshot();
    updateCommands();
}

void frmCustomer::showForm(const customers::CustomerForm &f)
{
    const bool was = m_filling;
    m_filling = true;
    for (const customers::ColumnDef &col : customers::customerColumns()) {
        const QVariant v = f.value(col.name);
        const QString name = controlOf().value(col.name);
        switch (col.kind) {
        case ColumnKind::Flag:
        case ColumnKind::InvoiceType:
            findChild<QCheckBox *>(name)->setChecked(v.toBool());
            break;
        case ColumnKind::Terms: {
            const int at = int(customers::termsOptions().indexOf(v.toString()));
            if (at >= 0)
                findChild<QRadioButton *>(termButtons().at(at))->setChecked(true);
            break;
        }
        case ColumnKind::PriceClass:
            w<QComboBox>("cboPriceGroup")->setCurrentIndex(v.toInt());
            break;
        case ColumnKind::Id:
            if (col.name == QLatin1String("RepID")) {
                w<QLineEdit>("txtRepID")->setText(v.toLongLong() ? QString::number(v.toLongLong()) : QString());
                selectEntry(w<QComboBox>("cboRep"), v.toLongLong());
            } else {
                w<QLineEdit>("txtInvoiceToID")->setText(v.toLongLong() ? QString::number(v.toLongLong()) : QString());
                selectEntry(w<QComboBox>("cboInvoiceTo"), v.toLongLong());
            }
            break;
        default:
            if (col.name.startsWith(QLatin1String("PhoneName"))) {
                const QString n = col.name.right(1);
                findChild<QLabel *>(name)->setText(v.toString().isEmpty() ? QStringLiteral("Phone ") + n : v.toString());
            } else if (col.name == QLatin1String("GroupMember")) {
                w<QLineEdit>("txtGroup")->setText(v.toString());
                w<QComboBox>("cboGroup")->setEditText(v.toString());
            } else if (auto *p = findChild<QPlainTextEdit *>(name)) {
                QString text = v.toString();
                text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                p->setPlainText(text);
            } else if (auto *e = findChild<QLineEdit *>(name)) {
                e->setText(v.toString());
            }
            break;
        }
    }
    const bool customer = w<QCheckBox>("chkCustomer")->isChecked();
    w<QComboBox>("cboPriceGroup")->setVisible(customer);
    w<QLabel>("lblPriceGroup")->setVisible(customer);
    m_filling = was;
}

void frmCustomer::selectEntry(QComboBox *c, qint64 id)
{
    int found = -1;
    for (int i = 0; i < c->count(); ++i) {
        const QString t = c->itemText(i);
        if ((id == 0 && i == 0) || (id != 0 && qint64(db::idFromEntry(t)) == id && t.contains(db::kIdMarker))) {
            found = i;
            break;
        }
    }
    c->setCurrentIndex(found);
}

// What a control holds, as the program or the user left it.
QVariant frmCustomer::controlValue(const QString &column) const
{
    const QString name = controlOf().value(column);
    if (column == QLatin1String("Terms")) {
        for (int i = 0; i < termButtons().size(); ++i)
            if (findChild<QRadioButton *>(termButtons().at(i))->isChecked())
                return customers::termsOptions().at(i);
        return QString();
    }
    if (column == QLatin1String("PriceClass"))
        return w<QComboBox>("cboPriceGroup")->currentIndex();
    if (column == QLatin1String("RepID") || column == QLatin1String("InvoiceToID")) {
        auto *c = findChild<QComboBox *>(name);
        return c->currentIndex() < 0 ? QStringLiteral("\x01unchosen") : c->currentText();
    }
    if (column == QLatin1String("GroupMember"))
        return w<QComboBox>("cboGroup")->currentText();
    if (auto *c = findChild<QCheckBox *>(name))
        return c->isChecked();
    if (auto *p = findChild<QPlainTextEdit *>(name))
        return plainText(p);
    if (auto *l = findChild<QLabel *>(name))
        return l->text();
    if (auto *e = findChild<QLineEdit *>(name))
        return e->text();
    return {};
}

// The form value of a control the user changed.
QVariant frmCustomer::formValueOf(const QString &column) const
{
    const QVariant v = controlValue(column);
    if (column == QLatin1String("RepID") || column == QLatin1String("InvoiceToID")) {
        const QString entry = v.toString();
        return entry.contains(db::kIdMarker) ? qint64(db::idFromEntry(entry)) : qint64(0);
    }
    return v;
}

void frmCustomer::snapshot()
{
    m_shown.clear();
    for (const customers::ColumnDef &col : customers::customerColumns())
        m_shown.insert(col.name, controlValue(col.name));
}

customers::CustomerForm frmCustomer::formFromControls() const
{
    customers::CustomerForm f = m_loaded;
    for (const customers::ColumnDef &col : customers::customerColumns()) {
        const QVariant now = controlValue(col.name);
        if (!m_adding && m_shown.contains(col.name) && now == m_shown.value(col.name))
            continue; // untouched: the loaded value stands
        if ((col.name == QLatin1String("RepID") || col.name == QLatin1String("InvoiceToID"))
            && now.toString().startsWith(QLatin1Char('\x01')))
            continue; // the combo could not show the stored choice and nothing was chosen
        if (col.kind == ColumnKind::Terms && now.toString().isEmpty())
            continue;
        f.insert(col.name, formValueOf(col.name));
    }
    return f;
}

// Commands --------------------------------------------------------------------------------

qint64 frmCustomer::currentId() const
{
    return w<QLineEdit>("txtID")->text().toLongLong();
}

void frmCustomer::showCustomer(qint64 id)
{
    if (m_adding || m_editing)
        return;
    w<QLineEdit>("txtID")->setText(id ? QString::number(id) : QString());
    RefreshfrmCustomer();
    DisablefrmCustomer();
}

void frmCustomer::addCustomer(bool supplier)
{
    if (m_adding || m_editing)
        return;
    if (!checkRight(m_ctx, QStringLiteral("AllowCustomerAdd")))
        return;
    m_adding = true;
    EnablefrmCustomer();
    ClearFieldsfrmCustomer();
    w<QLineEdit>("txtID")->clear();
    m_loaded = customers::newCustomerForm(m_ctx, supplier);
    showForm(m_loaded);
    w<QComboBox>("cboRep")->setCurrentIndex(0);
    w<QComboBox>("cboInvoiceTo")->setCurrentIndex(0);
    w<QComboBox>("cboGroup")->setEditText(QString());
    w<QLineEdit>("txtCreditUsed")->clear();
    snapshot();
    updateCommands();
    w<QLineEdit>("txtSupplierName")->setFocus();
}

void frmCustomer::editCustomer()
{
    if (m_adding || m_editing || currentId() == 0 || m_loaded.isEmpty())
        return;
    if (!checkRight(m_ctx, QStringLiteral("AllowCustomerEdit")))
        return;
    m_editing = true;
    EnablefrmCustomer();
    selectEntry(w<QComboBox>("cboRep"), w<QLineEdit>("txtRepID")->text().toLongLong());
    selectEntry(w<QComboBox>("cboInvoiceTo"), w<QLineEdit>("txtInvoiceToID")->text().toLongLong());
    w<QComboBox>("cboGroup")->setEditText(w<QLineEdit>("txtGroup")->text());
    snapshot();
    updateCommands();
}

void frmCustomer::invoiceToChosen()
{
    if (m_filling || (!m_adding && !m_editing))
        return;
    // The limit shown is always the billed account's.
    const qint64 billed = qint64(db::idFromEntry(w<QComboBox>("cboInvoiceTo")->currentText()));
    if (billed == 0 || billed == currentId())
        return;
    try {
        w<QLineEdit>("txtCreditLimit")->setText(customers::creditLimitOf(m_ctx.db(), billed));
        w<QLineEdit>("txtCreditUsed")->setText(customers::creditUsedFor(m_ctx.db(), billed));
    } catch (const db::DbError &) {
    }
}

void frmCustomer::holdClicked(bool checked)
{
    if (m_filling || checked || (!m_adding && !m_editing))
        return;
    if (!m_ctx.user.has(QStringLiteral("AllowCustomerHold"))) {
        m_ctx.prompt().inform(QStringLiteral("You have no Authority to remove the HOLD Status of Customers"),
                              QStringLiteral("Message"), Icon::Information);
        w<QCheckBox>("chkHold")->setChecked(true);
    }
}

void frmCustomer::updateChanges()
{
    if (!m_adding && !m_editing)
        return;
    const customers::CustomerForm form = formFromControls();
    auto *update = w<QPushButton>("cmdUpdateChanges");
    update->setEnabled(false);
    const customers::SaveResult r =
        customers::saveCustomer(m_ctx, m_adding, currentId(), m_adding ? customers::CustomerForm() : m_loaded, form);
    switch (r.outcome) {
    case customers::SaveOutcome::NoRep:
    case customers::SaveOutcome::Refused:
        updateCommands();
        return;
    case customers::SaveOutcome::NamesakeRefused:
        m_adding = m_editing = false;
        DisablefrmCustomer();
        close();
        return;
    case customers::SaveOutcome::Failed:
    case customers::SaveOutcome::NotFound:
        m_ctx.prompt().inform(r.outcome == customers::SaveOutcome::NotFound
                                  ? QStringLiteral("This Customer has been deleted on another workstation; "
                                                   "nothing was saved.")
                                  : QStringLiteral("The Customer could not be saved; nothing was changed."),
                              QStringLiteral("Update"), Icon::Exclamation);
        updateCommands();
        return;
    case customers::SaveOutcome::Saved:
        break;
    }
    const bool wasAdding = m_adding;
    m_adding = m_editing = false;
    w<QLineEdit>("txtID")->setText(QString::number(r.id));
    RefreshfrmCustomer();
    DisablefrmCustomer();
    if (wasAdding) {
        m_ctx.screens().partyPicked(PartyPick{r.id, r.addressBlock});
        if (!m_fromMainMenu) {
            hide();
            m_ctx.screens().showStoneScreen();
        }
    }
}

void frmCustomer::cancel()
{
    if (!m_adding && !m_editing)
        return;
    if (!m_ctx.prompt().askYesNo(QStringLiteral("Are you sure you want to cancel all changes?"),
                                 QStringLiteral("Canceling Changes"), Icon::Question))
        return;
    m_adding = m_editing = false;
    DisablefrmCustomer();
    RefreshfrmCustomer();
    updateCommands();
}

void frmCustomer::next()
{
    if (m_adding || m_editing || currentId() == 0)
        return;
    try {
        const qint64 id = customers::nextCustomer(m_ctx.db(), currentId());
        if (id)
            showCustomer(id);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The next customer could not be read"), QStringLiteral("Customer"), e);
    }
}

void frmCustomer::previous()
{
    if (m_adding || m_editing || currentId() == 0)
        return;
    try {
        const qint64 id = customers::previousCustomer(m_ctx.db(), currentId());
        if (id)
            showCustomer(id);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The previous customer could not be read"), QStringLiteral("Customer"), e);
    }
}

void frmCustomer::newMemoSheet()
{
    if (m_adding || m_editing || currentId() == 0)
        return;
    const qint64 sheet = customers::createMemoSheet(m_ctx, currentId());
    if (sheet)
        m_memoSheet = sheet;
    else
        m_ctx.prompt().inform(QStringLiteral("The Memo-Sheet could not be created."), QStringLiteral("Message"),
                              Icon::Exclamation);
}

void frmCustomer::openSearch(bool customersOnly, bool suppliersOnly)
{
    CustomerSearchPreset p;
    p.customers = customersOnly;
    p.suppliers = suppliersOnly;
    if (!checkRight(m_ctx, QStringLiteral("AllowCustomerView")))
        return;
    if (m_ctx.screens().openCustomerSearchWith(p))
        hide();
}

void frmCustomer::updateCommands()
{
    const bool busy = m_adding || m_editing;
    const bool loaded = currentId() != 0 && !m_loaded.isEmpty();
    const UserState &u = m_ctx.user;
    auto set = [this](const char *name, bool on) { w<QPushButton>(name)->setEnabled(on); };
    set("cmdAddCustomer", !busy && u.has(QStringLiteral("AllowCustomerAdd")));
    set("cmdAddSupplier", !busy && u.has(QStringLiteral("AllowCustomerAdd")));
    set("cmdEditCustomer", !busy && loaded && u.has(QStringLiteral("AllowCustomerEdit")));
    // A save is for a logged-in user with the right of what is being done.
    const QString saveRight = m_adding ? QStringLiteral("AllowCustomerAdd") : QStringLiteral("AllowCustomerEdit");
    set("cmdUpdateChanges", busy && u.ID != 0 && u.has(saveRight));
    set("cmdCancel", busy);
    set("cmdNext", !busy && loaded);
    set("cmdPrevious", !busy && loaded);
    set("cmdNewMemoSheet", !busy && loaded && u.ID != 0 && u.AllowMemoAssigning);
    set("cmdSearch", !busy && m_ctx.screens().available(Screen::StoneSearch));
    const bool search = !busy && m_ctx.screens().available(Screen::CustomerSearch) && u.has(QStringLiteral("AllowCustomerView"));
    set("cmdFindCustomer", search);
    set("cmdSearchCustomer", search);
    set("cmdSearchSupplier", search);
    const bool memoLists = !busy && loaded && m_ctx.screens().available(Screen::MemoHistory);
    set("cmdOnMemo", memoLists);
    set("Command1", memoLists);
    set("cmdBack", !busy);
    set("cmdHome", !busy);
}

void frmCustomer::applyCaptions()
{
    const Settings &s = m_ctx.settings;
    setWindowTitle(QStringLiteral("Customer Information - ") + s.CompanyName);
    const QString older[3] = {s.Tax1Name, s.Tax2Name, s.Tax3Name};
    for (int i = 0; i < 3; ++i) {
        auto *c = findChild<QCheckBox *>(QStringLiteral("chkTax%1").arg(i + 1));
        c->setText(older[i] + QStringLiteral(" taxable"));
        c->setVisible(!older[i].isEmpty());
    }
    for (int i = 0; i < 4; ++i)
        findChild<QCheckBox *>(QStringLiteral("chk_tax%1").arg(i + 1))
            ->setText(s._taxname[i] + QLatin1Char(' ') + QString::number(s._tax[i]) + QStringLiteral(" %"));
}

void frmCustomer::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    applyCaptions();
    updateCommands();
}

void frmCustomer::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    // Activation: the captions, and viewing mode unless a customer is being
    // added or edited (a question box closing must not lock the fields).
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
        applyCaptions();
        if (!m_adding && !m_editing)
            DisablefrmCustomer();
    }
}

} // namespace velmor::ui
