#include "memos/frmMEMOsetup.h"

#include "core/AppContext.h"
#include "core/Configuration.h"
#include "core/Users.h"
#include "core/widgets/AdministratorOnly.h"
#include "core/widgets/Named.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "memos/MemoFiles.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::ui {

frmMEMOsetup::frmMEMOsetup(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMEMOsetup"));
    setWindowTitle(QStringLiteral("Memo Sheet Setup"));
    rightHeld(ctx, this, QStringLiteral("AllowMemoAssigning"));
    auto *l = new QVBoxLayout(this);
    const memos::MemoPrintOptions o = memos::MemoFiles(m_ctx.workstation).printOptions();
    auto box = [&](const char *name, const QString &caption, bool on) {
        auto *c = named(new QCheckBox(caption, this), name);
        c->setChecked(on);
        l->addWidget(c);
    };
    box("chkUSdollar", QStringLiteral("print US$ prices"), o.usDollar);
    box("chkRoundUP", QStringLiteral("round converted prices up to tens"), o.roundUp);
    box("chkPRINTrap", QStringLiteral("print the RAP list price line"), o.printRap);
    box("chkPictures", QStringLiteral("print each stone's picture"), o.pictures);
    auto *save = named(new QPushButton(QStringLiteral("Save"), this), "cmdSave");
    save->setDefault(true);
    l->addWidget(save);
    connect(save, &QPushButton::clicked, this, [this] {
        if (this->save())
            accept();
    });
}

bool frmMEMOsetup::save()
{
    if (!checkRight(m_ctx, QStringLiteral("AllowMemoAssigning")))
        return false;
    memos::MemoPrintOptions o;
    o.usDollar = findChild<QCheckBox *>(QStringLiteral("chkUSdollar"))->isChecked();
    o.roundUp = findChild<QCheckBox *>(QStringLiteral("chkRoundUP"))->isChecked();
    o.printRap = findChild<QCheckBox *>(QStringLiteral("chkPRINTrap"))->isChecked();
    o.pictures = findChild<QCheckBox *>(QStringLiteral("chkPictures"))->isChecked();
    if (memos::MemoFiles(m_ctx.workstation).setPrintOptions(o))
        return true;
    m_ctx.prompt().inform(QStringLiteral("The memo sheet setup could not be saved in the workstation folder."),
                          QStringLiteral("Memo Sheet Setup"), Icon::Exclamation);
    return false;
}

frmMemoDisclaimer::frmMemoDisclaimer(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmMemoDisclaimer"));
    setWindowTitle(QStringLiteral("Memo Disclaimer"));
    administratorOnly(ctx, this);
    auto *l = new QVBoxLayout(this);
    auto *text = named(new QPlainTextEdit(this), "txtDisclaimer");
    l->addWidget(text);
    auto *save = named(new QPushButton(QStringLiteral("Save"), this), "cmdSave");
    l->addWidget(save);
    try {
        m_loaded = db::textOf(db::scalar(m_ctx.db(), QStringLiteral("SELECT MemoDisclaimer FROM Config ORDER BY ID LIMIT 1")));
    } catch (const db::DbError &) {
        m_loaded = m_ctx.settings.MemoDisclaimer;
    }
    // The stored text keeps its CR LF; the editor shows plain line breaks.
    text->setPlainText(QString(m_loaded).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    connect(save, &QPushButton::clicked, this, [this] {
        if (this->save())
            accept();
    });
}

bool frmMemoDisclaimer::save()
{
    QString text = findChild<QPlainTextEdit *>(QStringLiteral("txtDisclaimer"))->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (text == m_loaded)
        return true;
    if (!checkRight(m_ctx, QStringLiteral("Administrator")))
        return false;
    try {
        const QVariant id = db::scalar(m_ctx.db(), QStringLiteral("SELECT ID FROM Config ORDER BY ID LIMIT 1"));
        if (id.isValid())
            db::exec(m_ctx.db(), QStringLiteral("UPDATE Config SET MemoDisclaimer=? WHERE ID=?"), {text, id});
        else
            db::exec(m_ctx.db(), QStringLiteral("INSERT INTO Config (MemoDisclaimer) VALUES (?)"), {text});
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The disclaimer could not be saved:\n\n") + e.message(),
                              QStringLiteral("Memo Disclaimer"), Icon::Exclamation);
        return false;
    }
    m_loaded = text;
    GetConfigurationModule(m_ctx);
    return true;
}

} // namespace velmor::ui
