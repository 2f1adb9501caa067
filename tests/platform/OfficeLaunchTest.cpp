// LibreOffice started the way Docshift and the service start it, on
// documents that link to a canary server and to marker files: nothing is
// fetched, nothing is read into the result. Each LibreOffice start costs
// seconds, so each case converts once.
#include "LinkedDocuments.h"
#include "TestFiles.h"

#include "platform/OfficeLaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {
struct Attack
{
    QTemporaryDir dir;
    QByteArray marker = QByteArrayLiteral("TARQUELL-MARKER-41c7e2");
    QByteArray image = markerPng(marker);
    Canary canary{image, marker};
    QString markerImage = dir.filePath(QStringLiteral("marker.png"));
    QString markerText = dir.filePath(QStringLiteral("marker.txt"));
    QString markerCss = dir.filePath(QStringLiteral("marker.css"));

    Attack()
    {
        writeAll(markerImage, image);
        writeAll(markerText, marker);
        writeAll(markerCss, "p { color: #123456 }");
    }

    // Converts `name` holding `bytes` as the type `declared`; returns what
    // LibreOffice wrote, empty when it refused.
    QByteArray convert(const QString& name, const QByteArray& bytes, const QString& declared,
                       const QString& target, bool isolate)
    {
        const QString input = dir.filePath(name);
        writeAll(input, bytes);
        const QString out = dir.filePath(QStringLiteral("out-") + name);
        QDir().mkpath(out);
        const QString profile = dir.filePath(QStringLiteral("profile"));
        EXPECT_TRUE(OfficeLaunch::prepareProfile(profile));
        const OfficeLaunch::Command c = OfficeLaunch::convertCommand(
            OfficeLaunch::program(), profile, OfficeLaunch::inputFilter(declared), target, out,
            input, isolate);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(c.program, c.arguments);
        EXPECT_TRUE(p.waitForFinished(240000));
        said = p.readAll();
        QDir result(out);
        const QStringList files = result.entryList(QDir::Files);
        return files.isEmpty() ? QByteArray() : readAll(result.filePath(files.first()));
    }
    QByteArray said;
};
} // namespace

// The settings alone, without the network namespace: a flat OpenDocument
// file's linked images and sections stay unloaded.
TEST(OfficeLaunch, AFlatDocumentsLinksAreNotLoadedEvenWithTheNetwork)
{
    if (OfficeLaunch::program().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    Attack a;
    const QByteArray out =
        a.convert(QStringLiteral("x.fodt"), linkingFlatOdf(a.canary, a.markerImage, a.markerText),
                  QStringLiteral("fodt"), QStringLiteral("fodt:OpenDocument Text Flat XML"), false);
    ASSERT_TRUE(out.contains("Hello world.")) << a.said.toStdString();
    EXPECT_EQ(a.canary.requests(), 0) << a.canary.seen();
    EXPECT_FALSE(holdsMarker(out, a.image));
    EXPECT_FALSE(out.contains(a.marker));
}

// A web page named .doc, read with Word's filter in the network namespace:
// LibreOffice does not take it for a page, and reaches nothing.
TEST(OfficeLaunch, APageNamedDocIsNotReadAsAPage)
{
    if (OfficeLaunch::program().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    Attack a;
    const QByteArray out =
        a.convert(QStringLiteral("x.doc"), linkingPage(a.canary, a.markerImage, a.markerCss),
                  QStringLiteral("doc"), QStringLiteral("rtf"), true);
    EXPECT_EQ(a.canary.requests(), 0) << a.canary.seen();
    EXPECT_FALSE(holdsMarker(out, a.image));
    // What it says names no file of ours.
    const QString reason = OfficeLaunch::failureReason(a.said);
    EXPECT_FALSE(reason.contains(a.dir.path())) << reason.toStdString();
    if (out.isEmpty()) {
        EXPECT_EQ(reason, QStringLiteral("LibreOffice could not read the document as the type "
                                         "its name says"));
    }
}

TEST(OfficeLaunch, TheNetworkNamespaceHasNoWayOut)
{
    if (!OfficeLaunch::canIsolateNetwork())
        GTEST_SKIP() << "this system gives no network namespace to unprivileged processes";
    Canary canary({}, {});
    // The command's wrapper, around a program of Debian's that fetches.
    OfficeLaunch::Command c = OfficeLaunch::convertCommand(
        QStringLiteral("/usr/bin/true"), QStringLiteral("/nonexistent"), {}, {}, {}, {});
    ASSERT_TRUE(c.isolated);
    const qsizetype program = c.arguments.indexOf(QStringLiteral("/usr/bin/true"));
    ASSERT_GT(program, 0);
    QStringList args = c.arguments.mid(0, program);
    args << QStringLiteral("/usr/bin/python3") << QStringLiteral("-c")
         << QStringLiteral("import urllib.request,sys\n"
                           "try:\n urllib.request.urlopen(sys.argv[1], timeout=5)\n"
                           "except Exception: sys.exit(3)")
         << canary.url(QStringLiteral("/reach"));
    QProcess p;
    p.start(c.program, args);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_EQ(canary.requests(), 0) << canary.seen();
}

// Known failures are told in words; anything else soffice says (paths,
// process ids) is not passed on.
TEST(OfficeLaunch, FailureReasonsNameNoScratchFileOrProcess)
{
    EXPECT_EQ(OfficeLaunch::failureReason("Error: source file could not be loaded\n"),
              QStringLiteral("LibreOffice could not read the document as the type its name says"));
    const QString other = OfficeLaunch::failureReason(
        "Error: Please verify input parameters... (SfxBaseModel::impl_store "
        "<file:///tmp/tarquell-service-0/files-4242/job-7/document.docx> failed: 0x81a)");
    EXPECT_EQ(other, QStringLiteral("LibreOffice could not convert the document"));
}

// Whoever starts LibreOffice may be killed without a chance to clean up
// (Docshift closed by the desktop's kill, the service by SIGKILL). What
// soffice forked must not outlive it. A script in soffice's place forks a
// long-lived child as soffice forks soffice.bin; the starter is killed.
TEST(OfficeLaunch, NothingOutlivesAKilledStarter)
{
    QTemporaryDir dir;
    // A sleep no other process here runs, found by its command line (in a
    // pid namespace the script sees other pids than we do).
    const QByteArray seconds = QByteArray::number(100000 + QCoreApplication::applicationPid());
    const QByteArray cmdline = QByteArray("sleep\0", 6) + seconds + QByteArray(1, 0);
    const auto running = [&] {
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const QString proc = QStringLiteral("/proc/") + entry;
            if (readAll(proc + QStringLiteral("/cmdline")) != cmdline)
                continue;
            const QByteArray stat = readAll(proc + QStringLiteral("/stat"));
            const qsizetype close = stat.lastIndexOf(')');
            if (close > 0 && stat.mid(close + 2, 1) != "Z")
                return true;
        }
        return false;
    };
    const QString fake = dir.filePath(QStringLiteral("soffice"));
    writeAll(fake, "#!/bin/sh\nsleep " + seconds + " &\nwait\n");
    QFile::setPermissions(fake, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const OfficeLaunch::Command c = OfficeLaunch::convertCommand(
        fake, dir.filePath(QStringLiteral("profile")), QString(), QStringLiteral("html"),
        dir.path(), dir.filePath(QStringLiteral("in.doc")));

    // The starter: a shell that starts the command and waits, as Docshift does.
    QProcess starter;
    starter.start(QStringLiteral("/bin/sh"),
                  QStringList{QStringLiteral("-c"), QStringLiteral("\"$@\" & wait"),
                              QStringLiteral("starter"), c.program} +
                      c.arguments);
    ASSERT_TRUE(starter.waitForStarted());
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
        QThread::msleep(50);
        started = running();
    }
    ASSERT_TRUE(started) << "the script in soffice's place did not start";
    starter.kill();
    starter.waitForFinished();
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        QThread::msleep(50);
        gone = !running();
    }
    EXPECT_TRUE(gone) << "soffice's child outlived the program that started LibreOffice";
}
