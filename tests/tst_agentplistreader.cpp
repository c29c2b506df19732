#include "agentctl/PlistReader.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray plist(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">" +
           body + "</plist>\n";
}

QByteArray nestedArrays(int depth)
{
    return plist(QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth));
}

} // namespace

class TestAgentPlistReader : public QObject
{
    Q_OBJECT

private slots:
    void accepts_data();
    void accepts();
    void rejects_data();
    void rejects();
};

void TestAgentPlistReader::accepts_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("escaped string")
        << plist("<string>a &amp; &lt;b&gt; &#x41;</string>") << QVariant(u"a & <b> A"_s);
    QTest::newRow("empty string") << plist("<string/>") << QVariant(QString());
    QTest::newRow("blank kept in string") << plist("<string> a </string>") << QVariant(u" a "_s);
    QTest::newRow("integer with blanks")
        << plist("<integer> 42\n</integer>") << QVariant(qint64(42));
    QTest::newRow("smallest integer") << plist("<integer>-9223372036854775808</integer>")
                                      << QVariant(std::numeric_limits<qint64>::min());
    QTest::newRow("largest integer") << plist("<integer>9223372036854775807</integer>")
                                     << QVariant(std::numeric_limits<qint64>::max());
    QTest::newRow("hexadecimal integer")
        << plist("<integer>0x1f</integer>") << QVariant(qint64(31));
    QTest::newRow("true, long form") << plist("<true></true>") << QVariant(true);
    QTest::newRow("false") << plist("<false/>") << QVariant(false);
    QTest::newRow("comments and blanks")
        << plist("<!-- c -->\n<dict>\n\t<!-- c --><key>a</key>\n\t<array> <integer>1</integer> "
                 "</array>\n</dict>")
        << QVariant(QVariantMap{{u"a"_s, QVariantList{qint64(1)}}});
    QTest::newRow("no DOCTYPE") << QByteArray("<plist version=\"1.0\"><dict/></plist>")
                                << QVariant(QVariantMap());
    QTest::newRow("deepest nesting allowed") << nestedArrays(PlistMaxDepth) << [] {
        QVariant value = QVariantList();
        for (int level = 1; level < PlistMaxDepth; ++level)
            value = QVariantList{value};
        return value;
    }();
}

void TestAgentPlistReader::accepts()
{
    QFETCH(QByteArray, document);
    QFETCH(QVariant, expected);
    QString error;
    const std::optional<QVariant> value = readXmlPlist(document, &error);
    QVERIFY2(value, qPrintable(error));
    QCOMPARE(*value, expected);
}

void TestAgentPlistReader::rejects_data()
{
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not XML") << QByteArray("Label = org.quillbrook.cleanup");
    QTest::newRow("binary property list") << QByteArray("bplist00\xd1\x01\x02", 11);
    QTest::newRow("root not plist") << QByteArray("<dict/>");
    QTest::newRow("wrong version") << QByteArray("<plist version=\"2.0\"><dict/></plist>");
    QTest::newRow("no value") << plist("");
    QTest::newRow("two values") << plist("<dict/><dict/>");
    QTest::newRow("unterminated") << plist("<dict>").chopped(9);
    QTest::newRow("content after plist") << plist("<dict/>") + "<dict/>";
    QTest::newRow("unsupported real") << plist("<real>1.5</real>");
    QTest::newRow("unsupported date") << plist("<date>2024-01-01T00:00:00Z</date>");
    QTest::newRow("unsupported data") << plist("<data>AAAA</data>");
    QTest::newRow("unknown element") << plist("<foo/>");
    QTest::newRow("attribute on a value") << plist("<string id=\"1\">a</string>");
    QTest::newRow("element in a string") << plist("<string>a<b/></string>");
    QTest::newRow("text in an array") << plist("<array>x<integer>1</integer></array>");
    QTest::newRow("value without key") << plist("<dict><string>a</string></dict>");
    QTest::newRow("key without value") << plist("<dict><key>a</key></dict>");
    QTest::newRow("duplicate key") << plist("<dict><key>a</key><true/><key>a</key><false/></dict>");
    QTest::newRow("text in true") << plist("<true>yes</true>");
    QTest::newRow("integer just too large") << plist("<integer>9223372036854775808</integer>");
    QTest::newRow("integer just too small") << plist("<integer>-9223372036854775809</integer>");
    QTest::newRow("huge integer") << plist("<integer>" + QByteArray(5000, '9') + "</integer>");
    QTest::newRow("empty integer") << plist("<integer/>");
    QTest::newRow("integer with letters") << plist("<integer>12abc</integer>");
    QTest::newRow("integer with two signs") << plist("<integer>+-1</integer>");
    QTest::newRow("non-ASCII digits") << plist("<integer>\xd9\xa3</integer>");
    QTest::newRow("undeclared entity") << plist("<string>&lol;</string>");
    QTest::newRow("entity declarations")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY a \"aaaaaaaaaa\">\n"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n]>\n"
                      "<plist version=\"1.0\"><string>&c;</string></plist>");
    QTest::newRow("other DOCTYPE") << QByteArray("<!DOCTYPE html><plist><dict/></plist>");
    QTest::newRow("one level too deep") << nestedArrays(PlistMaxDepth + 1);
    QTest::newRow("very deep nesting") << nestedArrays(60000);
    QTest::newRow("deep nesting, unterminated")
        << plist(QByteArray("<dict><key>k</key>").repeated(50000));
    QTest::newRow("larger than the limit")
        << plist("<string>" + QByteArray(PlistMaxBytes, 'a') + "</string>");
}

void TestAgentPlistReader::rejects()
{
    QFETCH(QByteArray, document);
    QString error;
    QVERIFY(!readXmlPlist(document, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY2(!error.contains(u'\n') && error.size() < 200, qPrintable(error));
}

QTEST_GUILESS_MAIN(TestAgentPlistReader)
#include "tst_agentplistreader.moc"
