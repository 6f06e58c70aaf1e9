#include "kvAboutWindow.h"
#include "kvPlatform.h"
#include "kvTestSupport.h"

#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

class tst_aboutwindow : public QObject
{
    Q_OBJECT
private slots:
    void texts();
    void linksOpenInTheBrowser_data();
    void linksOpenInTheBrowser();
    void pictures();
    void worksWithAnyParent();
    void setVersion();
};

namespace {

QString labelText(QWidget &pWindow, const char *pName)
{
    auto *tLabel = pWindow.findChild<QLabel *>(QString::fromLatin1(pName));
    return tLabel ? tLabel->text() : QStringLiteral("<missing>");
}

} // namespace

void tst_aboutwindow::texts()
{
    kvAboutWindow tWindow;
    QCOMPARE(tWindow.windowTitle(), QStringLiteral("About Kestrova"));
    QCOMPARE(labelText(tWindow, "lVersion"), QStringLiteral("Halvarn Kestrova 1.2.3"));
    QCOMPARE(labelText(tWindow, "label_2"),
        QStringLiteral("Slic3r is licensed under the GNU Affero General Public License, v. 3"));
    QVERIFY(labelText(tWindow, "label_4").contains(QStringLiteral("Qt")));
    QVERIFY(labelText(tWindow, "label_4").contains(QStringLiteral("Lesser General Public")));

    const QString tCompany = labelText(tWindow, "lCompany");
    QVERIFY(!tCompany.isEmpty());
    QVERIFY(tCompany != QStringLiteral("Company Info"));

    const QString tSystem = Kv::Platform::osDescription();
    QVERIFY(!tSystem.isEmpty());
    QCOMPARE(labelText(tWindow, "lOSVersion"), tSystem);
    QVERIFY(tWindow.findChild<QLabel *>(QStringLiteral("lOSVersion"))->minimumHeight() >= 32);

    QCOMPARE(tWindow.maximumSize(), QSize(415, 250));
    QVERIFY(!tWindow.isModal());
}

void tst_aboutwindow::linksOpenInTheBrowser_data()
{
    QTest::addColumn<QString>("name");
    for (const char *tName : {"label_8", "label_3", "label_5", "label_6", "label_7"})
        QTest::newRow(tName) << QString::fromLatin1(tName);
}

void tst_aboutwindow::linksOpenInTheBrowser()
{
    QFETCH(QString, name);
    kvAboutWindow tWindow;
    auto *tLabel = tWindow.findChild<QLabel *>(name);
    QVERIFY(tLabel);
    QVERIFY(tLabel->openExternalLinks());
    QVERIFY(QRegularExpression(QStringLiteral("<a href=\"https://[^\"]+\">[^<]+</a>"))
                .match(tLabel->text())
                .hasMatch());
}

void tst_aboutwindow::pictures()
{
    kvAboutWindow tWindow;
    QVERIFY(!tWindow.windowIcon().isNull());
    QVERIFY(!tWindow.windowIcon().pixmap(32, 32).isNull());
    auto *tLogo = tWindow.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(tLogo);
    QVERIFY(!tLogo->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(tLogo->maximumWidth() <= 70);
}

void tst_aboutwindow::worksWithAnyParent()
{
    QWidget tParent;
    kvAboutWindow tWindow(&tParent);
    QCOMPARE(tWindow.parentWidget(), &tParent);
    QCOMPARE(labelText(tWindow, "lOSVersion"), Kv::Platform::osDescription());
}

void tst_aboutwindow::setVersion()
{
    kvAboutWindow tWindow;
    tWindow.setVersion(QStringLiteral("9.9"));
    QCOMPARE(labelText(tWindow, "lVersion"), QStringLiteral("Halvarn Kestrova 9.9"));
}

KV_TEST_MAIN(tst_aboutwindow)
#include "tst_aboutwindow.moc"
