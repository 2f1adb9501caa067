// A DICT server: Debian's dictd started here on loopback with a database
// dictfmt makes; the real Vantudict program asks it on the command line.
#include "DictTestFiles.h"
#include "LoopbackPort.h"

#include "tools/Vantudict/DictClient.h"
#include "tools/Vantudict/DictError.h"
#include "tools/Vantudict/DictReply.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

class DictdTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        makeDictionary(dir.path(), QStringLiteral("test-deu-eng"),
                       "Zwerghaus\n dwarf house <n>\n   a tiny house\n"
                       "Zwerghäuser\n dwarf houses <pl>\n  see: {Zwerghaus}\n");
        QFile conf(dir.filePath(QStringLiteral("dictd.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("access { allow * }\n"
                                  "database fd-deu-eng { data %1/test-deu-eng.dict.dz\n"
                                  "  index %1/test-deu-eng.index }\n")
                       .arg(dir.path())
                       .toUtf8());
        conf.close();
        port = unusedLoopbackPort();
        dictd.setProcessChannelMode(QProcess::MergedChannels);
        dictd.start(QStringLiteral("dictd"),
                    {QStringLiteral("-c"), conf.fileName(), QStringLiteral("-p"),
                     QString::number(port), QStringLiteral("--listen-to"),
                     QStringLiteral("127.0.0.1"), QStringLiteral("-d"),
                     QStringLiteral("nodetach")});
        ASSERT_TRUE(dictd.waitForStarted()) << "dictd is missing (package dictd)";
        // Ready when it takes a connection.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                QTcpSocket s;
                s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
                return s.waitForConnected(200);
            },
            10000))
            << dictd.readAll().toStdString();
    }
    void TearDown() override
    {
        dictd.kill();
        dictd.waitForFinished();
    }
    QString server() const { return QStringLiteral("dict://127.0.0.1:%1").arg(port); }

    QTemporaryDir dir;
    QProcess dictd;
    int port = 0;
};

struct ProgramRun
{
    int exitCode;
    QString out, err;
};

ProgramRun vantudict(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(TARQUELL_BUILD_DIR "/app/Vantudict"), arguments);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST_F(DictdTest, TheCommandLineAsksTheNamedServer)
{
    DictClient client(DictServerAddress::parse(server()));
    const auto dbs = client.databases();
    ASSERT_EQ(dbs.size(), 1);
    EXPECT_EQ(dbs[0].first, QStringLiteral("fd-deu-eng"));
    const QList<DictEntry> entries =
        client.define(QStringLiteral("fd-deu-eng"), QStringLiteral("zwerghaus"));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].headword, QStringLiteral("Zwerghaus"));
    EXPECT_EQ(entries[0].senses, QStringList{QStringLiteral("dwarf house <n>\na tiny house")});

    const ProgramRun found =
        vantudict({QStringLiteral("--lookup"), QStringLiteral("Zwerghäuser"),
                   QStringLiteral("--from"), QStringLiteral("de"), QStringLiteral("--to"),
                   QStringLiteral("en"), QStringLiteral("--server"), server()});
    EXPECT_EQ(found.exitCode, 0) << found.err.toStdString();
    EXPECT_EQ(found.out,
              QStringLiteral("Zwerghäuser\n  1. dwarf houses <pl>\n       see: {Zwerghaus}\n"
                             "  [Test test-deu-eng]\n"));

    const ProgramRun none =
        vantudict({QStringLiteral("--lookup"), QStringLiteral("Riesenhaus"),
                   QStringLiteral("--from"), QStringLiteral("de"), QStringLiteral("--to"),
                   QStringLiteral("en"), QStringLiteral("--server"), server()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_EQ(none.err, QStringLiteral("No entry for Riesenhaus.\n"));

    // The server has no English-French database.
    const ProgramRun noDb =
        vantudict({QStringLiteral("--lookup"), QStringLiteral("qzxqzx"), QStringLiteral("--from"),
                   QStringLiteral("en"), QStringLiteral("--to"), QStringLiteral("fr"),
                   QStringLiteral("--server"), server()});
    EXPECT_EQ(noDb.err, QStringLiteral("The DICT server %1 has no English-French dictionary.\n"
                                       "No entry for qzxqzx.\n")
                            .arg(server()));
}

TEST(DictClientTest, AServerThatDoesNotAnswerIsSaidWithinTheDeadline)
{
    // Takes the connection and says nothing.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const DictServerAddress address =
        DictServerAddress::parse(QStringLiteral("dict://127.0.0.1:%1").arg(silent.serverPort()));
    DictClient client(address, 300);
    QElapsedTimer t;
    t.start();
    try {
        client.databases();
        ADD_FAILURE() << "no error";
    } catch (const DictError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("The DICT server %1 did not answer within 0.3 seconds.")
                      .arg(address.toString()));
    }
    EXPECT_LT(t.elapsed(), 3000);

    const int down = unusedLoopbackPort();
    DictClient refused(DictServerAddress::parse(QStringLiteral("dict://127.0.0.1:%1").arg(down)));
    EXPECT_THROW(refused.databases(), DictError);

    for (const char* bad :
         {"http://127.0.0.1:2628", "dict://", "dict://host:99999", "dict://u@host", "127.0.0.1"})
        EXPECT_THROW(DictServerAddress::parse(QString::fromLatin1(bad)), DictError) << bad;
    EXPECT_EQ(DictServerAddress::parse(QStringLiteral("dict://dict.example")).port, 2628);
    // A word cannot smuggle a second command.
    EXPECT_THROW(dictQuoted(QStringLiteral("house\r\nQUIT")), DictError);
    EXPECT_EQ(dictQuoted(QStringLiteral("say \"hi\"")), QByteArray("\"say \\\"hi\\\"\""));
}

TEST(DictReplyTest, RepliesAreReadInAnyPiecesAndBounded)
{
    const QByteArray reply =
        "150 1 definitions retrieved\r\n151 \"a\" db \"Db\"\r\nline\r\n..x\r\n.\r\n"
        "250 ok\r\n";
    for (qsizetype piece : {1, 3, 1000}) {
        DictReplyReader r;
        for (qsizetype i = 0; i < reply.size(); i += piece)
            r.feed(QByteArrayView(reply).sliced(i, std::min(piece, reply.size() - i)));
        ASSERT_TRUE(r.finished());
        ASSERT_EQ(r.responses().size(), 3);
        EXPECT_EQ(r.responses()[1].body, QStringLiteral("line\n.x\n"));
    }
    const QByteArray hostile[] = {
        "HTTP/1.1 200 OK\r\n",
        "151 \"a\" db\r\n" + QByteArray(DictReplyReader::MaxLine + 1, 'x'),
        "250 ok\r\n250 again\r\n",
    };
    for (const QByteArray& h : hostile) {
        DictReplyReader r;
        EXPECT_THROW(r.feed(h), DictError);
    }
    DictReplyReader flood;
    const QByteArray line(1000, 'y');
    EXPECT_THROW(
        {
            flood.feed("151 \"a\" db\r\n");
            for (int i = 0; i < 5000; ++i)
                flood.feed(line + "\r\n");
        },
        DictError);
}
