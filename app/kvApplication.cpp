#include "kvApplication.h"

#include "kvMainWindow.h"

#include <QFileOpenEvent>

kvApplication::kvApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{ }

bool kvApplication::event(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::FileOpen && m_mainWindow) {
        m_mainWindow->loadModel(static_cast<QFileOpenEvent *>(pEvent)->file());
        return true;
    }
    return QApplication::event(pEvent);
}
