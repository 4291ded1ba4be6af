#include "stones/widgets/StonePanelControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace velmor::ui {

QPushButton *StonePanelControls::button(QLayout *l, const char *name, const QString &caption) const
{
    auto *b = new QPushButton(caption, m_parent);
    b->setObjectName(QString::fromLatin1(name));
    l->addWidget(b);
    return b;
}

QLabel *StonePanelControls::picture(const char *name, const QString &text, const QString &tip) const
{
    auto *p = new QLabel(text, m_parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setToolTip(tip);
    p->setAlignment(Qt::AlignCenter);
    p->setMinimumSize(44, 28);
    p->setFrameShape(QFrame::StyledPanel);
    return p;
}

QLineEdit *StonePanelControls::lineEdit(const char *name, bool entry) const
{
    auto *e = new QLineEdit(m_parent);
    e->setObjectName(QString::fromLatin1(name));
    if (entry)
        m_entries << e;
    return e;
}

QComboBox *StonePanelControls::combo(const char *name, bool editable, bool entry) const
{
    auto *c = new QComboBox(m_parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setEditable(editable);
    c->setInsertPolicy(QComboBox::NoInsert);
    if (entry)
        m_entries << c;
    return c;
}

QCheckBox *StonePanelControls::check(const char *name, const QString &caption) const
{
    auto *c = new QCheckBox(caption, m_parent);
    c->setObjectName(QString::fromLatin1(name));
    m_entries << c;
    return c;
}

QRadioButton *StonePanelControls::option(const char *name, const QString &caption) const
{
    auto *o = new QRadioButton(caption, m_parent);
    o->setObjectName(QString::fromLatin1(name));
    m_entries << o;
    return o;
}

QLabel *StonePanelControls::label(const char *name, const QString &caption) const
{
    auto *l = new QLabel(caption, m_parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace velmor::ui
