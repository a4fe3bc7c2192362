#pragma once

#include <QLabel>
#include <QTimer>
#include <QFrame>

// "INCOMING CALL" with the caller's number and name: slides in at the
// bottom right of the screen and hides itself after 10 s. A frameless tool
// window that never takes the focus, as large as its text.
class CallerIdPopup : public QFrame
{
    Q_OBJECT
public:
    static constexpr int TickMs = 50;
    static constexpr int SlideTicks = 20;
    static constexpr int HideTick = 200;

    explicit CallerIdPopup(QWidget* parent = nullptr);
    void showCaller(const QString& number, const QString& name);
    void hideCaller();

signals:
    // The owner wants to hear this call's message as it is recorded.
    void listenRequested();

private:
    void tick();
    QLabel* m_picture;
    QLabel* m_number;
    QLabel* m_name;
    QTimer m_timer;
    int m_ticks = 0;
};
