#include "app/LaunchMode.h"

#include <QTest>

class TestLaunchMode : public QObject
{
    Q_OBJECT

private slots:
    void launchMode_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("headless");
        const QString exe = QStringLiteral("/usr/bin/quillbrook");
        QTest::newRow("no arguments") << QStringList{exe} << false;
        QTest::newRow("switch first") << QStringList{exe, "--headless"} << true;
        QTest::newRow("switch later") << QStringList{exe, "-v", "x", "--headless"} << true;
        QTest::newRow("switch twice") << QStringList{exe, "--headless", "--headless"} << true;
        QTest::newRow("element 0") << QStringList{"--headless"} << true;
        QTest::newRow("capital H") << QStringList{exe, "--Headless"} << false;
        QTest::newRow("with a value") << QStringList{exe, "--headless=1"} << false;
        QTest::newRow("single hyphen") << QStringList{exe, "-headless"} << false;
        QTest::newRow("no hyphens") << QStringList{exe, "headless"} << false;
        QTest::newRow("suffix") << QStringList{exe, "x--headless"} << false;
        QTest::newRow("trailing blank") << QStringList{exe, "--headless "} << false;
        QTest::newRow("empty list") << QStringList{} << false;
    }

    void launchMode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, headless);
        QList<QByteArray> bytes;
        std::vector<const char *> argv;
        for (const QString &argument : arguments)
            bytes.append(argument.toUtf8());
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        QCOMPARE(isHeadlessLaunch(int(argv.size()), argv.data()), headless);
    }
};

QTEST_GUILESS_MAIN(TestLaunchMode)
#include "tst_launchmode.moc"
