#include "web/WebContext.h"

#include "calls/CallService.h"
#include "calls/CallState.h"
#include "catalogue/RecordingPage.h"
#include "catalogue/TableError.h"
#include "config/CurrentSettings.h"

QString WebContext::revision()
{
    qint64 last = 0;
    try {
        last = lastRecordingRowid(service.catalogue());
    } catch (const TableError&) {
    }
    return QStringLiteral("%1.%2.%3").arg(last).arg(service.state().callId).arg(changes);
}

bool WebContext::answeringOn()
{
    return service.settings().values().answeringMachine;
}
