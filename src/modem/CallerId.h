#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The values of one caller-ID record, one per tag.
struct CallerIdValues
{
    QString date;    // DATE
    QString time;    // TIME
    QString number;  // NMBR (also DDN_NMBR, which contains it)
    QString name;    // NAME
    QString message; // MESG
    QString error;   // ERRM
    QString dron;    // DRON
    QString drof;    // DROF
    QString cpon;    // CPON
    QString cpof;    // CPOF
};

// Splits a record into its values. A line sets the value of every tag its
// key (the text before the first "=") contains, to the text after that "="
// without surrounding blanks; a line without "=" gives itself as the value of
// the tags it contains. Later lines replace earlier values.
CallerIdValues parseCallerIdLines(const QStringList& lines);

// Lines of a collected packet; CR, LF or both end a line.
QStringList splitPacketLines(QByteArrayView packet);

// Whether a text line from the modem is a caller-ID line of the plain-text
// form real modems send ("NMBR = 5551234", "DDN_NMBR=...", "DRON=...").
bool isCallerIdTextLine(const QString& line);

// Cuts the text a modem sends while idle into lines. DLE pairs are skipped,
// and so is a packet framed by DLE "X" and DLE "." (it is parsed as a
// packet); CR and LF end a line, and lines never grow without bound.
class ModemTextLines
{
public:
    static constexpr qsizetype MaxLineLength = 256;

    // Feeds bytes; calls onLine(trimmed line) for each complete, non-empty
    // line.
    template <typename F>
    void feed(QByteArrayView bytes, F&& onLine);
    void clear()
    {
        m_line.clear();
        m_afterDle = false;
        m_overlong = false;
        m_inPacket = false;
    }

private:
    QByteArray m_line;
    bool m_afterDle = false;
    bool m_overlong = false;
    bool m_inPacket = false;
};

template <typename F>
void ModemTextLines::feed(QByteArrayView bytes, F&& onLine)
{
    for (const char c : bytes) {
        if (m_afterDle) {
            m_afterDle = false;
            if (c == 'X' || c == '.') {
                m_inPacket = c == 'X';
                m_line.clear();
                m_overlong = false;
            }
            continue;
        }
        if (c == 0x10) {
            m_afterDle = true;
            continue;
        }
        if (c == '\r' || c == '\n') {
            const QString line = QString::fromLatin1(m_line).trimmed();
            const bool whole = !m_overlong;
            m_line.clear();
            m_overlong = false;
            if (whole && !m_inPacket && !line.isEmpty())
                onLine(line);
            continue;
        }
        if (m_line.size() < MaxLineLength)
            m_line.append(c);
        else
            m_overlong = true; // not a line any modem sends: dropped whole
    }
}
