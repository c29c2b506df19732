#include "RawTree.h"
#include "TestHome.h"

#include "agent/AgentPlist.h"
#include "cleanup/ScreenshotCleanup.h"
#include "cleanup/TrashInfo.h"
#include "platform/Log.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray randomBytes(quint32 seed, int size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

} // namespace

// Input nobody should ever hand the program, and what it must do with it: read the default,
// refuse with a clear error, or log a "Failed to trash " line; never crash, hang or lose a file.
class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_desktop = m_home->home() + QStringLiteral("/Desktop");
        QVERIFY(QDir().mkpath(m_desktop));
        QVERIFY(QDir().mkpath(QFileInfo(m_home->settingsFile()).path()));
        m_log.clear();
        setLogSink([this](const QString &line) { m_log.append(line); });
    }

    void cleanup()
    {
        setLogSink({});
        m_home.reset();
    }

    void settingsFileOfAnyContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        for (quint32 seed = 1; seed <= 4; ++seed)
            QTest::addRow("random bytes %u", seed) << randomBytes(seed, 4096 * int(seed));
        QTest::newRow("random bytes after the group") << "[General]\n" + randomBytes(9, 8192);
        QTest::newRow("NUL bytes") << QByteArray(1000, '\0');
        QTest::newRow("NUL inside values")
            << QByteArray("[General]\nhourOfDay=1\0002\nenabled=tr\0ue\n", 38);
        QTest::newRow("invalid UTF-8")
            << QByteArray("[General]\nsourceFolder=/\xff\xfe\xc3\nageUnit=\xc3(\n");
        QTest::newRow("1 MB line") << "[General]\n" + QByteArray(1 << 20, 'x') + "\nhourOfDay=4\n";
        QTest::newRow("1 MB number") << "[General]\nhourOfDay=" + QByteArray(1 << 20, '7') + '\n';
        QTest::newRow("1 MB key") << "[General]\n" + QByteArray(1 << 20, 'k') + "=1\n";
        QTest::newRow("1 MB of quotes")
            << "[General]\nsourceFolder=" + QByteArray(1 << 20, '"') + '\n';
        QTest::newRow("1 MB of escapes")
            << "[General]\nsourceFolder=\"" + QByteArray(1 << 20, '\\');
        QTest::newRow("unbalanced quote")
            << QByteArray("[General]\nsourceFolder=\"/a\nenabled=true\n");
        QTest::newRow("unclosed group") << QByteArray("[General\nenabled=true\n");
        QTest::newRow("100000 keys") << "[General]\n" + QByteArray("k=v\n").repeated(100000);
        QTest::newRow("100000 groups") << QByteArray("[g]\n").repeated(100000);
    }

    // The file may hold anything: reading every key never crashes and never writes, and a write
    // afterwards is read back.
    void settingsFileOfAnyContent()
    {
        QFETCH(QByteArray, content);
        writeSettingsFile(content);

        AppSettings settings(m_home->settingsFile(), m_home->home());
        readEverything(settings);
        QCOMPARE(settingsFileBytes(), content);

        settings.setHourOfDay(17);
        settings.setAgeUnit(AgeUnit::Weeks);
        AppSettings fresh(m_home->settingsFile(), m_home->home());
        QCOMPARE(fresh.hourOfDay(), qint64(17));
        QCOMPARE(fresh.ageUnit(), AgeUnit::Weeks);
        readEverything(fresh);
    }

    void valuesOfTheWrongType_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");
        const qint64 hour = 3;
        QTest::newRow("bool as number") << QByteArray("enabled=1") << "enabled" << QVariant(false);
        QTest::newRow("bool in capitals")
            << QByteArray("launchAtLogin=FALSE") << "launchAtLogin" << QVariant(true);
        QTest::newRow("int with fraction")
            << QByteArray("hourOfDay=3.5") << "hourOfDay" << QVariant(hour);
        QTest::newRow("int in hex")
            << QByteArray("hourOfDay=0x10") << "hourOfDay" << QVariant(hour);
        QTest::newRow("int with plus")
            << QByteArray("hourOfDay=+5") << "hourOfDay" << QVariant(hour);
        QTest::newRow("int past 64 bits")
            << QByteArray("hourOfDay=9223372036854775808") << "hourOfDay" << QVariant(hour);
        QTest::newRow("int far past 64 bits")
            << QByteArray("ageValue=-99999999999999999999999999999") << "ageValue"
            << QVariant(qint64(1));
        QTest::newRow("smallest int") << QByteArray("ageValue=-9223372036854775808") << "ageValue"
                                      << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("int as list")
            << QByteArray("lastRunCount=1, 2") << "lastRunCount" << QVariant(qint64(0));
        QTest::newRow("int as variant")
            << QByteArray("lastRunCount=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\0)") << "lastRunCount"
            << QVariant(qint64(0));
        QTest::newRow("double past range")
            << QByteArray("lastRunDate=1e400") << "lastRunDate" << QVariant(0.0);
        QTest::newRow("double as word")
            << QByteArray("lastRunDate=yesterday") << "lastRunDate" << QVariant(0.0);
        QTest::newRow("enum in lower case")
            << QByteArray("frequency=weekly") << "frequency" << QVariant(int(Frequency::Daily));
        QTest::newRow("enum as bytes")
            << QByteArray("ageUnit=@ByteArray(Hours)") << "ageUnit" << QVariant(int(AgeUnit::Days));
        QTest::newRow("folder as list") << QByteArray("sourceFolder=/a, /b") << "sourceFolder"
                                        << QVariant(QStringLiteral("<desktop>"));
        QTest::newRow("folder as rectangle")
            << QByteArray("sourceFolder=@Rect(1 2 3 4)") << "sourceFolder"
            << QVariant(QStringLiteral("<desktop>"));
    }

    void valuesOfTheWrongType()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        if (expected == QVariant(QStringLiteral("<desktop>")))
            expected = m_desktop;
        const QByteArray content = "[General]\n" + line + '\n';
        writeSettingsFile(content);
        AppSettings settings(m_home->settingsFile(), m_home->home());
        const QHash<QString, QVariant> values = readEverything(settings);
        QCOMPARE(values.value(key), expected);
        QCOMPARE(settingsFileBytes(), content);
    }

    void hostileAgentDocument_data()
    {
        QTest::addColumn<QByteArray>("document");
        const QByteArray valid = validAgentDocument();
        const QByteArray head =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("plain text") << QByteArray("load me, please\n");
        QTest::newRow("JSON") << QByteArray("{\"Label\": \"org.quillbrook.cleanup\"}");
        QTest::newRow("binary property list")
            << QByteArray("bplist00\xd1\x01\x02QaQb\x08\x0b\x0d", 19);
        QTest::newRow("random bytes") << randomBytes(7, 5000);
        QTest::newRow("truncated to half") << valid.left(valid.size() / 2);
        QTest::newRow("truncated before the end tag") << valid.left(valid.lastIndexOf("</plist>"));
        QTest::newRow("NUL inside") << QByteArray(valid).insert(valid.indexOf("<dict>") + 6, '\0');
        QTest::newRow("100000 nested arrays") << head + QByteArray("<array>").repeated(100000) +
                                                     QByteArray("</array>").repeated(100000) +
                                                     "</plist>\n";
        QTest::newRow("40 nested dicts") << head + QByteArray("<dict><key>a</key>").repeated(40) +
                                                "<true/>" + QByteArray("</dict>").repeated(40) +
                                                "</plist>\n";
        QTest::newRow("hour past 64 bits") << QByteArray(valid).replace(
            "<integer>3</integer>", "<integer>99999999999999999999999</integer>");
        QTest::newRow("hour one past 64 bits") << QByteArray(valid).replace(
            "<integer>3</integer>", "<integer>9223372036854775808</integer>");
        QTest::newRow("hour of 1000 digits") << QByteArray(valid).replace(
            "<integer>3</integer>", "<integer>" + QByteArray(1000, '9') + "</integer>");
        QTest::newRow("hour as real")
            << QByteArray(valid).replace("<integer>3</integer>", "<real>1e308</real>");
        QTest::newRow("2 MB string")
            << QByteArray(valid).replace("<string>/usr/bin/quillbrook</string>",
                                         "<string>/" + QByteArray(2 << 20, 'a') + "</string>");
        QTest::newRow("entity expansion")
            << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">"
                          "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                          "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                          "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>\n"
                          "<plist version=\"1.0\"><dict><key>Label</key><string>&d;&d;&d;</string>"
                          "</dict></plist>\n");
        QTest::newRow("external entity") << QByteArray(
            "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY x SYSTEM \"/etc/passwd\">]>\n"
            "<plist version=\"1.0\"><dict><key>Label</key><string>&x;</string></dict></plist>\n");
    }

    // quillbrook-agentctl refuses every one of these with one line on standard error, writes no
    // unit and never calls systemctl.
    void hostileAgentDocument()
    {
        QFETCH(QByteArray, document);
        const QString path = agentDocumentPath();
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(document), document.size());
        file.close();

        for (const QString &verb : {QStringLiteral("load"), QStringLiteral("unload")}) {
            QProcess tool;
            runAgentControl(tool, {verb, path});
            QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
            const QByteArray err = tool.readAllStandardError();
            if (verb == QLatin1String("load")) {
                QCOMPARE(tool.exitCode(), 1);
                QVERIFY2(err.startsWith("quillbrook-agentctl: ") && err.count('\n') == 1,
                         err.left(500).constData());
            } else {
                // Nothing was installed, so there is nothing to unload: done, or a clear refusal.
                QVERIFY2(tool.exitCode() == 0 || (tool.exitCode() == 1 && err.count('\n') == 1),
                         err.left(500).constData());
            }
        }
        QVERIFY(!QFile::exists(m_home->configHome() + QStringLiteral("/systemd")));
        QVERIFY(!QFile::exists(systemctlCallLog()));
    }

    // The same tool on a well-formed document works, so the refusals above are about the input.
    void agentDocumentThatIsFine()
    {
        const QString path = agentDocumentPath();
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(validAgentDocument());
        file.close();
        QProcess tool;
        runAgentControl(tool, {QStringLiteral("load"), path});
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(QFile::exists(m_home->configHome() +
                              QStringLiteral("/systemd/user/org.quillbrook.cleanup.timer")));
    }

    void agentDocumentThatIsADevice_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("endless zeros") << "/dev/zero";
        QTest::newRow("endless random") << "/dev/urandom";
        QTest::newRow("a folder") << "/";
        QTest::newRow("missing") << "/nonexistent/agent.plist";
    }

    void agentDocumentThatIsADevice()
    {
        QFETCH(QString, path);
        QProcess tool;
        runAgentControl(tool, {QStringLiteral("load"), path});
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 1);
        const QByteArray err = tool.readAllStandardError();
        QVERIFY2(err.startsWith("quillbrook-agentctl: ") && err.count('\n') == 1, err.constData());
        QVERIFY(!QFile::exists(m_home->configHome() + QStringLiteral("/systemd")));
    }

    // Every byte value but "/" and NUL, in names the rule accepts: each entry reaches the trash
    // with its exact original path, as raw bytes.
    void namesWithEveryByte()
    {
        QList<QByteArray> names;
        for (int byte = 1; byte < 256; ++byte) {
            if (byte != '/')
                names.append("Screenshot " + QByteArray(1, char(byte)) + ".png");
        }
        QByteArray low, high;
        for (int byte = 1; byte < 128; ++byte) {
            if (byte != '/')
                low.append(char(byte));
        }
        for (int byte = 128; byte < 256; ++byte)
            high.append(char(byte));
        names << "Screenshot " + low + ".png"
              << "Screenshot " + high + ".png"
              << "Screenshot \n[Trash Info]\nPath=%2Fetc%2Fpasswd\n.png"
              << "Screenshot %2F%00.png";
        for (const QByteArray &name : names)
            createFile(QFile::encodeName(m_desktop) + '/' + name);

        QCOMPARE(runOnce(0), qint64(names.size()));
        QVERIFY2(m_log.isEmpty(), qPrintable(m_log.join('\n')));
        const QHash<QByteArray, int> trashed = trashedOriginals();
        for (const QByteArray &name : names)
            QCOMPARE(trashed.value(QFile::encodeName(m_desktop) + '/' + name), 1);
        QCOMPARE(trashed.size(), names.size());
        QVERIFY(QDir(m_desktop).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot));
    }

    // Names of 255 bytes leave no room for ".trashinfo"; trashing the same names twice also
    // forces clashes at full length. Multi-byte characters must not be cut in half.
    void longestNames()
    {
        const QByteArray desktop = QFile::encodeName(m_desktop);
        QList<QByteArray> names;
        for (const QByteArray &unit :
             {QByteArray("x"), QByteArray("\xc3\xa9"), QByteArray("\xe2\x82\xac"),
              QByteArray("\xf0\x9f\x93\xb7")}) {
            QByteArray name = "Screenshot " + unit.repeated(240 / unit.size());
            name += QByteArray(251 - name.size(), '_') + ".png";
            QCOMPARE(name.size(), 255);
            names.append(name);
        }
        for (int round = 1; round <= 2; ++round) {
            for (const QByteArray &name : names)
                createFile(desktop + '/' + name);
            QCOMPARE(runOnce(0), qint64(names.size()));
            QVERIFY2(m_log.isEmpty(), qPrintable(m_log.join('\n')));
        }
        const QHash<QByteArray, int> trashed = trashedOriginals();
        for (const QByteArray &name : names)
            QCOMPARE(trashed.value(desktop + '/' + name), 2);
        const QStringList inTrash =
            QDir(m_home->trash() + "/files").entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString &name : inTrash)
            QVERIFY2(!name.contains(QChar::ReplacementCharacter), qPrintable(name));
    }

    void pathsNearPathMax_data()
    {
        QTest::addColumn<int>("folderLength");
        QTest::addColumn<int>("nameLength");
        QTest::addColumn<qint64>("ageValue");
        QTest::newRow("longest path that fits") << PATH_MAX - 1 - 256 << 255 << qint64(0);
        QTest::newRow("path one past the limit, old") << PATH_MAX - 1 - 255 << 255 << qint64(-1);
        QTest::newRow("path past the limit, by age") << PATH_MAX - 100 << 255 << qint64(0);
        QTest::newRow("path past the limit, forced") << PATH_MAX - 100 << 255 << qint64(-1);
        QTest::newRow("folder past the limit") << PATH_MAX + 300 << 40 << qint64(-1);
    }

    // Whatever the kernel allows, the entry ends up exactly once, in its folder or in the trash
    // with its full path; staying behind after it was selected means a "Failed to trash " line.
    void pathsNearPathMax()
    {
        QFETCH(int, folderLength);
        QFETCH(int, nameLength);
        QFETCH(qint64, ageValue);

        const QByteArray base = QFile::encodeName(m_home->home()) + "/deep";
        QVERIFY(mkdir(base.constData(), 0700) == 0);
        int fd = open(base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QByteArray folder = base;
        while (folder.size() < folderLength) {
            // Components of up to 200 bytes, never leaving a remainder that a component cannot
            // fill exactly.
            const int room = int(folderLength - folder.size()) - 1;
            const QByteArray component(room <= 200 ? room : room == 201 ? 199 : 200, 'd');
            QVERIFY(mkdirat(fd, component.constData(), 0700) == 0);
            const int next = openat(fd, component.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            fd = next;
            QVERIFY(fd >= 0);
            folder += '/' + component;
        }
        QByteArray name = "Screenshot " + QByteArray(nameLength - 15, 'n') + ".png";
        const int file =
            openat(fd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        QVERIFY(file >= 0);
        close(file);
        const QByteArray path = folder + '/' + name;

        AppSettings settings(m_home->settingsFile(), m_home->home());
        settings.setSourceFolder(QFile::decodeName(folder));
        const qint64 moved = runOnce(ageValue);
        const bool stayed = faccessat(fd, name.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
        close(fd);
        const int inTrash = trashedOriginals().value(path);
        removeTreeAt(AT_FDCWD, base.constData());

        QCOMPARE(int(stayed) + inTrash, 1);
        QCOMPARE(moved, qint64(inTrash));
        if (stayed && ageValue < 0 && folder.size() < PATH_MAX)
            QVERIFY2(m_log.size() == 1 && m_log.first().startsWith("Failed to trash "),
                     qPrintable(m_log.join('\n')));
        else
            QVERIFY2(m_log.isEmpty(), qPrintable(m_log.join('\n')));
        if (path.size() < PATH_MAX)
            QCOMPARE(inTrash, 1);
    }

private:
    void writeSettingsFile(const QByteArray &content) const
    {
        QFile file(m_home->settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }

    QByteArray settingsFileBytes() const
    {
        QFile file(m_home->settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    static QHash<QString, QVariant> readEverything(const AppSettings &settings)
    {
        QHash<QString, QVariant> values;
        values.insert("enabled", settings.enabled());
        values.insert("frequency", int(settings.frequency()));
        values.insert("hourOfDay", settings.hourOfDay());
        values.insert("ageValue", settings.ageValue());
        values.insert("ageUnit", int(settings.ageUnit()));
        values.insert("sourceFolder", settings.sourceFolder());
        values.insert("lastRunDate", settings.lastRunDate());
        values.insert("lastRunCount", settings.lastRunCount());
        values.insert("launchAtLogin", settings.launchAtLogin());
        values.insert("lastRunText", settings.lastRunText());
        return values;
    }

    static QByteArray validAgentDocument()
    {
        return serializeAgentPlist(makeAgentPlist(Frequency::Daily, 3, "/usr/bin/quillbrook"))
            .value();
    }

    QString agentDocumentPath() const
    {
        const QString folder = m_home->configHome() + QStringLiteral("/quillbrook/LaunchAgents");
        QDir().mkpath(folder);
        return folder + QStringLiteral("/org.quillbrook.cleanup.plist");
    }

    QString systemctlCallLog() const { return m_home->home() + QStringLiteral("/systemctl-calls"); }

    // The tool runs with a stand-in systemctl first on PATH: never the real user manager.
    void runAgentControl(QProcess &tool, const QStringList &arguments) const
    {
        const QString bin = m_home->home() + QStringLiteral("/bin");
        QDir().mkpath(bin);
        QFile fake(bin + QStringLiteral("/systemctl"));
        if (!fake.exists()) {
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write("#!/bin/sh\necho \"$@\" >> '" + QFile::encodeName(systemctlCallLog()) +
                       "'\n");
            fake.close();
            QVERIFY(fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        QProcessEnvironment env = m_home->processEnvironment();
        env.insert("PATH", bin + QStringLiteral(":/usr/bin:/bin"));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(QUILLBROOK_BINARY_DIR "/quillbrook-agentctl"), arguments);
        QVERIFY(tool.waitForFinished(60000));
    }

    static void createFile(const QByteArray &path)
    {
        const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        QVERIFY2(fd >= 0, path.constData());
        close(fd);
    }

    // One run in this process with an age limit of @p ageValue hours.
    qint64 runOnce(qint64 ageValue)
    {
        AppSettings settings(m_home->settingsFile(), m_home->home());
        settings.setAgeValue(ageValue);
        settings.setAgeUnit(AgeUnit::Hours);
        const qint64 moved = runCleanup(settings);
        QCoreApplication::processEvents();
        return moved;
    }

    // Original path -> number of entries in the trash that name it with a complete info file.
    // Fails the test on an entry in files/ without its info file.
    QHash<QByteArray, int> trashedOriginals() const
    {
        QHash<QByteArray, int> originals;
        const QByteArray trash = QFile::encodeName(m_home->trash());
        const auto names = [](const QByteArray &folder) {
            QList<QByteArray> result;
            if (DIR *dir = opendir(folder.constData())) {
                while (const dirent *entry = readdir(dir)) {
                    if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                        result.append(entry->d_name);
                }
                closedir(dir);
            }
            return result;
        };
        for (const QByteArray &entry : names(trash + "/files")) {
            // Raw bytes: QFile would take the name through QString and lose invalid UTF-8.
            const int fd =
                open((trash + "/info/" + entry + ".trashinfo").constData(), O_RDONLY | O_CLOEXEC);
            QFile info;
            if (fd < 0 || !info.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
                qWarning("entry in files/ without its info file: %s", entry.constData());
                originals.insert("(entry without info)", 1000);
                continue;
            }
            if (const std::optional<QByteArray> path = TrashInfo::trashInfoPath(info.readAll()))
                ++originals[*path];
        }
        return originals;
    }

    std::unique_ptr<TestHome> m_home;
    QString m_desktop;
    QStringList m_log;
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
