#pragma once

#include <QString>

class Catalogue;
struct RecordingPage;
struct RecordingRow;

// The calls page's parts as HTML, every text from the catalogue escaped.
namespace callspage {

constexpr int PageRows = 50;
constexpr int MaxSearchLength = 100;

struct Listing
{
    QString folder;
    QString search;
    int page = 0;
};

QString folderOptions(Catalogue& catalogue, const QString& selected);
QString callItem(const RecordingRow& row);
// The summary, the rows and the pager, in the element the script replaces.
QString listing(Catalogue& catalogue, const Listing& listing);
QString body(Catalogue& catalogue, const Listing& listing);

} // namespace callspage
