#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One serial device a modem may be attached to.
struct SerialPortInfo
{
    int number = 0;      // 1-based: the port number that selects this device
    QString path;        // /dev/ttyACM0
    QString description; // what udev knows of it ("USB Modem, 0572:1340"), may be empty
};

// The serial devices of this machine: /dev/ttyACM*, /dev/ttyUSB*, /dev/ttyS*
// (USB modems first, as they are what most users have; within a kind in
// numeric order), then each of extraPaths that exists (pseudo-terminals such
// as the modem simulator's, given by path). Numbered from 1 in that order.
QList<SerialPortInfo> enumerateSerialPorts(const QStringList& extraPaths = {});

// The device a port number stands for: a non-empty portName (the PortName
// setting) wins; otherwise the number-th of the enumerated ports; empty when
// there is no such port. A --port PATH given by the user is applied by the
// caller, before this.
QString devicePathForPort(int comNumber, const QString& portName);
QString devicePathForPort(int comNumber, const QString& portName, const QList<SerialPortInfo>& ports);

// Orders device names as enumerateSerialPorts() does (ttyACM < ttyUSB < ttyS,
// then by number). Returns false for names of other kinds.
bool serialDeviceLess(const QString& a, const QString& b);
bool isEnumeratedSerialName(const QString& name);
