#include "online/frmGIA.h"

#include "core/AppContext.h"
#include "db/Sql.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace velmor::online {

namespace {
const QString kTitle = QStringLiteral("GIA Certificate");
const char *kHint = "hint";
} // namespace

frmGIA::frmGIA(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmGIA"));
    setWindowTitle(QStringLiteral("GIA certificate look-up"));
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    root->addLayout(form);
    auto field = [&](const char *name, const QString &hint) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setProperty(kHint, hint);
        e->installEventFilter(this);
        if (!hint.isEmpty()) {
            e->setText(hint);
            connect(e, &QLineEdit::textChanged, this, [this, e] { showHint(e); });
            showHint(e);
        }
        return e;
    };
    auto *ipRow = new QHBoxLayout;
    txtIP = field("txtIP", {});
    txtIP->setText(readIpAddress(m_ctx.workstation));
    ipRow->addWidget(txtIP);
    auto *command1 = new QPushButton(QStringLiteral("Refresh"), this);
    command1->setObjectName(QStringLiteral("Command1"));
    command1->setToolTip(QStringLiteral("Ask the IP-echo page for this workstation's public address"));
    command1->setAutoDefault(false);
    ipRow->addWidget(command1);
    form->addRow(QStringLiteral("Public IP address"), ipRow);
    form->addRow(QStringLiteral("Weight (ct)"), txtWeight = field("txtWeight", QStringLiteral("weight")));
    form->addRow(QStringLiteral("GIA certificate #"), txtCertNumber = field("txtCertNumber", QStringLiteral("certificate")));
    imgWait = new QLabel(QStringLiteral("Asking the laboratory, please wait ..."), this);
    imgWait->setObjectName(QStringLiteral("imgWait"));
    imgWait->setAlignment(Qt::AlignCenter);
    imgWait->setVisible(false);
    root->addWidget(imgWait);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *image3 = new QPushButton(QStringLiteral("Look up"), this);
    image3->setObjectName(QStringLiteral("Image3"));
    image3->setDefault(true);
    auto *image2 = new QPushButton(QStringLiteral("Close"), this);
    image2->setObjectName(QStringLiteral("Image2"));
    image2->setAutoDefault(false);
    buttons->addWidget(image3);
    buttons->addWidget(image2);
    root->addLayout(buttons);
    setTabOrder(txtWeight, txtCertNumber);
    setTabOrder(txtCertNumber, image3);

    connect(command1, &QPushButton::clicked, this, &frmGIA::refreshIp);
    connect(image3, &QPushButton::clicked, this, &frmGIA::request);
    connect(image2, &QPushButton::clicked, this, &QDialog::reject);
    txtWeight->setFocus();
}

void frmGIA::showHint(QLineEdit *field)
{
    const QString hint = field->property(kHint).toString();
    QPalette p = field->palette();
    const bool isHint = !hint.isEmpty() && field->text().toLower() == hint;
    p.setColor(QPalette::Text, isHint ? QColor(Qt::gray) : QApplication::palette().color(QPalette::Text));
    field->setPalette(p);
}

QString frmGIA::fieldText(const QLineEdit *field) const
{
    const QString hint = field->property(kHint).toString();
    const QString t = field->text().trimmed();
    return !hint.isEmpty() && t.toLower() == hint ? QString() : t;
}

bool frmGIA::eventFilter(QObject *o, QEvent *e)
{
    auto *field = qobject_cast<QLineEdit *>(o);
    if (field && e->type() == QEvent::FocusIn)
        QTimer::singleShot(0, field, [field] { field->selectAll(); });
    if (field == txtWeight && e->type() == QEvent::FocusOut) {
        bool ok = false;
        const double w = fieldText(txtWeight).toDouble(&ok);
        if (ok)
            txtWeight->setText(QString::number(w, 'f', 2));
    }
    return QDialog::eventFilter(o, e);
}

void frmGIA::refreshIp()
{
    const IpRefresh r = fetchPublicIp(OnlineSettings::fromWorkstation(m_ctx.workstation));
    if (r.ip.isEmpty()) {
        m_ctx.prompt().inform(r.error, kTitle, Icon::Exclamation);
        return;
    }
    txtIP->setText(r.ip);
    if (!writeIpAddress(m_ctx.workstation, r.ip))
        m_ctx.prompt().inform(QStringLiteral("The address could not be written to %1.")
                                  .arg(m_ctx.workstation.path(QStringLiteral("ipaddress.ini"))),
                              kTitle, Icon::Exclamation);
}

void frmGIA::request()
{
    const QString certificate = compactCertificate(fieldText(txtCertNumber));
    if (certificate.isEmpty()) {
        m_ctx.prompt().inform(QStringLiteral("Please type the certificate number."), kTitle, Icon::Information);
        txtCertNumber->setFocus();
        return;
    }
    try {
        if (giaAlreadyInSystem(m_ctx.db(), certificate)) {
            m_ctx.prompt().inform(duplicateMessage(certificate), kTitle, Icon::Information);
            return;
        }
    } catch (const db::DbError &e) {
        m_ctx.prompt().inform(QStringLiteral("The stock could not be searched for this certificate:\n") + e.message(),
                              kTitle, Icon::Exclamation);
        return;
    }
    QString weight = fieldText(txtWeight);
    bool ok = false;
    const double w = weight.toDouble(&ok);
    if (ok)
        weight = QString::number(w, 'f', 2);
    const GiaRequest r{fieldText(txtIP), weight, certificate};
    if (!writeRequestFile(m_ctx.workstation, r)) {
        m_ctx.prompt().inform(QStringLiteral("The request could not be written to %1.")
                                  .arg(m_ctx.workstation.path(QStringLiteral("requestgia.ini"))),
                              kTitle, Icon::Exclamation);
        return;
    }
    imgWait->setVisible(true);
    setEnabled(false);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (lookup)
        lookup(r);
    accept();
}

} // namespace velmor::online
