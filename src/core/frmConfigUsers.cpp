#include "core/frmConfigUsers.h"

#include "core/Failures.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/ListColumns.h"

#include "core/AppContext.h"
#include "db/Sql.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmor::ui {

QString frmConfigUsers::checkBoxName(const QString &column)
{
    if (column == QLatin1String("AllowCustomerHold"))
        return QStringLiteral("chkAllowCustHold");
    if (column == QLatin1String("AllowShipmentHold"))
        return QStringLiteral("chkAllowShipHold");
    if (column == QLatin1String("AllowDeleteCheque"))
        return QStringLiteral("chkAllowDeleteCheques");
    return QStringLiteral("chk") + column;
}

frmConfigUsers::frmConfigUsers(AppContext &ctx, QWidget *parent)
    : QDialog(parent),
      m_ctx(ctx),
      DataGrid1(new QTableWidget(this)),
      txtFirstName(new QLineEdit(this)),
      txtLastName(new QLineEdit(this)),
      txtUserName(new QLineEdit(this)),
      txtPassword(new QLineEdit(this)),
      txtPasswordConfirm(new QLineEdit(this)),
      cmdAdd(new QPushButton(QStringLiteral("&Add"), this)),
      cmdEditDiamond(new QPushButton(QStringLiteral("&Edit"), this)),
      cmdCancel(new QPushButton(QStringLiteral("&Cancel"), this)),
      cmdUpdate(new QPushButton(QStringLiteral("&Update"), this)),
      TabStrip1(new QTabBar(this)),
      m_frames(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("frmConfigUsers"));
    setWindowTitle(QStringLiteral("Users"));
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    txtFirstName->setObjectName(QStringLiteral("txtFirstName"));
    txtLastName->setObjectName(QStringLiteral("txtLastName"));
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPasswordConfirm->setObjectName(QStringLiteral("txtPasswordConfirm"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPasswordConfirm->setEchoMode(QLineEdit::Password);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdEditDiamond->setObjectName(QStringLiteral("cmdEditDiamond"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    // Every group's tab in view, its name whole.
    TabStrip1->setUsesScrollButtons(false);
    TabStrip1->setElideMode(Qt::ElideNone);

    DataGrid1->setColumnCount(5);
    DataGrid1->setHorizontalHeaderLabels(
        {QStringLiteral("ID"), QStringLiteral("User name"), QStringLiteral("First name"),
         QStringLiteral("Last name"), QStringLiteral("Administrator")});
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->verticalHeader()->hide();
    DataGrid1->horizontalHeader()->setStretchLastSection(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("First name"), txtFirstName);
    form->addRow(QStringLiteral("Last name"), txtLastName);
    form->addRow(QStringLiteral("User name"), txtUserName);
    form->addRow(QStringLiteral("Password"), txtPassword);
    form->addRow(QStringLiteral("Confirm password"), txtPasswordConfirm);

    buildRights();

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {cmdAdd, cmdEditDiamond, cmdCancel, cmdUpdate})
        buttons->addWidget(b);
    buttons->addStretch(1);

    auto *right = new QVBoxLayout;
    right->addLayout(form);
    right->addWidget(TabStrip1);
    right->addWidget(m_frames, 1);
    right->addLayout(buttons);
    auto *h = new QHBoxLayout(this);
    h->addWidget(DataGrid1, 2);
    h->addLayout(right, 3);

    for (QLineEdit *e : {txtFirstName, txtLastName, txtUserName, txtPassword})
        connect(e, &QLineEdit::textChanged, this, &frmConfigUsers::textChanged);
    connect(cmdAdd, &QPushButton::clicked, this, &frmConfigUsers::add);
    connect(cmdEditDiamond, &QPushButton::clicked, this, &frmConfigUsers::edit);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfigUsers::cancel);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmConfigUsers::update);
    connect(DataGrid1, &QTableWidget::itemSelectionChanged, this, &frmConfigUsers::gridSelectionChanged);
    connect(TabStrip1, &QTabBar::currentChanged, m_frames, &QStackedWidget::setCurrentIndex);

    resize(1100, 620);
    cmdUpdate->setDefault(true);
    // The users, their passwords and rights are for an administrator's eyes.
    if (administratorOnly(m_ctx, this))
        reload();
    setMode(Mode::Viewing);
}

void frmConfigUsers::buildRights()
{
    // Five groups of rights, one tab each.
    const QStringList all = allRightColumns();
    auto in = [](const QString &c, std::initializer_list<const char *> words) {
        for (const char *w : words)
            if (c.contains(QLatin1String(w)))
                return true;
        return false;
    };
    QList<QStringList> groups(5);
    for (const QString &c : all) {
        if (UserState::diamondRightColumns().contains(c) || in(c, {"Diamond", "Parcel", "Consignment", "Quote"}))
            groups[0] << c;
        else if (in(c, {"Customer", "Rep", "Commission", "Shipment"}))
            groups[1] << c;
        else if (in(c, {"Invoice", "Statement", "PastDue", "Payment", "Cheque", "Credit", "Discount", "Sales"}))
            groups[2] << c;
        else if (in(c, {"Item", "Gem", "Chain", "Finding", "Pearl", "Collection", "Package", "CostUpdate"}))
            groups[3] << c;
        else
            groups[4] << c;
    }
    const QStringList titles = {QStringLiteral("Diamonds"), QStringLiteral("Customers and reps"),
                                QStringLiteral("Invoices and payments"), QStringLiteral("Items"),
                                QStringLiteral("Production and tracking")};
    for (int i = 0; i < 5; ++i) {
        auto *frame = new QWidget;
        frame->setObjectName(QStringLiteral("fra%1").arg(i + 1));
        auto *grid = new QGridLayout(frame);
        int n = 0;
        for (const QString &c : groups[i]) {
            // "AllowCustomerHoldView" reads "Customer hold view".
            QString caption = c.startsWith(QLatin1String("Allow")) ? c.mid(5) : c;
            caption.replace(QRegularExpression(QStringLiteral("(?<=[a-z0-9])(?=[A-Z])")), QStringLiteral(" "));
            caption = caption.left(1) + caption.mid(1).toLower();
            auto *box = new QCheckBox(caption, frame);
            box->setObjectName(checkBoxName(c));
            grid->addWidget(box, n / 2, n % 2);
            m_rights[c] = box;
            ++n;
        }
        grid->setRowStretch(n / 2 + 1, 1);
        auto *area = new QScrollArea;
        area->setWidgetResizable(true);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidget(frame);
        TabStrip1->addTab(titles[i]);
        m_frames->addWidget(area);
    }
}

void frmConfigUsers::reload()
{
    QList<UserRecord> users;
    try {
        users = listUsers(m_ctx.db());
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The users could not be read from the database."),
                              QStringLiteral("Users"), Icon::Critical);
        return;
    }
    const QSignalBlocker block(DataGrid1);
    DataGrid1->setRowCount(int(users.size()));
    int chosenRow = -1;
    for (int r = 0; r < users.size(); ++r) {
        const UserRecord &u = users[r];
        const QStringList cells = {QString::number(u.ID), u.UserName, u.FirstName, u.LastName,
                                   u.right(QStringLiteral("Administrator")) ? QStringLiteral("yes") : QString()};
        for (int c = 0; c < cells.size(); ++c)
            DataGrid1->setItem(r, c, new QTableWidgetItem(cells[c]));
        if (u.ID == m_chosen)
            chosenRow = r;
    }
    showAllColumns(DataGrid1);
    if (chosenRow < 0 && !users.isEmpty()) {
        chosenRow = 0;
        m_chosen = users.first().ID;
    }
    if (chosenRow >= 0) {
        DataGrid1->selectRow(chosenRow);
        chooseUser(m_chosen);
    }
}

void frmConfigUsers::chooseUser(int id)
{
    UserRecord u;
    try {
        u = loadUser(m_ctx.db(), id);
    } catch (const db::DbError &e) {
        informFailure(m_ctx, QStringLiteral("The user could not be read"), QStringLiteral("Users"), e);
        return;
    }
    if (u.ID == 0)
        return;
    m_chosen = id;
    txtFirstName->setText(u.FirstName);
    txtLastName->setText(u.LastName);
    txtUserName->setText(u.UserName);
    txtPassword->setText(u.Password);
    txtPasswordConfirm->setText(u.Password);
    for (auto &[column, box] : m_rights)
        box->setChecked(u.right(column));
}

void frmConfigUsers::gridSelectionChanged()
{
    if (m_mode != Mode::Viewing)
        return;
    const auto rows = DataGrid1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    chooseUser(DataGrid1->item(rows.first().row(), 0)->text().toInt());
}

void frmConfigUsers::setMode(Mode m)
{
    m_mode = m;
    const bool editable = m != Mode::Viewing;
    for (QLineEdit *e : {txtFirstName, txtLastName, txtUserName, txtPassword, txtPasswordConfirm})
        e->setReadOnly(!editable);
    for (auto &[column, box] : m_rights)
        box->setEnabled(editable);
    cmdAdd->setEnabled(m == Mode::Viewing);
    cmdEditDiamond->setEnabled(m == Mode::Viewing && m_chosen != 0);
    cmdCancel->setEnabled(editable);
    cmdUpdate->setEnabled(false);
    DataGrid1->setEnabled(!editable);
}

void frmConfigUsers::textChanged()
{
    if (m_mode == Mode::Viewing)
        return;
    cmdUpdate->setEnabled(!txtFirstName->text().isEmpty() && !txtLastName->text().isEmpty()
                          && !txtUserName->text().isEmpty() && !txtPassword->text().isEmpty());
}

void frmConfigUsers::add()
{
    for (QLineEdit *e : {txtFirstName, txtLastName, txtUserName, txtPassword, txtPasswordConfirm})
        e->clear();
    for (auto &[column, box] : m_rights)
        box->setChecked(false);
    setMode(Mode::Adding);
    txtFirstName->setFocus();
}

void frmConfigUsers::edit()
{
    if (m_chosen == 0)
        return;
    setMode(Mode::Editing);
    textChanged();
}

void frmConfigUsers::cancel()
{
    setMode(Mode::Viewing);
    if (m_chosen)
        chooseUser(m_chosen);
    setMode(Mode::Viewing);
}

void frmConfigUsers::update()
{
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return;
    UserRecord u;
    u.ID = m_mode == Mode::Adding ? 0 : m_chosen;
    u.FirstName = txtFirstName->text();
    u.LastName = txtLastName->text();
    u.UserName = txtUserName->text();
    u.Password = txtPassword->text();
    for (auto &[column, box] : m_rights)
        u.rights[column] = box->isChecked();
    SaveUserResult result;
    try {
        result = saveUser(m_ctx, u, txtPasswordConfirm->text(), m_mode == Mode::Adding);
    } catch (const db::DbError &) {
        m_ctx.prompt().inform(QStringLiteral("The user could not be saved: the database did not accept it. "
                                             "Nothing was changed."),
                              QStringLiteral("Users"), Icon::Critical);
        return;
    }
    if (result != SaveUserResult::Saved)
        return;
    m_chosen = u.ID;
    setMode(Mode::Viewing);
    reload();
    m_ctx.prompt().notice(QStringLiteral("The user %1 has been saved.").arg(u.UserName));
}

} // namespace velmor::ui
