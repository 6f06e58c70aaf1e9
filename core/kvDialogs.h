#pragma once

#include <QColor>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>

class QObject;
class QWidget;

// Every modal message box, question and standard dialog of the program goes
// through here, so that tests can answer them without a window.
class kvDialogs
{
public:
    enum Kind
    {
        Message,
        Information,
        Warning,
        Critical,
        Question,
        OpenFile,
        SaveFile,
        Directory,
        Color,
        Text,
        OpenUrl
    };
    enum DefaultButton
    {
        DefaultNo,
        DefaultYes,
        NoDefault
    };

    struct Request
    {
        Kind kind = Message;
        QString title; // window title, or a file dialog's caption
        QString text; // message, question, the input dialog's label, or the address to open
        QString directory; // file and directory dialogs
        QString filter; // file dialogs
        QString value; // initial text of the input dialog
        QColor color; // initial colour of the colour dialog
        DefaultButton defaultButton = DefaultNo; // questions
        bool password = false; // input dialog: typed text not shown
        QWidget *parent = nullptr;
    };

    // A test handler answers instead of a real dialog: bool for a question,
    // QString for file, directory and text dialogs, QColor for a colour. An
    // invalid QVariant means No or Cancel. An empty handler restores the real dialogs.
    using Handler = std::function<QVariant(const Request &)>;
    static void setTestHandler(Handler pHandler);
    static bool hasTestHandler();

    // OK only; Message has no icon.
    static void message(const QString &pTitle, const QString &pText, QWidget *pParent = nullptr);
    static void information(
        const QString &pTitle, const QString &pText, QWidget *pParent = nullptr);
    static void warning(const QString &pTitle, const QString &pText, QWidget *pParent = nullptr);
    static void critical(const QString &pTitle, const QString &pText, QWidget *pParent = nullptr);

    // Yes and No; true on Yes.
    static bool question(const QString &pTitle, const QString &pText,
        DefaultButton pDefault = DefaultNo, QWidget *pParent = nullptr);

    // Empty when cancelled.
    static QString openFileName(const QString &pCaption, const QString &pDirectory,
        const QString &pFilter, QWidget *pParent = nullptr);
    static QString saveFileName(const QString &pCaption, const QString &pDirectory,
        const QString &pFilter, QWidget *pParent = nullptr);
    static QString existingDirectory(
        const QString &pCaption, const QString &pDirectory, QWidget *pParent = nullptr);

    // Invalid colour when cancelled.
    static QColor color(
        const QColor &pInitial, const QString &pTitle = QString(), QWidget *pParent = nullptr);

    // The typed text; *pOk tells whether it was accepted.
    static QString textInput(const QString &pTitle, const QString &pLabel,
        const QString &pInitial = QString(), bool pPassword = false, bool *pOk = nullptr,
        QWidget *pParent = nullptr);

    // Why nothing opened an address or folder, for the user.
    using OpenFailed = std::function<void(const QString &pProblem)>;
    // Hands an address or a local folder to the desktop's opener, which runs on without
    // holding the caller up. pFailed is told at once when there is no opener, and later,
    // while pContext lives, when it cannot start or ends with a non-zero exit status.
    // A test handler answers true when it was opened; anything else fails at once.
    static void openUrl(const QUrl &pUrl, QObject *pContext, OpenFailed pFailed);

private:
    static QVariant ask(const Request &pRequest);
    static void showMessage(
        Kind pKind, const QString &pTitle, const QString &pText, QWidget *pParent);
};
