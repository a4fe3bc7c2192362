#include "app/HintPause.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QStyle>
#include <QToolTip>
#include <QWidget>

HintPause::HintPause(int pauseMs, QObject* parent) : QObject(parent), m_pauseMs(pauseMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HintPause::showHint);
}

void HintPause::watch(QWidget* widget)
{
    widget->installEventFilter(this);
}

bool HintPause::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::ToolTip:
        if (widget != m_widget || !m_timer.isActive()) {
            // Qt asks after its own wake-up delay: the pointer has rested that long already.
            const int asked = QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay);
            m_widget = widget;
            m_timer.start(std::max(0, m_pauseMs - asked));
        }
        return true;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
        if (widget == m_widget)
            m_timer.stop();
        break;
    default:
        break;
    }
    return false;
}

void HintPause::showHint()
{
    if (m_widget && m_widget->isVisible() && m_widget->underMouse() && !m_widget->toolTip().isEmpty())
        QToolTip::showText(QCursor::pos(), m_widget->toolTip(), m_widget);
}
