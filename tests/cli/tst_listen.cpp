#include "core/Catalogue.h"
#include "support/CliRun.h"
#include "support/Listen.h"
#include "support/Rows.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <sys/socket.h>

namespace {

// What is around the desk printer.
enum class Setup {
    Plain,
    PlantedLink,    // its folder holds a link to a file elsewhere and an earlier run's capture
    FewDescriptors, // it may have 64 file descriptors
    SmallDisk,      // its folder is a file system of 1 MiB, in a mount namespace of its own
};

constexpr char kMountSmallDisk[] = "mount -t tmpfs -o size=1m corvane \"$0\" && exec \"$@\"";

// How listen is run for each setup.
QStringList wrapper(Setup setup, const QString& dir)
{
    if (setup == Setup::FewDescriptors)
        return {"prlimit", "--nofile=64"};
    if (setup == Setup::SmallDisk)
        return {"unshare", "-rm", "sh", "-c", kMountSmallDisk, dir};
    return {};
}

// What a client of the desk printer does.
enum class Client {
    Sends,   // sends, shuts its sending side and reads every answer until listen closes
    Stays,   // sends, and stays connected while listen gets a signal
    Floods,  // 80 connections at once, closed again; then it sends
    Ignores, // sends with little room to receive, and reads only once it has sent everything
};

struct Case {
    const char* name;
    const char* options; // listen's, as a shell splits them; DIR is the folder of captures
    Setup setup;
    Client client;
    QByteArray sends;
    QByteArray answers;          // what the client reads back, exactly
    const char* shows = nullptr; // a line on standard output
    const char* says = nullptr;  // on standard error, exactly once (a shortage: once each time)
    const char* saved = nullptr; // the capture in DIR
    qint64 kept = -1;            // what it holds of the bytes sent: -1 all, 0 a part, or so many
    int signal = 0;              // Stays: what ends listen, with the exit status 128 + signal
    int atLeastMs = 0;           // Sends: until listen closes
};

QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

QByteArray nvDownload() // about 64 MiB of images
{
    return (hex("1c7101ff030800") + QByteArray(65472, 'U')).repeated(1024);
}

constexpr char kProcessId[] = "1d284806003030 31323334";

} // namespace

Q_DECLARE_METATYPE(Case)

// The desk printer and the capture reader, run as a technician runs them.
class TestListen : public QObject {
    Q_OBJECT
private slots:
    // Whatever the tool sends, the desk printer names, none of it unknown, between each
    // connection's open and close, and saves it; and draws it, with the logo an earlier
    // connection stored.
    void namesSavesAndDrawsEveryCommand()
    {
        QTemporaryDir folder;
        QByteArray logo = hex("1c710105000300"); // FS q: one image of 40 x 24 dots
        for (int i = 0; i < 120; ++i)
            logo += char(i * 37 + 11);
        QFile logoFile(folder.filePath("logo.bin"));
        QVERIFY(logoFile.open(QIODevice::WriteOnly) && logoFile.write(logo) == logo.size());
        logoFile.close();
        const QByteArray url = "https://corvane.example/r/240712";
        const QByteArray receipt = hex("1c700100") + "CORVANE CAFE\n" +
                                   hex("1d286b0300314306 1d286b") + char(url.size() + 3) + '\0' +
                                   "1P0" + url + hex("1d286b0300315130 0a 1d564100");
        const QList<QPair<QString, QString>> sent = {{"nv-download " + logoFile.fileName(), "FS q"},
                                                     {"cut", "GS V"},
                                                     {"set-ip --yes 192.168.123.200", "set-ip"},
                                                     {"drawer", "ESC p"},
                                                     {"language ja", "language"},
                                                     {"black-mark on", "black-mark"},
                                                     {"code-page 20", "code-page"},
                                                     {"arm velmar", "arm"},
                                                     {"set-id --yes 1-2-3-4-5", "set-id"},
                                                     {"nv-print", "FS p"},
                                                     {"print", "LF"},
                                                     {"raw " + receipt.toHex(), "GS ( k"}};
        Listen listen({"--count", QString::number(sent.size()), "--json", "--save", folder.path(),
                       "--render", folder.path()});
        for (const auto& [command, name] : sent)
            QCOMPARE(runCli(onLoopback(listen.port(), QProcess::splitCommand(command))).status, 0);
        QCOMPARE(listen.finish(), 0);
        QList<QStringList> seen(sent.size());
        QString drawn; // the last connection's receipt
        for (const QJsonObject& o : jsonLines(listen.out())) {
            const QString kind = o["kind"].toString();
            QVERIFY2(kind != "unknown" && kind != "truncated", qPrintable(o["hex"].toString()));
            seen[o["connection"].toInt() - 1]
                << (kind.isEmpty() ? o["event"].toString() : o["name"].toString());
            drawn = o["drawn"].toArray().first().toString(drawn);
        }
        for (qsizetype i = 0; i < sent.size(); ++i)
            QVERIFY2(seen[i].first() == "open" && seen[i].last() == "close" &&
                         seen[i].contains(sent[i].second),
                     qPrintable(sent[i].first));
        QCOMPARE(drawn,
                 folder.filePath(
                     QStringLiteral("connection-%1.png").arg(sent.size(), 4, 10, QChar(u'0'))));
        QProcess zbar;
        zbar.start("zbarimg", {"-q", drawn});
        QVERIFY2(zbar.waitForFinished(kBound), "zbarimg (zbar-tools) must be installed");
        QCOMPARE(zbar.readAllStandardOutput().trimmed(), "QR-Code:" + url);
        const QImage paper(drawn);
        for (int x = 0; x < 40; ++x) {
            for (int y = 0; y < 24; ++y)
                QCOMPARE(qGray(paper.pixel(x, y)) < 128,
                         bool(logo[7 + x * 3 + y / 8] & 0x80 >> y % 8));
        }
        QFile saved(QDir(folder.path()).filePath("connection-0003.bin"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(),
                 Catalogue::wire(Catalogue::sends(Catalogue::Id::SetIp,
                                                  Catalogue::IPv4{{192, 168, 123, 200}})));
    }

    // The printer's answers and faults, and each fault it had, against the real process: what
    // a client does, and what it sees on the wire, on listen's output and in the capture.
    void answersAndFailsAsTold_data()
    {
        using enum Setup;
        using enum Client;
        const QByteArray processId = hex(kProcessId);
        addRows<Case>({
            {"answers every request in order", "", Plain, Sends,
             hex("100401 100402 100403 100404 1d7201 1d7202 1d4901 1d4902 1d4903 1d4942 1d4943") +
                 processId + hex("1d610f"),
             hex("12121212 00 00 20 03 01 5f436f7276616e6500 5f6465736b207072696e74657200") +
                 hex("37223132333400 10000000")},
            {"with its cover open it says so, prints and draws nothing and answers no GS r",
             "--fault cover-open --render DIR", Plain, Sends,
             hex("1d6102 100401 100402 1d7201 48690a") + processId, hex("38000000 1a 16"),
             "connection 1: from byte 12 on, nothing is printed: cover open",
             "nothing from byte 12 on is drawn: the printer did not print it (cover open)"},
            {"out of paper after 4 bytes it tells so at once", "--fault paper-out-after=4 --json",
             Plain, Sends, hex("1d6108 546f74616c0a") + processId + hex("100404"),
             hex("10000000 18000c00 72"),
             R"({"connection":1,"event":"not-printed","offset":8,"why":"out of paper"})"},
            {"reset after 3 bytes", "--fault drop-after=3 --save DIR", Plain, Sends, "abcdef", "",
             "connection 1 reset after 3 bytes (--fault drop-after)", nullptr,
             "connection-0001.bin", 3},
            {"slow", "--fault slow=2000", Plain, Sends, QByteArray(3000, 'x'), "", nullptr, nullptr,
             nullptr, -1, 0, 1000},
            {"a large download arrives whole", "--save DIR", Plain, Sends, nvDownload(), "",
             "connection 1 closed after 67050496 bytes", nullptr, "connection-0001.bin"},
            // Regressions
            {"Ctrl+C with a client connected is no crash", "--save DIR", Plain, Stays,
             "Total 12.50\n", "", "connection 1 ended by SIGINT after 12 bytes", nullptr,
             "connection-0001.bin", -1, SIGINT},
            {"SIGTERM loses no byte of a capture", "--save DIR", Plain, Stays,
             QByteArray(10000, 'y'), "", "connection 1 ended by SIGTERM after 10000 bytes", nullptr,
             "connection-0001.bin", -1, SIGTERM},
            {"SIGHUP loses no byte of a capture", "--save DIR", Plain, Stays, "z", "", nullptr,
             nullptr, "connection-0001.bin", -1, SIGHUP},
            {"a planted link is never written through", "--count 1 --save DIR", PlantedLink, Sends,
             "new\n", "", nullptr, nullptr, "connection-0004.bin"},
            {"out of descriptors it refuses, says so once a shortage and goes on", "",
             FewDescriptors, Floods, hex("100401"), hex("12"), nullptr, "out of file descriptors"},
            {"replies nobody reads are bounded", "", Plain, Ignores, hex("100401").repeated(50000),
             "", nullptr, "reads none of the replies"},
            {"a capture cut short by a full disk says so", "--save DIR", SmallDisk, Sends,
             QByteArray(5 << 20, 'w'), "", nullptr, "of its 5242880 bytes are kept",
             "connection-0001.bin.partial", 0},
        });
    }
    void answersAndFailsAsTold()
    {
        QFETCH(Case, row);
        QTemporaryDir folder;
        const QString dir = folder.path();
        auto put = [&dir](const char* name, const QByteArray& bytes) {
            QFile file(dir + u'/' + QLatin1String(name));
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        auto got = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
        };
        if (row.setup == Setup::PlantedLink)
            QVERIFY(put("victim", "precious") && put("connection-0003.bin", "earlier") &&
                    QFile::link(dir + "/victim", dir + "/connection-0001.bin"));
        if (row.setup == Setup::SmallDisk && QProcess::execute("unshare", {"-rm", "true"}) != 0)
            QSKIP("no mount namespace can be made here");
#ifdef __SANITIZE_ADDRESS__
        // The undefined-behaviour checker needs a pipe to look at an object's type: out of
        // descriptors, it takes every member call for a wrong one.
        if (row.setup == Setup::FewDescriptors)
            QSKIP("the sanitizers need descriptors of their own");
#endif
        Listen listen(QProcess::splitCommand(QString::fromLatin1(row.options))
                          .replaceInStrings(QStringLiteral("DIR"), dir),
                      wrapper(row.setup, dir));
        QVERIFY(!listen.port().isEmpty());
        const auto port = listen.port().toUShort();
        if (row.client == Client::Floods) {
            std::vector<std::unique_ptr<QTcpSocket>> many(80);
            for (auto& one : many) {
                one = std::make_unique<QTcpSocket>();
                one->connectToHost(QHostAddress::LocalHost, port);
            }
            QVERIFY(listen.shows(row.says, true));
            many.clear();
            // Until every connection it took has closed, freeing its descriptor.
            QVERIFY(QTest::qWaitFor(
                [&] { return listen.out().count("closed after") == listen.out().count(" from "); },
                kBound));
        }
        QTcpSocket client;
        if (row.client == Client::Ignores) {
            QVERIFY(client.bind(QHostAddress::LocalHost, 0));
            client.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
            client.setReadBufferSize(4096);
        }
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(kBound));
        QElapsedTimer clock;
        clock.start();
        client.write(row.sends);
        QVERIFY(QTest::qWaitFor([&] { return client.bytesToWrite() == 0; }, kBound));
        const QString capture =
            (row.setup == Setup::SmallDisk ? listen.root() : QString()) + dir + u'/' + row.saved;
        if (row.client == Client::Stays) {
            QVERIFY(QTest::qWaitFor([&] { return QFileInfo(capture).size() == row.sends.size(); },
                                    kBound));
            listen.signal(row.signal);
            QCOMPARE(listen.finish(), 128 + row.signal);
        } else {
            // Nothing is read before listen has had more requests than it answers.
            if (row.client == Client::Ignores)
                QVERIFY(listen.shows(row.says, true));
            ::shutdown(int(client.socketDescriptor()), SHUT_WR);
            QByteArray answers;
            QVERIFY(QTest::qWaitFor(
                [&] {
                    answers += client.readAll();
                    return client.state() == QAbstractSocket::UnconnectedState;
                },
                kBound));
            answers += client.readAll();
            if (row.client == Client::Ignores)
                QVERIFY2(!answers.isEmpty() && answers.size() < row.sends.size() / 3 &&
                             answers == QByteArray(answers.size(), '\x12'),
                         qPrintable(QString::number(answers.size())));
            else
                QCOMPARE(answers.toHex(' '), row.answers.toHex(' '));
            QVERIFY(clock.elapsed() >= row.atLeastMs);
        }
        if (row.shows)
            QVERIFY2(listen.shows(row.shows), listen.out().right(300).constData());
        if (row.says) {
            QVERIFY(listen.shows(row.says, true));
            if (row.setup == Setup::FewDescriptors) {
                // Once each time it runs out: a late client may take what the first ones freed.
                QVERIFY2(QTest::qWaitFor(
                             [&] {
                                 return listen.err().count(row.says) ==
                                        listen.err().count("file descriptors are free again");
                             },
                             kBound),
                         listen.err().constData());
            } else {
                QCOMPARE(listen.err().count(row.says), 1);
            }
        }
        const QByteArray saved = got(capture);
        if (row.kept == 0)
            QVERIFY(saved.size() > 0 && saved.size() < row.sends.size() &&
                    row.sends.startsWith(saved) && !QFile::exists(capture.chopped(8)));
        else if (row.saved)
            QCOMPARE(saved, row.sends.left(row.kept < 0 ? row.sends.size() : row.kept));
        if (row.setup == Setup::PlantedLink)
            QVERIFY(QFileInfo(dir + "/connection-0001.bin").isSymLink() &&
                    got(dir + "/victim") == "precious" &&
                    got(dir + "/connection-0003.bin") == "earlier");
    }

    void wrongOptionsAreRefused_data()
    {
        addRows<RefusalRow>({
            {"state", "--status-reply jammed", 2,
             "--status-reply: \"jammed\" is none of online|paper-near-end|paper-out|cover-open|"
             "offline"},
            {"bind name", "--bind localhost", 2,
             "--bind: \"localhost\" is not an IPv4 or IPv6 address"},
            {"count", "--count -1", 2, "--count: \"-1\" is not a number from 0 to 1000000000"},
            {"fault", "--fault jammed", 2,
             "--fault: \"jammed\" is none of paper-out|cover-open|offline|no-reply|"
             "paper-out-after=N|drop-after=N|slow=N"},
            {"fault without bytes", "--fault slow=0", 2,
             "--fault: \"slow=0\": N is a number of bytes from 1 to 1099511627776"},
            {"two states", "--status-reply online --fault offline", 2,
             "listen: --status-reply and --fault paper-out, cover-open, offline or no-reply both "
             "tell how the printer is; give one of them"},
        });
    }
    void wrongOptionsAreRefused()
    {
        QFETCH(RefusalRow, row);
        const CliRun r = runCli(QStringList{"listen"} +
                                QProcess::splitCommand(QString::fromUtf8(row.arguments)));
        QCOMPARE(r.status, row.status);
        QCOMPARE(r.err, QStringLiteral("corvane-cli: %1\n").arg(QString::fromUtf8(row.says)));
    }

    // The address listened on and each client's, as the user is told them.
    void namesItsAddresses_data()
    {
        QTest::addColumn<QString>("bind");
        QTest::addColumn<QString>("written");
        QTest::newRow("IPv6") << "::1"
                              << "::1";
        QTest::newRow("IPv4 with leading zeros, as a printer's address") << "127.000.000.001"
                                                                         << "127.0.0.1";
    }
    void namesItsAddresses()
    {
        QFETCH(QString, bind);
        QFETCH(QString, written);
        QTcpServer probe;
        if (!probe.listen(QHostAddress(written)))
            QSKIP("this namespace has no such loopback address");
        probe.close();
        Listen listen({"--bind", bind, "--count", "1"});
        QVERIFY(listen.err().startsWith("listening on " + written.toLatin1() + " port "));
        QTcpSocket client;
        client.connectToHost(QHostAddress(written), listen.port().toUShort());
        QVERIFY(client.waitForConnected(kBound));
        client.disconnectFromHost();
        QCOMPARE(listen.finish(), 0);
        QVERIFY(listen.out().contains("from " + written.toLatin1() + ':'));
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
