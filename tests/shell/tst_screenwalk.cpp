// Every screen within reach: an administrator walks the home screen's menus,
// buttons and lists (the first row opened) in both set-ups, following the
// windows each command opens a few steps deep, with a stone, a memo sheet, an
// invoice and a parcel memo to work on, and the screens reached are compared
// with every screen class of the program.  A class that no walk reaches must stand on the
// short list below with the reason.
//
// On the way every window is read as a dealer sees it on a 1366x768 laptop
// at the screen's font: each caption, box, column header and code in a list
// shows its whole text, each command is in view without scrolling, and a
// window that opens (again) opens at its top.
#include "LaptopScreen.h"
#include "TestDb.h"
#include "TestUsers.h"
#include "ScriptedPrompt.h"

#include "core/AppContext.h"
#include "core/Users.h"
#include "db/Sql.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/frmDiamondDetail.h"
#include "core/widgets/WindowPlacement.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDirIterator>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

using namespace velmor;
using velmor::test::ScriptedPrompt;
using velmor::test::TestDb;
using namespace velmor::test;

namespace {

// Screens no walk from the home screen reaches, and why.
const std::map<QString, QString> &notWalked()
{
    static const std::map<QString, QString> list = {
        {QStringLiteral("frmSplash"), QStringLiteral("the start-up's own window, gone before the home screen")},
        {QStringLiteral("frmMSG"), QStringLiteral("the timed notice that operations show")},
        {QStringLiteral("frmMessage"), QStringLiteral("the busy notice that long operations show")},
        {QStringLiteral("frmSplashWelcome"), QStringLiteral("the rates welcome window of the start-up's rate fetch")},
        {QStringLiteral("frmWordTable"), QStringLiteral("the common base of frmShapes and frmLabs")},
        // Screens for one line or record, opened from the screen that shows
        // it by a choice the walk does not make.
        {QStringLiteral("frmNewMemo"), QStringLiteral("the customer of a new memo sheet when none is chosen")},
        {QStringLiteral("frmMemoParcelRemove"), QStringLiteral("a line of the parcel memo sheet shown")},
        {QStringLiteral("frmMemoParcelSell"), QStringLiteral("a line of the parcel memo sheet shown")},
        {QStringLiteral("frmDiamondDetailParcel"), QStringLiteral("an older parcel, from a line of the older memo sheet")},
        {QStringLiteral("frmAddParcel"), QStringLiteral("stock received into the older parcel shown")},
        {QStringLiteral("frmSplitOlderParcel"), QStringLiteral("the split of the older parcel shown")},
        {QStringLiteral("frmDiamondSearchPrinting"),
         QStringLiteral("the stone search's print choice; the walk leaves printing alone")},
    };
    return list;
}

// Commands the walk leaves alone: they end the program or the session, go to
// the network or a printer without asking, or delete.
bool leftAlone(const QString &name)
{
    static const QSet<QString> names = {
        QStringLiteral("mnuExit"),       QStringLiteral("cmdLogOff"),     QStringLiteral("cmdDelete"),
        QStringLiteral("mnuDownloadAndUpgrade"),
        QStringLiteral("cmdGetGIA"),     QStringLiteral("cmdEMail"),      QStringLiteral("cmdSubmit"),
        QStringLiteral("cmdPrint"),      QStringLiteral("cmdSample"),     QStringLiteral("imgClear"),
    };
    return names.contains(name);
}

QString classOf(const QObject *o)
{
    return QString::fromLatin1(o->metaObject()->className()).section(QStringLiteral("::"), -1);
}

// Every screen class of the program, read from its headers.
std::set<QString> screenClasses()
{
    std::set<QString> out;
    static const QRegularExpression decl(QStringLiteral(R"(^class\s+(frm\w+)\s*:)"),
                                         QRegularExpression::MultilineOption);
    QDirIterator it(QStringLiteral(VELMOR_SOURCE_DIR "/src"), {QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        auto m = decl.globalMatch(QString::fromUtf8(f.readAll()));
        while (m.hasNext())
            out.insert(m.next().captured(1));
    }
    return out;
}

// The commands of a window: its menu bar's items (submenus opened) and its
// push and tool buttons, by control name.
QStringList commandsOf(QWidget *w)
{
    QStringList out;
    std::function<void(const QList<QAction *> &)> actions = [&](const QList<QAction *> &list) {
        for (QAction *a : list) {
            if (a->menu())
                actions(a->menu()->actions());
            else if (!a->isSeparator() && !a->objectName().isEmpty())
                out << a->objectName();
        }
    };
    for (QMenuBar *bar : w->findChildren<QMenuBar *>())
        actions(bar->actions());
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>()) {
        if (qobject_cast<QCheckBox *>(b) || qobject_cast<QRadioButton *>(b) || b->objectName().isEmpty())
            continue;
        if (b->window() == w)
            out << b->objectName();
    }
    out.removeDuplicates();
    return out;
}

// The lists of a window (grids, tables), by control name.
QList<QPointer<QAbstractItemView>> listsOf(QWidget *w)
{
    QList<QPointer<QAbstractItemView>> out;
    for (QAbstractItemView *v : w->findChildren<QAbstractItemView *>())
        if (v->window() == w && !v->objectName().isEmpty() && v->isVisibleTo(w)
            && !qobject_cast<QComboBox *>(v->parentWidget()) && v->objectName() != QLatin1String("qt_scrollarea_viewport"))
            out << QPointer<QAbstractItemView>(v);
    return out;
}

// The style option a control paints with (its initStyleOption is protected).
template <typename W, typename O>
O optionOf(const W *w)
{
    struct Open : W {
        using W::initStyleOption;
    };
    void (W::*init)(O *) const = &Open::initStyleOption;
    O o;
    (w->*init)(&o);
    return o;
}

// A caption as it is drawn: "&Update" shows "Update", "&&" one "&".
QString drawn(const QString &caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        out += caption.at(i);
    }
    return out;
}

// The width of the widest line of `text`.
int widthOf(const QFontMetrics &fm, const QString &text)
{
    int w = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        w = qMax(w, fm.horizontalAdvance(line));
    return w;
}

// A control as a fault names it: its name, or its kind and the named
// control around it.
QString nameOf(const QWidget *c)
{
    if (!c->objectName().isEmpty() && !c->objectName().startsWith(QLatin1String("qt_")))
        return c->objectName();
    QString around;
    for (const QWidget *p = c->parentWidget(); p && around.isEmpty(); p = p->parentWidget())
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
            around = p->objectName();
    return QStringLiteral("%1 in %2").arg(QString::fromLatin1(c->metaObject()->className()), around);
}

// Reads a window as a dealer sees it: a text that does not fit the room its
// control gives it, a command outside the window or below the fold of the
// scroll area it sits in, a window opened anywhere but at its top.  Each
// fault is said once, with the window, the control, the text and the widths.
class ScreenCheck {
public:
    // Every window shown now; a window is checked on each page of its tabs
    // the first time it shows.
    void checkShown(const QList<QWidget *> &windows)
    {
        QList<QPointer<QWidget>> now, all;
        for (QWidget *w : windows)
            all << QPointer<QWidget>(w);
        // (A page shown may close a window: each is held by a guard.)
        for (const QPointer<QWidget> &w : all) {
            if (!w || !w->isVisible() || !classOf(w).startsWith(QLatin1String("frm")))
                continue;
            now << QPointer<QWidget>(w);
            const bool opened = !m_visible.contains(QPointer<QWidget>(w));
            if (opened)
                atTop(w);
            const bool first = !m_paged.contains(QPointer<QWidget>(w));
            if (first) {
                m_paged << QPointer<QWidget>(w);
                pages(w, w);
            }
            if (!w)
                continue;
            check(w);
            if (first)
                reopen(w);
        }
        m_visible = now;
    }
    // A modal window, checked before the walk closes it.
    void checkModal(QWidget *w)
    {
        if (!classOf(w).startsWith(QLatin1String("frm")))
            return;
        atTop(w);
        pages(w, w);
        check(w);
    }

    QStringList faults;

private:
    void fault(QWidget *w, const QString &what)
    {
        const QString f = classOf(w) + QStringLiteral(": ") + what;
        if (!faults.contains(f))
            faults << f;
    }
    void cut(QWidget *w, QWidget *c, const QString &text, int need, int room)
    {
        if (need > room)
            fault(w, QStringLiteral("%1 \"%2\" needs %3 px, has %4").arg(nameOf(c), text).arg(need).arg(room));
    }

    // Each page of each tab strip, the pages inside it included; the tab
    // strip is put back on the page it showed.
    void pages(QWidget *w, QWidget *scope)
    {
        const QPointer<QWidget> window(w);
        QList<QPointer<QTabBar>> bars;
        for (QTabBar *bar : scope->findChildren<QTabBar *>())
            bars << QPointer<QTabBar>(bar);
        for (const QPointer<QTabBar> &bar : bars) {
            if (!window || !bar || bar->window() != w || !bar->isVisibleTo(w) || bar->count() < 2)
                continue;
            const int was = bar->currentIndex();
            auto *tabs = qobject_cast<QTabWidget *>(bar->parentWidget());
            for (int i = 0; bar && i < bar->count(); ++i) {
                if (i == was || !bar->isTabEnabled(i))
                    continue;
                bar->setCurrentIndex(i);
                QCoreApplication::processEvents();
                if (!window || !bar)
                    return;
                check(w);
                if (tabs && tabs->widget(i))
                    pages(w, tabs->widget(i));
            }
            if (bar)
                bar->setCurrentIndex(was);
            QCoreApplication::processEvents();
        }
    }

    // As a dealer who scrolls down to reach what is below and closes the
    // window: opened again, it shows its top.
    void reopen(QWidget *w)
    {
        bool scrolled = false;
        for (QScrollArea *a : w->findChildren<QScrollArea *>())
            if (a->isVisibleTo(w) && a->verticalScrollBar()->maximum() > 0) {
                a->verticalScrollBar()->setValue(a->verticalScrollBar()->maximum());
                scrolled = true;
            }
        if (!scrolled || w->isModal())
            return;
        const QPointer<QWidget> window(w);
        w->hide();
        QCoreApplication::processEvents();
        if (!window)
            return;
        w->show();
        QCoreApplication::processEvents();
        if (window)
            atTop(w);
    }

    // A window that opens shows its top: its scroll areas are not scrolled.
    void atTop(QWidget *w)
    {
        for (QScrollArea *a : w->findChildren<QScrollArea *>()) {
            if (!a->isVisibleTo(w))
                continue;
            const QScrollBar *v = a->verticalScrollBar(), *h = a->horizontalScrollBar();
            if (v->value() != v->minimum() || h->value() != h->minimum())
                fault(w, QStringLiteral("%1 opens scrolled to %2,%3 (its top is %4,%5)")
                             .arg(nameOf(a))
                             .arg(h->value())
                             .arg(v->value())
                             .arg(h->minimum())
                             .arg(v->minimum()));
        }
    }

    void check(QWidget *w)
    {
        for (QWidget *c : w->findChildren<QWidget *>()) {
            if (c->window() != w || !c->isVisibleTo(w) || c->width() <= 0)
                continue;
            bool inList = false;
            for (QWidget *p = c->parentWidget(); p && p != w && !inList; p = p->parentWidget())
                inList = qobject_cast<QAbstractItemView *>(p) != nullptr;
            if (inList)
                continue; // an editor or a control in a cell
            if (auto *l = qobject_cast<QLabel *>(c))
                label(w, l);
            else if (auto *e = qobject_cast<QLineEdit *>(c)) {
                if (!qobject_cast<QComboBox *>(e->parentWidget()))
                    lineEdit(w, e, e, {e->displayText().isEmpty() ? e->placeholderText() : e->displayText()});
            } else if (auto *b = qobject_cast<QComboBox *>(c))
                combo(w, b);
            else if (auto *g = qobject_cast<QGroupBox *>(c))
                groupBox(w, g);
            else if (auto *b = qobject_cast<QAbstractButton *>(c))
                button(w, b);
            else if (auto *v = qobject_cast<QAbstractItemView *>(c))
                list(w, v);
            else if (auto *t = qobject_cast<QTabBar *>(c))
                tabBar(w, t);
        }
    }

    void label(QWidget *w, QLabel *l)
    {
        const QString text = l->text();
        if (text.trimmed().isEmpty() || !l->pixmap().isNull() || l->movie())
            return;
        // A label that shortens its text with an ellipsis says it whole in
        // its tool tip.
        if (text.contains(QChar(0x2026)) && !l->toolTip().isEmpty())
            return;
        const QFontMetrics fm(l->font());
        const int m = l->margin();
        QRect room = l->contentsRect().adjusted(m, m, -m, -m);
        int indent = l->indent();
        if (indent < 0 && l->frameWidth() > 0)
            indent = fm.horizontalAdvance(QLatin1Char('x')) / 2;
        if (indent > 0)
            room.setWidth(room.width() - indent);
        const bool rich = l->textFormat() == Qt::RichText
                          || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        QSize need;
        QString shown = text;
        if (rich) {
            QTextDocument doc;
            doc.setDefaultFont(l->font());
            doc.setDocumentMargin(0);
            doc.setHtml(text);
            shown = doc.toPlainText();
            if (l->wordWrap())
                doc.setTextWidth(room.width());
            need = QSize(int(std::ceil(doc.idealWidth())), int(std::ceil(doc.size().height())));
        } else {
            const int flags = (l->wordWrap() ? Qt::TextWordWrap : 0) | (l->buddy() ? Qt::TextShowMnemonic : 0);
            need = fm.boundingRect(QRect(0, 0, room.width(), 100000), flags | Qt::AlignLeft | Qt::AlignTop, text).size();
            if (l->buddy())
                shown = drawn(text);
        }
        shown = shown.simplified();
        cut(w, l, shown, need.width(), room.width());
        if (need.height() > room.height())
            fault(w, QStringLiteral("%1 \"%2\" needs %3 px of height, has %4")
                         .arg(nameOf(l), shown)
                         .arg(need.height())
                         .arg(room.height()));
    }

    // The room a line edit gives its text: its contents less the style's
    // frame, its text margins and the two pixels each side it keeps free.
    static int textRoom(const QLineEdit *e)
    {
        const auto opt = optionOf<QLineEdit, QStyleOptionFrame>(e);
        QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
        r = r.marginsRemoved(e->textMargins());
        return r.width() - 2 * 2;
    }

    void lineEdit(QWidget *w, QWidget *c, QLineEdit *e, const QStringList &texts)
    {
        if (e->echoMode() != QLineEdit::Normal)
            return;
        const QFontMetrics fm(e->font());
        const int room = textRoom(e);
        for (const QString &t : texts)
            cut(w, c, t, fm.horizontalAdvance(t), room);
    }

    // A combo shows its current text and, once chosen, any entry of its list.
    void combo(QWidget *w, QComboBox *b)
    {
        QStringList texts{b->currentText()};
        QString longest;
        const QFontMetrics fm(b->font());
        for (int i = 0; i < b->count(); ++i)
            if (fm.horizontalAdvance(b->itemText(i)) > fm.horizontalAdvance(longest))
                longest = b->itemText(i);
        if (!longest.isEmpty() && longest != b->currentText())
            texts << longest;
        if (b->isEditable() && b->lineEdit()) {
            lineEdit(w, b, b->lineEdit(), texts);
            return;
        }
        const auto opt = optionOf<QComboBox, QStyleOptionComboBox>(b);
        int room = b->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, b).width() - 2;
        if (!opt.currentIcon.isNull())
            room -= b->iconSize().width() + 4;
        for (const QString &t : texts)
            cut(w, b, t, fm.horizontalAdvance(t), room);
    }

    void groupBox(QWidget *w, QGroupBox *g)
    {
        if (g->title().isEmpty())
            return;
        const auto opt = optionOf<QGroupBox, QStyleOptionGroupBox>(g);
        QRect title = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
        if (g->isCheckable())
            title |= g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxCheckBox, g);
        cut(w, g, drawn(g->title()), title.right() + 1, g->width());
        if (title.left() < 0)
            fault(w, QStringLiteral("%1 \"%2\" starts %3 px left of its box").arg(nameOf(g), drawn(g->title())).arg(-title.left()));
    }

    void button(QWidget *w, QAbstractButton *b)
    {
        // Where a command is: inside its window, and inside the view of
        // every scroll area around it as the area opens (at its top).
        const bool command = !qobject_cast<QCheckBox *>(b) && !qobject_cast<QRadioButton *>(b)
                             && !b->objectName().isEmpty() && !b->objectName().startsWith(QLatin1String("qt_"))
                             && !qobject_cast<QTabBar *>(b->parentWidget())
                             && !qobject_cast<QAbstractSpinBox *>(b->parentWidget());
        if (command) {
            bool scrolled = false;
            for (QWidget *p = b->parentWidget(); p && p != w && !scrolled; p = p->parentWidget())
                scrolled = qobject_cast<QScrollArea *>(p) != nullptr;
            const QRect inWindow(b->mapTo(w, QPoint(0, 0)), b->size());
            if (!scrolled && !w->rect().contains(inWindow))
                fault(w, QStringLiteral("%1 \"%2\" lies outside the window (%3,%4 %5x%6 in %7x%8)")
                             .arg(nameOf(b), drawn(b->text()))
                             .arg(inWindow.x())
                             .arg(inWindow.y())
                             .arg(b->width())
                             .arg(b->height())
                             .arg(w->width())
                             .arg(w->height()));
            for (QWidget *p = b->parentWidget(); p && p != w; p = p->parentWidget())
                if (auto *area = qobject_cast<QScrollArea *>(p); area && area->widget()) {
                    const QRect inPage(b->mapTo(area->widget(), QPoint(0, 0)), b->size());
                    const QRect view(QPoint(0, 0), area->viewport()->size());
                    if (!view.contains(inPage))
                        fault(w, QStringLiteral("%1 \"%2\" is out of view until %3 is scrolled (at %4,%5, the view "
                                                "is %6x%7)")
                                     .arg(nameOf(b), drawn(b->text()), nameOf(area))
                                     .arg(inPage.x())
                                     .arg(inPage.y())
                                     .arg(view.width())
                                     .arg(view.height()));
                }
        }
        const QString text = drawn(b->text());
        if (text.isEmpty())
            return;
        const QFontMetrics fm(b->font());
        int room = 0;
        if (auto *p = qobject_cast<QPushButton *>(b)) {
            const auto opt = optionOf<QPushButton, QStyleOptionButton>(p);
            room = p->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, p).width();
            if (p->menu())
                room -= p->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, p);
        } else if (auto *c = qobject_cast<QCheckBox *>(b)) {
            const auto opt = optionOf<QCheckBox, QStyleOptionButton>(c);
            room = c->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, c).width();
        } else if (auto *r = qobject_cast<QRadioButton *>(b)) {
            const auto opt = optionOf<QRadioButton, QStyleOptionButton>(r);
            room = r->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, r).width();
        } else if (auto *t = qobject_cast<QToolButton *>(b)) {
            if (!t->icon().isNull() && t->toolButtonStyle() == Qt::ToolButtonIconOnly)
                return;
            const auto opt = optionOf<QToolButton, QStyleOptionToolButton>(t);
            room = t->width() - 2 * t->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, t);
            if (t->popupMode() == QToolButton::MenuButtonPopup)
                room -= t->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, t);
        } else {
            return;
        }
        if (!b->icon().isNull() && !qobject_cast<QToolButton *>(b))
            room -= b->iconSize().width() + 4;
        cut(w, b, text, widthOf(fm, text), room);
    }

    void tabBar(QWidget *w, QTabBar *t)
    {
        struct Open : QTabBar {
            using QTabBar::tabSizeHint;
        };
        QSize (QTabBar::*hint)(int) const = &Open::tabSizeHint;
        for (int i = 0; i < t->count(); ++i) {
            if (!t->isTabVisible(i))
                continue;
            const QRect r = t->tabRect(i);
            const int need = (t->*hint)(i).width();
            if (r.width() < need || !t->rect().contains(r))
                fault(w, QStringLiteral("%1 tab \"%2\" needs %3 px, has %4 in view")
                             .arg(nameOf(t), drawn(t->tabText(i)))
                             .arg(need)
                             .arg(r.intersected(t->rect()).width()));
        }
    }

    // A list's column headers, and what its cells hold that a dealer reads
    // whole: codes and figures (a cell without a space) in every column, and
    // every entry of a list of one column.
    void list(QWidget *w, QAbstractItemView *v)
    {
        QAbstractItemModel *model = v->model();
        if (!model || qobject_cast<QComboBox *>(v->parentWidget()))
            return;
        QHeaderView *header = nullptr;
        if (auto *t = qobject_cast<QTableView *>(v))
            header = t->horizontalHeader();
        else if (auto *t = qobject_cast<QTreeView *>(v))
            header = t->header();
        const QModelIndex root = v->rootIndex();
        auto width = [&](int column) {
            return header ? header->sectionSize(column) : v->viewport()->width();
        };
        if (header && header->isVisibleTo(w)) {
            for (int s = 0; s < header->count(); ++s) {
                const QString text = model->headerData(s, Qt::Horizontal).toString();
                if (header->isSectionHidden(s) || text.isEmpty())
                    continue;
                QStyleOptionHeader opt;
                opt.initFrom(header);
                opt.rect = QRect(0, 0, header->sectionSize(s), header->height());
                opt.section = s;
                opt.text = text;
                opt.textAlignment = header->defaultAlignment();
                opt.orientation = Qt::Horizontal;
                opt.state |= QStyle::State_Horizontal;
                if (header->isSortIndicatorShown() && header->sortIndicatorSection() == s)
                    opt.sortIndicator = header->sortIndicatorOrder() == Qt::AscendingOrder
                                            ? QStyleOptionHeader::SortDown
                                            : QStyleOptionHeader::SortUp;
                QFont f = header->font();
                if (const QVariant font = model->headerData(s, Qt::Horizontal, Qt::FontRole); font.isValid())
                    f = font.value<QFont>();
                const int room = header->style()->subElementRect(QStyle::SE_HeaderLabel, &opt, header).width();
                cut(w, v, QStringLiteral("column %1").arg(text.simplified()), widthOf(QFontMetrics(f), text), room);
            }
        }
        const int margin = 2 * (v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1);
        const int rows = qMin(model->rowCount(root), 40);
        for (int c = 0; c < model->columnCount(root); ++c) {
            if (header && header->isSectionHidden(c))
                continue;
            if (auto *t = qobject_cast<QTableView *>(v); t && t->isColumnHidden(c))
                continue;
            for (int r = 0; r < rows; ++r) {
                const QModelIndex i = model->index(r, c, root);
                if (v->indexWidget(i))
                    continue;
                const QVariant value = i.data(Qt::DisplayRole);
                QString text = value.toString();
                if (auto *d = qobject_cast<QStyledItemDelegate *>(v->itemDelegateForIndex(i)))
                    text = d->displayText(value, v->locale());
                if (text.isEmpty())
                    continue;
                QFont f = v->font();
                if (const QVariant font = i.data(Qt::FontRole); font.isValid())
                    f = font.value<QFont>();
                int room = width(c) - margin;
                if (i.data(Qt::DecorationRole).isValid())
                    room -= v->iconSize().isValid() ? v->iconSize().width() + margin / 2
                                                    : v->style()->pixelMetric(QStyle::PM_SmallIconSize) + margin / 2;
                if (i.data(Qt::CheckStateRole).isValid())
                    room -= v->style()->pixelMetric(QStyle::PM_IndicatorWidth) + margin / 2;
                if (auto *t = qobject_cast<QTreeView *>(v); t && c == 0 && t->rootIsDecorated())
                    room -= t->indentation();
                const QString column =
                    header ? model->headerData(c, Qt::Horizontal).toString().simplified() : QStringLiteral("entry");
                const QString what = QStringLiteral("%1 %2").arg(column, text.simplified());
                if (!wraps(v)) {
                    cut(w, v, what, widthOf(QFontMetrics(f), text), room);
                    continue;
                }
                // A list that wraps its text shows it on as many lines as
                // the row has room for.
                const QRect need = QFontMetrics(f).boundingRect(QRect(0, 0, room, 100000),
                                                                 Qt::TextWordWrap | Qt::AlignLeft, text);
                cut(w, v, what, need.width(), room);
                const int height = v->visualRect(i).height();
                if (height > 0 && need.height() > height)
                    fault(w, QStringLiteral("%1 %2 needs %3 px of height, has %4")
                                 .arg(nameOf(v), what)
                                 .arg(need.height())
                                 .arg(height));
            }
        }
        // Columns that the screen has room for are all in view: the list
        // does not hide some behind a sideways scroll bar.
        if (header) {
            const int need = header->length(), room = v->viewport()->width();
            if (need > room && need <= ui::roomOnScreen(w).width())
                fault(w, QStringLiteral("%1 columns need %2 px, the list shows %3").arg(nameOf(v)).arg(need).arg(room));
        }
    }

    static bool wraps(const QAbstractItemView *v)
    {
        if (auto *t = qobject_cast<const QTableView *>(v))
            return t->wordWrap();
        if (auto *t = qobject_cast<const QTreeView *>(v))
            return t->wordWrap();
        if (auto *l = qobject_cast<const QListView *>(v))
            return l->wordWrap();
        return false;
    }

    QList<QPointer<QWidget>> m_visible, m_paged;
};

class Walker {
public:
    explicit Walker(int maxDepth) : m_maxDepth(maxDepth)
    {
        // A modal window is noted and closed, so that the walk goes on.
        m_closer.setInterval(15);
        QObject::connect(&m_closer, &QTimer::timeout, [this] {
            if (QWidget *m = QApplication::activeModalWidget()) {
                reached.insert(classOf(m));
                screens.checkModal(m);
                if (auto *d = qobject_cast<QDialog *>(m))
                    d->reject();
                else
                    m->close();
            }
        });
        m_closer.start();
    }

    void walk(QWidget *home)
    {
        note(home, 0);
        screens.checkShown(QApplication::topLevelWidgets());
        while (!m_queue.empty()) {
            auto [w, depth] = m_queue.front();
            m_queue.erase(m_queue.begin());
            if (!w)
                continue;
            auto followUp = [&] {
                settle();
                if (afterEach)
                    afterEach();
                screens.checkShown(QApplication::topLevelWidgets());
                for (QWidget *top : QApplication::topLevelWidgets())
                    if (top->isVisible())
                        note(top, depth + 1);
            };
            // The first row of each list is opened, as a double-click does
            // (before the commands: one of them may close the window).
            for (const QPointer<QAbstractItemView> &view : listsOf(w)) {
                if (!w || !view || !view->isEnabled() || !view->model() || view->model()->rowCount() == 0)
                    continue;
                const QModelIndex first = view->model()->index(0, 0);
                view->setCurrentIndex(first);
                emit view->doubleClicked(first);
                followUp();
            }
            for (const QString &name : w ? commandsOf(w) : QStringList()) {
                if (!w || leftAlone(name))
                    continue;
                run(w, name);
                followUp();
                // Put on memo ends with the customer chosen in cboConsignedTo.
                if (w && name == QLatin1String("cmdConsignedTo"))
                    if (auto *c = w->findChild<QComboBox *>(QStringLiteral("cboConsignedTo")); c && c->count() > 0) {
                        c->setCurrentIndex(0);
                        emit c->activated(0);
                        followUp();
                    }
            }
        }
    }

    std::set<QString> reached;
    ScreenCheck screens;
    // Run after each command: puts the home screen back as the walk found it.
    std::function<void()> afterEach;

private:
    void note(QWidget *w, int depth)
    {
        const QString c = classOf(w);
        if (!c.startsWith(QLatin1String("frm")))
            return;
        reached.insert(c);
        if (m_walked.insert(c).second && depth < m_maxDepth)
            m_queue.push_back({QPointer<QWidget>(w), depth});
    }
    static void run(QWidget *w, const QString &name)
    {
        for (QAction *a : w->findChildren<QAction *>(name))
            if (a->isEnabled() && a->isVisible()) {
                a->trigger();
                return;
            }
        for (QAbstractButton *b : w->findChildren<QAbstractButton *>(name))
            if (b->isEnabled() && b->isVisibleTo(w)) {
                b->click();
                return;
            }
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    int m_maxDepth;
    QTimer m_closer;
    std::set<QString> m_walked;
    std::vector<std::pair<QPointer<QWidget>, int>> m_queue;
};

} // namespace

class TestScreenWalk : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("VELMOR_NO_SPLASH_PAUSE", "1");
        QCOMPARE(QApplication::primaryScreen()->size(), QSize(1366, 768));
        // As the program does: every window fitted to the screen.
        qApp->installEventFilter(new ui::ScreenFitter(qApp));
    }
    void everyScreenWithinReach();
};

void TestScreenWalk::everyScreenWithinReach()
{
    std::set<QString> reached;
    QStringList screenFaults;
    for (const bool wholesale : {false, true}) {
        TestDb t;
        db::exec(t.db(), QStringLiteral("UPDATE Config SET VelmorWholeSale = ?"), {wholesale ? 1 : 0});
        // A customer with a memo sheet, a stone in stock and a parcel of each
        // kind, so that the commands that need one are open; numbers, names
        // and codes as long as a dealer's are, so that the lists show what
        // they show in a shop.
        for (const char *table : {"Customer", "SingleStone", "memosheet", "memo", "ParcelStock", "invoice",
                                  "invoicelist", "parcel", "memoparcel", "memoparcellist"})
            db::exec(t.db(), QStringLiteral("ALTER TABLE %1 AUTO_INCREMENT = 104532").arg(QLatin1String(table)));
        const qint64 customer = db::insert(
            t.db(), QStringLiteral("INSERT INTO Customer (CompanyName, Customer, Supplier) "
                                   "VALUES ('Walk & Co Fine Diamonds Ltd.', -1, -1)"));
        const qint64 stoneId = db::insert(
            t.db(), QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, Laboratory, "
                                   "Certificate, RapaportPrice, SellOffRap, SellPriceUS, LockPercent, Status, Canadian) "
                                   "VALUES ('RB104532', 'Round Brilliant [BR]', 1.01, 20, 40, 'GIA', '2141438171', 5000, "
                                   "30, 3535, -1, 'Stock', 0)"));
        const qint64 sheet = db::insert(
            t.db(), QStringLiteral("INSERT INTO memosheet (CustomerID, Date, Reference) VALUES (?, NOW(), 'PO-7731')"),
            {customer});
        // The stone's history: out on the memo sheet and back.
        db::exec(t.db(),
                 QStringLiteral("INSERT INTO memo (MemoSheetID, DiamondID, CustomerID, Quantity, setdate, "
                                "outonmemorapdiscount, `date`) VALUES (?, ?, ?, 1, NOW() - INTERVAL 2 DAY, 30, NOW()), "
                                "(?, ?, ?, -1, NOW() - INTERVAL 1 DAY, 30, NOW())"),
                 {sheet, stoneId, customer, sheet, stoneId, customer});
        db::insert(t.db(), QStringLiteral("INSERT INTO ParcelStock (SKU, Shape, Carat, Quantity) "
                                          "VALUES ('OP-10452', 'Oval', 105.25, 912)"));
        // A price grid of one weight range, every colour and clarity.
        {
            QStringList rows;
            const QStringList clarities = {"IF", "VVS1", "VVS2", "VS1", "VS2", "SI1", "SI2", "SI3", "I1", "I2", "I3"};
            for (const char *shape : {"BR", "PS"})
                for (char colour = 'D'; colour <= 'N'; ++colour)
                    for (int c = 0; c < clarities.size(); ++c)
                        rows << QStringLiteral("('%1', '%2', '%3', 1.0, 1.49, %4)")
                                    .arg(QLatin1String(shape), QString(QLatin1Char(colour)), clarities.at(c))
                                    .arg(qRound(28500 * std::pow(0.92, colour - 'D') * std::pow(0.88, c) / 100) * 100);
            db::exec(t.db(), QStringLiteral("INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price) "
                                            "VALUES ") + rows.join(QStringLiteral(", ")));
        }
        // An open invoice with a line, and a parcel with carats out on a parcel memo.
        const qint64 invoice = db::insert(
            t.db(), QStringLiteral("INSERT INTO invoice (customerid, datecreated, status) VALUES (?, NOW(), 'open')"),
            {customer});
        db::insert(t.db(),
                   QStringLiteral("INSERT INTO invoicelist (invoiceid, carat, dateadded, pricecarat, exchangerateCDN, "
                                  "exchangerateZAR, taxrate, details) VALUES (?, 1, NOW(), 250, 1.25, 14, 0, 'Walk line')"),
                   {invoice});
        const qint64 parcel = db::insert(
            t.db(), QStringLiteral("INSERT INTO parcel (SKU, Shape, Carat) VALUES ('WP-10452', 'Pear [PS]', 105.25)"));
        const qint64 parcelMemo = db::insert(
            t.db(), QStringLiteral("INSERT INTO memoparcel (Date, CustomerID, closed) VALUES (NOW(), ?, 0)"), {customer});
        db::insert(t.db(),
                   QStringLiteral("INSERT INTO memoparcellist (memoparcelid, parcelid, carat, action, pricecarat, "
                                  "exchangerateCDN, exchangerateZAR, date) VALUES (?, ?, 1, 'memo-out', 250, 1.25, 14, NOW())"),
                   {parcelMemo, parcel});
        QTemporaryDir home;
        ScriptedPrompt prompt;
        AppContext ctx(Workstation(home.path(), home.path() + QStringLiteral("/program")), t.settings(), &prompt);
        ctx.adopt(t.db());
        auto flow = std::make_unique<ui::StartupFlow>(ctx);
        QSignalSpy done(flow.get(), &ui::StartupFlow::finished);
        flow->start();
        QVERIFY(done.count() > 0 || done.wait(20000));
        addAdministrator(t.db());
        QVERIFY(logOn(ctx));

        flow->setCurrentMemoSheet(sheet);
        flow->stone()->loadStone(int(stoneId));
        // The stone screen shows the open memo sheet once it is active again.
        flow->showStoneScreen();
        QTRY_VERIFY(flow->stone()->isActiveWindow());
        if (wholesale)
            flow->showMainMenu();
        QWidget *homeScreen = wholesale ? static_cast<QWidget *>(flow->front()) : flow->stone();
        QVERIFY(homeScreen && homeScreen->isVisible());
        // The default set-up reaches the main menu's commands one step later.
        Walker walker(wholesale ? 3 : 4);
        // The stone stays on the stone screen, shown and in stock, so that the
        // commands for one stone (sell, put on memo, ...) have it.
        walker.afterEach = [&] {
            ui::frmDiamondDetail *stone = flow->stone();
            if (!stone)
                return;
            if (stone->editState().mode != stones::EditState::Displayed)
                stone->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
            if (stone->findChild<QLineEdit *>(QStringLiteral("txtID"))->text() != QString::number(stoneId))
                stone->loadStone(int(stoneId));
        };
        walker.walk(homeScreen);
        QVERIFY2(walker.reached.count(QStringLiteral("frmFront")), wholesale ? "wholesale" : "ordinary");
        QVERIFY2(walker.reached.count(QStringLiteral("frmCustomer")), wholesale ? "wholesale" : "ordinary");
        reached.insert(walker.reached.begin(), walker.reached.end());
        for (const QString &f : walker.screens.faults)
            if (!screenFaults.contains(f))
                screenFaults << f;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != flow->front() && w != flow->stone())
                w->close();
        flow.reset();
    }

    QStringList missing, listedButReached;
    for (const QString &c : screenClasses()) {
        const bool listed = notWalked().count(c) > 0;
        if (!reached.count(c) && !listed)
            missing << c;
        if (reached.count(c) && listed)
            listedButReached << c;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not reached: ") + missing.join(QStringLiteral(", "))));
    QVERIFY2(listedButReached.isEmpty(),
             qPrintable(QStringLiteral("reached, take off the list: ") + listedButReached.join(QStringLiteral(", "))));
    // (Printed, not warned: the offscreen platform's own warnings fill the
    // test's quota of messages.)
    for (const QString &f : screenFaults)
        fprintf(stderr, "%s\n", qPrintable(f));
    QVERIFY2(screenFaults.isEmpty(),
             qPrintable(QStringLiteral("%1 texts cut or commands out of view at 1366x768").arg(screenFaults.size())));
}

VELMOR_LAPTOP_TEST_MAIN(TestScreenWalk)
#include "tst_screenwalk.moc"
