#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// The hints of a window appear only after the pointer has rested on a
// control for `pauseMs`: long hints would otherwise cover the controls the
// user is moving over.
class HintPause : public QObject
{
    Q_OBJECT
public:
    HintPause(int pauseMs, QObject* parent);
    void watch(QWidget* widget);
    int pauseMs() const { return m_pauseMs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showHint();

    int m_pauseMs;
    QTimer m_timer;
    QPointer<QWidget> m_widget;
};
