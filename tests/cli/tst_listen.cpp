#include "core/Catalogue.h"
#include "support/CliRun.h"

#include <QDir>
#include <QTemporaryDir>

#include <csignal>

namespace {

// corvane-cli listen on a free loopback port, with what it was told; stops with the test.
class Listen {
public:
    explicit Listen(const QStringList& arguments)
    {
        m_process.start(QStringLiteral(CORVANE_CLI), QStringList{"listen", "-p", "0"} + arguments);
        // Without the line, port() stays empty and the test says so.
        (void)QTest::qWaitFor(
            [this] {
                m_err += m_process.readAllStandardError();
                return m_err.contains('\n') || !running();
            },
            kBound);
        const qsizetype at = m_err.indexOf(" port ");
        if (at >= 0)
            m_port = QString::fromLatin1(m_err.mid(at + 6).trimmed());
    }
    ~Listen()
    {
        m_process.kill();
        m_process.waitForFinished(kBound);
    }
    QString port() const { return m_port; }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // Waits for its end after the connections it was told to take.
    int finish()
    {
        if (!QTest::qWaitFor([this] { return !running(); }, kBound))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QByteArray out() { return m_process.readAllStandardOutput(); }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

private:
    QProcess m_process;
    QByteArray m_err;
    QString m_port;
};

} // namespace

// The desk printer and the capture reader, run as a technician runs them.
class TestListen : public QObject {
    Q_OBJECT
private slots:
    void showsAndSavesEachConnection()
    {
        QTemporaryDir folder;
        Listen listen({"--count", "2", "--json", "--save", folder.path()});
        QVERIFY(!listen.port().isEmpty());
        QCOMPARE(runCli(onLoopback(listen.port(), {"cut"})).status, 0);
        QCOMPARE(runCli(onLoopback(listen.port(), {"set-ip", "--yes", "192.168.123.200"})).status,
                 0);
        QCOMPARE(listen.finish(), 0);

        QStringList seen;
        for (const QJsonObject& o : jsonLines(listen.out()))
            seen << QStringLiteral("%1 %2 %3")
                        .arg(o["connection"].toInt())
                        .arg(o.contains("event") ? o["event"].toString() : o["kind"].toString(),
                             o.contains("bytes") ? QString::number(o["bytes"].toInt())
                                                 : o["name"].toString());
        QCOMPARE(seen, QStringList({"1 open ", "1 command GS V", "1 close 4", "2 open ",
                                    "2 config set-ip", "2 close 11"}));
        QFile saved(QDir(folder.path()).filePath("connection-0002.bin"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(),
                 Catalogue::wire(Catalogue::sends(Catalogue::Id::SetIp,
                                                  Catalogue::IPv4{{192, 168, 123, 200}})));
    }

    // Regression: SIGTERM and SIGHUP killed the desk printer. Each of the three ends it cleanly,
    // with the status a shell gives a program a signal ended.
    void signalsEndItCleanly()
    {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            Listen listen({});
            QVERIFY(!listen.port().isEmpty());
            listen.signal(signal);
            QCOMPARE(listen.finish(), 128 + signal);
        }
    }

    // Whatever the tool sends, the desk printer names; none of it is unknown.
    void everyCommandIsDecodedByName()
    {
        const QList<QPair<QString, QString>> sent = {{"drawer", "ESC p"},
                                                     {"language ja", "language"},
                                                     {"black-mark on", "black-mark"},
                                                     {"code-page 20", "code-page"},
                                                     {"arm velmar", "arm"},
                                                     {"set-id --yes 1-2-3-4-5", "set-id"},
                                                     {"nv-print", "FS p"},
                                                     {"print", "LF"}};
        Listen listen({"--count", QString::number(sent.size()), "--json"});
        for (const auto& [command, name] : sent)
            QCOMPARE(runCli(onLoopback(listen.port(), QProcess::splitCommand(command))).status, 0);
        QCOMPARE(listen.finish(), 0);
        QList<QSet<QString>> names(sent.size());
        for (const QJsonObject& o : jsonLines(listen.out())) {
            const QString kind = o["kind"].toString();
            QVERIFY2(kind != "unknown" && kind != "truncated", qPrintable(o["hex"].toString()));
            if (!kind.isEmpty())
                names[o["connection"].toInt() - 1] << o["name"].toString();
        }
        for (qsizetype i = 0; i < sent.size(); ++i)
            QVERIFY2(names[i].contains(sent[i].second), qPrintable(sent[i].first));
    }

    // What status reads from the desk printer is the state it was told to be in.
    void statusReadsTheReplyItWasTold_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("status");
        auto row = [](const char* state, const char* line, int status) {
            QTest::newRow(state) << state << line << status;
        };
        row("default", "online, paper ok; drawer signal low", 0); // told nothing
        row("paper-near-end", "online, paper near end; drawer signal low", 0);
        row("paper-out", "offline: printing stopped by paper end, paper end; drawer signal low", 1);
        row("cover-open", "offline: cover open; drawer signal low", 1);
        row("offline", "offline; drawer signal low", 1);
    }
    void statusReadsTheReplyItWasTold()
    {
        QFETCH(QString, state);
        QFETCH(QString, line);
        QFETCH(int, status);
        Listen listen(QStringList{"--count", "1"} +
                      (state == u"default" ? QStringList() : QStringList{"--status-reply", state}));
        const CliRun r = runCli(onLoopback(listen.port(), {"status"}));
        QCOMPARE(r.status, status);
        QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("127.0.0.1\t") + line + u'\n');
        QCOMPARE(listen.finish(), 0);
    }

    // The whole of a large download is taken and saved, its image data counted, not shown.
    void largeDownloadArrivesWhole()
    {
        QTemporaryDir folder;
        QFile image(folder.filePath("nv.bin"));
        QVERIFY(image.open(QIODevice::WriteOnly));
        const QByteArray one = QByteArray::fromHex("1c7101ff030800") + QByteArray(65472, 'U');
        for (int i = 0; i < 1024; ++i) // about 64 MiB
            image.write(one);
        image.close();
        Listen listen({"--count", "1", "--save", folder.path()});
        const CliRun r = runCli(onLoopback(listen.port(), {"nv-download", image.fileName()}));
        QCOMPARE(r.status, 0);
        QCOMPARE(listen.finish(), 0);
        const QList<QByteArray> lines = listen.out().split('\n');
        QCOMPARE(lines.size(), 1024 + 3); // header, an item per image, the close, the last newline
        QCOMPARE(lines.at(1024 + 1),
                 "connection 1 closed after " + QByteArray::number(image.size()) + " bytes");
        QCOMPARE(QFileInfo(folder.filePath("connection-0001.bin")).size(), image.size());
    }

    void wrongOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("state") << QStringList{"--status-reply", "jammed"}
                               << "--status-reply: \"jammed\" is none of online|paper-near-end|"
                                  "paper-out|cover-open|offline";
        QTest::newRow("bind name") << QStringList{"--bind", "localhost"}
                                   << "--bind: \"localhost\" is not an IPv4 or IPv6 address";
        QTest::newRow("count") << QStringList{"--count", "-1"}
                               << "--count: \"-1\" is not a number from 0 to 1000000000";
    }
    void wrongOptionsAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliRun r = runCli(QStringList{"listen"} + arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QStringLiteral("corvane-cli: ") + message + u'\n');
    }

    // What each item means is tst_decoder's table; here, how the tool lays out each kind.
    void decodeTellsEachItem()
    {
        const QByteArray capture =
            QByteArray::fromHex("1b40") + "Hi" + QByteArray::fromHex("1b70005050 00 ff 1d");
        const CliRun r = runCli({"decode", "-"}, capture);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out,
                 "       0  1B 40                       ESC @  initialize the printer\n"
                 "       2  48 69                       \"Hi\"\n"
                 "       4  1B 70 00 50 50              ESC p 0 80 80  drawer pin 2, on 160 "
                 "ms, off 160 ms\n"
                 "       9  00                          unknown bytes\n"
                 "      10  FF                          \"\xc3\xbf\"\n"
                 "      11  1D                          GS  cut off by the end of the stream\n");
        // EBCDIC text that would set the terminal's title, shown escaped instead.
        const CliRun title = runCli({"decode", "--encoding", "500", "-"},
                                    QByteArray::fromHex("275af05ed7e6d5c5c42f"));
        QCOMPARE(title.out, "       0  27 5A F0 5E D7 E6 D5 C5 C4 2F  \"\\x1b]0;PWNED\\x07\"\n");
        const CliRun missing = runCli({"decode", "/nonexistent/capture.bin"});
        QCOMPARE(missing.status, 2);
        QVERIFY2(missing.err.startsWith("corvane-cli: decode: cannot open"),
                 qPrintable(missing.err));
    }
};

QTEST_GUILESS_MAIN(TestListen)
#include "tst_listen.moc"
