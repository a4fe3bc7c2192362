#pragma once

#include "CliCommand.h"
#include "modem/TQModems.h"

// The ports the discovery scans: only --port when it is given, otherwise
// every serial port of the machine.
void cliSetUpDiscovery(const CliContext& context, TQModems& modems);

// "Finding modems... 50%" lines on a stream.
class StreamDiscoveryProgress : public DiscoveryProgress
{
public:
    explicit StreamDiscoveryProgress(QTextStream& out) : m_out(out) {}
    void showProgress(const QString& text) override;
    void setProgress(int percent) override;

private:
    QTextStream& m_out;
    QString m_text;
};

// Why no modem was found: the ports that could not be opened, each with the
// reason (permission, held by another program).
void printUnavailablePorts(QTextStream& err, const QList<TQModems::Unavailable>& ports);
