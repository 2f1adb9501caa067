// Split translation of long documents on the real window (offscreen)
// against tarquell-service with the echo engine on loopback: time per piece
// and in total, and how the total grows with the text.
//
//   bench_split [sizes in MB ...]       (default: 2 20)
#include "BenchWindow.h"
#include "app/Translator.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(atof(argv[i]));
    if (sizes.empty())
        sizes = {2, 20};

    QProcess service;
    service.start(QCoreApplication::applicationDirPath() +
                      QStringLiteral("/../server/tarquell-service"),
                  {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                   QStringLiteral("--engine"), QStringLiteral("echo")});
    service.waitForReadyRead(20000);
    const QByteArray line = service.readLine().trimmed(); // "listening on 127.0.0.1:PORT"
    const QByteArray address = line.mid(line.lastIndexOf(' ') + 1);
    if (!line.startsWith("listening on")) {
        std::fprintf(stderr, "tarquell-service did not start: %s\n", line.constData());
        return 1;
    }

    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("TarquellTranslator.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write(
        "[Options]\nMultiThreading=1\nMT Quote=3000\n[Settings]\nSrcLang=English\nDstLang=French\n"
        "[Services]\nServer 1=http://" +
        address + "/sd/BabelFishService.wsdl\n");
    f.close();

    std::printf("split translation, 3000-character pieces, echo service at %s\n",
                address.constData());
    std::printf("%8s %8s %12s %14s\n", "MB", "pieces", "total s", "per piece ms");
    double first = 0;
    double firstMb = 0;
    for (double mb : sizes) {
        NoDialogs dialogs;
        TfrmMain::Environment env;
        env.dialogs = &dialogs;
        env.settingsPath = ini;
        TfrmMain w(env);
        w.show();
        auto* Memo1 = w.findChild<QTextEdit*>(QStringLiteral("Memo1"));
        auto* Memo2 = w.findChild<QTextEdit*>(QStringLiteral("Memo2"));
        auto* TransBtn = w.findChild<QToolButton*>(QStringLiteral("TransBtn"));
        const qsizetype chars = qsizetype(mb * 1024 * 1024);
        Memo1->setPlainText(generated(chars));
        Memo1->document()->setModified(true);
        QElapsedTimer clock;
        clock.start();
        TransBtn->click();
        const double seconds = clock.nsecsElapsed() / 1e9;
        const qsizetype pieces = (chars + 2999) / 3000;
        if (!dialogs.last.isEmpty()) {
            std::fprintf(stderr, "failed: %s\n", dialogs.last.toUtf8().constData());
            return 1;
        }
        std::printf("%8.1f %8lld %12.2f %14.3f\n", mb, (long long)pieces, seconds,
                    seconds * 1000 / pieces);
        std::fflush(stdout);
        if (first == 0) {
            first = seconds;
            firstMb = mb;
        } else {
            std::printf("total grows %.2fx for %.1fx the text\n", seconds / first, mb / firstMb);
        }
        Memo1->clear();
        Memo2->clear();
    }
    service.terminate();
    service.waitForFinished();
    return 0;
}
