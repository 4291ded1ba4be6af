#include "customers/frmRep.h"

#include "core/Failures.h"
#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Sql.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

namespace {

// Column -> control (City and Province: the display field; the combo while entering).
const QMap<QString, QString> &repControls()
{
    static const QMap<QString, QString> m = {
        {QStringLiteral("CompanyName"), QStringLiteral("txtCompanyName")},
        {QStringLiteral("FirstName"), QStringLiteral("txtFirstName")},
        {QStringLiteral("LastName"), QStringLiteral("txtLastName")},
        {QStringLiteral("Street1"), QStringLiteral("txtStreet1")},
        {QStringLiteral("Street2"), QStringLiteral("txtStreet2")},
        {QStringLiteral("City"), QStringLiteral("txtCity")},
        {QStringLiteral("Province"), QStringLiteral("txtProvince")},
        {QStringLiteral("ZIP"), QStringLiteral("txtZIP")},
        {QStringLiteral("Phone1"), QStringLiteral("txtPhone1")},
        {QStringLiteral("Phone2"), QStringLiteral("txtPhone2")},
        {QStringLiteral("TollFree"), QStringLiteral("txtTollFree")},
        {QStringLiteral("Cell1"), QStringLiteral("txtCell1")},
        {QStringLiteral("Cell2"), QStringLiteral("txtCell2")},
        {QStringLiteral("Pager"), QStringLiteral("txtPager")},
        {QStringLiteral("HomePhone"), QStringLiteral("txtPhoneHome")},
        {QStringLiteral("Fax"), QStringLiteral("txtFax")},
        {QStringLiteral("WWW"), QStringLiteral("txtWww")},
        {QStringLiteral("EMail"), QStringLiteral("txtEMail")},
        {QStringLiteral("SalesDistrict"), QStringLiteral("txtSalesDistrict")},
    };
    return m;
}

const QString kLockedStyle = QStringLiteral("background-color: #ececec;");

} // namespace

frmRep::frmRep(AppContext &ctx, QWidget *parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmRep"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Rep"));
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    auto *id = new QLineEdit(this);
    id->setObjectName(QStringLiteral("txtRepID"));
    id->setReadOnly(true);
    id->setStyleSheet(kLockedStyle);
    form->addRow(QStringLiteral("ID"), id);
    const QList<QPair<QString, QString>> captions = {
        {QStringLiteral("CompanyName"), QStringLiteral("Company")},
        {QStringLiteral("FirstName"), QStringLiteral("First name")},
        {QStringLiteral("LastName"), QStringLiteral("Last name")},
        {QStringLiteral("Street1"), QStringLiteral("Street")},
        {QStringLiteral("Street2"), QString()},
        {QStringLiteral("City"), QStringLiteral("City")},
        {QStringLiteral("Province"), QStringLiteral("Province")},
        {QStringLiteral("ZIP"), QStringLiteral("ZIP")},
        {QStringLiteral("Phone1"), QStringLiteral("Phone 1")},
        {QStringLiteral("Phone2"), QStringLiteral("Phone 2")},
        {QStringLiteral("TollFree"), QStringLiteral("Toll free")},
        {QStringLiteral("Cell1"), QStringLiteral("Cell 1")},
        {QStringLiteral("Cell2"), QStringLiteral("Cell 2")},
        {QStringLiteral("Pager"), QStringLiteral("Pager")},
        {QStringLiteral("HomePhone"), QStringLiteral("Home phone")},
        {QStringLiteral("Fax"), QStringLiteral("Fax")},
        {QStringLiteral("WWW"), QStringLiteral("Web page")},
        {QStringLiteral("EMail"), QStringLiteral("e-mail")},
        {QStringLiteral("SalesDistrict"), QStringLiteral("Sales district")},
    };
    for (const auto &[column, caption] : captions) {
        auto *e = new QLineEdit(this);
        e->setObjectName(repControls().value(column));
        if (column == QLatin1String("City") || column == QLatin1String("Province")) {
            auto *c = new QComboBox(this);
            c->setObjectName(column == QLatin1String("City") ? QStringLiteral("cboCity") : QStringLiteral("cboProvince"));
            c->setEditable(true);
            c->setVisible(false);
            auto *row = new QHBoxLayout;
            row->addWidget(e);
            row->addWidget(c);
            form->addRow(caption, row);
        } else {
            form->addRow(caption, e);
        }
    }
    root->addLayout(form);
    auto *cmds = new QHBoxLayout;
    const QList<QPair<const char *, QString>> buttons = {
        {"cmdAddRep", QStringLiteral("&Add")},           {"cmdEditRep", QStringLiteral("&Edit")},
        {"cmdUpdate", QStringLiteral("&Update")},        {"cmdCancel", QStringLiteral("&Cancel")},
        {"cmdShowCustomers", QStringLiteral("Customers")}, {"cmdCommissionList", QStringLiteral("Commissions")}};
    for (const auto &[name, caption] : buttons) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        cmds->addWidget(b);
    }
    root->addLayout(cmds);
    // The commission list belongs to the jewellery-item side.
    w<QPushButton>("cmdCommissionList")->setEnabled(false);

    connect(w<QPushButton>("cmdAddRep"), &QPushButton::clicked, this, &frmRep::addRep);
    connect(w<QPushButton>("cmdEditRep"), &QPushButton::clicked, this, &frmRep::editRep);
    connect(w<QPushButton>("cmdUpdate"), &QPushButton::clicked, this, &frmRep::update);
    connect(w<QPushButton>("cmdCancel"), &QPushButton::clicked, this, &frmRep::cancel);
    connect(w<QPushButton>("cmdShowCustomers"), &QPushButton::clicked, this, &frmRep::showCustomers);
    connect(&m_ctx.events(), &ContextEvents::rightsChanged, this, &frmRep::rightsChanged);
    lock(true);
    updateCommands();
}

qint64 frmRep::currentId() const { return w<QLineEdit>("txtRepID")->text().toLongLong(); }

void frmRep::showForm(const customers::RepForm &f)
{
    for (const QString &c : customers::repColumns())
        findChild<QLineEdit *>(repControls().value(c))->setText(f.value(c).toString());
}

void frmRep::showRep(qint64 id)
{
    if (busy())
        return;
    bool found = false;
    try {
        m_loaded = customers::loadRep(m_ctx.db(), id, &found);
    } catch (const db::DbError &e) {
        m_loaded.clear();
        informFailure(m_ctx, QStringLiteral("The rep could not be read"), QStringLiteral("Rep"), e);
    }
    w<QLineEdit>("txtRepID")->setText(found ? QString::number(id) : QString());
    if (!found)
        m_loaded.clear();
    showForm(m_loaded);
    lock(true);
    updateCommands();
}

QString frmRep::controlText(const QString &column) const
{
    if ((column == QLatin1String("City") || column == QLatin1String("Province")) && busy())
        return findChild<QComboBox *>(column == QLatin1String("City") ? QStringLiteral("cboCity")
                                                                        : QStringLiteral("cboProvince"))
            ->currentText();
    return findChild<QLineEdit *>(repControls().value(column))->text();
}

customers::RepForm frmRep::formFromControls() const
{
    customers::RepForm f = m_loaded;
    for (const QString &c : customers::repColumns()) {
        const QString now = controlText(c);
        if (!m_adding && m_shown.contains(c) && now == m_shown.value(c))
            continue;
        f.insert(c, now);
    }
    return f;
}

void frmRep::fillLists()
{
    for (const char *name : {"cboCity", "cboProvince"}) {
        auto *c = w<QComboBox>(name);
        const bool city = QLatin1String(name) == QLatin1String("cboCity");
        const QString keep = w<QLineEdit>(city ? "txtCity" : "txtProvince")->text();
        c->clear();
        try {
            c->addItems(city ? customers::repCities(m_ctx.db()) : customers::repProvinces(m_ctx.db()));
        } catch (const db::DbError &) {
        }
        c->setEditText(keep);
    }
}

void frmRep::lock(bool locked)
{
    for (const QString &c : customers::repColumns()) {
        auto *e = findChild<QLineEdit *>(repControls().value(c));
        e->setReadOnly(locked);
        e->setStyleSheet(locked ? kLockedStyle : QString());
    }
    // City and province are entered in their combos.
    for (const char *pair : {"City", "Province"}) {
        const QString col = QString::fromLatin1(pair);
        findChild<QLineEdit *>(repControls().value(col))->setVisible(locked);
        findChild<QComboBox *>(QStringLiteral("cbo") + col)->setVisible(!locked);
    }
}

void frmRep::addRep()
{
    if (busy() || !checkRight(m_ctx, QStringLiteral("AllowRepAdd")))
        return;
    m_adding = true;
    m_loaded.clear();
    for (const QString &c : customers::repColumns())
        m_loaded.insert(c, QString());
    showForm(m_loaded);
    w<QLineEdit>("txtRepID")->clear();
    fillLists();
    lock(false);
    m_shown.clear();
    updateCommands();
    w<QLineEdit>("txtCompanyName")->setFocus();
}

void frmRep::editRep()
{
    if (busy() || currentId() == 0 || !checkRight(m_ctx, QStringLiteral("AllowRepEdit")))
        return;
    m_editing = true;
    fillLists();
    lock(false);
    m_shown.clear();
    for (const QString &c : customers::repColumns())
        m_shown.insert(c, controlText(c));
    updateCommands();
}

QString frmRep::changeRight() const
{
    return m_adding ? QStringLiteral("AllowRepAdd") : QStringLiteral("AllowRepEdit");
}

// A rep being added or edited turns read-only while its right is gone (a
// log-off, a failed login) and editable again when it comes back; what was
// typed stays on the screen, and Cancel leaves it.
void frmRep::rightsChanged()
{
    if (busy())
        lock(!m_ctx.user.has(changeRight()));
    updateCommands();
}

bool frmRep::update()
{
    if (!busy() || !checkRight(m_ctx, changeRight()))
        return false;
    const customers::RepSaveResult r =
        customers::saveRep(m_ctx.db(), m_adding ? 0 : currentId(), m_loaded, formFromControls());
    if (!r.ok) {
        m_ctx.prompt().inform(r.refusal.isEmpty() ? QStringLiteral("The Rep could not be saved; nothing was changed.")
                                                  : r.refusal,
                              QStringLiteral("Update"), Icon::Exclamation);
        return false;
    }
    m_adding = m_editing = false;
    showRep(r.id);
    return true;
}

void frmRep::cancel()
{
    if (!busy())
        return;
    m_adding = m_editing = false;
    showRep(currentId());
}

void frmRep::showCustomers()
{
    if (busy() || currentId() == 0 || !checkRight(m_ctx, QStringLiteral("AllowCustomerView")))
        return;
    CustomerSearchPreset p;
    p.repId = currentId();
    m_ctx.screens().openCustomerSearchWith(p);
}

void frmRep::updateCommands()
{
    const UserState &u = m_ctx.user;
    const bool loaded = currentId() != 0;
    w<QPushButton>("cmdAddRep")->setEnabled(!busy() && u.has(QStringLiteral("AllowRepAdd")));
    w<QPushButton>("cmdEditRep")->setEnabled(!busy() && loaded && u.has(QStringLiteral("AllowRepEdit")));
    w<QPushButton>("cmdUpdate")->setEnabled(busy() && u.has(changeRight()));
    w<QPushButton>("cmdCancel")->setEnabled(busy());
    w<QPushButton>("cmdShowCustomers")
        ->setEnabled(!busy() && loaded && u.has(QStringLiteral("AllowCustomerView"))
                     && m_ctx.screens().available(Screen::CustomerSearch));
}

} // namespace velmor::ui
