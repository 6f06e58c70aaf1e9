#pragma once

#include "kvDefines.h"
#include "kvVector3D.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

class QLabel;
class kvElidedLabel;
class kvAboutWindow;
class kvDebugWindow;
class kvGCodeAnalysis;
class kvGLObject;
class kvGLModel;
class kvGLWindow;
class kvLogger;
class kvPrinter;
class kvPrinterFile;
class kvPrinterTypes;
class kvSliceOptions;
class kvStandardPaths;

namespace Ui {
class kvMainWindow;
}

// The application's one top-level window: view, printers, print file, menus and dialogs.
class kvMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // One serial port as discovery sees it.
    struct PortInfo
    {
        QString systemLocation;
        QString portName;
        bool busy = false;
    };
    using PortProvider = std::function<QVector<PortInfo>()>;

    // Where the print road stands; every print control and guard is read from it.
    enum class PrintState
    {
        Idle, // nothing under way
        Slicing, // the part is sliced for a print
        Starting, // the chosen printer has the print and heats for it
        Printing, // lines stream to the chosen printer
        Paused // the printer's pause button holds the print
    };
    static QString printStateName(PrintState pState);

    // Replaces the system's serial port list (tests); an empty provider restores it.
    static void setPortProvider(PortProvider pProvider);
    static QVector<PortInfo> availablePorts();

    explicit kvMainWindow(QWidget *pParent = nullptr);
    ~kvMainWindow() override;

    void loadModel(QString pFileName);
    // Ends the program as File > Exit answered Yes does: a print under way is stopped with
    // its stop sequence, the heaters go off, and the event loop ends; the printers write
    // their last lines out as they go.
    void exitProgram();
    QString OSVersion() const { return m_osVersion; }

    // Read access for the dialogs and tests.
    kvPrinterFile *printerFile() const { return m_printerFile; }
    kvGLWindow *glWindow() const { return m_glWindow; }
    kvLogger *logger() const { return m_logger; }
    kvSliceOptions *sliceOptions() const { return m_sliceOptions; }
    kvDebugWindow *debugWindow() const { return m_debugWindow; }
    kvPrinter *currentPrinter() const { return m_currentPrinter; }
    QVector<kvPrinter *> printers() const { return m_printers; }
    QString statusMessage() const;
    PrintState printState() const { return m_printState; }
    bool isPollingPrinters() const { return m_pollUSBTimer.isActive(); }

protected:
    bool eventFilter(QObject *pObject, QEvent *pEvent) override;
    void closeEvent(QCloseEvent *pEvent) override;
    void dragEnterEvent(QDragEnterEvent *pEvent) override;
    void dropEvent(QDropEvent *pEvent) override;
    void showEvent(QShowEvent *pEvent) override;

private slots:
    // Discovery and selection.
    void onPollUSBTimerTick();
    void onPrinterIsConnectedChanged(kvPrinter *pPrinter, bool pValue);
    void onPrinterConnectionTimeOut(kvPrinter *pPrinter);
    void onPrinterSelectionTextChanged(QString pString);
    void onConnectToPrinter();
    void onActiveExtruderChanged(QString pValue);

    // Model loading and placement.
    void onFileMenuLoadModelTriggered();
    void onFileMenuClearModelTriggered();
    void onFileMenuSaveSTLTriggered();
    void onFileMenuBatchLoadTriggered();
    void onRotateViewClicked(bool pChecked);
    void onMoveModelClicked(bool pChecked);
    void onCenterModelClicked();
    void onLandModelClicked();
    void onResetViewClicked();
    void onOrthoButton();
    void onPerspectiveButton();
    void onScaleChange(double pValue);
    void onRotationTextChanged(QString pValue);
    void onRotationSubmitClicked();
    void onModelUserTranslationChanged(kvGLObject *pObject);
    // The scale box follows a scale set on the shown part elsewhere (the inspector).
    void onModelScaleChanged();
    void onLoadFileProgress(int pProgress);
    void onSaveFileProgress(int pProgress);

    // Print, heat and printer commands.
    void onPrintButtonClick();
    void onFileMenuPrintTriggered();
    void onHeatPrinterClick();
    void onFilamentTextChanged(QString pValue);
    void onQualityTextChanged(QString pValue);
    void onPrinterIsHeatingChanged(kvPrinter *pPrinter, bool pValue);
    void onPrinterIsHeatedChanged(kvPrinter *pPrinter, bool pValue);
    void onPrinterIsPrintingChanged(kvPrinter *pPrinter, bool pValue);
    void onPrinterIsWaitingToPrintChanged(kvPrinter *pPrinter, bool pValue);
    void onPrinterPrintStateChanged(kvPrinter *pPrinter);
    void onPrinterButtonPressed(kvPrinter *pPrinter, int pCode);
    void onPrinterPrintStopped(kvPrinter *pPrinter);
    void onPrinterExtruderTempChange(kvPrinter *pPrinter, int pExtruder, float pValue);
    void onPrinterBedTempChange(kvPrinter *pPrinter, float pValue);
    void onPrinterStatusChanged(kvPrinter *pPrinter, QString pStatus);
    void onPrinterPrintingProgressChanged(int pProgress);
    void onPrinterPrintProcessBeing();
    void onPrinterPrintProcessFinished();
    void onPrintingStatusChanged(kvPrinter *pPrinter, QString pCommands, QString pTimeElapsed);
    void onPrinterFileStatusChanged(QString pStatus);
    void onPrinterFileGCodeParseComplete(float pTimeElapsed);
    void onPrinterFileSTLParseComplete(float pTimeElapsed);
    void onSlic3rProcessingProgress(int pProgress);
    void onSlic3rProcessError();
    void onLaunchPrinterConfig();
    void onToolsMenuZOffsetCalibration();
    void onToolsExtrude1Clicked();
    void onToolsExtrude10Clicked();
    void onToolsExtrude50Clicked();
    void onToolsExtrude100Clicked();
    void onToolsRetract1Clicked();
    void onToolsRetract10Clicked();
    void onToolsRetract50Clicked();
    void onToolsRetract100Clicked();
    void onOptionsMenuSlicerOptions();
    void onOpenSlic3r();
    void onOptionsMenuLogCreateTriggered();
    void onOptionsMenuLogViewTriggered();
    void onToolsPrinterHelpClicked();
    void onStatusBarTimerTick();

    // Window, dialogs and developer mode.
    void onFileMenuExitTriggered();
    void onHelpMenuAboutTriggered();
    void onDebugOGLWindow();
    void onToolsMenuGCodeAnalysis();
    void onDebugMenuStandardPaths();
    void onDebugMenuPrinterTypes();

private:
    void connectWidgets();
    void setupStatusBar();
    void setStatusMessage(QString pMessage);
    void log(QString pMessage);
    QString checkOS() const;
    void setRotationTexts(kvVector3D pRotation);
    // The rotation typed in the three boxes; text that is no finite number counts as 0.
    kvVector3D typedRotation() const;
    void setProgressBar(int pValue);
    void turnOffExtruders();
    void enterDeveloperMode();
    // A load that failed: the window stays as it was, the reason in the status line.
    void failLoad(const QString &pFileName, const QString &pReason);
    kvGLModel *shownModel() const;
    // The scale the part is shown at; the slice and the saved STL use the same one.
    float placementScale() const;
    // A slice for a print, or a print on the chosen printer, is running or waiting.
    bool isPrintUnderWay() const { return m_printState != PrintState::Idle; }
    // The state the window shows: its own slice for a print, else the chosen printer's.
    PrintState followedState() const;
    // The one place the print state changes; pEvent names what moved it, for the log.
    void updatePrintState(const QString &pEvent);
    // The question Exit and closing ask while a print runs; true to go on.
    bool confirmExit();

    // Discovery helpers.
    void removePrinters();
    kvPrinter *getPrinterFromCombo() const;
    void setConnectedLabel();
    void setPrinterHeatingLabel();
    void connectPrinter(kvPrinter *pPrinter);
    // The print button, the printer box and the connect button, from the print state.
    void updatePrintControls();
    bool isPortListed(const QString &pPortName) const;
    void dropLostPrinter(kvPrinter *pPrinter);
    // The printer box item of a port (by its data), or -1.
    int printerItem(const QString &pPortName) const;
    // The temperature read-outs as they are with no printer chosen.
    void clearReadOuts();

    // Printing helpers.
    bool checkCurrentPrinter();
    bool checkActiveExtruder();
    // Print on a part that leaves the printable volume asks first; true to go on.
    bool confirmPartFits();
    void sliceFile();
    void startPrint();
    void stopPrint();
    // Back to idle without a word to the printer: its print has ended already.
    void endPrintForWindow(const QString &pEvent);
    // Ends the window's slice for a print, if one runs.
    void endSlice();
    void reportSlicerError();
    // The question the heat button asks during a print; true to go on.
    bool confirmHeaterChange(bool pHeat);
    // How the questions of a print under way begin ("You are currently printing a model");
    // empty when nothing needs asking (idle, slicing).
    QString printUnderWayText() const;
    void extrude(int pValue);
    void retract(int pValue);

    Ui::kvMainWindow *ui = nullptr;
    kvGLWindow *m_glWindow = nullptr;
    QTimer m_pollUSBTimer;
    kvDebugWindow *m_debugWindow = nullptr;
    kvPrinter *m_currentPrinter = nullptr;
    kvAboutWindow *m_aboutWindow = nullptr;
    kvGCodeAnalysis *m_gCodeAnalysis = nullptr;
    kvSliceOptions *m_sliceOptions = nullptr;
    kvPrinterFile *m_printerFile = nullptr;
    kvLogger *m_logger = nullptr;
    kvStandardPaths *m_standardPaths = nullptr;
    kvPrinterTypes *m_printerTypes = nullptr;
    PrintState m_printState = PrintState::Idle;
    // The part is sliced for a print: the finished slice starts it.
    bool m_printAfterSlice = false;
    // The printer's pause button was pressed during that slice: the print is handed over
    // paused.
    bool m_sliceHeld = false;
    QVector<kvPrinter *> m_printers;
    QVector<kvPrinter *> m_printersToRemove;
    // Ports whose firmware named a type the printer types table lacks; probed again only
    // after the port has gone away.
    QStringList m_unknownTypePorts;
    // Ports named on the status line as answering nothing; named again only after the port
    // has gone away.
    QStringList m_silentPorts;
    QString m_osVersion;
    bool m_loadingModel = false;
    bool m_argumentLoaded = false;
    QVector<QLabel *> m_statusSeparators;
    QLabel *m_statusSpacer = nullptr;
    kvElidedLabel *m_statusLabel = nullptr;
    QLabel *m_gCodeLabel = nullptr;
    QLabel *m_timeElapsedLabel = nullptr;
};
