#pragma once
// Gives a new control its control name (objectName), by which tests and the
// rights code find it: `txtSKU = named(new QLineEdit, "txtSKU");`
#include <QObject>
#include <QString>

namespace velmor {

template <class T> T *named(T *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace velmor
