#pragma once
// Makes the controls of the stone screen's panels: each gets its control
// name (tests and the rights code find it by that name) and is made in the
// order of the screen's tab order; the ones the user types into join the
// panel's entry fields, which the screen enables while a stone is added or
// edited.
#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace velmor::ui {

class StonePanelControls {
public:
    StonePanelControls(QWidget *parent, QList<QWidget *> &entryFields) : m_parent(parent), m_entries(entryFields) {}

    QPushButton *button(QLayout *l, const char *name, const QString &caption) const;
    // A small framed picture (a sign of the stone's state) with its tip.
    QLabel *picture(const char *name, const QString &text, const QString &tip) const;
    QLineEdit *lineEdit(const char *name, bool entry = true) const;
    QComboBox *combo(const char *name, bool editable, bool entry = true) const;
    QCheckBox *check(const char *name, const QString &caption) const;
    QRadioButton *option(const char *name, const QString &caption) const;
    // A caption; `name` may be null for one nothing refers to.
    QLabel *label(const char *name, const QString &caption) const;
    // Another control the user types into or clicks while editing.
    void entry(QWidget *w) const { m_entries << w; }

private:
    QWidget *m_parent;
    QList<QWidget *> &m_entries;
};

} // namespace velmor::ui
