#include "core/frmMessage.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace velmor::ui {

frmMessage::frmMessage(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(new QLabel(this)),
      lblMsg(new QLabel(this))
{
    setObjectName(QStringLiteral("frmMessage"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_picture->setObjectName(QStringLiteral("Image1"));
    m_picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setWordWrap(true);
    lblMsg->setMinimumWidth(280);
    QFont f = lblMsg->font();
    f.setPointSizeF(f.pointSizeF() * 1.2);
    lblMsg->setFont(f);
    auto *l = new QHBoxLayout(this);
    l->setContentsMargins(18, 18, 18, 18);
    l->addWidget(m_picture);
    l->addWidget(lblMsg, 1);
    setStyleSheet(QStringLiteral("#frmMessage { background: #fdfdf6; border: 2px solid #1d3557; }"));
    setAutoFillBackground(true);
}

void frmMessage::setMessage(const QString &text)
{
    lblMsg->setText(text);
    adjustSize();
}

} // namespace velmor::ui
