// What the desktop shows on any palette, and what goes on with no notification service.
#include "CatalogueSamples.h"

#include "app/CallerIdPopup.h"
#include "app/DesktopNotifier.h"
#include "app/MainWindow.h"
#include "app/RecordingGrid.h"
#include "app/RecordingsModel.h"
#include "app/ThemeIcons.h"
#include "app/TransportMath.h"
#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderOperations.h"
#include "app/FolderTreeWidget.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QMouseEvent>
#include <QSlider>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x23));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return p;
}

double meanLightness(const QIcon& icon)
{
    const QImage image = icon.pixmap(22, 22).toImage();
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() >= 128) {
                sum += image.pixelColor(x, y).lightnessF();
                ++count;
            }
    return count ? sum / count : -1;
}

double distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

} // namespace

TEST(DesktopLook, IconsAndMarkedRowsStandOutOnLightAndDarkPalettes)
{
    using themeicons::Glyph;
    const QPalette light = QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette();
    for (const QPalette& palette : {light, darkPalette()}) {
        for (Glyph glyph : {Glyph::Play, Glyph::Pause, Glyph::Stop, Glyph::Rewind, Glyph::Forward, Glyph::First,
                            Glyph::Prior, Glyph::Next, Glyph::Last, Glyph::Delete, Glyph::Search, Glyph::Mail, Glyph::Help})
            EXPECT_GE(std::abs(meanLightness(themeicons::icon(glyph, palette)) - palette.color(QPalette::Button).lightnessF()), 0.3)
                << qPrintable(themeicons::themeName(glyph)) << " on " << qPrintable(palette.color(QPalette::Button).name());
        const QColor mark = RecordingGrid::markColor(palette);
        EXPECT_GE(distance(mark, palette.color(QPalette::Base)), 40) << "marked rows told from the others";
        EXPECT_GE(distance(mark, palette.color(QPalette::Highlight)), 40) << "and from the current row";
    }
}

TEST(DesktopLook, PanelsStayBesideMessagesNavigationFollowsTheListAndThePopupFitsItsText)
{
    QTemporaryDir dir;
    CallService service({dir.path(), nullptr, nullptr, nullptr});
    ASSERT_TRUE(service.open(nullptr));
    const QString empty = FolderOperations(service.catalogue()).add(QString(), FolderOperations::Place::LastSibling);
    addSampleRecordings(service.catalogue(), 5);
    MainWindow window(service);
    service.setView(&window);
    window.show();
    window.callsStarted(false, QString());
    window.showStatus(QStringLiteral(" Modem released"));
    window.statusBar()->showMessage(QStringLiteral("A long message that is only for a while"), 30000);
    QApplication::processEvents();
    QLabel* panel = nullptr;
    for (QLabel* label : window.statusBar()->findChildren<QLabel*>())
        if (label->text() == QStringLiteral(" Modem released"))
            panel = label;
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible()) << "the modem's state shows during a message";

    auto navigation = [&] {
        int enabled = 0;
        for (QToolButton* b : window.findChildren<QToolButton*>())
            if (b->toolTip().endsWith(QStringLiteral(" file")) && b->isEnabled())
                ++enabled;
        return enabled;
    };
    EXPECT_EQ(navigation(), 4);
    window.folderTree()->selectKey(empty);
    EXPECT_EQ(window.recordings()->rowCount(), 0);
    EXPECT_EQ(navigation(), 0) << "nothing to go to in an empty list";

    CallerIdPopup& popup = *window.callerIdPopup();
    EXPECT_TRUE(popup.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(popup.testAttribute(Qt::WA_ShowWithoutActivating));
    popup.showCaller(QStringLiteral("5551234"), QStringLiteral("SMITH JOHN"));
    const QSize normal = popup.size();
    QFont large = popup.font();
    large.setPointSize(large.pointSize() * 2);
    popup.setFont(large);
    popup.showCaller(QStringLiteral("5551234"), QStringLiteral("SMITH JOHN"));
    EXPECT_GT(popup.width(), normal.width());
    EXPECT_GT(popup.height(), normal.height()) << "sized to its text, not fixed";
    popup.hideCaller();
    window.setExitRequested(true);
    window.close();
}

// A session bus of its own with no notification service on it.
TEST(DesktopLook, WithoutANotificationServiceTheFallbackShowsAtOnce)
{
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << "dbus-daemon";
    const QString address = QString::fromLatin1(bus.readLine()).trimmed();
    {
        const QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("look-test"));
        ASSERT_TRUE(connection.isConnected());
        DesktopNotifier notifier(connection, nullptr);
        notifier.probe();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 500)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_FALSE(notifier.available());
        bool fellBack = false;
        t.restart();
        notifier.notify(DesktopNotifier::Kind::IncomingCall, QStringLiteral("Incoming call"), QStringLiteral("5551234"),
                        QString(), [&] { fellBack = true; });
        EXPECT_TRUE(fellBack);
        EXPECT_LT(t.elapsed(), 100) << "never waits for the bus";
        EXPECT_EQ(DesktopNotifier::escaped(QStringLiteral("<b>SMITH</b>\n&\x01JOHN")),
                  QStringLiteral("&lt;b&gt;SMITH&lt;/b&gt; &amp; JOHN"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("look-test"));
    bus.terminate();
    bus.waitForFinished();
}

TEST(DesktopLook, AClickOnThePositionTrackSeeksThere)
{
    QTemporaryDir dir;
    CallService service({dir.path(), nullptr, nullptr, nullptr});
    ASSERT_TRUE(service.open(nullptr));
    addSampleRecordings(service.catalogue(), 2, QString(), true);
    MainWindow window(service);
    service.setView(&window);
    window.resize(800, 500);
    window.show();
    window.callsStarted(false, QString());
    QSlider* position = nullptr;
    for (QSlider* s : window.findChildren<QSlider*>())
        if (s->maximum() == transport::SliderRange)
            position = s;
    ASSERT_NE(position, nullptr);
    window.grid()->setCurrentIndex(window.recordings()->index(0, 0));
    for (QAction* a : window.findChildren<QAction*>())
        if (a->text() == QStringLiteral("Play"))
            a->trigger();
    ASSERT_TRUE(position->isEnabled()) << "playing";
    const QPointF at(position->width() * 0.75, position->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, position->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(position, &press);
    EXPECT_NEAR(position->value(), transport::SliderRange * 3 / 4, transport::SliderRange / 20) << "sought, not a page step";
    window.setExitRequested(true);
    window.close();
}
