#include "core/widgets/QtPrompt.h"

#include "core/frmMSG.h"
#include "core/frmMessage.h"

#include <QApplication>
#include <QMessageBox>

namespace velmor::ui {

namespace {

QMessageBox::Icon boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtPrompt::~QtPrompt()
{
    if (m_busy)
        delete m_busy.data();
}

void QtPrompt::inform(const QString &text, const QString &title, Icon icon)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtPrompt::askYesNo(const QString &text, const QString &title, Icon icon)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

void QtPrompt::notice(const QString &text, int minimumMs)
{
    frmMSG msg(text, minimumMs, QApplication::activeWindow());
    msg.exec();
}

void QtPrompt::busy(const QString &text)
{
    if (text.isEmpty()) {
        if (m_busy) {
            m_busy->close();
            m_busy->deleteLater();
        }
        return;
    }
    if (!m_busy)
        m_busy = new frmMessage;
    m_busy->setMessage(text);
    m_busy->show();
    m_busy->raise();
    QApplication::processEvents();
}

void QtPrompt::progress(const QString &text)
{
    if (m_progressLine)
        m_progressLine(text);
}

} // namespace velmor::ui
