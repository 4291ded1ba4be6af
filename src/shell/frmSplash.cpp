#include "shell/frmSplash.h"

#include "core/AppContext.h"
#include "core/StartupTimes.h"
#include "core/Wait.h"
#include "core/frmMSG.h"
#include "db/Sql.h"
#include "shell/widgets/BackgroundWork.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

namespace velmor::ui {

namespace {

QPixmap splashPicture()
{
    QPixmap pm(440, 150);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A brilliant-cut outline.
    const QPointF c(75, 75);
    const QPolygonF crown({QPointF(25, 55), QPointF(45, 30), QPointF(105, 30), QPointF(125, 55)});
    const QPolygonF pavilion({QPointF(25, 55), QPointF(125, 55), QPointF(75, 125)});
    QLinearGradient g(0, 30, 0, 125);
    g.setColorAt(0, QColor(0xe8, 0xf4, 0xfb));
    g.setColorAt(1, QColor(0x8f, 0xb8, 0xd8));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x1d, 0x35, 0x57), 2));
    p.drawPolygon(crown);
    p.drawPolygon(pavilion);
    p.drawLine(QPointF(60, 30), QPointF(50, 55));
    p.drawLine(QPointF(90, 30), QPointF(100, 55));
    p.drawLine(QPointF(50, 55), c + QPointF(0, 50));
    p.drawLine(QPointF(100, 55), c + QPointF(0, 50));
    QFont f(QStringLiteral("Serif"));
    f.setPointSize(34);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(150, 20, 290, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmor"));
    f.setPointSize(11);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRectF(152, 85, 290, 40), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Diamonds - memos - invoices"));
    return pm;
}

} // namespace

frmSplash::frmSplash(AppContext &ctx, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_ctx(ctx),
      lblMsg(new QLabel(this)),
      lblVersion(new QLabel(this)),
      lblDoing(new QLabel(this)),
      img(new QLabel(this)),
      Timer1(new QTimer(this)),
      Timer2(new QTimer(this))
{
    setObjectName(QStringLiteral("frmSplash"));
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDoing->setObjectName(QStringLiteral("lblDoing"));
    img->setObjectName(QStringLiteral("img"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    // Timer2 waits for a timed notice to go; Timer1 only lets the picture
    // show before the home screen is made.  Short, so that they do not hold
    // the start up.
    Timer1->setInterval(10);
    Timer2->setInterval(20);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::timer1Tick);
    connect(Timer2, &QTimer::timeout, this, &frmSplash::timer2Tick);

    setStyleSheet(QStringLiteral("#frmSplash { background: #fbfbf7; border: 2px solid #1d3557; }"
                                 "QLabel#lblMsg { color: #1d3557; font-size: 15px; }"
                                 "QLabel#lblVersion, QLabel#lblDoing { color: #55606e; }"));
    setAttribute(Qt::WA_StyledBackground);
    img->setPixmap(splashPicture());
    img->setAlignment(Qt::AlignCenter);
    img->setVisible(false);
    lblDoing->setText(QStringLiteral("Software for the Jewellery Industry"));
    auto *title = new QLabel(QStringLiteral("<span style='font-size:28px; font-weight:bold; color:#1d3557'>"
                                            "Velmor</span>"),
                             this);
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setAlignment(Qt::AlignCenter);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(30, 24, 30, 18);
    l->addWidget(title);
    l->addWidget(img, 1);
    l->addWidget(lblDoing, 0, Qt::AlignHCenter);
    l->addSpacing(12);
    l->addWidget(lblMsg, 0, Qt::AlignHCenter);
    l->addWidget(lblVersion, 0, Qt::AlignRight);
    setFixedSize(520, 320);
}

void frmSplash::setMessage(const QString &text) { lblMsg->setText(text); }

void SplashMessageModule(frmSplash *splash, const QString &text)
{
    if (!splash)
        return;
    splash->setMessage(text);
    QApplication::processEvents();
    splash->repaint();
}

void frmSplash::showOpening()
{
    showPainted();
    raise();
    SplashMessageModule(this, QString());
}

void frmSplash::showPainted()
{
    if (QScreen *s = QApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    show();
    // Painted before any work starts: the window system may take a few
    // turns of the loop to put the window up (never more than a second).
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(1000);
    while (!m_painted && limit.isActive())
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void frmSplash::paintEvent(QPaintEvent *e)
{
    m_painted = true;
    QWidget::paintEvent(e);
}

void frmSplash::postMessage(const QString &text)
{
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (lblMsg->text() != text)
                setMessage(text);
        },
        Qt::QueuedConnection);
}

void frmSplash::openDatabase()
{
    if (!isVisible())
        showOpening();
    const QString opening = m_ctx.openingMessage();
    startupMark(opening);
    SplashMessageModule(this, opening);
    // An exception of the work is thrown again here, on the window thread.
    const std::exception_ptr failed = runAside([this]() -> std::exception_ptr {
        try {
            m_ctx.prepareOpen([this](const QString &text) { postMessage(text); });
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    });
    if (failed)
        std::rethrow_exception(failed);
    m_ctx.open();
}

void frmSplash::start()
{
    // 1. Show (painted before the database work) and say so.
    if (!isVisible())
        showPainted();
    SplashMessageModule(this, QStringLiteral("Initialize..."));
    QApplication::processEvents();
    // 2. The build.
    lblVersion->setText(QStringLiteral("Build %1 (version %2)").arg(programRevision()).arg(programVersion()));
    // 3.-4. The schema, on a connection of its own; failures do not stop
    // start-up.  Making the tables of an empty database or upgrading an old
    // one takes seconds: the check runs on a thread of its own, so that this
    // screen stays painted and says what is being done meanwhile.
    SplashMessageModule(this, QStringLiteral("Checking the database ..."));
    m_schema = runAside([this] {
        return checkSchemaAtStartup(m_ctx, [this](const db::schema::Progress &p) { postMessage(progressText(p)); });
    });
    SplashMessageModule(this, QStringLiteral("Initialize..."));
    if (!m_schema.error.isEmpty())
        m_ctx.prompt().inform(QStringLiteral("The database could not be brought up to date:\n%1\n\n"
                                             "Velmor goes on, but may not work until this is put right "
                                             "(`velmor db upgrade` tries again and lists what failed).")
                                  .arg(m_schema.error),
                              QStringLiteral("Database"), Icon::Exclamation);
    // 5. The day's rates.
    try {
        refreshRatesAtStartup(m_ctx);
    } catch (...) {
    }
    // 6. Only now may the timers run the rest.
    Timer2->start();
}

void frmSplash::timer2Tick()
{
    if (frmMSG::anyVisible())
        return;
    Timer2->stop();
    if (auto *title = findChild<QLabel *>(QStringLiteral("lblTitle")))
        title->setVisible(false); // the picture carries the name
    img->setVisible(true);
    Timer1->start();
}

void frmSplash::timer1Tick()
{
    // 7.
    Timer1->stop();
    SplashMessageModule(this, QStringLiteral("Starting..."));
    bool wholesale = false;
    try {
        wholesale = wholesaleSetUp(m_ctx.db());
    } catch (const db::DbError &) {
    }
    setHomeScreenFlags(m_ctx, false);
    emit frontScreenNeeded();

    if (wholesale) {
        // 8.
        setHomeScreenFlags(m_ctx, true);
        emit homeScreenNeeded(true);
        QApplication::processEvents();
        close();
        deleteLater();
        return;
    }
    // 9. The stone screen closes the splash screen when it first becomes active.
    m_ctx.prompt().busy(QString());
    if (!skipSplashPause())
        WaitModule(3);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmMSG") && w->isVisible())
            w->close();
    emit homeScreenNeeded(false);
}

} // namespace velmor::ui
