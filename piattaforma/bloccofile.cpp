#include "piattaforma/bloccofile.h"

#include <QCoreApplication>
#include <QSysInfo>

QByteArray BloccoFile::chiLoTiene()
{
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}
