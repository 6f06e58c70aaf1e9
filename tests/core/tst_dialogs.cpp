#include "kvDialogRecorder.h"
#include "kvDialogs.h"
#include "kvTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>

Q_DECLARE_METATYPE(kvDialogs::DefaultButton)

namespace {

// Runs pInspect on the first modal window that opens, from inside its event loop.
void whenModalOpens(std::function<void(QWidget *)> pInspect)
{
    auto *tTimer = new QTimer;
    tTimer->setInterval(10);
    QObject::connect(tTimer, &QTimer::timeout, [tTimer, pInspect]() {
        if (QWidget *tModal = QApplication::activeModalWidget()) {
            tTimer->stop();
            tTimer->deleteLater();
            pInspect(tModal);
        }
    });
    tTimer->start();
}

} // namespace

class tst_dialogs : public QObject
{
    Q_OBJECT
private slots:
    void messagesAreRecorded_data();
    void messagesAreRecorded();
    void questionAnswers_data();
    void questionAnswers();
    void fileDialogsAnswers();
    void colorAnswers();
    void textInputAnswers();
    void handlerCanBeRemoved();
    void realMessageBox_data();
    void realMessageBox();
    void realQuestion_data();
    void realQuestion();
    void realPasswordInput();
    void realOpenFileDialog();
};

void tst_dialogs::messagesAreRecorded_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("message") << int(kvDialogs::Message);
    QTest::newRow("information") << int(kvDialogs::Information);
    QTest::newRow("warning") << int(kvDialogs::Warning);
    QTest::newRow("critical") << int(kvDialogs::Critical);
}

void tst_dialogs::messagesAreRecorded()
{
    QFETCH(int, kind);
    KvTest::DialogRecorder tDialogs;
    QWidget tOwner;
    switch (kind) {
    case kvDialogs::Message:
        kvDialogs::message("Print", "No 3D printer file has been loaded.");
        break;
    case kvDialogs::Information:
        kvDialogs::information("Print", "No 3D printer file has been loaded.");
        break;
    case kvDialogs::Warning:
        kvDialogs::warning("Print", "No 3D printer file has been loaded.");
        break;
    case kvDialogs::Critical:
        kvDialogs::critical("Print", "No 3D printer file has been loaded.");
        break;
    }
    kvDialogs::message("Second", "with owner", &tOwner);

    QCOMPARE(tDialogs.requests.size(), 2);
    QCOMPARE(int(tDialogs.requests[0].kind), kind);
    QCOMPARE(tDialogs.requests[0].title, QString("Print"));
    QCOMPARE(tDialogs.requests[0].text, QString("No 3D printer file has been loaded."));
    QVERIFY(tDialogs.requests[0].parent == nullptr);
    QCOMPARE(tDialogs.requests[1].title, QString("Second"));
    QVERIFY(tDialogs.requests[1].parent == &tOwner);
}

void tst_dialogs::questionAnswers_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << QVariant(true) << true;
    QTest::newRow("no") << QVariant(false) << false;
    QTest::newRow("closed box") << QVariant() << false;
}

void tst_dialogs::questionAnswers()
{
    QFETCH(QVariant, answer);
    QFETCH(bool, yes);
    KvTest::DialogRecorder tDialogs;
    tDialogs.answers = {answer, answer};
    QCOMPARE(kvDialogs::question("Set Z-Offset", "Sure?"), yes);
    QCOMPARE(kvDialogs::question("Exit Kestrova", "Sure?", kvDialogs::NoDefault), yes);
    QCOMPARE(tDialogs.requests.size(), 2);
    QCOMPARE(tDialogs.requests[0].kind, kvDialogs::Question);
    QCOMPARE(tDialogs.requests[0].defaultButton, kvDialogs::DefaultNo);
    QCOMPARE(tDialogs.requests[1].title, QString("Exit Kestrova"));
    QCOMPARE(tDialogs.requests[1].defaultButton, kvDialogs::NoDefault);
}

void tst_dialogs::fileDialogsAnswers()
{
    KvTest::DialogRecorder tDialogs;
    tDialogs.answers = {QString("/tmp/part.stl"), QVariant(), QString("/tmp/out"), QVariant()};
    QCOMPARE(kvDialogs::openFileName("Select 3D Model", "/home/u", "3D Models (*.stl *.gcode)"),
        QString("/tmp/part.stl"));
    QCOMPARE(kvDialogs::saveFileName("Save", "/home/u", "STL (*.stl)"), QString());
    QCOMPARE(kvDialogs::existingDirectory("Folder", "/home/u"), QString("/tmp/out"));
    QCOMPARE(kvDialogs::openFileName("Again", "", ""), QString());

    QCOMPARE(tDialogs.requests.size(), 4);
    const kvDialogs::Request tOpen = tDialogs.requests[0];
    QCOMPARE(tOpen.kind, kvDialogs::OpenFile);
    QCOMPARE(tOpen.title, QString("Select 3D Model"));
    QCOMPARE(tOpen.directory, QString("/home/u"));
    QCOMPARE(tOpen.filter, QString("3D Models (*.stl *.gcode)"));
    QCOMPARE(tDialogs.requests[1].kind, kvDialogs::SaveFile);
    QCOMPARE(tDialogs.requests[2].kind, kvDialogs::Directory);
}

void tst_dialogs::colorAnswers()
{
    KvTest::DialogRecorder tDialogs;
    tDialogs.answers = {QColor(Qt::red), QVariant()};
    QCOMPARE(kvDialogs::color(Qt::blue), QColor(Qt::red));
    // Cancelled: the invalid colour, which callers apply as it is.
    QVERIFY(!kvDialogs::color(Qt::blue).isValid());
    QCOMPARE(tDialogs.requests[0].kind, kvDialogs::Color);
    QCOMPARE(tDialogs.requests[0].color, QColor(Qt::blue));
    QVERIFY(tDialogs.requests[0].title.isEmpty());
}

void tst_dialogs::textInputAnswers()
{
    KvTest::DialogRecorder tDialogs;
    tDialogs.answers = {QString("secret"), QString(), QVariant()};
    bool tOk = false;
    QCOMPARE(
        kvDialogs::textInput("Debug", "Dev Password:", QString(), true, &tOk), QString("secret"));
    QVERIFY(tOk);
    // Accepting an empty text differs from cancelling.
    QCOMPARE(kvDialogs::textInput("Debug", "Dev Password:", QString(), true, &tOk), QString());
    QVERIFY(tOk);
    QCOMPARE(kvDialogs::textInput("Debug", "Dev Password:", "seed", false, &tOk), QString());
    QVERIFY(!tOk);

    QCOMPARE(tDialogs.requests[0].kind, kvDialogs::Text);
    QCOMPARE(tDialogs.requests[0].text, QString("Dev Password:"));
    QVERIFY(tDialogs.requests[0].password);
    QCOMPARE(tDialogs.requests[2].value, QString("seed"));
    QVERIFY(!tDialogs.requests[2].password);
}

void tst_dialogs::handlerCanBeRemoved()
{
    QVERIFY(!kvDialogs::hasTestHandler());
    {
        KvTest::DialogRecorder tDialogs;
        QVERIFY(kvDialogs::hasTestHandler());
    }
    QVERIFY(!kvDialogs::hasTestHandler());
}

void tst_dialogs::realMessageBox_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("message") << int(kvDialogs::Message) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << int(kvDialogs::Information) << int(QMessageBox::Information);
    QTest::newRow("warning") << int(kvDialogs::Warning) << int(QMessageBox::Warning);
    QTest::newRow("critical") << int(kvDialogs::Critical) << int(QMessageBox::Critical);
}

void tst_dialogs::realMessageBox()
{
    QFETCH(int, kind);
    QFETCH(int, icon);
    QString tTitle, tText;
    int tIcon = -1;
    QMessageBox::StandardButtons tButtons;
    QWidget *tParent = reinterpret_cast<QWidget *>(1);
    whenModalOpens([&](QWidget *pModal) {
        auto *tBox = qobject_cast<QMessageBox *>(pModal);
        QVERIFY(tBox);
        tTitle = tBox->windowTitle();
        tText = tBox->text();
        tIcon = tBox->icon();
        tButtons = tBox->standardButtons();
        tParent = tBox->parentWidget();
        tBox->button(QMessageBox::Ok)->click();
    });
    switch (kind) {
    case kvDialogs::Message:
        kvDialogs::message("Logger", "Could not open: /x");
        break;
    case kvDialogs::Information:
        kvDialogs::information("Logger", "Could not open: /x");
        break;
    case kvDialogs::Warning:
        kvDialogs::warning("Logger", "Could not open: /x");
        break;
    case kvDialogs::Critical:
        kvDialogs::critical("Logger", "Could not open: /x");
        break;
    }
    QCOMPARE(tTitle, QString("Logger"));
    QCOMPARE(tText, QString("Could not open: /x"));
    QCOMPARE(tIcon, icon);
    QCOMPARE(tButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(tParent == nullptr);
}

void tst_dialogs::realQuestion_data()
{
    QTest::addColumn<kvDialogs::DefaultButton>("defaultButton");
    QTest::addColumn<int>("expectedDefault");
    QTest::addColumn<bool>("clickYes");
    QTest::newRow("No default, Yes clicked")
        << kvDialogs::DefaultNo << int(QMessageBox::No) << true;
    QTest::newRow("No default, No clicked")
        << kvDialogs::DefaultNo << int(QMessageBox::No) << false;
    QTest::newRow("Yes default") << kvDialogs::DefaultYes << int(QMessageBox::Yes) << true;
    QTest::newRow("no default button")
        << kvDialogs::NoDefault << int(QMessageBox::NoButton) << false;
}

void tst_dialogs::realQuestion()
{
    QFETCH(kvDialogs::DefaultButton, defaultButton);
    QFETCH(int, expectedDefault);
    QFETCH(bool, clickYes);
    int tDefault = -1;
    QMessageBox::StandardButtons tButtons;
    int tIcon = -1;
    whenModalOpens([&](QWidget *pModal) {
        auto *tBox = qobject_cast<QMessageBox *>(pModal);
        QVERIFY(tBox);
        tButtons = tBox->standardButtons();
        tIcon = tBox->icon();
        tDefault = tBox->defaultButton() ? int(tBox->standardButton(tBox->defaultButton()))
                                         : int(QMessageBox::NoButton);
        tBox->button(clickYes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    const bool tYes = kvDialogs::question(
        "Run Z-Offset Calibration", "Is your print bed clean?", defaultButton);
    QCOMPARE(tYes, clickYes);
    QCOMPARE(tButtons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(tIcon, int(QMessageBox::Question));
    QCOMPARE(tDefault, expectedDefault);
}

void tst_dialogs::realPasswordInput()
{
    int tEcho = -1;
    QString tLabel;
    whenModalOpens([&](QWidget *pModal) {
        auto *tInput = qobject_cast<QInputDialog *>(pModal);
        QVERIFY(tInput);
        tEcho = tInput->textEchoMode();
        tLabel = tInput->labelText();
        tInput->setTextValue("typed");
        tInput->accept();
    });
    bool tOk = false;
    QCOMPARE(
        kvDialogs::textInput("Debug", "Dev Password:", QString(), true, &tOk), QString("typed"));
    QVERIFY(tOk);
    QCOMPARE(tEcho, int(QLineEdit::Password));
    QCOMPARE(tLabel, QString("Dev Password:"));
}

void tst_dialogs::realOpenFileDialog()
{
    QString tTitle;
    QStringList tFilters;
    whenModalOpens([&](QWidget *pModal) {
        auto *tDialog = qobject_cast<QFileDialog *>(pModal);
        QVERIFY(tDialog);
        tTitle = tDialog->windowTitle();
        tFilters = tDialog->nameFilters();
        tDialog->reject();
    });
    QCOMPARE(
        kvDialogs::openFileName("Select 3D Model", QDir::homePath(), "3D Models (*.stl *.gcode)"),
        QString());
    QCOMPARE(tTitle, QString("Select 3D Model"));
    QCOMPARE(tFilters, QStringList {"3D Models (*.stl *.gcode)"});
}

KV_TEST_MAIN(tst_dialogs)
#include "tst_dialogs.moc"
