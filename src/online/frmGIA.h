#pragma once
// The certificate look-up dialog: the workstation's public IP address, the
// stone's weight and its GIA certificate number.  `Image3` checks that the
// certificate is not in stock already, writes the request and hands it to
// `lookup` (the stone screen's look-up) with the waiting picture showing;
// `Image2` closes; `Command1` fetches the public IP address again.
#include "online/CertLookup.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmor {
class AppContext;
}

namespace velmor::online {

class frmGIA : public QDialog {
    Q_OBJECT
public:
    explicit frmGIA(AppContext &ctx, QWidget *parent = nullptr);

    // Runs the look-up for a request (set by whoever opens the dialog).
    std::function<void(const GiaRequest &)> lookup;

    void refreshIp();  // Command1
    void request();    // Image3
    // The text of a field, empty while it still shows its hint word.
    QString fieldText(const QLineEdit *field) const;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void showHint(QLineEdit *field);

    AppContext &m_ctx;
    QLineEdit *txtIP, *txtWeight, *txtCertNumber;
    QLabel *imgWait;
};

} // namespace velmor::online
