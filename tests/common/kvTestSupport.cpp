#include "kvTestSupport.h"

#include <QApplication>
#include <QDir>

namespace KvTest {

void setUpApplication()
{
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setOrganizationDomain(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
}

QString dataPath(const QString &pName)
{
    return QDir(QStringLiteral(KV_TEST_DATA_DIR)).filePath(pName);
}

}
