// The real Docshift opening documents that link to a canary server on
// loopback and to marker files: opening a document makes no request and
// reads nothing it links to.
#include "LinkedDocuments.h"
#include "TestFiles.h"

#include "platform/OfficeLaunch.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class Docshift : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QByteArray marker = QByteArrayLiteral("TARQUELL-MARKER-5e81aa");
    QByteArray image = markerPng(marker);
    Canary canary{image, marker};
    QString markerImage = dir.filePath(QStringLiteral("marker.png"));
    QString markerText = dir.filePath(QStringLiteral("marker.txt"));
    QString markerCss = dir.filePath(QStringLiteral("marker.css"));
    QString work = dir.filePath(QStringLiteral("work"));

    void SetUp() override
    {
        writeAll(markerImage, image);
        writeAll(markerText, marker);
        // What the page would look like with the marker's style sheet read.
        writeAll(markerCss, "p { color: #123456 }");
        QDir().mkpath(work);
    }

    // Runs Docshift on `name` holding `bytes`; returns Result.rtf, or
    // Result.err's text in `error`.
    QByteArray open(const QString& name, const QByteArray& bytes, QString* error = nullptr)
    {
        const QString path = dir.filePath(name);
        writeAll(path, bytes);
        QFile::remove(QDir(work).filePath(QStringLiteral("Result.rtf")));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARQUELL_WORK_DIR"), work);
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TARQUELL_BUILD_DIR "/app/Docshift"), {path});
        EXPECT_TRUE(p.waitForFinished(240000));
        if (error)
            *error = QString::fromUtf8(readAll(QDir(work).filePath(QStringLiteral("Result.err"))));
        return readAll(QDir(work).filePath(QStringLiteral("Result.rtf")));
    }
};
} // namespace

TEST_F(Docshift, APageUnderAWordProcessorsNameLoadsNothing)
{
    const QByteArray page = linkingPage(canary, markerImage, markerCss);
    for (const char* name : {"x.doc", "x.rtf", "x.wri", "x.html"}) {
        SCOPED_TRACE(name);
        QString error;
        const QByteArray rtf = open(QString::fromLatin1(name), page, &error);
        ASSERT_TRUE(rtf.contains("Hello world.")) << error.toStdString();
        EXPECT_FALSE(rtf.contains("\\red18\\green52\\blue86")) << "the marker's style sheet";
        EXPECT_FALSE(holdsMarker(rtf, image));
    }
    EXPECT_EQ(canary.requests(), 0) << canary.seen();
}

TEST_F(Docshift, AFlatDocumentsLinkedImagesAndSectionsAreNotLoaded)
{
    if (OfficeLaunch::program().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    QString error;
    const QByteArray rtf =
        open(QStringLiteral("x.fodt"), linkingFlatOdf(canary, markerImage, markerText), &error);
    ASSERT_TRUE(rtf.contains("Hello world.")) << error.toStdString();
    EXPECT_FALSE(holdsMarker(rtf, image));
    EXPECT_FALSE(rtf.contains(marker));
    EXPECT_EQ(canary.requests(), 0) << canary.seen();
}

TEST_F(Docshift, UnknownTypesAndContentNotOfItsNameAreRefused)
{
    QString error;
    EXPECT_TRUE(open(QStringLiteral("x.xyz"), "hello", &error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("Files of the type .xyz cannot be opened"));
    EXPECT_TRUE(open(QStringLiteral("x.doc"), "<?xml version=\"1.0\"?><a/>", &error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("The file is named .doc but it is an XML file"));
}
