#include "online/frmMain.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor::online {

namespace {

QString grouped(qint64 n)
{
    QLocale c(QLocale::C);
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(n);
}

} // namespace

QString frmMain::progressText(qint64 received, qint64 expected, double seconds)
{
    const double pct = expected > 0 ? 100.0 * double(received) / double(expected) : 0.0;
    const double speed = seconds > 0 ? double(received) / 1024.0 / seconds : 0.0;
    return grouped(received) + QStringLiteral(" / ") + grouped(expected) + QStringLiteral(" (")
        + QString::number(pct, 'f', 1) + QStringLiteral(" %)") + QStringLiteral(" [")
        + QString::number(speed, 'f', 2) + QStringLiteral(" kb/s]");
}

QString frmMain::errorText(int code)
{
    return clsHTTP::errorText(code);
}

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("HTTP client"));
    auto named = [](auto *w, const char *name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    root->addLayout(form);
    form->addRow(QStringLiteral("URL"), txtAction = named(new QLineEdit(this), "txtAction"));
    auto *options = new QHBoxLayout;
    cboMethod = named(new QComboBox(this), "cboMethod");
    cboMethod->addItems({QStringLiteral("GET"), QStringLiteral("POST"), QStringLiteral("HEAD")});
    cboEncType = named(new QComboBox(this), "cboEncType");
    cboEncType->addItems({QStringLiteral("URL-encoded"), QStringLiteral("multipart/form-data")});
    cboProtocol = named(new QComboBox(this), "cboProtocol");
    cboProtocol->addItems({QStringLiteral("HTTP/1.0"), QStringLiteral("HTTP/1.1")});
    cboTimeout = named(new QComboBox(this), "cboTimeout");
    cboTimeout->setEditable(true);
    cboTimeout->addItems({QStringLiteral("10"), QStringLiteral("30"), QStringLiteral("60"), QStringLiteral("120")});
    for (QWidget *w : {static_cast<QWidget *>(cboMethod), static_cast<QWidget *>(cboEncType),
                       static_cast<QWidget *>(cboProtocol), static_cast<QWidget *>(cboTimeout)})
        options->addWidget(w);
    form->addRow(QStringLiteral("Method, body, protocol, time-out (s)"), options);
    form->addRow(QStringLiteral("Proxy (server:port)"), txtProxyServer = named(new QLineEdit(this), "txtProxyServer"));
    form->addRow(QStringLiteral("Proxy user:password"),
                 txtProxyAuthorization = named(new QLineEdit(this), "txtProxyAuthorization"));
    txtProxyAuthorization->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    form->addRow(QStringLiteral("Save body as (empty: a temporary file)"), txtSaveAs = named(new QLineEdit(this), "txtSaveAs"));

    auto *element = new QHBoxLayout;
    element->addWidget(txtElementName = named(new QLineEdit(this), "txtElementName"));
    element->addWidget(txtElementValue = named(new QLineEdit(this), "txtElementValue"));
    cboElementType = named(new QComboBox(this), "cboElementType");
    cboElementType->addItems({QStringLiteral("Text"), QStringLiteral("File"), QStringLiteral("Raw value")});
    element->addWidget(cboElementType);
    auto *cmdAddElement = named(new QPushButton(QStringLiteral("Add element"), this), "cmdAddElement");
    element->addWidget(cmdAddElement);
    form->addRow(QStringLiteral("Element name, value, type"), element);
    auto *header = new QHBoxLayout;
    header->addWidget(txtHeaderName = named(new QLineEdit(this), "txtHeaderName"));
    header->addWidget(txtHeaderValue = named(new QLineEdit(this), "txtHeaderValue"));
    auto *cmdAddHeader = named(new QPushButton(QStringLiteral("Add header"), this), "cmdAddHeader");
    header->addWidget(cmdAddHeader);
    form->addRow(QStringLiteral("Header name, value"), header);

    txtElements = named(new QPlainTextEdit(this), "txtElements");
    txtElements->setReadOnly(true);
    txtElements->setMaximumHeight(90);
    root->addWidget(txtElements);
    auto *commands = new QHBoxLayout;
    auto *cmdSubmit = named(new QPushButton(QStringLiteral("Submit"), this), "cmdSubmit");
    auto *cmdReset = named(new QPushButton(QStringLiteral("Reset"), this), "cmdReset");
    cmdSubmit->setDefault(true);
    commands->addWidget(cmdSubmit);
    commands->addWidget(cmdReset);
    commands->addStretch(1);
    root->addLayout(commands);
    lblProgress = named(new QLabel(this), "lblProgress");
    lblError = named(new QLabel(this), "lblError");
    lblError->setStyleSheet(QStringLiteral("color: #b00000"));
    root->addWidget(lblProgress);
    root->addWidget(lblError);
    txtResponse = named(new QPlainTextEdit(this), "txtResponse");
    txtResponse->setReadOnly(true);
    root->addWidget(txtResponse, 1);
    resize(720, 560);

    connect(cmdAddElement, &QPushButton::clicked, this, &frmMain::addElement);
    connect(cmdAddHeader, &QPushButton::clicked, this, &frmMain::addHeader);
    connect(cmdSubmit, &QPushButton::clicked, this, &frmMain::submit);
    connect(cmdReset, &QPushButton::clicked, this, &frmMain::reset);
    connect(&m_http, &clsHTTP::StateChange, this, [this](qint64 got, qint64 expected, double seconds) {
        lblProgress->setText(progressText(got, expected, seconds));
    });
    connect(&m_http, &clsHTTP::Error, this, [this](int code) {
        QString text = errorText(code);
        if (code == clsHTTP::SocketError && !m_http.socketErrorText().isEmpty())
            text += QStringLiteral(" (") + m_http.socketErrorText() + QLatin1Char(')');
        lblError->setText(text);
    });
    connect(&m_http, &clsHTTP::Complete, this, [this](const QString &headers, const QString &file) {
        lblProgress->setText(progressText(m_http.bytesReceived(), m_http.contentLength(), m_http.elapsedSeconds()));
        txtResponse->setPlainText(headers + QStringLiteral("Body: ") + QString::number(m_http.bodyBytes())
                                  + QStringLiteral(" bytes in ") + file);
        txtSaveAs->setText(m_http.SaveAs);
    });
    cboProtocol->setCurrentIndex(m_http.Protocol);
    cboTimeout->setCurrentText(QString::number(m_http.Timeout));
    showHeaders();
}

void frmMain::addElement()
{
    if (!m_http.AddElement(txtElementName->text(), txtElementValue->text(), cboElementType->currentIndex())) {
        lblError->setText(QStringLiteral("The element was refused (an empty name, a file that does not exist, or "
                                         "a raw value together with other elements)."));
        return;
    }
    lblError->clear();
    txtElements->appendPlainText(cboElementType->currentText() + QStringLiteral(": ") + txtElementName->text()
                                 + QStringLiteral(" = ") + txtElementValue->text());
    txtElementName->clear();
    txtElementValue->clear();
}

void frmMain::addHeader()
{
    if (!m_http.AddRequestHeader(txtHeaderName->text(), txtHeaderValue->text())) {
        lblError->setText(QStringLiteral("The header was refused (an empty name, or a line break)."));
        return;
    }
    lblError->clear();
    txtHeaderName->clear();
    txtHeaderValue->clear();
    showHeaders();
}

void frmMain::showHeaders()
{
    QString text;
    for (const auto &h : m_http.requestHeaders())
        if (!h.second.isEmpty())
            text += h.first + QStringLiteral(": ") + h.second + QLatin1Char('\n');
    txtResponse->setPlainText(text);
}

void frmMain::submit()
{
    lblError->clear();
    lblProgress->clear();
    bool whole = false;
    const int timeout = cboTimeout->currentText().trimmed().toInt(&whole);
    if (!whole || timeout < 1) {
        lblError->setText(QStringLiteral("The time-out \"%1\" is not a whole number of seconds above 0.")
                              .arg(cboTimeout->currentText()));
        return;
    }
    m_http.Action = txtAction->text().trimmed();
    m_http.Method = cboMethod->currentIndex();
    m_http.EncType = cboEncType->currentIndex();
    m_http.Protocol = cboProtocol->currentIndex();
    m_http.Timeout = timeout;
    m_http.setProxyServer(txtProxyServer->text());
    m_http.setProxyAuth(txtProxyAuthorization->text());
    m_http.SaveAs = txtSaveAs->text().trimmed();
    m_http.Submit();
}

void frmMain::reset()
{
    m_http.Reset();
    txtElements->clear();
    lblError->clear();
    lblProgress->clear();
    cboTimeout->setCurrentText(QString::number(m_http.Timeout));
    cboProtocol->setCurrentIndex(m_http.Protocol);
    showHeaders();
}

} // namespace velmor::online
