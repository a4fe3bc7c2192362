// Pictures of the desktop program's windows over a catalogue of a few
// hundred made-up recordings: velmora-screenshots OUTDIR (run under Xvfb,
// scripts/screenshots.sh).
#include "CatalogueSamples.h"

#include "app/CallerIdPopup.h"
#include "app/FindDialog.h"
#include "app/FolderTreeWidget.h"
#include "app/RecordingGrid.h"
#include "app/RecordingsModel.h"
#include "app/GreetingDialogs.h"
#include "app/ModemDefinitionDialog.h"
#include "app/PostProcessDialog.h"
#include "app/ErrorReportDialog.h"
#include "app/SupportDialog.h"
#include <QLineEdit>
#include <QPlainTextEdit>
#include "app/SettingsDialog.h"
#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"
#include "app/FormatChooser.h"
#include "config/SettingsCatalogue.h"
#include <QTabWidget>
#include "app/LoggerWindow.h"
#include "app/MainWindow.h"
#include "app/NewMessagesWindow.h"
#include "calls/CallService.h"
#include "calls/EventLog.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderOperations.h"

#include <QApplication>
#include <QDir>
#include <QComboBox>
#include <QInputDialog>
#include <QFile>
#include <QListWidget>
#include <QSlider>
#include <QStyleFactory>
#include <QMenu>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

void settle(int ms = 300)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool save(QWidget* w, const QString& dir, const char* name)
{
    settle();
    const QString path = dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Fusion with a dark palette, as a dark desktop theme gives it.
void useDarkPalette()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p;
    const QColor window(0x35, 0x35, 0x35), base(0x23, 0x23, 0x23), text(0xe8, 0xe8, 0xe8), off(0x7f, 0x7f, 0x7f);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, QColor(0x45, 0x45, 0x45));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, off);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Link, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x45, 0x45, 0x45));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, off);
    p.setColor(QPalette::Disabled, QPalette::Light, window);
    QApplication::setPalette(p);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool dark = argc == 3 && QByteArray(argv[2]) == "--dark";
    if (argc != 2 && !dark) {
        std::fprintf(stderr, "usage: velmora-screenshots OUTDIR [--dark]\n");
        return 2;
    }
    if (dark)
        useDarkPalette();
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    QTemporaryDir data;
    CallService service({data.path(), nullptr, nullptr, nullptr});
    QString error;
    if (!service.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Catalogue& catalogue = service.catalogue();
    FolderOperations folders(catalogue);
    const QString general = catalogue.recordFolderId();
    const QString clients = folders.add(general, FolderOperations::Place::LastSibling);
    folders.rename(clients, QStringLiteral("Clients"));
    folders.rename(folders.add(clients, FolderOperations::Place::LastChild), QStringLiteral("Orders 2026"));
    folders.rename(folders.add(general, FolderOperations::Place::LastSibling), QStringLiteral("Family"));
    addSampleRecordings(catalogue, 300, general, true);
    for (int i = 0; i < 40; ++i)
        service.log().LogEvent(i % 5 == 0 ? QStringLiteral("-- File saved (1_20260105_%1.wav)").arg(80000 + i)
                                          : QStringLiteral("9 Dec 2026 10:%1:00 -> at+vls=%2").arg(i, 2, 10, QLatin1Char('0')).arg(i % 2));

    MainWindow window(service);
    service.setView(&window);
    window.resize(980, 640);
    window.show();
    window.callsStarted(false, QString());
    window.showStatus(QStringLiteral(" Modem released"));
    window.folderTree()->expandAll();
    std::vector<uint8_t> voice(1536);
    for (size_t i = 0; i < voice.size(); ++i) // what a caller's voice looks like on the line
        voice[i] = uint8_t(128 + 70 * std::sin(double(i) * 0.09) * std::sin(double(i) * 0.004) + 20 * std::sin(double(i) * 0.7));
    window.showLiveAudio(voice.data(), int(voice.size()));
    for (int row : {2, 3, 5})
        window.recordings()->toggleMark(row); // marked rows beside the bold unheard ones
    window.grid()->setCurrentIndex(window.recordings()->index(7, 0));
    bool ok = save(&window, out, "main-window");

    FindDialog find(QStringLiteral("555"), false, &window);
    find.show();
    ok = save(&find, out, "find") && ok;
    find.hide();

    QInputDialog comment(&window);
    comment.setWindowTitle(QStringLiteral("Comment"));
    comment.setLabelText(QString());
    comment.setTextValue(QStringLiteral("SMITH JOHN - call back about the order"));
    comment.resize(420, comment.sizeHint().height());
    comment.show();
    ok = save(&comment, out, "comment") && ok;
    comment.hide();

    window.searchBox()->setText(QStringLiteral("smith"));
    ok = save(&window, out, "search") && ok;
    window.searchBox()->clear();

    window.logger()->show();
    window.logger()->resize(640, 360);
    ok = save(window.logger(), out, "logger") && ok;
    window.logger()->hide();

    window.callerIdPopup()->showCaller(QStringLiteral("5551234"), QStringLiteral("SMITH <b>JOHN</b>"));
    ok = save(window.callerIdPopup(), out, "caller-id") && ok;

    window.newMessagesWindow()->openQuery();
    window.newMessagesWindow()->show();
    ok = save(window.newMessagesWindow(), out, "new-messages") && ok;
    window.newMessagesWindow()->hide();

    SettingsDialog settingsDialog(service.ini(), {SpeechVoice{QStringLiteral("gmw/en"), QStringLiteral("English (Great Britain)"), QStringLiteral("en-gb"), 1}}, &window);
    settingsDialog.setLinks({service.dataFolder(), service.greetings(), &service.settings(), [] {}});
    settingsDialog.show();
    for (int tab = 0; tab < settingsDialog.tabs()->count(); ++tab) {
        settingsDialog.tabs()->setCurrentIndex(tab);
        const QByteArray name = "settings-" + QByteArray::number(tab + 1);
        ok = save(&settingsDialog, out, name.constData()) && ok;
    }
    settingsDialog.hide();

    if (service.greetings()) {
        GreetingMessagesDialog greetingsDialog(*service.greetings(), service.dataFolder(), {}, &window);
        if (!greetingsDialog.form().hasRows()) {
            greetingsDialog.addCaller(QStringLiteral("5551234"));
            greetingsDialog.form().setText(QStringLiteral("Hello John, we are out. Leave a message after the tone."));
            greetingsDialog.addCaller(QStringLiteral("5559876"));
        }
        greetingsDialog.show();
        ok = save(&greetingsDialog, out, "greetings") && ok;
        greetingsDialog.hide();
    }
    ScheduleDialog scheduleDialog(service.ini(), service.settings(), service.dataFolder(), {}, &window);
    scheduleDialog.periods()->setCurrentIndex(1);
    scheduleDialog.show();
    ok = save(&scheduleDialog, out, "schedule") && ok;
    scheduleDialog.hide();

    ModemDefinitionDialog definition({}, &window);
    definition.setModemList({QStringLiteral("Voice modem 56K (/dev/ttyACM0)"), QStringLiteral("USB modem (/dev/ttyUSB0)")});
    definition.modems()->setCurrentRow(0);
    definition.show();
    ok = save(&definition, out, "modem-definition") && ok;
    definition.setControlsEnabled(false);
    definition.showGauge(true);
    definition.setGauge(43);
    ok = save(&definition, out, "modem-definition-probing") && ok;
    definition.hide();

    TdeWaveFormat current;
    current.setFormatBuffer(settings::readBinary(service.ini(), keys::FileCompressionBin).value_or(QByteArray()));
    FormatChooser chooser(QStringLiteral("Choose file compression format"), current, &window);
    chooser.show();
    ok = save(&chooser, out, "format-chooser") && ok;
    chooser.hide();

    {
        const QString call = data.filePath(QStringLiteral("post.wav"));
        QFile file(call);
        file.open(QIODevice::WriteOnly);
        QByteArray audio(16000, char(128));
        for (qsizetype i = 0; i < audio.size(); ++i)
            audio[i] = char(uint8_t(128 + 30 * std::sin(double(i) * 0.2) * std::sin(double(i) * 0.001)));
        TdeRIFFAudioWriter writer(&file);
        writer.setFormat(standardPcm8k());
        writer.writeData(audio.constData(), audio.size());
        writer.finish();
        file.close();
        for (auto [kind, name] : {std::pair{PostProcessDialog::Kind::VolumeLevel, "volume-level"},
                                  {PostProcessDialog::Kind::VoiceEqualizer, "voice-equalizer"}}) {
            PostProcessDialog dialog(kind, &window);
            if (dialog.open(call, &error)) {
                if (dialog.slider())
                    dialog.slider()->setValue(25);
                dialog.show();
                ok = save(&dialog, out, name) && ok;
                dialog.hide();
            }
        }
    }

    {
        QFile log(QDir(service.dataFolder()).filePath(QStringLiteral("Diagnostics.log")));
        if (log.open(QIODevice::WriteOnly))
            log.write("12/10/26\n09:30:00\nDebian GNU/Linux 12 (bookworm)\nProcessor 2400Mhz\n \n");
        log.close();
        SupportDialog support(service.dataFolder(), service.ini(), [] { return true; }, &window);
        support.addressField()->setText(QStringLiteral("ann.smith@example.org"));
        support.nameField()->setText(QStringLiteral("Ann Smith"));
        support.problemField()->setPlainText(QStringLiteral("Calls are answered but the messages are silent."));
        support.show();
        ok = save(&support, out, "ask-support") && ok;
        support.hide();
        ErrorReportDialog report(service.dataFolder(), service.ini(), &window);
        report.show();
        ok = save(&report, out, "error-report") && ok;
        report.hide();
    }

    window.trayMenu()->popup(window.geometry().center());
    ok = save(window.trayMenu(), out, "tray-menu") && ok;
    window.trayMenu()->hide();
    window.setExitRequested(true);
    window.close();
    return ok ? 0 : 1;
}
