#include "core/frmMSG.h"

#include "core/Notice.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace velmor::ui {

namespace {
const QColor kColourKey(0, 255, 255); // see-through
}

frmMSG::frmMSG(const QString &text, int minimumMs, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog | Qt::WindowStaysOnTopHint),
      m_label0(new QLabel(this)),
      m_label1(new QLabel(this)),
      m_timer(new QTimer(this)),
      m_displayMs(noticeDisplayMs(text, minimumMs))
{
    setObjectName(QStringLiteral("frmMSG"));
    setModal(true);
    // The label pair: index 0 in front, index 1 as its shadow.
    m_label0->setObjectName(QStringLiteral("lblMSGdisplay"));
    m_label1->setObjectName(QStringLiteral("lblMSGdisplay_1"));
    m_label0->setProperty("index", 0);
    m_label1->setProperty("index", 1);
    for (QLabel *l : {m_label1, m_label0}) {
        l->setText(text);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignCenter);
        QFont f = l->font();
        f.setPointSizeF(f.pointSizeF() * 1.6);
        f.setBold(true);
        l->setFont(f);
    }
    m_label0->setStyleSheet(QStringLiteral("color: #1d3557;"));
    m_label1->setStyleSheet(QStringLiteral("color: #a8b8c8;"));
    m_label0->raise();

    const NoticeGeometry g = noticeGeometry(text);
    const int width = 520;
    const int labelHeight = twipsToPixels(g.labelHeightTwips);
    const int offset = twipsToPixels(g.shadowOffsetTwips);
    const int top = twipsToPixels(625);
    m_label0->setGeometry(20, top, width - 40, labelHeight);
    m_label1->setGeometry(20 + offset, top + offset, width - 40, labelHeight);
    setFixedSize(width, twipsToPixels(g.windowHeightTwips));

    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(m_displayMs);
    connect(m_timer, &QTimer::timeout, this, &QDialog::accept);
}

bool frmMSG::anyVisible()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmMSG") && w->isVisible())
            return true;
    return false;
}

void frmMSG::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    applyColourKey();
    m_timer->start();
}

void frmMSG::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), kColourKey);
    // A rounded panel behind the text; everything outside it stays cyan.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0x1d, 0x35, 0x57), 2));
    p.setBrush(QColor(0xf1, 0xfa, 0xee));
    p.drawRoundedRect(rect().adjusted(4, 4, -4, -4), 18, 18);
}

void frmMSG::applyColourKey()
{
    // Pure cyan is transparent: the window's shape is everything else.
    QImage img(size(), QImage::Format_RGB32);
    img.fill(kColourKey);
    {
        QPainter p(&img);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(rect().adjusted(4, 4, -4, -4), 18, 18);
    }
    setMask(QBitmap::fromImage(img.createMaskFromColor(kColourKey.rgb(), Qt::MaskOutColor)));
}

} // namespace velmor::ui
