#include "kvDialogs.h"

#include "kvPlatform.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>

namespace {

kvDialogs::Handler &testHandler()
{
    static kvDialogs::Handler tHandler;
    return tHandler;
}

QMessageBox::Icon iconOf(kvDialogs::Kind pKind)
{
    switch (pKind) {
    case kvDialogs::Information:
        return QMessageBox::Information;
    case kvDialogs::Warning:
        return QMessageBox::Warning;
    case kvDialogs::Critical:
        return QMessageBox::Critical;
    case kvDialogs::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

kvDialogs::Request makeRequest(
    kvDialogs::Kind pKind, const QString &pTitle, const QString &pText, QWidget *pParent)
{
    kvDialogs::Request tRequest;
    tRequest.kind = pKind;
    tRequest.title = pTitle;
    tRequest.text = pText;
    tRequest.parent = pParent;
    return tRequest;
}

kvDialogs::Request makeFileRequest(kvDialogs::Kind pKind, const QString &pCaption,
    const QString &pDirectory, const QString &pFilter, QWidget *pParent)
{
    kvDialogs::Request tRequest = makeRequest(pKind, pCaption, QString(), pParent);
    tRequest.directory = pDirectory;
    tRequest.filter = pFilter;
    return tRequest;
}

} // namespace

void kvDialogs::setTestHandler(Handler pHandler)
{
    testHandler() = std::move(pHandler);
}

bool kvDialogs::hasTestHandler()
{
    return static_cast<bool>(testHandler());
}

QVariant kvDialogs::ask(const Request &pRequest)
{
    // Copy, so a handler may replace itself while answering.
    const Handler tHandler = testHandler();
    return tHandler(pRequest);
}

void kvDialogs::showMessage(
    Kind pKind, const QString &pTitle, const QString &pText, QWidget *pParent)
{
    if (hasTestHandler()) {
        ask(makeRequest(pKind, pTitle, pText, pParent));
        return;
    }
    QMessageBox tBox(iconOf(pKind), pTitle, pText, QMessageBox::Ok, pParent);
    tBox.exec();
}

void kvDialogs::message(const QString &pTitle, const QString &pText, QWidget *pParent)
{
    showMessage(Message, pTitle, pText, pParent);
}

void kvDialogs::information(const QString &pTitle, const QString &pText, QWidget *pParent)
{
    showMessage(Information, pTitle, pText, pParent);
}

void kvDialogs::warning(const QString &pTitle, const QString &pText, QWidget *pParent)
{
    showMessage(Warning, pTitle, pText, pParent);
}

void kvDialogs::critical(const QString &pTitle, const QString &pText, QWidget *pParent)
{
    showMessage(Critical, pTitle, pText, pParent);
}

bool kvDialogs::question(
    const QString &pTitle, const QString &pText, DefaultButton pDefault, QWidget *pParent)
{
    if (hasTestHandler()) {
        Request tRequest = makeRequest(Question, pTitle, pText, pParent);
        tRequest.defaultButton = pDefault;
        return ask(tRequest).toBool();
    }
    QMessageBox tBox(
        QMessageBox::Question, pTitle, pText, QMessageBox::Yes | QMessageBox::No, pParent);
    if (pDefault == DefaultNo)
        tBox.setDefaultButton(QMessageBox::No);
    else if (pDefault == DefaultYes)
        tBox.setDefaultButton(QMessageBox::Yes);
    return tBox.exec() == QMessageBox::Yes;
}

QString kvDialogs::openFileName(
    const QString &pCaption, const QString &pDirectory, const QString &pFilter, QWidget *pParent)
{
    if (hasTestHandler())
        return ask(makeFileRequest(OpenFile, pCaption, pDirectory, pFilter, pParent)).toString();
    return QFileDialog::getOpenFileName(pParent, pCaption, pDirectory, pFilter);
}

QString kvDialogs::saveFileName(
    const QString &pCaption, const QString &pDirectory, const QString &pFilter, QWidget *pParent)
{
    if (hasTestHandler())
        return ask(makeFileRequest(SaveFile, pCaption, pDirectory, pFilter, pParent)).toString();
    return QFileDialog::getSaveFileName(pParent, pCaption, pDirectory, pFilter);
}

QString kvDialogs::existingDirectory(
    const QString &pCaption, const QString &pDirectory, QWidget *pParent)
{
    if (hasTestHandler())
        return ask(makeFileRequest(Directory, pCaption, pDirectory, QString(), pParent)).toString();
    return QFileDialog::getExistingDirectory(pParent, pCaption, pDirectory);
}

QColor kvDialogs::color(const QColor &pInitial, const QString &pTitle, QWidget *pParent)
{
    if (hasTestHandler()) {
        Request tRequest = makeRequest(Color, pTitle, QString(), pParent);
        tRequest.color = pInitial;
        const QVariant tAnswer = ask(tRequest);
        return tAnswer.canConvert<QColor>() ? tAnswer.value<QColor>() : QColor();
    }
    return QColorDialog::getColor(pInitial, pParent, pTitle);
}

QString kvDialogs::textInput(const QString &pTitle, const QString &pLabel, const QString &pInitial,
    bool pPassword, bool *pOk, QWidget *pParent)
{
    if (hasTestHandler()) {
        Request tRequest = makeRequest(Text, pTitle, pLabel, pParent);
        tRequest.value = pInitial;
        tRequest.password = pPassword;
        const QVariant tAnswer = ask(tRequest);
        if (pOk)
            *pOk = tAnswer.isValid();
        return tAnswer.isValid() ? tAnswer.toString() : QString();
    }
    return QInputDialog::getText(pParent, pTitle, pLabel,
        pPassword ? QLineEdit::Password : QLineEdit::Normal, pInitial, pOk);
}

void kvDialogs::openUrl(const QUrl &pUrl, QObject *pContext, OpenFailed pFailed)
{
    const QString tNothing = QStringLiteral("no program on this desktop opened it");
    if (hasTestHandler()) {
        const QVariant tAnswer = ask(makeRequest(OpenUrl, QString(), pUrl.toString(), nullptr));
        if (!tAnswer.toBool() && pFailed)
            pFailed(tNothing);
        return;
    }
    const QString tProgram = Kv::Platform::urlOpenerProgram();
    if (tProgram.isEmpty()) {
        if (pFailed)
            pFailed(tNothing);
        return;
    }
    const QString tName = QFileInfo(tProgram).fileName();
    // The opener may outlive pContext (a browser it starts runs on): it belongs to the
    // application, and nothing reads what it or the program it starts writes.
    auto *tProcess = new QProcess(QCoreApplication::instance());
    tProcess->setStandardInputFile(QProcess::nullDevice());
    tProcess->setStandardOutputFile(QProcess::nullDevice());
    tProcess->setStandardErrorFile(QProcess::nullDevice());
    const auto tFinished = QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished);
    QObject::connect(
        tProcess, &QProcess::errorOccurred, tProcess, [tProcess](QProcess::ProcessError pError) {
            if (pError == QProcess::FailedToStart)
                tProcess->deleteLater();
        });
    QObject::connect(tProcess, tFinished, tProcess, &QObject::deleteLater);
    if (pFailed) {
        // Told only while pContext lives.
        QObject *tReceiver = pContext ? pContext : tProcess;
        QObject::connect(tProcess, &QProcess::errorOccurred, tReceiver,
            [tProcess, tName, pFailed](QProcess::ProcessError pError) {
                if (pError == QProcess::FailedToStart)
                    pFailed(tName + QStringLiteral(" could not be started (")
                        + tProcess->errorString() + QLatin1Char(')'));
            });
        QObject::connect(tProcess, tFinished, tReceiver,
            [tName, pFailed](int pCode, QProcess::ExitStatus pStatus) {
                if (pStatus == QProcess::CrashExit)
                    pFailed(tName + QStringLiteral(" crashed"));
                else if (pCode != 0)
                    pFailed(tName + QStringLiteral(" ended with exit status ")
                        + QString::number(pCode));
            });
    }
    tProcess->start(tProgram, Kv::Platform::urlOpenerArguments(pUrl));
}
