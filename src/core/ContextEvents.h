#pragma once
// What open screens hear from the context: the logged-in user or the rights
// changed (login, failed login, log-off), the working exchange rates changed.
// A screen connects with itself as context, so the connection ends with it.
#include <QObject>

namespace velmor {

class ContextEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void rightsChanged();
    void ratesChanged();
};

} // namespace velmor
