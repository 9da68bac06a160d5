#include "programmer/port/port_names.h"

#include "programmer/port_doctor.h"

#include <QFile>
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
#ifndef Q_OS_WIN
    const portdoc::PortSystem system = portdoc::PortSystem::Real();
#endif
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString location = info.systemLocation();
        if (devices.contains(location))
            continue;
#ifndef Q_OS_WIN
        // An adapter's stable name stays the same whatever order adapters are plugged in.
        const std::string stable =
            portdoc::StableNameFor(system, QFile::encodeName(location).toStdString());
        if (!stable.empty())
            location = QFile::decodeName(stable.c_str());
#endif
        if (!names.contains(location))
            names << location;
    }
    return names;
}
