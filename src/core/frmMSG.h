#pragma once
// The timed notice: a borderless, opaque framed panel (readable on every
// desktop, with or without a compositing window manager), a pair of labels
// (the text and its offset twin) and a timer that closes it after
// noticeDisplayMs().  Shown modally; exec() returns when it closes.
#include <QDialog>

class QLabel;
class QTimer;

namespace velmor::ui {

class frmMSG : public QDialog {
    Q_OBJECT
public:
    explicit frmMSG(const QString &text, int minimumMs = 0, QWidget *parent = nullptr);

    int displayMs() const { return m_displayMs; }
    // True while any timed notice is on screen (the splash screen waits for it).
    static bool anyVisible();

protected:
    void showEvent(QShowEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    QLabel *m_label0;
    QLabel *m_label1;
    QTimer *m_timer;
    int m_displayMs;
};

} // namespace velmor::ui
