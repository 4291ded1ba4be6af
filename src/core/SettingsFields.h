#pragma once
// The settings record's fields that come from the Config row, in loading order
// (store side first, then the diamond side, then the scanning stations), with
// the kind that decides the Null rule.  GetConfigurationModule, the
// configuration screen's save and `velmor config show` all walk this list.
#include "core/Settings.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

namespace velmor {

enum class FieldKind { Text, Number, Flag };

struct SettingsField {
    QString column;      // Config column (compared without regard to case)
    FieldKind kind;
    bool storeSide = false;
    QString nullText;    // what a Null text reads as (empty unless a default is named)
    std::function<void *(Settings &)> ref; // QString*, double* or bool* by kind

    QString *text(Settings &s) const { return static_cast<QString *>(ref(s)); }
    double *number(Settings &s) const { return static_cast<double *>(ref(s)); }
    bool *flag(Settings &s) const { return static_cast<bool *>(ref(s)); }

    QVariant value(const Settings &s) const;        // QString, double or bool
    void assign(Settings &s, const QVariant &v) const; // applies the Null rule of its kind
    QString display(const Settings &s) const;       // for `config show`
};

const std::vector<SettingsField> &settingsFields();
// The field of a column, or nullptr.
const SettingsField *settingsField(const QString &column);

} // namespace velmor
