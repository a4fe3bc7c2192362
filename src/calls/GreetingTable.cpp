#include "calls/GreetingTable.h"

#include "catalogue/CatalogueSchema.h"
#include "catalogue/TableError.h"
#include "catalogue/TableFiles.h"

GreetingTable::GreetingTable(const QString& dataFolder) : m_db(dataFolder), m_table(m_db, schema::MessagesTable) {}

GreetingTable::~GreetingTable() = default;

void GreetingTable::open()
{
    if (m_table.isOpen())
        return;
    try {
        openOrCreateTable(m_table, schema::messagesFields());
        for (const char* name : {"MsgId", "CallerID", "MsgType", "WavFile", "TTS"})
            m_table.field(QLatin1String(name)); // raises when a field is missing
    } catch (const TableError& e) {
        m_table.close();
        throw TableError(OpenErrorText + QStringLiteral(" (") + e.message() + QLatin1Char(')'));
    }
}

std::vector<CallerGreeting> GreetingTable::rows()
{
    open();
    m_table.refresh(); // another process may have changed the file
    std::vector<CallerGreeting> out;
    for (m_table.first(); !m_table.eof(); m_table.next())
        out.push_back({m_table.field(QStringLiteral("MsgId")).asText(),
                       m_table.field(QStringLiteral("CallerID")).asText(),
                       m_table.field(QStringLiteral("MsgType")).asInteger(),
                       m_table.field(QStringLiteral("WavFile")).asText(),
                       m_table.field(QStringLiteral("TTS")).asText()});
    return out;
}

void GreetingTable::setFields(const CallerGreeting& row)
{
    m_table.field(QStringLiteral("CallerID")).setText(row.callerId);
    m_table.field(QStringLiteral("MsgType")).setInteger(row.msgType);
    m_table.field(QStringLiteral("WavFile")).setText(row.wavFile);
    m_table.field(QStringLiteral("TTS")).setText(row.tts);
}

QString GreetingTable::add(const QString& callerId, int msgType, const QString& wavFile, const QString& tts)
{
    open();
    m_table.refresh();
    const QString id = m_table.newUniqueKey(QStringLiteral("MsgId"));
    m_table.append();
    m_table.field(QStringLiteral("MsgId")).setText(id);
    setFields({id, callerId, msgType, wavFile, tts});
    clearSpareFields(m_table);
    m_table.post();
    m_table.commit();
    return id;
}

bool GreetingTable::update(const CallerGreeting& row)
{
    open();
    m_table.refresh();
    if (!m_table.locate(QStringLiteral("MsgId"), row.msgId))
        return false;
    m_table.edit();
    setFields(row);
    m_table.post();
    m_table.commit();
    return true;
}

bool GreetingTable::remove(const QString& msgId)
{
    open();
    m_table.refresh();
    if (!m_table.locate(QStringLiteral("MsgId"), msgId))
        return false;
    m_table.deleteRow();
    m_table.commit();
    return true;
}
