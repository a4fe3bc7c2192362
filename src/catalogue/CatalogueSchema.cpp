#include "CatalogueSchema.h"

namespace schema {

namespace {

// int1..int4, bool1..bool4, st1..st4, real1..real4: written on every new row.
void appendSpares(FieldDefs& fields)
{
    for (int i = 1; i <= 4; ++i)
        fields.push_back({QStringLiteral("int%1").arg(i), FieldType::Integer, 0});
    for (int i = 1; i <= 4; ++i)
        fields.push_back({QStringLiteral("bool%1").arg(i), FieldType::Boolean, 0});
    for (int i = 1; i <= 4; ++i)
        fields.push_back({QStringLiteral("st%1").arg(i), FieldType::Text, 255});
    for (int i = 1; i <= 4; ++i)
        fields.push_back({QStringLiteral("real%1").arg(i), FieldType::Float, 0});
}

} // namespace

FieldDefs recordingsFields()
{
    FieldDefs fields = {
        {QStringLiteral("id"), FieldType::Text, 10},
        {QStringLiteral("Channel"), FieldType::Integer, 0},
        {QStringLiteral("FolderId"), FieldType::Text, 20},
        {QStringLiteral("DateS"), FieldType::Date, 0},
        {QStringLiteral("TimeS"), FieldType::Time, 0},
        {QStringLiteral("Duration"), FieldType::Text, 10},
        {QStringLiteral("Comment"), FieldType::Text, 255},
        {QStringLiteral("dtmf"), FieldType::Text, 20},
        {QStringLiteral("callerID"), FieldType::Text, 20},
        {QStringLiteral("fileName"), FieldType::Text, 25},
        {QStringLiteral("fileSize"), FieldType::Integer, 0},
        {QStringLiteral("accessed"), FieldType::Boolean, 0},
    };
    appendSpares(fields);
    return fields;
}

FieldDefs foldersFields()
{
    return {
        {QStringLiteral("FolderId"), FieldType::Text, 20},
        {QStringLiteral("FolderName"), FieldType::Text, 100},
    };
}

FieldDefs messagesFields()
{
    FieldDefs fields = {
        {QStringLiteral("MsgId"), FieldType::Text, 10},
        {QStringLiteral("CallerID"), FieldType::Text, 20},
        {QStringLiteral("MsgType"), FieldType::Integer, 0},
        {QStringLiteral("WavFile"), FieldType::Text, 255},
        {QStringLiteral("TTS"), FieldType::Memo, 0},
    };
    appendSpares(fields);
    return fields;
}

FieldDefs callerListsFields()
{
    FieldDefs fields = {
        {QStringLiteral("EntryId"), FieldType::Text, 10},
        {QStringLiteral("List"), FieldType::Text, 10},
        {QStringLiteral("Kind"), FieldType::Text, 12},
        {QStringLiteral("Pattern"), FieldType::Text, 60},
        {QStringLiteral("Action"), FieldType::Text, 10},
        {QStringLiteral("Rings"), FieldType::Integer, 0},
        {QStringLiteral("Greeting"), FieldType::Memo, 0},
        {QStringLiteral("Note"), FieldType::Text, 255},
        {QStringLiteral("DateA"), FieldType::Date, 0},
        {QStringLiteral("TimeA"), FieldType::Time, 0},
    };
    appendSpares(fields);
    return fields;
}

QStringList recordingsIndexes()
{
    return {QStringLiteral("id"), QStringLiteral("FolderId"), QStringLiteral("accessed")};
}

QStringList foldersIndexes()
{
    return {QStringLiteral("FolderId")};
}

} // namespace schema
