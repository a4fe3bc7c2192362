#include "Catalogue.h"

#include "CatalogueSchema.h"
#include "RecordingNames.h"
#include "TableError.h"
#include "TableFiles.h"

// Tables of their own: the shared cursors show the folder the user looks at.
QString Catalogue::folderNamed(const QString& name)
{
    Table folders(m_db, schema::FoldersTable);
    folders.open();
    if (folders.locate(QStringLiteral("FolderName"), name))
        return folders.field(QStringLiteral("FolderId")).asText();
    const QString key = folders.newUniqueKey(QStringLiteral("FolderId"));
    folders.append();
    folders.field(QStringLiteral("FolderId")).setText(key);
    folders.field(QStringLiteral("FolderName")).setText(name);
    folders.post();
    folders.commit();
    folders.close();
    m_folders.refresh();
    if (!m_tree.containsKey(key)) {
        m_tree.addTopLevel(name, key);
        try {
            saveTree();
        } catch (const TableError&) {
            // The next start adds the node of a folder Tree.ini lacks.
        }
    }
    return key;
}

void Catalogue::addCallNote(const QString& folderName, const CallNote& note)
{
    const QString folderKey = folderNamed(folderName);
    const QDateTime when = note.when.isValid() ? note.when : QDateTime::currentDateTime();
    const QTime time(when.time().hour(), when.time().minute(), when.time().second());
    Table calls(m_db, schema::RecordingsTable);
    calls.open();
    const QString id = calls.newUniqueKey(QStringLiteral("id"));
    calls.append();
    calls.field(QStringLiteral("id")).setText(id);
    calls.field(QStringLiteral("Channel")).setInteger(1);
    calls.field(QStringLiteral("FolderId")).setText(folderKey);
    calls.field(QStringLiteral("DateS")).setVariant(when.date());
    calls.field(QStringLiteral("TimeS")).setVariant(time);
    calls.field(QStringLiteral("Duration")).setText(DurationText(0));
    calls.field(QStringLiteral("Comment")).setText(note.comment);
    calls.field(QStringLiteral("dtmf")).setText(QString());
    calls.field(QStringLiteral("callerID")).setText(note.callerNumber);
    calls.field(QStringLiteral("fileName")).setText(QString());
    calls.field(QStringLiteral("fileSize")).setInteger(0);
    calls.field(QStringLiteral("accessed")).setBool(true);
    clearSpareFields(calls);
    calls.post();
    calls.commit();
    calls.close();
    m_calls.refresh();
}
