#include "core/widgets/ListColumns.h"

#include "core/widgets/WindowPlacement.h"

#include <QEvent>
#include <QHeaderView>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>

#include <numeric>

namespace velmor::ui {

namespace {

// The widest word of a cell's text.
int widestWord(const QFontMetrics &fm, const QString &text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    int w = 0;
    for (const QString &word : text.split(space, Qt::SkipEmptyParts))
        w = qMax(w, fm.horizontalAdvance(word));
    return w;
}

void fit(QTableView *view)
{
    QHeaderView *header = view->horizontalHeader();
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    // The last column takes what is left (below), once the others fit.
    header->setStretchLastSection(false);
    view->resizeColumnsToContents();
    const int columns = header->count();
    // The columns are narrowed to the room left with a scroll bar shown, so
    // that a scroll bar coming or going does not narrow them again.
    const int room = view->maximumViewportSize().width()
                     - view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    int need = 0, last = -1;
    for (int c = 0; c < columns; ++c)
        if (!header->isSectionHidden(c)) {
            need += header->sectionSize(c);
            last = c;
        }
    if (need > room && room > 0) {
        // What each column can give: its width above its heading and its
        // longest word (the text's margins kept).
        const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 1;
        const QFontMetrics fm(view->font());
        QList<int> slack(columns, 0);
        for (int c = 0; c < columns; ++c) {
            if (header->isSectionHidden(c))
                continue;
            int least = header->sectionSizeHint(c);
            for (int r = 0; r < model->rowCount(); ++r)
                least = qMax(least, widestWord(fm, model->index(r, c).data().toString()) + margin);
            slack[c] = qMax(0, header->sectionSize(c) - least);
        }
        const int total = std::accumulate(slack.begin(), slack.end(), 0);
        const int give = qMin(need - room, total);
        int given = 0;
        for (int c = 0; c < columns && total > 0; ++c) {
            if (slack.at(c) == 0)
                continue;
            // Shares rounded up, the last ones no more than is left to give.
            const int share = qMin(give - given, (slack.at(c) * give + total - 1) / total);
            header->resizeSection(c, header->sectionSize(c) - share);
            given += share;
        }
        need -= given;
    }
    const int shown = view->viewport()->width();
    if (last >= 0 && need < shown)
        header->resizeSection(last, header->sectionSize(last) + shown - need);
    view->setWordWrap(true);
    view->resizeRowsToContents();
}

// Fits the list again when its view changes width.
class WidthWatch : public QObject {
public:
    explicit WidthWatch(QTableView *view) : QObject(view), m_view(view) { view->viewport()->installEventFilter(this); }

    void refit()
    {
        if (m_busy || !m_view)
            return;
        m_busy = true;
        m_width = m_view->viewport()->width();
        fit(m_view);
        m_busy = false;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && m_view && watched == m_view->viewport()
            && m_view->viewport()->width() != m_width)
            refit();
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QTableView> m_view;
    bool m_busy = false;
    int m_width = -1;
};

} // namespace

void fitColumnsToWidth(QTableView *view)
{
    if (!view)
        return;
    WidthWatch *watch = nullptr;
    for (QObject *child : view->children())
        if (auto *w = dynamic_cast<WidthWatch *>(child))
            watch = w;
    if (!watch)
        watch = new WidthWatch(view);
    watch->refit();
}

void showAllColumns(QTableView *view)
{
    if (!view)
        return;
    view->resizeColumnsToContents();
    QHeaderView *header = view->horizontalHeader();
    // What each column needs (a stretched last column is wider than that).
    const QAbstractItemView *list = view;
    int columns = 0;
    for (int c = 0; c < header->count(); ++c)
        if (!header->isSectionHidden(c))
            columns += qMax(list->sizeHintForColumn(c), header->sectionSizeHint(c));
    const int chrome = 2 * view->frameWidth() + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view)
                       + (view->verticalHeader()->isHidden() ? 0 : view->verticalHeader()->sizeHint().width());
    // Less a margin for the rest of the window (labels, frames) beside it.
    const int most = roomOnScreen(view->window()).width() - 40;
    view->setMinimumWidth(qMin(columns + chrome, most));
}

} // namespace velmor::ui
