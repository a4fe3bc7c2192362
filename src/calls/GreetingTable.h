#pragma once

#include "calls/Greeting.h"
#include "catalogue/Database.h"
#include "catalogue/Table.h"

#include <QString>
#include <vector>

// Msgs.d, the personal greetings by caller number, in the data folder.
// Every change is committed at once. Errors raise TableError.
class GreetingTable
{
public:
    static inline const QString OpenErrorText = QStringLiteral("Can not open Msgs.d");

    explicit GreetingTable(const QString& dataFolder);
    ~GreetingTable();
    GreetingTable(const GreetingTable&) = delete;
    GreetingTable& operator=(const GreetingTable&) = delete;

    // Opens the file, or creates it when there is none; a file that cannot
    // be read raises TableError with OpenErrorText and is left as it is.
    void open();
    bool isOpen() const { return m_table.isOpen(); }

    // The rows in table order, as they are on disk now.
    std::vector<CallerGreeting> rows();
    // Appends a row and returns its new MsgId.
    QString add(const QString& callerId, int msgType, const QString& wavFile, const QString& tts);
    // False when no row has this MsgId.
    bool update(const CallerGreeting& row);
    bool remove(const QString& msgId);

private:
    void setFields(const CallerGreeting& row);

    Database m_db;
    Table m_table;
};
