#pragma once

#include <QString>
#include <QStringList>

// The names offered for the programmer's port: "COM1".."COM4" first, then the serial ports
// found on the system (USB adapters), by their stable names (/dev/serial/by-id/...) where the
// system made one, else as device paths.
QStringList PortNames();

// The device behind a port name: on Linux "COM1".."COM4" are /dev/ttyS0../dev/ttyS3; any
// other name (a typed device path) is used as it stands.
QString DeviceForPortName(const QString& name);
