#pragma once

#include <QApplication>

class kvMainWindow;

// The application object; a file the desktop asks it to open becomes the main window's model.
class kvApplication : public QApplication
{
    Q_OBJECT

public:
    kvApplication(int &argc, char **argv);

    void setMainWindow(kvMainWindow *pMainWindow) { m_mainWindow = pMainWindow; }
    kvMainWindow *mainWindow() const { return m_mainWindow; }

    bool event(QEvent *pEvent) override;

private:
    kvMainWindow *m_mainWindow = nullptr;
};
