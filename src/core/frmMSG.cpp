#include "core/frmMSG.h"

#include "core/Notice.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace velmor::ui {

namespace {
// The notice is an opaque panel: a window shape or see-through colour needs
// a compositing window manager on X11, and without one the middle of the
// notice showed whatever lay behind it.
const QColor kPanel(0xf1, 0xfa, 0xee);
const QColor kBorder(0x1d, 0x35, 0x57);
} // namespace

frmMSG::frmMSG(const QString &text, int minimumMs, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog | Qt::WindowStaysOnTopHint),
      m_label0(new QLabel(this)),
      m_label1(new QLabel(this)),
      m_timer(new QTimer(this)),
      m_displayMs(noticeDisplayMs(text, minimumMs))
{
    setObjectName(QStringLiteral("frmMSG"));
    setModal(true);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
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
    m_timer->start();
}

void frmMSG::paintEvent(QPaintEvent *)
{
    // Every pixel painted: the panel and its frame, the labels on top.
    QPainter p(this);
    p.fillRect(rect(), kPanel);
    p.setPen(QPen(kBorder, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(1, 1, -2, -2));
}

} // namespace velmor::ui
