#include "programmer/port_names.h"

#include <QSerialPortInfo>

namespace {

const char* const ComNames[] = {"COM1", "COM2", "COM3", "COM4"};

} // namespace

QString DeviceForPortName(const QString& name) {
#ifdef Q_OS_WIN
    return name;
#else
    for (int i = 0; i < 4; ++i)
        if (name.compare(QLatin1String(ComNames[i]), Qt::CaseInsensitive) == 0)
            return QStringLiteral("/dev/ttyS%1").arg(i);
    return name;
#endif
}

QStringList PortNames() {
    QStringList names;
    QStringList devices;
    for (const char* com : ComNames) {
        names << QLatin1String(com);
        devices << DeviceForPortName(QLatin1String(com));
    }
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString location = info.systemLocation();
        if (!devices.contains(location) && !names.contains(location))
            names << location;
    }
    return names;
}
