#pragma once
// The HTTP client's test screen: one clsHTTP driven from its fields, with
// the progress line and the error texts of the client's events.
#include "online/clsHTTP.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace velmor::online {

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);

    clsHTTP &http() { return m_http; }

    // "1,234 / 5,678 (21.7 %) [1.20 kb/s]"
    static QString progressText(qint64 received, qint64 expected, double seconds);
    static QString errorText(int code);

private:
    void addElement();
    void addHeader();
    void submit();
    void reset();
    void showHeaders();

    clsHTTP m_http;
    QLineEdit *txtAction, *txtProxyServer, *txtProxyAuthorization, *txtSaveAs, *txtElementName, *txtElementValue,
        *txtHeaderName, *txtHeaderValue;
    QComboBox *cboMethod, *cboEncType, *cboProtocol, *cboTimeout, *cboElementType;
    QLabel *lblProgress, *lblError;
    QPlainTextEdit *txtElements, *txtResponse;
};

} // namespace velmor::online
