#pragma once
// The list of reps ("Find rep"): a search text with the customer search's
// word rules, searched on a short timer after every change; a double-click,
// Enter or cmdOpen shows the chosen rep on the rep screen.
#include "customers/Reps.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QTableWidget;
class QTimer;

namespace velmor {
class AppContext;
}

namespace velmor::ui {

class frmRepSearch : public QWidget {
    Q_OBJECT
public:
    explicit frmRepSearch(AppContext &ctx, QWidget *parent = nullptr);

    // Searches now, without waiting for the timer.
    void search();
    const QList<customers::RepListRow> &rows() const { return m_rows; }
    // cmdOpen: the rep of the chosen row on the rep screen.
    bool openChosen();
    // Shows a rep on the rep screen; set by the program.
    std::function<void(qint64)> openRep;

private:
    AppContext &m_ctx;
    QLineEdit *txtSearchField;
    QTableWidget *Flex;
    QLabel *lblFound;
    QTimer *tmrSearch;
    QList<customers::RepListRow> m_rows;
};

} // namespace velmor::ui
