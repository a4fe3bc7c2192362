#include "app/CallerIdPopup.h"
#include "app/ThemeIcons.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

CallerIdPopup::CallerIdPopup(QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setWindowTitle(QStringLiteral("Caller ID"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    m_picture = new QLabel(this);
    auto* picture = m_picture;
    auto* title = new QLabel(QStringLiteral("INCOMING CALL"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    m_number = new QLabel(this);
    m_name = new QLabel(this);
    for (QLabel* label : {title, m_number, m_name})
        label->setTextFormat(Qt::PlainText); // caller ID is never markup
    for (QLabel* label : {title, m_number, m_name})
        label->setForegroundRole(QPalette::ToolTipText);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(title);
    texts->addWidget(m_number);
    texts->addWidget(m_name);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 12, 6);
    layout->setSizeConstraint(QLayout::SetFixedSize); // as large as the texts, whatever the font
    layout->addWidget(picture);
    layout->addLayout(texts, 1);
    auto* listen = new QToolButton(this);
    listen->setIcon(QIcon::fromTheme(QStringLiteral("audio-volume-high"), style()->standardIcon(QStyle::SP_MediaVolume)));
    listen->setToolTip(QStringLiteral("Listen to the message as it is recorded"));
    listen->setAutoRaise(true);
    connect(listen, &QToolButton::clicked, this, &CallerIdPopup::listenRequested);
    layout->addWidget(listen, 0, Qt::AlignBottom);
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &CallerIdPopup::tick);
}

void CallerIdPopup::showCaller(const QString& number, const QString& name)
{
    m_picture->setPixmap(themeicons::icon(themeicons::Glyph::Information, palette()).pixmap(32, 32));
    m_number->setText(number);
    m_name->setText(name);
    m_name->setVisible(!name.isEmpty());
    adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // It slides up by SlideTicks * 4 pixels to rest just above the screen's bottom edge.
    move(area.right() - width() - 8, area.bottom() - height() - 8 + SlideTicks * 4);
    m_ticks = 0;
    show();
    m_timer.start();
}

void CallerIdPopup::hideCaller()
{
    m_timer.stop();
    hide();
}

void CallerIdPopup::tick()
{
    ++m_ticks;
    if (m_ticks <= SlideTicks)
        move(x(), y() - 4);
    if (m_ticks >= HideTick) {
        m_timer.stop();
        hide();
    }
}
