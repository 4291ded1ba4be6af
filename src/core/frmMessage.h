#pragma once
// The busy notice: a small window with a picture and lblMsg.  Callers set
// the text, show it without waiting, work, and close it.
#include <QWidget>

class QLabel;

namespace velmor::ui {

class frmMessage : public QWidget {
    Q_OBJECT
public:
    explicit frmMessage(QWidget *parent = nullptr);
    void setMessage(const QString &text);

private:
    QLabel *m_picture;
    QLabel *lblMsg;
};

} // namespace velmor::ui
