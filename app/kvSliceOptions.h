#pragma once

#include <QDialog>
#include <QPointer>
#include <QProcess>

#include "kvSlic3rConfig.h"

namespace Ui {
class kvSliceOptions;
}

// The slicer's path and profiles of the current slicing job, the slicer's own
// window, and in developer mode the table of installed default profiles.
class kvSliceOptions : public QDialog
{
    Q_OBJECT

public:
    explicit kvSliceOptions(QWidget *pParent = nullptr);
    ~kvSliceOptions() override;

    // Not owned; the dialog forgets it when it is destroyed.
    void setConfig(kvSlic3rConfig *pConfig);
    kvSlic3rConfig *config() const { return m_config; }
    // Copies the three boxes' profiles into the configuration.
    void updateConfig();
    void setForDevMode();
    // False when the slicer's window did not start; *pError then says why.
    bool openSlic3r(QString *pError = nullptr);
    void loadInstalledSlic3rSettings();

    QProcess *slic3rProcess() const { return m_slic3rProcess; }

protected:
    void enterEvent(QEvent *pEvent) override;
    void showEvent(QShowEvent *pEvent) override;

private slots:
    void OnSetSlic3rPathClicked();
    void OnPrintSettingsChanged(QString pValue);
    void OnFilamentSettingsChanged(QString pValue);
    void OnPrinterSettingsChanged(QString pValue);
    void onSlic3rProcessFinished();
    void onSlic3rProcessError(QProcess::ProcessError pError);
    void onSlic3rProcessRead();
    void onSlic3rProcessStarted();
    void OnSlic3rConfigButtonClicked();
    void onSlic3rReplaceSettingsClicked();
    void onRefreshSlic3rOptionsClicked();
    void onInstalledSlic3rSettingsRefreshButtonClicked();
    void onInstalledSlic3rSettingsCopyButtonClicked();
    void onConfigChanged();

private:
    void refreshFromFolders();
    void keepSlic3rOutput();
    void showDeveloperPanel();

    Ui::kvSliceOptions *ui = nullptr;
    QProcess *m_slic3rProcess = nullptr;
    QByteArray m_slic3rOutput; // the start of what the slicer's window printed
    QPointer<kvSlic3rConfig> m_config;
};
