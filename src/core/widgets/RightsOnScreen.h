#pragma once
// Small helpers by which screens follow the logged-in user's rights: rows of
// a form shown only with a right (costs with ViewCost), commands that write
// enabled only for a logged-in user holding their right.
#include <QList>
#include <functional>
#include <QString>

class QWidget;

namespace velmor {
class AppContext;
}

namespace velmor {

// Shows or hides the form rows (field and caption) that hold `fields`.
void setFormRowsVisible(const QList<QWidget *> &fields, bool visible);

// Somebody is logged in and holds `right` (the test of a command that writes).
bool mayUse(const AppContext &ctx, const QString &right);

// Keeps `apply` in step with the rights: runs it now and after every login
// and log-off, for as long as `screen` lives.
void followRights(AppContext &ctx, QWidget *screen, const std::function<void()> &apply);

} // namespace velmor
